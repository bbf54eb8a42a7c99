#pragma once
// File > Print..., Print Preview and Page Setup...: the options dialog, then the system's print,
// preview or page setup dialog over the frame's printer, whose settings last for the run. Print and
// Print Preview share one options dialog, so a choice made for one is what the other shows next.

class CPrintOptionsDlg;
class FrameContext;
class QPrinter;
class QWidget;

namespace printcommand {

// The options (Cancel stops), the print dialog for the page range, then the pages. Tells the user
// when there is nothing to print, and names the pictures whose places stayed blank.
void print(FrameContext& frame, CPrintOptionsDlg& options, QPrinter& printer, bool searchResults, QWidget* parent);
// The options in their preview variant, then the preview window. Its Print button prints as Print
// does, from the full pictures, with the options chosen here.
void preview(FrameContext& frame, CPrintOptionsDlg& options, QPrinter& printer, bool searchResults, QWidget* parent);
// The system's page setup; on OK the printer takes its settings.
void pageSetup(QPrinter& printer, QWidget* parent);

}  // namespace printcommand
