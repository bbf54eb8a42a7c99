// The start-up tips: the table, the walk through it in both directions, and what is kept between runs.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

#include "settingsstore.h"
#include "testsupport.h"
#include "tipsdlg.h"
#include "tipstable.h"

namespace {

class TipsTest : public ::testing::Test {
protected:
    quint32 lastTips() const { return store_.readDword(QStringLiteral("Settings"), QStringLiteral("LastTips"), 99); }

    testsupport::SandBox sandbox_;
    SettingsStore store_{sandbox_.filePath(QStringLiteral("Snaplore.conf"))};
};

TEST_F(TipsTest, TableHoldsTenNumberedTipsThenEmptySlots) {
    for (int n = 0; n < tips::kSlots; ++n) {
        const QString tip = tips::tipString(tips::kFirstString + n);
        if (n < 10)
            EXPECT_TRUE(tip.startsWith(QStringLiteral("#%1 ").arg(n + 1))) << tip.toStdString();
        else
            EXPECT_EQ(tip, QStringLiteral("-"));
    }
    EXPECT_TRUE(tips::tipString(299).isEmpty());
    EXPECT_TRUE(tips::tipString(320).isEmpty());
}

TEST_F(TipsTest, WalkWrapsAroundBothWays) {
    tips::TipCursor cursor(store_);
    EXPECT_EQ(cursor.index(), 0);  // no "LastTips" yet: -1 + 1
    EXPECT_TRUE(cursor.current().startsWith(QStringLiteral("#1 ")));
    EXPECT_TRUE(cursor.previous().startsWith(QStringLiteral("#10 ")));  // back past the first: the tenth
    EXPECT_EQ(cursor.index(), 9);
    EXPECT_EQ(lastTips(), 9u);
    EXPECT_TRUE(cursor.next().startsWith(QStringLiteral("#1 ")));  // on past the tenth: the first
    EXPECT_EQ(cursor.index(), 0);
    EXPECT_EQ(lastTips(), 0u);
    EXPECT_TRUE(cursor.next().startsWith(QStringLiteral("#2 ")));
}

TEST_F(TipsTest, EachStartBeginsAfterTheTipSeenLast) {
    struct Case {
        quint32 stored;
        int expectedIndex;
    };
    const Case cases[] = {{3, 4}, {9, 0}, {19, 0}, {0xFFFFFFFFu, 0}, {0x7FFFFFFFu, 0}, {500, 0}};
    for (const Case& c : cases) {
        store_.writeDword(QStringLiteral("Settings"), QStringLiteral("LastTips"), c.stored);
        tips::TipCursor cursor(store_);
        cursor.current();
        EXPECT_EQ(cursor.index(), c.expectedIndex) << c.stored;
        EXPECT_EQ(lastTips(), quint32(c.expectedIndex));
    }
}

TEST_F(TipsTest, DialogShowsTipsAndKeepsTheStartupChoice) {
    store_.writeDword(QStringLiteral("Settings"), QStringLiteral("LastTips"), 8);
    tips::setShowAtStartup(store_, false);
    CTipsDlg dlg(store_);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Tips"));
    dlg.show();
    auto* showTips = dlg.findChild<QCheckBox*>(QStringLiteral("showTips"));
    ASSERT_NE(showTips, nullptr);
    EXPECT_EQ(showTips->text(), QStringLiteral("Display Tips at Startup"));
    EXPECT_FALSE(showTips->isChecked());
    EXPECT_TRUE(dlg.tipText().startsWith(QStringLiteral("#10 ")));

    auto* next = dlg.findChild<QPushButton*>(QStringLiteral("next"));
    auto* previous = dlg.findChild<QPushButton*>(QStringLiteral("previous"));
    ASSERT_TRUE(next && previous);
    EXPECT_EQ(next->text(), QStringLiteral("Next>>"));
    EXPECT_EQ(previous->text(), QStringLiteral("<<Prev"));
    QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_TRUE(dlg.tipText().startsWith(QStringLiteral("#1 ")));
    QTest::mouseClick(previous, Qt::LeftButton);
    EXPECT_TRUE(dlg.tipText().startsWith(QStringLiteral("#10 ")));

    QTest::mouseClick(showTips, Qt::LeftButton);
    dlg.reject();
    EXPECT_TRUE(tips::showAtStartup(store_));

    // The same instance opens again on the tip it showed last, ticked from the setting.
    tips::setShowAtStartup(store_, false);
    dlg.show();
    EXPECT_TRUE(dlg.tipText().startsWith(QStringLiteral("#10 ")));
    EXPECT_FALSE(showTips->isChecked());
    dlg.reject();
    EXPECT_FALSE(tips::showAtStartup(store_));
}

}  // namespace
