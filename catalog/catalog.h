#pragma once
// A folder's catalog as a list of pictures: loaded from the folder's catalog file, or written anew from
// the folder's pictures and the catalogs of its subfolders. Every write goes through a complete new
// file that replaces the old one, so a catalog on disk is always whole.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "catalogfile.h"
#include "picturerecord.h"
#include "writeerror.h"

using PictureList = std::vector<std::unique_ptr<PictureRecord>>;

// A picture or subfolder of the folder that is not in its catalog, and why.
struct CatalogLeftOut {
    QString name;    // bytes of the name that are not UTF-8 are shown as \xNN
    QString reason;  // a phrase for a person: "the name is not valid UTF-8 and was left out"
};

// The pictures (regular files with a ".jpg" name) and, when asked, the subfolders of a folder, each
// sorted by name; and what was not taken: names that are not UTF-8 (no path made of text can open
// them again), and ".jpg" names that are no regular file.
struct FolderListing {
    WriteResult result;  // why the folder could not be listed
    QStringList pictures;
    QStringList subfolders;
    std::vector<CatalogLeftOut> leftOut;
};
FolderListing ListFolder(const QString& folder, bool includeSubfolders);

struct CatalogCreateReport {
    WriteResult write;
    // Pictures and subfolders that are not in the catalog: names that a catalog line cannot hold or
    // that are not UTF-8, and ".jpg" names that are no regular file.
    std::vector<CatalogLeftOut> leftOut;
    // The subfolder catalog that stopped the create, damaged or a symbolic link; `write` tells why.
    // A catalog is never written from part of a subfolder's catalog.
    QString refusedCatalog;
    // Entries of pictures archived to a disc whose files are not in the folder: the only record of
    // those pictures, taken over as they were.
    int keptArchived = 0;
    // What the new catalog's header says: its entries and the sum of their file sizes.
    qint32 count = 0;
    quint64 totalSize = 0;
    bool ok() const { return write.ok(); }
};

struct CatalogRefreshReport {
    bool rebuilt = false;  // a subfolder's catalog was newer, so the catalog was created again
    // The create's report; without a rebuild, `create.write` tells why the catalog was not looked at
    // further (it does not load whole, or cannot be read) and `create.refusedCatalog` names it.
    CatalogCreateReport create;
    bool ok() const { return create.ok(); }
};

// What an archive rewrite did to the entries.
struct CatalogArchiveCounts {
    int labelled = 0;  // given the disc: their files are in the folder or a subfolder
    int kept = 0;      // left as they were: their files are elsewhere or gone
};

class Catalog {
public:
    Catalog() = default;
    Catalog(const Catalog&) = delete;
    Catalog& operator=(const Catalog&) = delete;

    // Reads the catalog of `folder` (or the ".sidx" file given): its header and, with `withEntries`,
    // a picture for every entry that has a header and a name inside the folder. False when there is no
    // catalog (fault() is Link for a catalog name that is a symbolic link). A damaged catalog gives the
    // entries before the damage, and fault() names the damage.
    bool load(const QString& folder, bool withEntries = true);
    // Reads the header and finds every entry (one pass over their lengths; the catalog is mapped, not
    // read whole) without building a picture: readPictures builds them when they are needed. Fails,
    // and counts what was left out, as load does.
    bool open(const QString& folder);
    // The entries open() found that give a picture: a header and a name inside the folder.
    qsizetype entryCount() const { return qsizetype(index_.size()); }
    // A quick look at an entry's picture before it is read whole: given the picture as its IPTC data
    // alone describes it (its XMP packet kept, not applied), false when the caller has no use for it.
    using PictureFilter = std::function<bool(const PictureRecord& withoutXmp)>;
    // Builds the pictures of the entries [from, to) in order and hands each to `take` with its
    // entry's number. Runs on any thread: several may build different ranges at once. With `wanted`,
    // a picture with an XMP packet that it turns down is not read further nor handed over.
    void readPictures(qsizetype from, qsizetype to,
                      const std::function<void(qsizetype, std::unique_ptr<PictureRecord>)>& take,
                      const PictureFilter& wanted = {}) const;
    std::unique_ptr<PictureRecord> readPicture(qsizetype i) const;
    // The pictures of the entries [from, to), built on every core; null for those `wanted` turned down.
    PictureList readPicturesOnAllCores(qsizetype from, qsizetype to, const PictureFilter& wanted = {}) const;
    // Visits every entry's picture in order (those `wanted` does not turn down). They are built ahead
    // on every core a batch at a time and freed after their visit, so a catalog of any size is walked
    // in little memory.
    void forEachPicture(const std::function<void(const PictureRecord&)>& visit, const PictureFilter& wanted = {}) const;
    CatalogError fault() const { return fault_; }
    // True when a catalog was read but did not load to its last entry.
    bool damaged() const { return !catalogPath_.isEmpty() && fault_ != CatalogError::None; }
    // For a damaged catalog: its path, where it broke and why; empty otherwise.
    QString damage() const;
    // Entries left out while loading because their name would lead outside the catalogued folder.
    int unsafeNames() const { return unsafeNames_; }
    // Names of the entries left out while loading because they hold no picture header (their picture
    // could not be read when the catalog was written).
    const QStringList& withoutHeader() const { return withoutHeader_; }

