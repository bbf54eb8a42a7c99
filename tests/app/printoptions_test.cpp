// The Print Options dialog: its counts and pages from the picture selection, the choices it keeps
// between openings, the controls each variant enables; and Print with nothing to print.

#include "printoptionsdlg.h"

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPrinter>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

#include <memory>
#include <vector>

#include "fakeframe.h"
#include "printcommand.h"
#include "testsupport.h"

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
