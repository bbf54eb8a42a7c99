#include "picturecommands.h"

#include <QApplication>

#include <optional>

#include "framecontext.h"
#include "iptcblock.h"
#include "picdataview.h"
#include "picturerecord.h"
#include "prompter.h"

namespace picturecommands {

bool save(FrameContext& frame, CPicDataView& form, CSnaploreDoc::FileTimes times) {
    CSnaploreDoc& document = frame.document();
    Prompter& prompter = frame.prompter();
    PictureRecord* picture = document.picture();
    if (!picture) {
        QApplication::beep();
        return false;
    }
    if (!picture->archiveLocation.isEmpty()) {
        prompter.messageBox(QStringLiteral("Cannot save a file when the catalog has been Archived."),
                            QStringLiteral("Error!"), mb::Ok | mb::IconExclamation);
        return false;
    }
    const bool wasLocked = picture->locked();
    if (wasLocked) {
        if (prompter.messageBox(QStringLiteral("Picture is locked.  Do you wish to unlock it?"),
                                QStringLiteral("Unlock?"), mb::YesNoCancel | mb::IconQuestion) != id::Yes)
            return false;
        if (!picture->unlock()) {
            prompter.messageBox(QStringLiteral("Sorry, file cannot be unlocked"), QStringLiteral("Unlock"),
                                mb::Ok | mb::IconExclamation);
            return false;
        }
    }
    // The document reports a failed write itself; the browser's entry then stays as it was.
    const bool saved = document.SavePictureFile(times);
    if (wasLocked && prompter.messageBox(QStringLiteral("Picture was previously locked.  Do you wish to re-lock it?"),
                                         QStringLiteral("Lock?"), mb::YesNoCancel | mb::IconQuestion) == id::Yes) {
        if (PictureRecord* current = document.picture()) current->lock();
    }
    form.RefreshLockState();
    return saved;
}

void saveAndMoveOn(FrameContext& frame, CPicDataView& form, const QString& next, bool copyData) {
    CSnaploreDoc& document = frame.document();
    if (!save(frame, form, CSnaploreDoc::FileTimes::AsChosen)) return;
    std::optional<IptcBlock> data;
    if (copyData && document.picture()) data = document.picture()->iptc();
    if (next.isEmpty() || !document.OpenPictureFile(next)) return;
    if (data) form.ApplyCopy(*data);
}

}  // namespace picturecommands