    // Writes the catalog of `folder` from its ".jpg" files and, with `includeSubfolders`, the entries
    // of its subfolders' catalogs. The old catalog ("Snaplore.idx" too) stays until the new one is whole.
    // The pictures are read one by one and not kept; what is loaded stays as it is. The flag bytes
    // written are this catalog's.
    // The folder's own catalog passes on what only it knows: an archived entry whose file is not at
    // its place in the folder is kept as it was (counted in keptArchived); a file found there again
    // gets a new entry read from it that keeps the entry's disc name and location.
    // A catalog name in the folder that is a symbolic link is refused: catalogs are written only
    // inside their folder. So is the folder's own catalog when it does not load whole, and a
    // subfolder's catalog that is damaged or a link; nothing is written then.
    CatalogCreateReport create(const QString& folder, bool includeSubfolders);
    // Gives the entries of the folder's catalog whose files are in the folder or a subfolder (at the
    // path the entry gives) the disc name and folder they were archived to; the other entries, already
    // archived elsewhere or gone, keep what they hold. A catalog that does not load whole, or that is a
    // symbolic link, is left as it is.
    WriteResult rewriteArchive(const QString& folder, const QString& archiveName, const QString& archiveLocation,
                               CatalogArchiveCounts* counts = nullptr);
    // Creates the catalog again, subfolders included, when a subfolder's catalog is newer than it.
    // A catalog that does not load whole is neither compared nor rewritten; the report says so.
    CatalogRefreshReport refresh(const QString& folder);
    // Leaves an empty "Snaplore.sidx" in the folder, which counts as no catalog. Refused when a
    // catalog name there is a symbolic link.
    static WriteResult createEmpty(const QString& folder);
    // 0 (no catalog), 2 or 3.
    static int version(const QString& folderOrFile) { return CatalogFile::version(folderOrFile); }

    // Empties the texts and numbers and hands the pictures to the caller, who then owns them.
    [[nodiscard]] PictureList clear();
    // Hands the pictures to the caller and leaves the rest as it is.
    [[nodiscard]] PictureList takePictures();
    // Deletes every picture.
    void destroyPictures() { pictures_.clear(); }

    const PictureList& pictures() const { return pictures_; }
    quint8 flagA() const { return flagA_; }
    quint8 flagB() const { return flagB_; }
    const QString& catalogPath() const { return catalogPath_; }
    const QString& folder() const { return folder_; }
    int count() const { return count_; }
    quint64 totalSize() const { return totalSize_; }
    quint64 fileLength() const { return fileLength_; }

private:
    void resetFields();
    bool openMapped(const QString& folder, bool withIndex);
    void readFailed();

    // An entry that gives a picture: its bytes in the mapped catalog and its relative path.
    struct Indexed {
        CatalogEntry entry;
        QString name;
    };
    std::shared_ptr<const MappedCatalog> map_;
    std::vector<Indexed> index_;

    PictureList pictures_;
    quint8 flagA_ = 1;
    quint8 flagB_ = 0;
    QString catalogPath_;
    QString folder_;
    int count_ = 0;
    quint64 totalSize_ = 0;
    quint64 fileLength_ = 0;
    CatalogError fault_ = CatalogError::None;
    int wholeEntries_ = 0;  // entries read before the damage
    int unsafeNames_ = 0;
    QStringList withoutHeader_;
};
