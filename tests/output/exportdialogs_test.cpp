// The three Export dialogs used as a person would, with the answers scripted through the prompter.

#include "colorcombobox.h"
#include "exportdatadlg.h"
#include "exporthtmldlg.h"
#include "indexprintdlg.h"
#include "outputtesthelpers.h"
#include "picturerecord.h"
#include "scriptedprompter.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileInfo>
#include <QImageReader>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include <memory>
#include <vector>

using testsupport::SandBox;

namespace {

// A folder of three pictures of one event, as the browser hands them over.
struct Pictures {
    SandBox box;
    std::vector<std::unique_ptr<PictureRecord>> records;
    QList<OutputEntry> entries;
    Pictures() {
        OutputEntry event;
        event.kind = OutputEntry::Kind::Event;
        event.fileName = event.eventText = QStringLiteral("Unknown");
        event.path = box.path();
        entries << event;
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
            records.push_back(std::make_unique<PictureRecord>(outputtest::makePicture(box.path(), name, {200, 150})));
            OutputEntry entry;
            entry.kind = OutputEntry::Kind::Picture;
            entry.picture = records.back().get();
            entry.fileName = name;
            entry.path = entry.picture->filePath();
            entry.eventText = QStringLiteral("Unknown");
            entry.event = 0;
            entries << entry;
        }
    }
};

QPushButton* button(QWidget& dialog, const QString& text, int nth = 0) {
    int seen = 0;
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
        if (b->text() == text && seen++ == nth) return b;
    return nullptr;
}

QRadioButton* radio(QWidget& dialog, const QString& text) {
    for (QRadioButton* b : dialog.findChildren<QRadioButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

}  // namespace

TEST(ExportDialogs, IndexPrintFromChoicesToTheSheet) {
    Pictures p;
    ScriptedPrompter prompter;
    CIndexPrintDlg dialog(prompter);
    dialog.setSource(nullptr, p.entries, false);
    EXPECT_EQ(dialog.pictureCount(), 3);
    EXPECT_EQ(dialog.sizeText(), "800 x 120");
    dialog.findChild<QSpinBox*>()->setValue(2);
    radio(dialog, "80x60")->click();
    EXPECT_EQ(dialog.rowsText(), "2");
    EXPECT_EQ(dialog.sizeText(), "160 x 120");
    EXPECT_EQ(dialog.backgroundBox()->currentText(), "Lt Grey");
    EXPECT_EQ(dialog.lineBox()->currentText(), "Black");
    // "Custom..." takes the colour the chooser gives.
    dialog.backgroundBox()->setChooser([](const QColor&) { return QColor(10, 200, 30); });
    dialog.backgroundBox()->setCurrentIndex(dialog.backgroundBox()->customIndex());
    emit dialog.backgroundBox()->activated(dialog.backgroundBox()->customIndex());
    EXPECT_EQ(dialog.backgroundBox()->color(), QColor(10, 200, 30));

    // Without a file name nothing is written and the message says so.
    prompter.answer(id::Ok);
    button(dialog, "Create")->click();
    ASSERT_EQ(prompter.asked().size(), 1);
    EXPECT_EQ(prompter.asked().last().caption, "Error");

    prompter.answerPath(p.box.filePath("sheet"));
    button(dialog, "...")->click();
    // Shown, so that the keyboard focus can be checked: the dialog stays open after a sheet, and its
    // keys must still work.
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    button(dialog, "Create")->setFocus();
    prompter.answer(id::Ok);
    button(dialog, "Create")->click();
    EXPECT_EQ(QApplication::focusWidget(), button(dialog, "Create"));
    EXPECT_EQ(prompter.asked().last().text, "Index File Created");
    EXPECT_EQ(prompter.asked().last().caption, "Index File");
    const QImage sheet(p.box.filePath("sheet.jpg"));
    ASSERT_EQ(sheet.size(), QSize(160, 120));
    EXPECT_TRUE(outputtest::near(sheet.pixelColor(120, 90), QColor(10, 200, 30)));  // the empty cell
    EXPECT_TRUE(prompter.exhausted());
}

TEST(ExportDialogs, ExportDataSavesAndViews) {
    Pictures p;
    ScriptedPrompter prompter;
    CExportDataDlg dialog(p.entries, prompter);
    QStringList opened;
    dialog.setOpener([&](const QString& path) {
        opened << path;
        return true;
    });
    EXPECT_EQ(dialog.kind(), ReportKind::EventsOnly);
    prompter.answer(id::Ok);
    button(dialog, "View")->click();  // nothing written yet
    EXPECT_TRUE(opened.isEmpty());
    prompter.answerPath(p.box.filePath("report"));
    button(dialog, "...")->click();
    EXPECT_EQ(dialog.fileName(), p.box.filePath("report.txt"));
    radio(dialog, "Picture and Events")->click();
    prompter.answer(id::Ok);
    button(dialog, "Save")->click();
    EXPECT_EQ(prompter.asked().last().text, "Exporting of data is complete");
    EXPECT_EQ(prompter.asked().last().caption, "Done");
    EXPECT_EQ(testsupport::readAll(p.box.filePath("report.txt")), "Unknown,,\n\ta.jpg :  ()\n\tb.jpg :  ()\n\tc.jpg :  ()\n");
    button(dialog, "View")->click();
    EXPECT_EQ(opened, QStringList{p.box.filePath("report.txt")});
    EXPECT_TRUE(prompter.exhausted());
}

TEST(ExportDialogs, ExportHtmlRefusesAnEmptyFolderAndOffersTheWrittenSite) {
    Pictures p;
    const QString tmpl = p.box.filePath("t.html");
    testsupport::writeAll(tmpl, "<!--BeginEvents-->\n<a href=\"<!--EventPage-->\"><!--EventTitle--></a>\n<!--EndEvents-->\n"
                                "<!--BeginPictures-->\n<img src=\"<!--PictureImgThumb-->\">\n<!--EndPictures-->\n");
    ScriptedPrompter prompter;
    CExportHTMLDlg dialog(p.entries, prompter);
    QStringList opened;
    dialog.setOpener([&](const QString& page) {
        opened << page;
        return true;
    });
    prompter.answerPath(tmpl).answerPath(tmpl);
    button(dialog, "...", 0)->click();
    button(dialog, "...", 1)->click();
    EXPECT_EQ(dialog.mainTemplateEdit()->text(), tmpl);
    prompter.answer(id::Ok);
    button(dialog, "Create")->click();
    EXPECT_EQ(prompter.asked().last().caption, "Error");
    EXPECT_TRUE(prompter.asked().last().text.contains("No output folder"));
    EXPECT_NE(dialog.result(), QDialog::Accepted);

    QDir(p.box.path()).mkdir("site");
    prompter.answerPath(p.box.filePath("site"));
    button(dialog, "...", 2)->click();
    EXPECT_EQ(dialog.saveToEdit()->text(), p.box.filePath("site") + "/");
    // Once everything is written the site is offered to the web browser; No leaves it closed.
    prompter.answer(id::No);
    button(dialog, "Create")->click();
    EXPECT_EQ(prompter.asked().last().caption, "Export HTML");
    EXPECT_TRUE(prompter.asked().last().text.contains(p.box.filePath("site")));
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(dialog.progressBar()->value(), dialog.progressBar()->maximum());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(QFileInfo::exists(p.box.filePath("site/index.html")));
    EXPECT_TRUE(QFileInfo::exists(p.box.filePath("site/") + QFileInfo(p.box.path()).fileName() + "_0/b_th.jpg"));
    EXPECT_TRUE(prompter.exhausted());
}
