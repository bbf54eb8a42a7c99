// The Pictures list of the output dialogs: which entries it offers, and that each count shown is the
// number of pictures the selection then collects.

#include "pictureselection.h"
#include "picturerecord.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using testsupport::dataPath;

namespace {

// A browser's entries: pictures read from test data, with an event, shown and flagged marks.
class Entries {
public:
    PictureRecord* add(const QString& event, bool shown = true, bool flagged = false,
                       const QString& file = QStringLiteral("Canon_40D.jpg")) {
        pictures_.push_back(std::make_unique<PictureRecord>(dataPath(file)));
        PictureRecord* picture = pictures_.back().get();
        picture->iptc().event = event;
        OutputEntry entry;
        entry.kind = OutputEntry::Kind::Picture;
        entry.picture = picture;
        entry.fileName = picture->fileName();
        entry.shown = shown;
        entry.flagged = flagged;
        list.append(entry);
        return picture;
    }
    void addEvent(const QString& text) {
        OutputEntry entry;
        entry.kind = OutputEntry::Kind::Event;
        entry.fileName = text;
        list.append(entry);
    }
    QList<OutputEntry> list;

private:
    std::vector<std::unique_ptr<PictureRecord>> pictures_;
};

QStringList texts(const PictureSelectionList& list) {
    QStringList out;
    for (const PictureSelectionItem& item : list.items) out << item.text;
    return out;
}

}  // namespace

TEST(PictureSelection, EntriesOfTheListInOrder) {
    Entries e;
    e.addEvent("Party");
    PictureRecord* current = e.add("Party");
    current->iptc().headline = "Cake";
    e.add("Party", true, true);
    e.add("Walk");

    PictureSelectionList list = FillPictureSelection(current, e.list, false);
    EXPECT_EQ(texts(list), QStringList({"Cake (Picture)", "Flagged Pictues", current->iptc().EventTitle() + " (Event)",
                                        "Entire Catalog"}));
    EXPECT_EQ(list.items[1].selection, PictureSelection::Flagged);
    EXPECT_EQ(list.items[2].selection, PictureSelection::Event);
    EXPECT_EQ(list.items[3].selection, PictureSelection::EntireCatalog);

    // Without a headline the file name; without flags no flagged entry; while searching the results
    // stand where the event would.
    current->iptc().headline.clear();
    e.list[2].flagged = false;
    list = FillPictureSelection(current, e.list, true);
    EXPECT_EQ(texts(list), QStringList({"Canon_40D.jpg (Picture)", "Search Results", "Entire Catalog"}));

    // No current picture: neither the picture nor its event.
    list = FillPictureSelection(nullptr, e.list, false);
    EXPECT_EQ(texts(list), QStringList({"Entire Catalog"}));
    // An empty browser: only the picture.
    list = FillPictureSelection(current, {}, false);
    EXPECT_EQ(texts(list), QStringList({"Canon_40D.jpg (Picture)"}));
}

// A picture named into an event elsewhere, without a date: its event shows by name, and a dateless
// "Unknown" is not the event of the pictures without one.
TEST(PictureSelection, ADatelessEventIsOfferedByItsName) {
    Entries e;
    const QString file = "iptc_no_date_no_camera.jpg";  // no Date Created
    PictureRecord* named = e.add("Zoo", true, false, file);
    PictureRecord* dateless = e.add("Unknown", true, false, file);
    e.add("Unknown", true, false, file);
    e.add("");
    ASSERT_TRUE(named->iptc().dateText.isEmpty());
    EXPECT_EQ(texts(FillPictureSelection(named, e.list, false)),
              QStringList({file + " (Picture)", "Zoo (Event)", "Entire Catalog"}));
    const PictureSelectionList list = FillPictureSelection(dateless, e.list, false);
    EXPECT_EQ(list.items.value(1).text, "Unknown (Event)");
    EXPECT_EQ(list.eventCount, 2);
}

TEST(PictureSelection, CountsAreTheSizesOfTheCollectedLists) {
    Entries e;
    PictureRecord* current = e.add("Party");
    e.add("Party", true, true);          // same event title, flagged
    e.add("Party", false, true);         // hidden by a search: neither flagged nor event counts it
    e.add("Walk", true, false);
    e.add("Walk", false, false);
    e.addEvent("Party");                 // no picture: never collected

    struct Case {
        bool search;
        PictureSelection selection;
        int count;
    } cases[] = {
        {false, PictureSelection::Flagged, 1},       {false, PictureSelection::Event, 2},
        {false, PictureSelection::EntireCatalog, 5}, {true, PictureSelection::SearchResults, 3},
        {true, PictureSelection::EntireCatalog, 5},
    };
    for (const Case& c : cases) {
        const PictureSelectionList list = FillPictureSelection(current, e.list, c.search);
        const QList<PictureRecord*> collected = CollectSelectedPictures(current, e.list, c.selection);
        EXPECT_EQ(list.countFor(c.selection), c.count) << int(c.selection) << " search " << c.search;
        EXPECT_EQ(collected.size(), c.count) << int(c.selection);
        if (list.indexOf(c.selection) >= 0) {
            EXPECT_EQ(list.items[list.indexOf(c.selection)].count, c.count);
        }
    }
    EXPECT_EQ(FillPictureSelection(current, e.list, false).countFor(PictureSelection::Picture), 1);
}

TEST(PictureSelection, CollectionOrderAndCopies) {
    Entries e;
    PictureRecord* a = e.add("Party");
    PictureRecord* b = e.add("Walk", true, true);
    PictureRecord* c = e.add("Party", false);
    EXPECT_EQ(CollectSelectedPictures(a, e.list, PictureSelection::EntireCatalog), QList<PictureRecord*>({a, b, c}));
    EXPECT_EQ(CollectSelectedPictures(a, e.list, PictureSelection::Picture, 3), QList<PictureRecord*>({a, a, a}));
    EXPECT_EQ(CollectSelectedPictures(a, e.list, PictureSelection::Flagged, 2), QList<PictureRecord*>({b, b}));
    // Nothing is the current event when there is no current picture, whatever the events are called.
    e.add("none");
    EXPECT_TRUE(CollectSelectedPictures(nullptr, e.list, PictureSelection::Event).isEmpty());
    EXPECT_TRUE(CollectSelectedPictures(nullptr, e.list, PictureSelection::Picture).isEmpty());
}
