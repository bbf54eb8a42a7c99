// The Catalog Archive dialog: the size text and the location it hands back.
#include "archiveidxdlg.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "scriptedprompter.h"
#include "testsupport.h"

TEST(AppArchiveDialog, SizeText) {
    struct Case {
        qint64 bytes;
        const char* text;
    };
    const Case cases[] = {
        {0, " 0.0KB"},
        {512000, "500.0KB"},
        {1048575, "1024.0KB"},  // just under 1024 KB stays in kilobytes, rounded on display
        {1048576, " 1.0MB"},
        {2621440, " 2.5MB"},
        {15 * 1048576, "15.0MB"},
    };
    for (const Case& c : cases) EXPECT_EQ(CArchiveIdxDlg::sizeText(c.bytes), c.text) << c.bytes;
}

TEST(AppArchiveDialog, ShowsTheCatalogAndEndsTheLocationWithASeparator) {
    testsupport::SandBox box;
    ASSERT_TRUE(testsupport::writeAll(box.filePath("Snaplore.sidx"), QByteArray(512000, 'x')));
    ScriptedPrompter prompter;
    prompter.answerPath("/media/cdrom");
    CArchiveIdxDlg dialog(box.path(), "CD0002", "", prompter);

    QStringList shown;
    for (auto* line : dialog.findChildren<QLineEdit*>()) shown.append(line->text());
    EXPECT_TRUE(shown.contains("500.0KB"));
    EXPECT_EQ(dialog.cdName(), "CD0002");
    // The location is where the disc is mounted: the hint speaks of that, not of drive letters.
    QStringList hints;
    for (auto* label : dialog.findChildren<QLabel*>()) hints.append(label->text());
    EXPECT_TRUE(hints.contains("(The folder of the mounted disc.  i.e. /media/cdrom)")) << hints.join('|').toStdString();

    for (auto* button : dialog.findChildren<QPushButton*>())
        if (button->text() == "...") button->click();
    ASSERT_EQ(prompter.asked().size(), 1);
    EXPECT_EQ(prompter.asked()[0].caption, "Open Directory");
    EXPECT_EQ(dialog.location(), "/media/cdrom");
    dialog.accept();
    EXPECT_EQ(dialog.location(), "/media/cdrom/");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}
