#include "cdburncommand.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QProgressDialog>

#include "ccbburndlg.h"
#include "cdburn.h"
#include "exportentries.h"
#include "filename.h"
#include "filesaveasdlg.h"
#include "framecontext.h"
#include "prompter.h"
#include "samefile.h"
#include "saveas.h"

namespace cdburncommand {

namespace {

const QString kTitle = QStringLiteral("Burn CD");
const QString kReady = QStringLiteral("Ready");
const QString kImageFilter = QStringLiteral("ISO Images (*.iso)|*.iso|All Files (*.*)|*.*||");

class BurnCdSteps {
public:
    BurnCdSteps(CFileSaveAsDlg& dialog, FrameContext& frame, Setup setup)
        : dialog_(dialog), frame_(frame), setup_(std::move(setup)), options_(cdburncommand::optionsDialog(dialog)) {
        // Installed again (a test's own setup): the choices made so far stay.
        if (!options_) {
            options_ = new CCBBurnDlg(&dialog);
            options_->setObjectName(QStringLiteral("cdBurningOptions"));
        }
    }

    CCBBurnDlg* optionsDialog() const { return options_; }

    // Before the save: false stops it, and the Save dialog stays open with nothing written.
    bool prepare(QString& outputFolder) {
        Prompter& prompter = frame_.prompter();
        const QString staging = setup_.stagingFolder.trimmed();
        if (staging.isEmpty()) {
            prompter.messageBox(QStringLiteral("There is no folder for the files to be written to the CD."), kTitle,
                                mb::Ok | mb::IconExclamation);
            return false;
        }
        if (!QDir().mkpath(staging) || !QFileInfo(staging).isDir()) {
            prompter.messageBox(QStringLiteral("The folder for the files to be written to the CD, %1, cannot be made.")
                                    .arg(staging),
                                kTitle, mb::Ok | mb::IconExclamation);
            return false;
        }
        if (cdburn::countEntries(staging) > 0) {
            const int answer = prompter.messageBox(
                QStringLiteral("There are already files to be written to the CD. Do you wish to remove them?"),
                QStringLiteral("Remove Files?"), mb::YesNoCancel | mb::IconQuestion);
            if (answer == id::Cancel) return false;
            if (answer == id::Yes) {
                const cdburn::EmptyResult emptied = cdburn::emptyStagingFolder(staging, setup_.stagingFolder);
                if (!emptied.ok) {
                    prompter.messageBox(emptied.message, kTitle, mb::Ok | mb::IconExclamation);
                    return false;
                }
            }
        }
        if (options_->exec() != QDialog::Accepted) return false;
        dialog_.options().datedSubFolders = options_->options().datedSubFolders;
        // A trailing separator: even a single picture goes into the folder.
        outputFolder = QDir(staging).absolutePath() + QLatin1Char('/');
        return true;
    }

