#pragma once
// What the views and dialogs of the main window reach through the frame. The frame implements it;
// flow tests can implement it with a small fake. A view asks the frame here rather than reaching
// another view, so the views of browsing, editing and output stay apart.

#include <QString>

class CSnaploreDoc;
class EntryListView;
class Prompter;
class SettingsStore;
class PictureRecord;
class QWidget;

class FrameContext {
public:
    virtual ~FrameContext() = default;

    virtual CSnaploreDoc& document() = 0;
    virtual Prompter& prompter() = 0;
    virtual SettingsStore& settings() = 0;

    // Makes `path` (or My Pictures when empty) the current folder and reloads the browser.
    virtual void OpenFolder(const QString& path) = 0;
    virtual QString currentFolder() const = 0;
    virtual QString myDocumentsPath() const = 0;
    virtual QString myPicturesPath() const = 0;
    // The status bar's message; busy turns the wait cursor on, the "Ready" text turns it off.
    virtual void setStatusText(const QString& text, bool busy = false) = 0;
    // Initial values of the Catalog Archive dialog, set by the browser from its first picture.
    virtual void setArchiveStrings(const QString& cdName, const QString& location) = 0;
    // The Create catalog command (used by the create-catalog prompt of the browser).
    virtual void createCatalog() = 0;
    // Drag of a picture out of the program.
    virtual void startPictureDrag(PictureRecord& picture, QWidget* source) = 0;
    // The view that has the active frame.
    virtual bool isActiveView(const QWidget* view) const = 0;
    virtual void setActiveView(QWidget* view) = 0;


    // The pictures of the strip, in its order: how many there are, and where `picture` (or else the
    // file at `path`) stands among them, -1 when it is not there.
    virtual int pictureCount() const = 0;
    virtual int pictureIndex(const PictureRecord* picture, const QString& path) const = 0;
    // The picture at `index` of the strip; null outside it.
    virtual const PictureRecord* pictureAt(int index) const = 0;
    // The First, Next and Prev commands: each lets the document save or discard its changes first.
    virtual void firstPicture() = 0;
    virtual void nextPicture() = 0;
    virtual void previousPicture() = 0;
    // The browser's entries as the outputs read them.
    virtual const EntryListView& entryList() const = 0;
};
