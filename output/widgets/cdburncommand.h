#pragma once
// The work of File > Burn CD... around the Burn CD instance's save: before it, the staging folder
// (emptied or kept at the user's word) and the CD Burning Options; after it, the catalogs, the
// autorun script and the writing of the disc, or, without a CD writer, an ISO image in a file the user
// chooses. Every question and message goes through the frame's prompter.

#include <QString>

#include <functional>
#include <memory>

#include "cdwriter.h"

class CCBBurnDlg;
class CFileSaveAsDlg;
class FrameContext;

namespace cdburncommand {

struct Setup {
    QString stagingFolder;  // the program's own staging folder; nothing outside it is ever deleted
    QString autorunScript;  // the shipped script; empty when it was not found
    // The writer of one burn; made anew each time so a drive put in since is seen.
    std::function<std::unique_ptr<CdWriter>()> writer;
    // The volume name; empty for "SNAPLORE_" and the day's date, taken when the disc is written.
    QString volumeName;
};
// The program's staging folder, the script beside the running program, and xorriso.
Setup defaultSetup();

// Gives the dialog the Burn CD steps; the options dialog it shows becomes the dialog's child, so its
// choices last as long as the dialog.
void install(CFileSaveAsDlg& dialog, FrameContext& frame, Setup setup);
// The options dialog that install() made; null before.
CCBBurnDlg* optionsDialog(CFileSaveAsDlg& dialog);

}  // namespace cdburncommand