    // After the save: catalogs, autorun, then the disc or its image.
    void finish(const SaveAsResult&) {
        Prompter& prompter = frame_.prompter();
        const QString staging = QDir(setup_.stagingFolder.trimmed()).absolutePath();
        if (cdburn::countEntries(staging) == 0) {
            prompter.messageBox(QStringLiteral("There are no files to be written to the CD."), kTitle,
                                mb::Ok | mb::IconExclamation);
            frame_.setStatusText(kReady);
            return;
        }
        const CdBurnOptions& chosen = options_->options();
        frame_.setStatusText(QStringLiteral("Preparing the CD..."), true);
        const cdburn::StagingReport staged =
            cdburn::finishStaging(staging, {chosen.createCatalogs, chosen.addAutorun, setup_.autorunScript});
        frame_.setStatusText(kReady);
        if (!staged.ok())
            prompter.messageBox(staged.problems.join(QLatin1Char('\n')), kTitle, mb::Ok | mb::IconExclamation);

        const std::unique_ptr<CdWriter> writer = setup_.writer ? setup_.writer() : nullptr;
        if (!writer) return;
        const QString volume = setup_.volumeName.isEmpty() ? cdwriter::defaultVolumeName() : setup_.volumeName;
        const QString stays = QStringLiteral("\n\nThe pictures stay in %1.").arg(QDir::toNativeSeparators(staging));
        const QStringList drives = writer->recordableDrives();
        if (!drives.isEmpty()) {
            const CdWriteResult burnt = withProgress(QStringLiteral("Writing the CD..."), [&](const CdProgress& progress) {
                return writer->burn(staging, volume, drives.first(), progress);
            });
            if (burnt.ok)
                prompter.messageBox(QStringLiteral("The CD was written."), kTitle, mb::Ok | mb::IconInformation);
            else
                prompter.messageBox(QStringLiteral("The CD could not be written:\n%1").arg(burnt.error) + stays, kTitle,
                                    mb::Ok | mb::IconExclamation);
            return;
        }

        const int answer = prompter.messageBox(
            QStringLiteral("No CD writer was found.\nDo you want to save the CD as an ISO image file instead? It can be "
                           "written to a disc later, or kept as an archive."),
            kTitle, mb::YesNo | mb::IconQuestion);
        if (answer != id::Yes) return;
        // A Documents folder that is not there would leave the chooser wherever the program started.
        const QString documents = frame_.myDocumentsPath();
        const QString folder = !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
        QString image = prompter.saveFileName(QStringLiteral("Save CD Image"),
                                              QDir(folder).filePath(SuggestedFileName(volume + QStringLiteral(".iso"))), kImageFilter);
        if (image.isEmpty()) return;
        if (QFileInfo(image).suffix().isEmpty()) image += QStringLiteral(".iso");
        // The image never goes over one of the folder's pictures.
        if (const QString input = InputAtOutput(image, PicturesOf(frame_.entryList().entries())); !input.isEmpty()) {
            prompter.messageBox(
                QStringLiteral("The CD image could not be saved:\n%1.").arg(OutputIsInputText(image, input)) + stays,
                kTitle, mb::Ok | mb::IconExclamation);
            return;
        }
        const CdWriteResult written =
            withProgress(QStringLiteral("Writing the CD image..."), [&](const CdProgress& progress) {
                return writer->writeImage(staging, volume, image, progress);
            });
        if (written.ok)
            prompter.messageBox(QStringLiteral("The CD image was saved to %1.").arg(QDir::toNativeSeparators(image)),
                                kTitle, mb::Ok | mb::IconInformation);
        else
            prompter.messageBox(QStringLiteral("The CD image could not be saved:\n%1").arg(written.error) + stays,
                                kTitle, mb::Ok | mb::IconExclamation);
    }

private:
    // Runs the write with a progress dialog whose Cancel stops it; the dialog is gone before the
    // result is told.
    CdWriteResult withProgress(const QString& text, const std::function<CdWriteResult(const CdProgress&)>& write) {
        QProgressDialog progress(text, QStringLiteral("Cancel"), 0, 100, &dialog_);
        progress.setObjectName(QStringLiteral("cdProgress"));
        progress.setWindowTitle(kTitle);
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(0);
        progress.setAutoClose(false);
        progress.setAutoReset(false);
        progress.setValue(0);
        frame_.setStatusText(text, true);
        const CdWriteResult result = write([&progress](int percent) {
            if (percent != progress.value()) progress.setValue(percent);
            QCoreApplication::processEvents();
            return !progress.wasCanceled();
        });
        progress.close();
        frame_.setStatusText(kReady);
        return result;
    }

    CFileSaveAsDlg& dialog_;
    FrameContext& frame_;
    Setup setup_;
    CCBBurnDlg* options_;
};

}  // namespace

Setup defaultSetup() {
    Setup setup;
    setup.stagingFolder = cdburn::defaultStagingFolder();
    setup.autorunScript = cdburn::findAutorunScript(QCoreApplication::applicationDirPath());
    setup.writer = [] { return std::make_unique<XorrisoCdWriter>(); };
    return setup;
}

void install(CFileSaveAsDlg& dialog, FrameContext& frame, Setup setup) {
    auto steps = std::make_shared<BurnCdSteps>(dialog, frame, std::move(setup));
    CFileSaveAsDlg::Hooks hooks;
    hooks.prepare = [steps](QString& folder) { return steps->prepare(folder); };
    hooks.finish = [steps](const SaveAsResult& result) { steps->finish(result); };
    dialog.setHooks(std::move(hooks));
}

CCBBurnDlg* optionsDialog(CFileSaveAsDlg& dialog) {
    return dialog.findChild<CCBBurnDlg*>(QStringLiteral("cdBurningOptions"));
}

}  // namespace cdburncommand
