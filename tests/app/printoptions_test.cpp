// The Print Options dialog: its counts and pages from the picture selection, the choices it keeps
// between openings, the controls each variant enables; Print with nothing to print; and printing from
// the preview, which prints the full pictures with the options chosen for the preview.

#include "printoptionsdlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

#include <memory>
#include <vector>

#include "fakeframe.h"
#include "printcommand.h"
#include "printpreviewdlg.h"
#include "testsupport.h"

inline void PrintTo(const QSize& size, std::ostream* out) { *out << size.width() << " x " << size.height(); }

namespace {

struct Pictures {
    std::vector<std::unique_ptr<PictureRecord>> owned;
    QList<OutputEntry> entries;
    // `count` picture entries, every other one flagged.
    explicit Pictures(int count) {
        for (int i = 0; i < count; ++i) {
            owned.push_back(std::make_unique<PictureRecord>(testsupport::dataPath("Canon_40D.jpg")));
            OutputEntry entry;
            entry.kind = OutputEntry::Kind::Picture;
            entry.picture = owned.back().get();
            entry.flagged = i % 2 == 0;
            entries << entry;
        }
    }
};

void choose(CPrintOptionsDlg& dialog, const QString& text) {
    auto* pictures = dialog.findChildren<QComboBox*>().at(0);
    const int index = pictures->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    pictures->setCurrentIndex(index);
    emit pictures->activated(index);
}

// Runs `interact` on the first modal dialog of type T that comes up within five seconds.
template <typename T>
void onModal(std::function<void(T*)> interact) {
    auto* poll = new QTimer;
    const QDeadlineTimer deadline(5000);
    QObject::connect(poll, &QTimer::timeout, [poll, deadline, interact] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            interact(dialog);
        } else if (deadline.hasExpired()) {
            poll->stop();
            poll->deleteLater();
            ADD_FAILURE() << "the dialog did not appear";
            if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget())) other->reject();
        }
    });
    poll->start(10);
}

// The sizes of the pictures a PDF holds, as pdfimages lists them.
QList<QSize> imagesIn(const QString& pdf) {
    QProcess run;
    run.start("pdfimages", {"-list", pdf});
    if (!run.waitForFinished(20000) || run.exitCode() != 0) {
        ADD_FAILURE() << "pdfimages (poppler-utils) is needed: " << run.readAllStandardError().toStdString();
        return {};
    }
    QList<QSize> sizes;
    const QStringList lines = QString::fromUtf8(run.readAllStandardOutput()).split('\n');
    for (const QString& line : lines.mid(2)) {  // a heading and a rule
        const QStringList fields = line.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
        if (fields.size() > 4 && fields[2] == "image") sizes << QSize(fields[3].toInt(), fields[4].toInt());
    }
    return sizes;
}

}  // namespace

TEST(PrintOptionsDialog, CountsPagesAndEnabling) {
    QPrinter printer;
    CPrintOptionsDlg dialog(CPrintOptionsDlg::Variant::Print, printer);
    EXPECT_EQ(dialog.windowTitle(), "Print Options");
    Pictures pictures(7);
    dialog.setPictures(pictures.owned[0].get(), pictures.entries, false);
    EXPECT_EQ(dialog.selection(), PictureSelection::Picture);
    EXPECT_EQ(dialog.pictureCount(), 1);
    EXPECT_EQ(dialog.pageCount(), 1);

    choose(dialog, "Entire Catalog");
    EXPECT_EQ(dialog.pictureCount(), 7);
    EXPECT_EQ(dialog.pageCount(), 3);  // 7 at "4 x 6"
    auto* infoBorder = dialog.findChildren<QCheckBox*>().at(1);
    auto* quickPreview = dialog.findChildren<QCheckBox*>().at(0);
    EXPECT_FALSE(infoBorder->isEnabled());
    EXPECT_FALSE(quickPreview->isEnabled());
    dialog.findChildren<QRadioButton*>().at(2)->click();  // double sided
    EXPECT_EQ(dialog.pageCount(), 6);
    EXPECT_TRUE(infoBorder->isEnabled());

    auto* copies = dialog.findChild<QSpinBox*>();
    EXPECT_EQ(copies->minimum(), 1);
    EXPECT_EQ(copies->maximum(), 99);
    copies->setValue(2);
    EXPECT_EQ(dialog.pictureCount(), 14);
    EXPECT_EQ(dialog.picturesToPrint().size(), 14);  // the pages hold every picture counted
    EXPECT_EQ(dialog.pageCount(), 10);
    EXPECT_EQ(dialog.selectionText(), "Entire Catalog");

    // The next opening comes back to the same choice while the list offers it.
    dialog.setPictures(pictures.owned[1].get(), pictures.entries, false);
    EXPECT_EQ(dialog.selection(), PictureSelection::EntireCatalog);
    choose(dialog, "Flagged Pictues");
    EXPECT_EQ(dialog.pictureCount(), 2 * 4);
    for (OutputEntry& entry : pictures.entries) entry.flagged = false;
    dialog.setPictures(pictures.owned[1].get(), pictures.entries, false);
    EXPECT_EQ(dialog.selection(), PictureSelection::Picture);

    CPrintOptionsDlg preview(CPrintOptionsDlg::Variant::Preview, printer);
    EXPECT_EQ(preview.windowTitle(), "Print Preview Options");
    EXPECT_TRUE(preview.findChildren<QCheckBox*>().at(0)->isEnabled());
}

