#pragma once
// The browser's search without its dialog: the criteria of one search and the test of every picture
// of the entry list against them. Pictures that match stay included and are marked matched; the
// events that hold them stay included; everything else leaves the tree until the search is left.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <vector>

#include "browserentry.h"
#include "catalog.h"

namespace search {

enum class FlagTest { Yes, No, Ignore };

// The items of the rating list; a rating other than the first selects the pictures whose rating, as
// the form shows it, is the item's first digit.
inline const QStringList kRatingItems = {QStringLiteral("0-Any"), QStringLiteral("1-Gold Star"),
                                         QStringLiteral("2-Silver Star"), QStringLiteral("3-Bronze Star"),
                                         QStringLiteral("4-No Star")};

struct Criteria {
    std::array<QString, 3> texts;  // each must match in at least one checked group
    bool people = true;
    bool place = true;
    bool other = true;
    QString rating = kRatingItems.first();
    QDateTime from;  // the stored date must lie strictly between from and to
    QDateTime to;
    FlagTest flagged = FlagTest::Ignore;
};

// The start of the default range: 1900-01-01 00:00:00.
QDateTime defaultFrom();
// The range a search takes from two days: From at the start of its day, To at its last second.
QDateTime dayStart(const QDate& day);
QDateTime dayEnd(const QDate& day);
// The date a search tests: the date and time stored in the picture data as a wall-clock time, or the
// zero date 1899-12-30 00:00 when none was stored. There is no fall-back to the camera's or the file's.
QDateTime storedDate(const PictureRecord& picture);

// One search text against the checked groups.
bool textMatches(const PictureRecord& picture, const QString& text, const Criteria& criteria);
// Every test of one picture, given whether its entry is flagged: date, flag, the three texts and the
// rating.
bool pictureMatches(const PictureRecord& picture, bool flagged, const Criteria& criteria);
// False only when the picture cannot match the criteria's texts, judged from what its IPTC data says
// and, without parsing it, from its XMP packet (`withoutXmp` is the picture read without applying
// XMP): a packet whose values are plainly its bytes must hold a term of each text that IPTC alone
// does not match. Any packet that might hold a value in another form leaves the picture in.
bool mightMatch(const PictureRecord& withoutXmp, const Criteria& criteria);
// The same for a picture entry; entries of other kinds never match.
bool matches(const BrowserEntry& entry, const Criteria& criteria);

// What a walk over a folder's pictures could not read.
struct FolderWalk {
    QString problem;           // the folder itself could not be read; nothing was visited
    bool catalogMode = false;  // the pictures came from the folder's catalog
    QString damage;            // the catalog did not load whole: where it broke and why
    std::vector<CatalogLeftOut> leftOut;  // entries or ".jpg" files not visited, and why
};

// Visits the pictures the browser's list holds for `folder`, one at a time: every entry of its
// catalog when it has one (entries taken over from subfolders and archived ones included), else each
// ".jpg" file of the folder. The picture handed to `visit` lasts only for that call. From a catalog,
// pictures that `wanted` turns down after a quick look (Catalog::PictureFilter) are not visited.
FolderWalk forEachPicture(const QString& folder, const std::function<void(const PictureRecord&)>& visit,
                          const Catalog::PictureFilter& wanted = {});

// Marks the entries for a search and returns the pictures found, in list order. A picture excluded by
// an earlier search stays excluded; folders and roots are never included.
ThumbList markMatches(const EntryList& entries, const Criteria& criteria);

}  // namespace search
