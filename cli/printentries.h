#pragma once
// The pictures of a folder as the window's tree shows them, read without a window: its catalog's
// entries when it has a catalog, else its picture files, each with the event it is grouped under.

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class BrowserModel;
class PictureRecord;

namespace printentries {

struct Entry {
    PictureRecord* picture = nullptr;  // owned by FolderPictures::model
    QString eventTitle;                // the event the tree groups the picture under
};

struct FolderPictures {
    FolderPictures();
    ~FolderPictures();
    FolderPictures(FolderPictures&&) noexcept;
    FolderPictures& operator=(FolderPictures&&) noexcept;
    std::unique_ptr<BrowserModel> model;
    QList<Entry> pictures;  // in the tree's order
    QStringList problems;   // empty picture files met
};

FolderPictures folderPictures(const QString& folder);

}  // namespace printentries
