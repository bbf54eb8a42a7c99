#pragma once
// The Export menu's commands: the index print (its dialog kept by the main window for the run), the
// data report and the HTML pages, each over the browser's entries as the tree groups them.

class CIndexPrintDlg;
class FrameContext;
class QWidget;

namespace exportcommands {

// Export > Index Print...: `dialog` is made on first use (a child of `parent`) and kept.
void indexPrint(FrameContext& frame, CIndexPrintDlg*& dialog, bool searchResults, QWidget* parent);
// Export > Picture Data...
void exportData(FrameContext& frame, QWidget* parent);
// Export > HTML Pages...: the dialog starts with the example templates the program ships.
void exportHtml(FrameContext& frame, QWidget* parent);

}  // namespace exportcommands
