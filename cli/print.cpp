// snaplore-cli print: the printed pages of pictures, into a PDF file instead of onto a printer.

#include "commands.h"
#include "exportentries.h"
#include "picturerecord.h"
#include "printlayout.h"
#include "printview.h"
#include "safewrite.h"
#include "samefile.h"
#include "settingsstore.h"
#include "updatecheck.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>

#include <memory>
#include <vector>

namespace {

const char kPrintUsage[] =
    "Usage: snaplore-cli print --pdf FILE [OPTIONS] DIR|FILE...\n"
    "Prints pictures on photo-sized positions of the page into a PDF file (300 dpi).\n"
    "  --pdf FILE            the PDF file to write\n"
    "  --layout LAYOUT       multiple (pictures side by side) or single (one centred per page);\n"
    "                        default multiple\n"
    "  --size SIZE           2.5x3.25, 3.5x5, 4x6, 5x7 or 8x10 (default 4x6)\n"
    "  --pages KIND          picture, info (each picture's information) or both (double sided: a\n"
    "                        picture page, then its information mirrored); default picture\n"
    "  --copies N            each picture N times, 1 to 99 (default 1)\n"
    "  --paper PAPER         letter or a4 (default: the locale's)\n"
    "  --no-border           no outline around the information\n"
    "  --event TEXT          of a folder, only the pictures of this event (its title as the tree\n"
    "                        shows it, or its name)\n"
    "  --overwrite           replace an existing PDF file\n"
    "A folder gives its catalog's pictures when it has a catalog, else its pictures, in the order the\n"
    "window's tree shows them; files given one by one keep their order. The file written is named on\n"
    "standard output; pictures that could not be printed are named on standard error, their places\n"
    "left blank, and the exit status is 1.\n";

// "4x6" for "4 x 6".
int sizeRow(const QString& value) {
    const QStringList& texts = print::sizeTexts();
    for (int i = 0; i < texts.size(); ++i)
        if (QString(texts[i]).remove(QLatin1Char(' ')).compare(value, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

// --event names an event by its title as the tree shows it ("06/01-03/2024 Summer") or by its name
// alone ("Summer").
bool inEvent(const OutputEntry& entry, const QString& event) {
    if (IptcBlock::EventTitleOfKey(entry.eventText) == event) return true;
    const QString& text = entry.picture->iptc().event;
    const qsizetype separator = text.indexOf(QStringLiteral(":::"));
    return !text.isEmpty() && (separator > 0 ? text.mid(separator + 3) : text) == event;
}

}  // namespace

int runPrint(const CliArgs& args, CliStreams io) {
    print::PrintOptions options;
    QString pdf;
    QString event;
    bool eventGiven = false;
    bool overwrite = false;
    QPageSize paper(QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                                        : QPageSize::A4);
    const auto refuse = [&](const QString& reason) { return usageError(io, "print", reason, kPrintUsage); };
    CliOptions p;
    if (const auto status = parseCommandLine(args, io, "print", kPrintUsage, {"pdf", "layout", "size", "pages", "copies", "paper", "event"},
                                      {"no-border", "overwrite"}, p)) return *status;
    const QList<QByteArray>& inputs = p.operands;
    for (const CliOptions::Option& option : p.options) {
        const QString& name = option.name;
        const QString& value = option.value;
        if (name == "no-border") {
            options.infoBorder = false;
        } else if (name == "overwrite") {
            overwrite = true;
        } else if (name == "pdf") {
            pdf = value;
        } else if (name == "layout") {
            if (value.compare("multiple", Qt::CaseInsensitive) == 0)
                options.layout = print::Layout::Multiple;
            else if (value.compare("single", Qt::CaseInsensitive) == 0)
                options.layout = print::Layout::Single;
            else
                return refuse(QStringLiteral("unknown layout '%1'").arg(value));
        } else if (name == "size") {
            options.size = sizeRow(value);
            if (options.size < 0) return refuse(QStringLiteral("unknown size '%1'").arg(value));
        } else if (name == "pages") {
            if (value.compare("picture", Qt::CaseInsensitive) == 0)
                options.pages = print::Pages::Picture;
            else if (value.compare("info", Qt::CaseInsensitive) == 0)
                options.pages = print::Pages::Info;
            else if (value.compare("both", Qt::CaseInsensitive) == 0)
                options.pages = print::Pages::Both;
            else
                return refuse(QStringLiteral("unknown page kind '%1'").arg(value));
        } else if (name == "copies") {
            bool ok = false;
            options.copies = value.toInt(&ok);
            if (!ok || options.copies < 1 || options.copies > print::kMaxCopies)
                return refuse(QStringLiteral("--copies wants a number from 1 to 99, not '%1'").arg(value));
        } else if (name == "paper") {
            if (value.compare("letter", Qt::CaseInsensitive) == 0)
                paper = QPageSize(QPageSize::Letter);
            else if (value.compare("a4", Qt::CaseInsensitive) == 0)
                paper = QPageSize(QPageSize::A4);
            else
                return refuse(QStringLiteral("unknown paper '%1'").arg(value));
        } else {
            event = value;
            eventGiven = true;
        }
    }
    if (pdf.isEmpty()) return refuse(QStringLiteral("no --pdf given"));
    if (inputs.isEmpty()) return refuse(QStringLiteral("no folder or file given"));
    const bool folder = inputs.size() == 1 && QFileInfo(QFile::decodeName(inputs.first())).isDir();
    if (eventGiven && !folder) return refuse(QStringLiteral("--event needs one folder"));

    int status = 0;
    const auto fail = [&](const QString& name, const QString& reason) {
        io.err << "snaplore-cli: " << name << ": " << reason << "\n";
        status = 1;
    };

    // The pictures, in print order, each `copies` times.
    std::vector<std::unique_ptr<PictureRecord>> owned;
    FolderExport folderPictures;  // owns a folder's pictures
    QList<PictureRecord*> chosen;
    QList<PictureRecord*> pictures;
    QString selectionText = QStringLiteral("Entire Catalog");
    if (folder) {
        folderPictures = ReadFolderForExport(QFile::decodeName(inputs.first()));
        if (!folderPictures.problem.isEmpty()) fail(printableName(inputs.first()), folderPictures.problem);
        if (reportLeftOut(folderPictures, io.err)) status = 1;
        if (eventGiven) selectionText = QStringLiteral("%1 (Event)").arg(event);
        for (const OutputEntry& entry : folderPictures.entries)
            if (entry.kind == OutputEntry::Kind::Picture && entry.picture && (!eventGiven || inEvent(entry, event)))
                chosen << entry.picture;
    } else {
        chosen = readInputPictures(inputs, owned, fail);
    }
    for (PictureRecord* picture : chosen)
        for (int c = 0; c < options.copies; ++c) pictures << picture;
    if (pictures.isEmpty()) {
        fail(pdf, QStringLiteral("there is nothing to print; no file was written"));
        return status;
    }
    // Not even --overwrite puts the pages over a picture they print.
    if (const QString input = InputAtOutput(pdf, chosen); !input.isEmpty()) {
        fail(pdf, OutputIsInputText(pdf, input));
        return status;
    }
    if (!overwrite && nameTaken(pdf)) {
        fail(pdf, QStringLiteral("exists (--overwrite replaces it)"));
        return status;
    }

    const QString site = update::siteAddress(SettingsStore(SettingsStore::defaultPath()));
    CPrintView view(pictures, options, site);
    bool drawing = false, painted = false;
    const WriteResult result = safeWrite(pdf, [&](QFile& file) {
        drawing = true;
        QPdfWriter writer(&file);
        writer.setResolution(300);
        writer.setPageLayout(QPageLayout(paper, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        writer.setTitle(print::documentTitle(selectionText, int(pictures.size())));
        writer.setCreator(QStringLiteral("Snaplore"));
        painted = view.print(writer);
        return painted;
    });
    for (const PrintFailure& failure : view.failures()) fail(failure.picture, failure.reason + "; its place is blank");
    if (!result) {
        // The pages are blamed only when drawing them was what failed; a missing folder, a denied
        // permission, a device or a full disk says so in the system's words.
        fail(pdf, drawing && !painted && result.detail.isEmpty() ? QStringLiteral("the pages could not be drawn")
                                                                  : describe(result));
        return status;
    }
    io.out << QDir::toNativeSeparators(pdf) << "\n";
    return status;
}
