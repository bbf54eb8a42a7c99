#pragma once
// The single document: the one picture open in the views. Opening reads a PictureRecord from the
// picture file; saving puts the changes the form handed over into the picture, writes it through the
// safe rewrite, and hands it to the catalog upkeep, which brings the folder's catalog up to date in the
// background. The document knows its views only through signals,
// so it works, and is tested, without windows.

#include "catalogupkeep.h"
#include "picturerecord.h"
#include "prompter.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class CSnaploreDoc : public QObject {
    Q_OBJECT
public:
    explicit CSnaploreDoc(Prompter& prompter, QObject* parent = nullptr);
    ~CSnaploreDoc() override;

    // Opens a picture file after asking whether to save the current one. False when the user
    // cancelled or the file could not be read. The path is taken by value: a save on the way may free
    // the record it came from.
    bool OpenPictureFile(QString path);

    // The file times a save of the open picture leaves: those the file had (the default), or the
    // time of the save.
    enum class FileTimes { AsChosen, Keep };
    // Writes the open picture into its file (the form's changes first), then hands it to the catalog
    // upkeep. The file keeps its times unless the user chose otherwise
    // (setKeepFileTimes); `Keep` keeps them whatever the choice. False, with a message, when the
    // picture could not be written.
    bool SavePictureFile(FileTimes times = FileTimes::AsChosen);
    bool keepFileTimes() const { return keepFileTimes_; }
    void setKeepFileTimes(bool keep) { keepFileTimes_ = keep; }
    // The save-changes question. True when the caller may go on (saved, discarded or not asked).
    bool SaveModified();
    // Drops the open picture after the save question; false when the user cancelled.
    bool ClosePicture();
    // Starts an empty document (no picture) after the save question.
    bool NewDocument();
    // Frees the picture when the document owns it.
    void DeleteContents();
    // Opens a picture of a loaded catalog: its file when it exists, else the catalog's own record
    // when the picture was archived; else "Could not find file %s".
    bool OpenCatalogEntry(PictureRecord* entry);

    PictureRecord* picture() const { return picture_; }
    bool ownsPicture() const { return owned_ != nullptr; }
    const QString& pathName() const { return pathName_; }
    bool isModified() const { return modified_; }
    // True while the save question's save runs: the open picture is about to be left.
    bool leaving() const { return leaving_; }
    void setModified(bool modified) { modified_ = modified; }
    Prompter& prompter() const { return prompter_; }

    // The changes the picture data form holds, handed over as they are made: the next save puts them
    // into the picture. A new hand-over replaces the one before; opening or closing a picture drops it.
    using FormEdit = std::function<void(PictureRecord& picture)>;
    void setFormEdit(FormEdit edit) { formEdit_ = std::move(edit); }
    bool hasFormEdit() const { return bool(formEdit_); }

    // Keeps the catalogs of the folders whose pictures were saved or deleted current, off the UI thread.
    CatalogUpkeep& catalogUpkeep() { return catalogUpkeep_; }
    // Writes every catalog still waiting; before a folder is read or left and before the end. Without
    // `tell`, a catalog that could not be written is only logged.
    void finishCatalogWrites(bool tell = true);

    // When set, the save-changes question is skipped and a close goes ahead.
    int noPrompt = 0;
    // 1 once the picture was written; handed to the picture data form after a save question.
    int savedFlag = 0;

    // The document type of the program's catalogs.
    static QString documentFilter() { return QStringLiteral("Snaplore Files (*.sidx)"); }

signals:
    // The open picture changed: opened, saved, closed. Views refresh themselves.
    void updateAllViews();
    // A text for the status bar; busy means a wait cursor while it shows.
    void statusMessage(const QString& text, bool busy);
    // After a save put the form's changes into the picture: the form starts counting changes again.
    void formEditStored();
    // After a save question on a modified document.
    void savedFlagChanged(int savedFlag);
    // After a picture file was written successfully, before the views are updated: whoever keeps
    // a record of its own of that file reads it again.
    void pictureSaved(const QString& path);

private:
    void setPicture(std::unique_ptr<PictureRecord> owned, PictureRecord* shown, const QString& path);

    Prompter& prompter_;
    std::unique_ptr<PictureRecord> owned_;
    PictureRecord* picture_ = nullptr;
    QString pathName_;
    bool modified_ = false;
    bool keepFileTimes_ = true;
    bool leaving_ = false;
    FormEdit formEdit_;
    bool tellCatalogFailures_ = true;
    CatalogUpkeep catalogUpkeep_;
};