TEST(PrintOptionsDialog, PrintWithNothingToPrintSaysSo) {
    testsupport::SandBox box;
    FakeFrame frame(box.filePath("settings.ini"));
    frame.prompter_.answer(id::Ok);
    QPrinter printer;
    CPrintOptionsDlg dialog(CPrintOptionsDlg::Variant::Print, printer);
    QTimer::singleShot(0, &dialog, &QDialog::accept);
    printcommand::print(frame, dialog, printer, false, nullptr);
    ASSERT_EQ(frame.prompter_.askedTexts(), QStringList{"There are no pictures to print."});
    EXPECT_EQ(dialog.pageCount(), 1);
}

TEST(PrintOptionsDialog, PrintFromThePreviewPrintsTheFullPicturesWithThePreviewsChoices) {
    testsupport::SandBox box;
    FakeFrame frame(box.filePath("settings.ini"));
    // A picture far larger than its thumbnail, whose headline makes the print's title.
    QImage pixels(1200, 1800, QImage::Format_RGB32);
    pixels.fill(QColor(200, 40, 40));
    const QString path = box.filePath("big.jpg");
    ASSERT_TRUE(pixels.save(path, "JPEG", 90));
    {
        PictureRecord picture(path);
        picture.iptc().headline = "07/10-20/2024 Summer Holiday";
        ASSERT_TRUE(picture.save().ok());
    }
    ASSERT_TRUE(frame.document_.OpenPictureFile(path));

    QPrinter printer(QPrinter::HighResolution);
    const QString pdf = box.filePath("preview.pdf");
    printer.setOutputFileName(pdf);  // print to file
    CPrintOptionsDlg options(CPrintOptionsDlg::Variant::Print, printer);
    ASSERT_TRUE(options.findChildren<QCheckBox*>().at(0)->isChecked()) << "Quick Preview is on";

    int previewPages = 0;
    onModal<CPrintOptionsDlg>([](CPrintOptionsDlg* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Print Preview Options");
        dialog->findChildren<QComboBox*>().at(1)->setCurrentIndex(1);  // "Single"
        dialog->findChildren<QComboBox*>().at(2)->setCurrentIndex(4);  // "8 x 10"
        dialog->accept();
    });
    onModal<CPrintPreviewDlg>([&](CPrintPreviewDlg* preview) {
        previewPages = preview->pageCount();
        onModal<QPrintDialog>([](QPrintDialog* dialog) { dialog->accept(); });
        preview->printAction()->trigger();
        if (preview->isVisible()) {
            ADD_FAILURE() << "the preview stays after printing";
            preview->reject();
        }
    });
    printcommand::preview(frame, options, printer, false, nullptr);
    EXPECT_EQ(previewPages, 1);
    EXPECT_TRUE(frame.prompter_.asked().isEmpty()) << frame.prompter_.askedTexts().join("; ").toStdString();
    // The title offered as the file's name holds no "/".
    EXPECT_EQ(printer.docName(), "07-10-20-2024 Summer Holiday (Picture) (1 pictures)");

    // The page holds the picture decoded at its full size, not its 160-pixel thumbnail: at "8 x 10"
    // the part printed is 1200 x 1500.
    ASSERT_TRUE(QFileInfo(pdf).isFile());
    const QList<QSize> images = imagesIn(pdf);
    ASSERT_EQ(images.size(), 1);
    EXPECT_EQ(images[0], QSize(1200, 1500));
    // The document itself keeps the title as it reads.
    QProcess info;
    info.start("pdfinfo", {pdf});
    ASSERT_TRUE(info.waitForFinished(20000));
    EXPECT_TRUE(info.readAllStandardOutput().contains("07/10-20/2024 Summer Holiday (Picture) (1 pictures)"));

    // File > Print next shows what was chosen for the preview.
    onModal<CPrintOptionsDlg>([](CPrintOptionsDlg* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Print Options");
        EXPECT_EQ(dialog->findChildren<QComboBox*>().at(1)->currentText(), "Single");
        EXPECT_EQ(dialog->findChildren<QComboBox*>().at(2)->currentText(), "8 x 10");
        EXPECT_FALSE(dialog->findChildren<QCheckBox*>().at(0)->isEnabled()) << "Quick Preview is the preview's";
        dialog->reject();
    });
    printcommand::print(frame, options, printer, false, nullptr);
}

TEST(PrintOptionsDialog, PrintFromThePreviewWithNothingToPrintSaysSoAndStays) {
    testsupport::SandBox box;
    FakeFrame frame(box.filePath("settings.ini"));
    frame.prompter_.answer(id::Ok);
    QPrinter printer;
    printer.setOutputFileName(box.filePath("none.pdf"));
    CPrintOptionsDlg options(CPrintOptionsDlg::Variant::Preview, printer);
    onModal<CPrintOptionsDlg>([](CPrintOptionsDlg* dialog) { dialog->accept(); });
    onModal<CPrintPreviewDlg>([](CPrintPreviewDlg* preview) {
        preview->printAction()->trigger();
        EXPECT_TRUE(preview->isVisible());
        preview->reject();
    });
    printcommand::preview(frame, options, printer, false, nullptr);
    EXPECT_EQ(frame.prompter_.askedTexts(), QStringList{"There are no pictures to print."});
    EXPECT_FALSE(QFileInfo::exists(box.filePath("none.pdf")));
}
