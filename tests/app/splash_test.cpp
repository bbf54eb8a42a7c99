// The splash and About box, and the steps that stand behind the splash.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "../ui/uitesthelpers.h"
#include "scriptedprompter.h"
#include "settingsstore.h"
#include "splashdlg.h"
#include "testsupport.h"

TEST(AppSplash, AboutBoxShowsVersionAndButtons) {
    testsupport::SandBox box;
    SettingsStore store(box.filePath("settings.ini"));
    ScriptedPrompter prompter;
    CSplashDlg about(CSplashDlg::Mode::About, store, prompter);
    about.show();
    EXPECT_EQ(about.size(), QSize(520, 431));
    EXPECT_EQ(about.versionLabel()->text(), "Version 1.0.2");
    EXPECT_EQ(about.versionLabel()->font().pointSize(), 20);
    EXPECT_TRUE(about.versionLabel()->font().bold());
    EXPECT_TRUE(about.okButton()->isVisible());
    EXPECT_EQ(about.updateButton()->text(), "Check for Updates");
    about.reject();  // Escape closes the About box
    EXPECT_FALSE(about.isVisible());
}

TEST(AppSplash, SplashIgnoresEscapeThenShowsTheNoticeAndTheTips) {
    struct Case {
        quint32 showTips;
        int tipsShown;
    };
    for (const Case c : {Case{1, 1}, Case{0, 0}}) {
        testsupport::SandBox box;
        SettingsStore store(box.filePath("settings.ini"));
        store.writeDword("Settings", "ShowTips", c.showTips);
        store.writeDword("Settings", "CheckWhen", 0);  // no query at start
        ScriptedPrompter prompter;
        prompter.answer(id::Ok);

        CSplashDlg splash(CSplashDlg::Mode::Splash, store, prompter);
        int tips = 0;
        splash.setShowTips([&] { ++tips; });
        splash.setDuration(50);
        splash.show();
        EXPECT_FALSE(splash.okButton()->isVisible());
        EXPECT_FALSE(splash.updateButton()->isVisible());
        splash.reject();
        EXPECT_TRUE(splash.isVisible());  // Escape does not end the splash

        ASSERT_TRUE(uitest::waitFor([&] { return !splash.isVisible(); }));
        ASSERT_EQ(prompter.asked().size(), 1);
        const ScriptedPrompter::Question& notice = prompter.asked()[0];
        EXPECT_EQ(notice.caption, "Legal Notice");
        EXPECT_TRUE(notice.text.startsWith("Make sure you backup your files before using this software. "));
        EXPECT_EQ(notice.flags, 0x2000000u);
        EXPECT_EQ(notice.params.companyKey, "Snaplore");
        EXPECT_EQ(notice.params.valueName, "BackupNotice");
        EXPECT_EQ(notice.params.lineNumber, 0);
        EXPECT_EQ(tips, c.tipsShown);
    }
}
