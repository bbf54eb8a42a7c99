#pragma once
// What the views and dialogs of the main window reach through the frame. The frame implements it;
// flow tests can implement it with a small fake.

#include <QString>

class CSnaploreDoc;
class Prompter;
class SettingsStore;
class PictureRecord;
class QWidget;
class CFileBrowserView;
class CThumbView;

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

    virtual CFileBrowserView* browser() = 0;
    virtual CThumbView* thumbView() = 0;
};
