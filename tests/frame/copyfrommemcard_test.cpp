// The Copy From Memory Card dialog as the user meets it: its four settings read and written, the
// proposal of a mounted card, the questions before a copy, and the copy itself.
#include "copyfrommemcard.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

#include "prompter.h"
#include "scriptedprompter.h"
#include "settingsstore.h"
#include "testsupport.h"

namespace {

TEST(CopyFromMemCardDialog, SettingsProposalQuestionsAndTheCopy) {
    testsupport::SandBox box;
    SettingsStore store(box.filePath("s.ini"));
    ScriptedPrompter prompter;
    QDir().mkpath(box.filePath("card/DCIM/100CANON"));
    box.copy(testsupport::dataPath("Canon_40D.jpg"), "card/DCIM/100CANON/IMG_0001.JPG");
    const QList<memcard::Volume> mounted{{box.filePath("card"), true}};
    const auto volumes = [&] { return mounted; };

    {
        // Nothing set yet: the card is proposed, and the defaults are on.
        CCopyFromMemCard dialog(store, prompter, nullptr, volumes);
        EXPECT_EQ(dialog.sourceEdit()->text(), box.filePath("card/DCIM"));
        EXPECT_TRUE(dialog.deleteBox()->isChecked());
        EXPECT_TRUE(dialog.datedBox()->isChecked());
        dialog.destinationEdit()->setText(box.filePath("out"));
        dialog.deleteBox()->setChecked(false);
        // "No" to the count keeps the dialog open and copies nothing.
        prompter.answer(id::No);
        dialog.accept();
        EXPECT_EQ(prompter.askedTexts(), QStringList{"Found 1 file(s).  Continue with Copy?"});
        EXPECT_FALSE(QFileInfo::exists(box.filePath("out/2008_05_30/IMG_0001.JPG")));
        dialog.reject();
    }
    // Written when the dialog went, whichever button closed it.
    const memcard::Settings kept = memcard::ReadSettings(store);
    EXPECT_EQ(kept.destination, box.filePath("out"));
    EXPECT_FALSE(kept.deleteAfterCopy);

    {
        CCopyFromMemCard dialog(store, prompter, nullptr, volumes);
        EXPECT_FALSE(dialog.deleteBox()->isChecked());
        prompter = ScriptedPrompter();
        prompter.answer(id::Yes).answer(id::Ok);
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_TRUE(QFileInfo::exists(box.filePath("out/2008_05_30/IMG_0001.JPG")));
        EXPECT_TRUE(QFileInfo::exists(box.filePath("card/DCIM/100CANON/IMG_0001.JPG")));
        // A run that went well says so too.
        EXPECT_EQ(prompter.askedTexts(), (QStringList{"Found 1 file(s).  Continue with Copy?", "1 of 1 pictures copied."}));
    }
    {
        // Again, into the same folder: Keep Both puts the new copy beside the one there, and the one
        // message after the run says so, with what stays on the card.
        box.copy(testsupport::dataPath("Canon_40D.jpg"), "card/DCIM/100CANON/MVI_0002.MOV");
        CCopyFromMemCard dialog(store, prompter, nullptr, volumes);
        prompter = ScriptedPrompter();
        prompter.answer(id::Yes).answer(id::KeepBoth).answer(id::Ok);
        dialog.accept();
        EXPECT_TRUE(QFileInfo::exists(box.filePath("out/2008_05_30/IMG_0001_2.JPG")));
        ASSERT_EQ(prompter.asked().size(), 3);
        EXPECT_EQ(prompter.asked()[1].text, "File IMG_0001.JPG already exists, Overwrite it?");
        const QString summary = prompter.asked()[2].text;
        EXPECT_TRUE(summary.startsWith("1 of 1 pictures copied, 1 of them under another name.\n"
                                       "1 file that is not a .jpg picture stays on the card."))
            << summary.toStdString();
        EXPECT_TRUE(summary.contains("IMG_0001_2.JPG"));
        EXPECT_TRUE(summary.contains("MVI_0002.MOV"));
    }
    {
        // A source without pictures says so and closes.
        CCopyFromMemCard dialog(store, prompter, nullptr, volumes);
        dialog.sourceEdit()->setText(box.filePath("out/none"));
        prompter = ScriptedPrompter();
        prompter.answer(id::Ok);
        dialog.accept();
        // What could not be read is named with it: here the source itself.
        ASSERT_EQ(prompter.askedTexts().size(), 1);
        EXPECT_TRUE(prompter.askedTexts()[0].startsWith("Could not find any .jpg files\n\n"));
        EXPECT_TRUE(prompter.askedTexts()[0].contains(box.filePath("out/none") + ": No such file or directory"));
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
}

}  // namespace
