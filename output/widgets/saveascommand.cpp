#include "saveascommand.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include "cdburncommand.h"
#include "email.h"
#include "filesaveasdlg.h"
#include "framecontext.h"
#include "leftoutnotice.h"
#include "picturerecord.h"
#include "prompter.h"
#include "saveas.h"
#include "snaploredoc.h"

namespace saveascommand {

namespace {
const QString kReady = QStringLiteral("Ready");
}  // namespace

CFileSaveAsDlg* create(SaveAsMode mode, FrameContext& frame, const QString& temporaryFolder, QWidget* parent) {
    auto* dialog = new CFileSaveAsDlg(mode, frame, parent);
    if (mode == SaveAsMode::SendEmail) {
        CFileSaveAsDlg::Hooks hooks;
        hooks.prepare = [temporaryFolder](QString& folder) {
            // A trailing separator: even a single copy goes into the folder, made when missing.
            folder = QDir(temporaryFolder).absolutePath() + QLatin1Char('/');
            return true;
        };
        hooks.finish = [&frame](const SaveAsResult& result) { sendEmail(frame, result); };
        dialog->setHooks(std::move(hooks));
    } else if (mode == SaveAsMode::BurnCd) {
        cdburncommand::install(*dialog, frame, cdburncommand::defaultSetup());
    }
    return dialog;
}

bool run(FrameContext& frame, CFileSaveAsDlg& dialog, bool searchResults) {
    PictureRecord* picture = frame.document().picture();
    if (!picture) {
        QApplication::beep();
        return false;
    }
    if (!QFileInfo::exists(picture->filePath())) {
        frame.prompter().messageBox(QStringLiteral("Cannot save file.  File does not exist."), QStringLiteral("Error!"),
                                    mb::Ok | mb::IconExclamation);
        return false;
    }
    leftoutnotice::tell(frame);
    dialog.setCurrentPicture(picture);
    dialog.setEntries(frame.entryList().entries(), searchResults);
    dialog.exec();
    // The pictures belong to the browser and the document, which may let them go before the next opening.
    dialog.forget();
    return true;
}

void chooseDragOptions(CFileSaveAsDlg& dialog) {
    dialog.forget();
    dialog.exec();
}

bool renderDragCopy(FrameContext& frame, CFileSaveAsDlg& dialog, const QString& picturePath, const QString& target,
                    QString& report) {
    // Read afresh: the drop may come when the browser has moved on from the picture dragged.
    PictureRecord picture(picturePath);
    dialog.setCurrentPicture(&picture);
    SaveProgress progress;
    progress.status = [&frame](const QString& text, bool busy) { frame.setStatusText(text, busy); };
    SaveAsRun run(dialog.options(), &frame.prompter(), progress);
    run.setTotal(1);
    run.setOverwriteAll(true);  // the name is new to this drag; the folder is the program's own
    QDir().mkpath(QFileInfo(target).absolutePath());
    const SaveOutcome outcome = run.SavePictureCopy(picture, target);
    dialog.setCurrentPicture(nullptr);
    frame.setStatusText(kReady);
    if (outcome == SaveOutcome::Written) return true;
    report = run.failureReport();
    if (report.isEmpty()) report = QStringLiteral("%1 could not be copied for the drop.").arg(picture.fileName());
    return false;
}

void sendEmail(FrameContext& frame, const SaveAsResult& result) {
    // Pictures that could not be made were named in the run's report; with none left there is no mail.
    if (result.mailAttachments.isEmpty()) {
        frame.setStatusText(kReady);
        return;
    }
    const MailRequest request{result.mailSubject, result.mailAttachments};
    const MailResult mail = SendEmail(request, frame.settings(), frame.prompter(),
                                      [&frame](const QString& text, bool busy) { frame.setStatusText(text, busy); });
    frame.setStatusText(kReady);  // the wait cursor goes
    if (mail.statusText != kReady) frame.setStatusText(mail.statusText);
}

}  // namespace saveascommand
