#pragma once
// The work behind File > Save As..., Send Email To..., Burn CD... and Drag && Drop Options...: the
// frame's four dialog instances are made here, handed the current picture and the browser's entries
// before each opening, and the e-mail follows Send Email's save. The copy a dragged picture becomes
// is made here too, with the Drag and Drop instance's options.

#include <QString>

#include "saveasoptions.h"

class CFileSaveAsDlg;
class FrameContext;
class QWidget;
struct SaveAsResult;

namespace saveascommand {

// The instance of one command, to be kept for the run. Send Email's copies go to `temporaryFolder`
// and are then handed to the mail program.
CFileSaveAsDlg* create(SaveAsMode mode, FrameContext& frame, const QString& temporaryFolder, QWidget* parent);

// Save As, Send Email and Burn CD: the current picture (whose file must still be there) and the
// browser's entries go to the dialog, which then runs. False when it was not shown (a beep when no
// picture is open, a message when its file is gone).
bool run(FrameContext& frame, CFileSaveAsDlg& dialog, bool searchResults);

// Drag && Drop Options: the options alone, for no picture in particular.
void chooseDragOptions(CFileSaveAsDlg& dialog);

// The picture at `picturePath` rendered with the dialog's options into `target`, as the copy a drag
// hands over. False, with the reason in `report`, when no copy could be made.
bool renderDragCopy(FrameContext& frame, CFileSaveAsDlg& dialog, const QString& picturePath, const QString& target,
                    QString& report);

// After Send Email's save: the copies go to the mail program, with the wait cursor and the status
// texts; the last text says the message was handed over, not that it was sent.
void sendEmail(FrameContext& frame, const SaveAsResult& result);

}  // namespace saveascommand
