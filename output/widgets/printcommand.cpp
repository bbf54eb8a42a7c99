#include "printcommand.h"

#include <QPageSetupDialog>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>

#include "filename.h"
#include "framecontext.h"
#include "leftoutnotice.h"
#include "printoptionsdlg.h"
#include "printpreviewdlg.h"
#include "printview.h"
#include "prompter.h"
#include "safewrite.h"
#include "samefile.h"
#include "snaploredoc.h"
#include "updatecheck.h"

namespace printcommand {

namespace {

const QString kCaption = QStringLiteral("Print");

// Opens the options dialog, titled for the command, on the frame's current pictures; false when it
// was cancelled.
bool chooseOptions(FrameContext& frame, CPrintOptionsDlg& options, CPrintOptionsDlg::Variant variant,
                   bool searchResults) {
    leftoutnotice::tell(frame);
    options.setVariant(variant);
    options.setPictures(frame.document().picture(), frame.entryList().entries(), searchResults);
    options.readPrinter();
    return options.exec() == QDialog::Accepted;
}

// The print's title; the print dialog offers it as the name of a file to print to, so it is made
// fit for one.
void nameDocument(QPrinter& printer, const QString& title) { printer.setDocName(SuggestedFileName(title)); }

// A printer that prints to a PDF file writes it through the safe write, like every other file.
bool printToFile(CPrintView& view, QPrinter& printer, const QString& title, int from, int to, QString& error) {
    bool painted = false;
    const WriteResult result = safeWrite(printer.outputFileName(), [&](QFile& file) {
        QPdfWriter writer(&file);
        writer.setResolution(printer.resolution());
        writer.setPageLayout(printer.pageLayout());
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Snaplore"));
        painted = view.print(writer, from, to);
        return painted;
    });
    if (!result) error = describe(result);
    return bool(result);
}

// What File > Print does once the options are chosen: the full pictures, never thumbnails, on the
// pages the print dialog asks for. False when nothing was printed because there was nothing to print
// or the user cancelled the print dialog.
bool printPictures(FrameContext& frame, const CPrintOptionsDlg& options, QPrinter& printer, QWidget* parent) {
    const QList<PictureRecord*> pictures = options.picturesToPrint();
    if (pictures.isEmpty()) {
        frame.prompter().messageBox(QStringLiteral("There are no pictures to print."), kCaption,
                                    mb::Ok | mb::IconInformation);
        return false;
    }
    CPrintView view(pictures, options.options(), update::siteAddress(frame.settings()));
    const QString title = print::documentTitle(options.selectionText(), int(pictures.size()));
    nameDocument(printer, title);
    printer.setFromTo(1, view.pageCount());
    QPrintDialog dialog(&printer, parent);
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange |
                      QAbstractPrintDialog::PrintShowPageSize | QAbstractPrintDialog::PrintCollateCopies);
    dialog.setMinMax(1, view.pageCount());
    if (dialog.exec() != QDialog::Accepted) return false;
    const bool range = printer.printRange() == QPrinter::PageRange;
    const int from = range ? printer.fromPage() : 0;
    const int to = range ? printer.toPage() : 0;

    frame.setStatusText(QStringLiteral("Printing..."), true);
    QString error;
    bool done = false;
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty();
    // The file never goes over a picture it prints.
    if (const QString input = toFile ? InputAtOutput(printer.outputFileName(), pictures) : QString(); !input.isEmpty())
        error = OutputIsInputText(printer.outputFileName(), input);
    else if (toFile)
        done = printToFile(view, printer, title, from, to, error);
    else
        done = view.print(printer, from, to);
    frame.setStatusText(QStringLiteral("Ready"));
    if (!done) {
        frame.prompter().messageBox(
            error.isEmpty() ? QStringLiteral("The pages could not be printed.")
                            : QStringLiteral("The pages could not be printed.\n%1").arg(error),
            QStringLiteral("Error!"), mb::Ok | mb::IconExclamation);
        return true;
    }
    if (const QString report = view.failureReport(); !report.isEmpty())
        frame.prompter().messageBox(report, kCaption, mb::Ok | mb::IconExclamation);
    return true;
}

}  // namespace

void print(FrameContext& frame, CPrintOptionsDlg& options, QPrinter& printer, bool searchResults, QWidget* parent) {
    if (!chooseOptions(frame, options, CPrintOptionsDlg::Variant::Print, searchResults)) return;
    printPictures(frame, options, printer, parent);
}

void preview(FrameContext& frame, CPrintOptionsDlg& options, QPrinter& printer, bool searchResults, QWidget* parent) {
    if (!chooseOptions(frame, options, CPrintOptionsDlg::Variant::Preview, searchResults)) return;
    const QList<PictureRecord*> pictures = options.picturesToPrint();
    CPrintView view(pictures, options.options(), update::siteAddress(frame.settings()));
    view.setPreview(true);
    nameDocument(printer, print::documentTitle(options.selectionText(), int(pictures.size())));
    CPrintPreviewDlg dialog(
        printer, [&view](QPrinter& target) { view.print(target); },
        [&](QWidget* over) { return printPictures(frame, options, printer, over); }, parent);
    dialog.exec();
}

void pageSetup(QPrinter& printer, QWidget* parent) {
    QPageSetupDialog dialog(&printer, parent);
    dialog.exec();
}

}  // namespace printcommand
