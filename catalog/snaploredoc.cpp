#include "snaploredoc.h"

#include "diagnostics.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QScopedValueRollback>
#include <QDebug>
#include <QTimer>

CSnaploreDoc::CSnaploreDoc(Prompter& prompter, QObject* parent) : QObject(parent), prompter_(prompter) {
    connect(&catalogUpkeep_, &CatalogUpkeep::failed, this, [this](const CatalogUpdateReport& report, bool removalsOnly) {
        const QString text =
            removalsOnly ? QStringLiteral("The picture was deleted, but the catalog of %1 could not be written.\n%2")
                         : QStringLiteral("The picture was saved, but the catalog of %1 could not be written.\n%2");
        const QString message = text.arg(QDir::toNativeSeparators(report.folder), describe(report.write));
        if (tellCatalogFailures_)
            prompter_.messageBox(message, QStringLiteral("Error!"), mb::Ok | mb::IconExclamation);
        else
            qWarning().noquote() << message;
    });
}

void CSnaploreDoc::finishCatalogWrites(bool tell) {
    QScopedValueRollback quiet(tellCatalogFailures_, tell);
    catalogUpkeep_.finish();
}

CSnaploreDoc::~CSnaploreDoc() = default;

void CSnaploreDoc::setPicture(std::unique_ptr<PictureRecord> owned, PictureRecord* shown, const QString& path) {
    formEdit_ = {};
    owned_ = std::move(owned);
    picture_ = owned_ ? owned_.get() : shown;
    pathName_ = path;
}

void CSnaploreDoc::DeleteContents() { setPicture(nullptr, nullptr, {}); }

bool CSnaploreDoc::SaveModified() {
    if (noPrompt) return true;
    savedFlag = 0;
    if (!modified_ || !picture_) return true;
    const QString name = pathName_.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(pathName_).fileName();
    const int answer = prompter_.messageBox(QStringLiteral("Save changes to %1?").arg(name), QStringLiteral("Snaplore"),
                                            mb::YesNoCancel | mb::IconExclamation);
    bool goOn = true;
    if (answer == id::Cancel)
        goOn = false;
    else if (answer == id::Yes) {
        QScopedValueRollback leaving(leaving_, true);
        goOn = SavePictureFile();
    }
    emit savedFlagChanged(savedFlag);
    return goOn;
}

bool CSnaploreDoc::OpenPictureFile(QString path) {
    if (!SaveModified()) return false;
    modified_ = false;
    emit statusMessage(QStringLiteral("Loading image..."), true);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        prompter_.messageBox(QStringLiteral("Cannot open %1.\n%2").arg(QDir::toNativeSeparators(path), file.errorString()),
                             QStringLiteral("Snaplore"), mb::Ok | mb::IconExclamation);
        emit statusMessage(QStringLiteral("Ready"), false);
        return false;
    }
    auto picture = std::make_unique<PictureRecord>(file, &prompter_);
    file.close();
    const bool odd = picture->iptc().oddLengthSeen;
    setPicture(std::move(picture), nullptr, QFileInfo(path).absoluteFilePath());
    emit updateAllViews();

    // A segment with an odd length was written by a careless program: warn with two beeps.
    if (odd) {
        snaplore::beep();
        QTimer::singleShot(100, this, [] { snaplore::beep(); });
    }
    emit statusMessage(QStringLiteral("Ready"), false);
    return true;
}

bool CSnaploreDoc::SavePictureFile(FileTimes times) {
    if (!picture_ || pathName_.isEmpty()) return false;
    // The picture takes the form's changes only for this save: when it fails, the form still holds
    // them, and so does the document.
    const IptcBlock before = picture_->iptc();
    if (formEdit_) formEdit_(*picture_);
    PictureChange written;
    const WriteResult result = picture_->save({}, times == FileTimes::Keep || keepFileTimes_, &written);
    if (!result) {
        picture_->iptc() = before;
        prompter_.messageBox(QStringLiteral("Cannot save %1.\n%2").arg(QDir::toNativeSeparators(pathName_), describe(result)),
                             QStringLiteral("Error!"), mb::Ok | mb::IconExclamation);
        return false;
    }
    formEdit_ = {};
    emit formEditStored();
    savedFlag = 1;
    modified_ = false;
    if (!written.note.isEmpty())
        prompter_.messageBox(QStringLiteral("%1 was saved, but %2.").arg(QDir::toNativeSeparators(pathName_), written.note),
                             QStringLiteral("Snaplore"), mb::Ok | mb::IconInformation);
    catalogUpkeep_.add({std::move(written)});
    emit pictureSaved(pathName_);
    emit updateAllViews();
    return true;
}

bool CSnaploreDoc::ClosePicture() {
    if (!picture_) return true;
    if (!SaveModified()) return false;
    DeleteContents();
    modified_ = false;
    emit updateAllViews();
    return true;
}

bool CSnaploreDoc::NewDocument() {
    if (!SaveModified()) return false;
    DeleteContents();
    modified_ = false;
    emit updateAllViews();
    return true;
}

bool CSnaploreDoc::OpenCatalogEntry(PictureRecord* entry) {
    if (!entry) return false;
    if (entry->fileExists()) return OpenPictureFile(entry->filePath());
    if (!entry->archiveLocation.isEmpty()) {
        // The picture lies on an archive disc that is not here: show what the catalog keeps.
        if (!SaveModified()) return false;
        modified_ = false;
        setPicture(nullptr, entry, entry->filePath());
        emit updateAllViews();
        return true;
    }
    prompter_.messageBox(QStringLiteral("Could not find file %1").arg(QDir::toNativeSeparators(entry->filePath())),
                         QStringLiteral("Error!"), mb::Ok | mb::IconStop);
    return false;
}
