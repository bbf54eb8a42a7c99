#include "exportcommands.h"

#include <QCoreApplication>

#include "exportdatadlg.h"
#include "exportentries.h"
#include "exporthtmldlg.h"
#include "framecontext.h"
#include "htmlexport.h"
#include "indexprintdlg.h"
#include "leftoutnotice.h"
#include "snaploredoc.h"

namespace exportcommands {

void indexPrint(FrameContext& frame, CIndexPrintDlg*& dialog, bool searchResults, QWidget* parent) {
    if (!dialog) {
        dialog = new CIndexPrintDlg(frame.prompter(), parent);
        dialog->setStatusSink([&frame](const QString& text, bool busy) { frame.setStatusText(text, busy); });
    }
    leftoutnotice::tell(frame);
    // Pictures a search left out stay in the list for "Entire Catalog".
    dialog->setSource(frame.document().picture(), GroupedByEvent(frame.entryList().entries(), true), searchResults);
    dialog->exec();
}

void exportData(FrameContext& frame, QWidget* parent) {
    leftoutnotice::tell(frame);
    CExportDataDlg dialog(GroupedByEvent(frame.entryList().entries()), frame.prompter(), parent);
    dialog.exec();
}

void exportHtml(FrameContext& frame, QWidget* parent) {
    leftoutnotice::tell(frame);
    CExportHTMLDlg dialog(GroupedByEvent(frame.entryList().entries()), frame.prompter(), parent);
    // The examples that come with the program are the first offer; "..." chooses others.
    const HtmlTemplates examples = ExampleHtmlTemplates(QCoreApplication::applicationDirPath());
    dialog.setTemplates(examples.main, examples.event);
    dialog.setStatusSink([&frame](const QString& text, bool busy) { frame.setStatusText(text, busy); });
    dialog.exec();
}

}  // namespace exportcommands
