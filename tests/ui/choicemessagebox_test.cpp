// ChoiceMessageBox as the user meets it: the buttons shown, what Escape, Enter, the close box and the
// countdown answer, remembered answers, and the hand-over to the standard box.

#include "choicemessagebox.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>

#include "dialogprompter.h"
#include "settingsstore.h"
#include "testsupport.h"
#include "uitesthelpers.h"

namespace {

constexpr unsigned kQuiet = mb::NoSound;

class ChoiceMessageBoxTest : public ::testing::Test {
protected:
    SettingsStore& store() { return store_; }

    testsupport::SandBox sandbox_;
    SettingsStore store_{sandbox_.filePath(QStringLiteral("Snaplore.conf"))};
};

QStringList texts(const QList<QPushButton*>& buttons) {
    QStringList out;
    for (const QPushButton* b : buttons) out.append(b->text());
    return out;
}

TEST_F(ChoiceMessageBoxTest, YesNoWithBothToAllShowsFourButtonsLeftToRightAndIgnoresEscape) {
    CChoiceDlg box(nullptr, QStringLiteral("Overwrite picture.jpg?"), QStringLiteral("Overwrite?"), 0x18000034 | kQuiet,
                   ChoiceParams{}, store());
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));

    const QList<QPushButton*> buttons = box.buttons();
    EXPECT_EQ(texts(buttons), QStringList({"&Yes", "Y&es to All", "&No", "N&o to All"}));
    for (int i = 1; i < buttons.size(); ++i) EXPECT_LT(buttons[i - 1]->x(), buttons[i]->x());
    EXPECT_GE(box.width(), 4 * 90 + 3 * 6 + 32);
    EXPECT_EQ(box.checkBox(), nullptr);

    // Set 4 has no Cancel: neither Escape nor the close box answers.
    EXPECT_FALSE(box.windowFlags() & Qt::WindowCloseButtonHint);
    QTest::keyClick(&box, Qt::Key_Escape);
    box.close();
    EXPECT_TRUE(box.isVisible());

    QTest::mouseClick(box.button(id::NoToAll), Qt::LeftButton);
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.answer(), unsigned(id::NoToAll));
}

TEST_F(ChoiceMessageBoxTest, EscapeCloseBoxAndEnterAnswerAsTheRulesSay) {
    struct Case {
        unsigned flags;
        int key;            // 0: the close box
        unsigned expected;  // 0: the box stays up
    };
    const Case cases[] = {
        {mb::Ok, Qt::Key_Escape, id::Ok},
        {mb::OkCancel, Qt::Key_Escape, id::Cancel},
        {mb::YesNoCancel, 0, id::Cancel},
        {mb::AbortRetryIgnore, 0, 0},
        {mb::YesNoCancel | mb::DefButton2, Qt::Key_Return, id::No},
        {mb::YesNoCancel | mb::DefButton4, Qt::Key_Return, id::Yes},  // beyond the buttons: the first
        {0x400 | 0x18000003, Qt::Key_Return, id::Cancel},             // fifth of five buttons
    };
    for (const Case& c : cases) {
        CChoiceDlg box(nullptr, QStringLiteral("Question"), QStringLiteral("Caption"), c.flags | kQuiet, ChoiceParams{},
                       store());
        box.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
        if (c.key)
            QTest::keyClick(&box, Qt::Key(c.key));
        else
            box.close();
        EXPECT_EQ(box.isVisible(), c.expected == 0) << std::hex << c.flags;
        if (c.expected) {
            EXPECT_EQ(box.answer(), c.expected) << std::hex << c.flags;
        }
    }
}

// The legal notice at start: ticked once, never shown again.
TEST_F(ChoiceMessageBoxTest, LegalNoticeTickedIsRememberedAndNotShownAgain) {
    ChoiceParams params;
    params.companyKey = QStringLiteral("Snaplore");
    params.valueName = QStringLiteral("BackupNotice");
    params.lineNumber = 0;
    const QString notice = QStringLiteral("Make sure you backup your files before using this software.");

    uitest::onModal([](QWidget* modal) {
        auto* box = qobject_cast<CChoiceDlg*>(modal);
        ASSERT_NE(box, nullptr);
        ASSERT_NE(box->checkBox(), nullptr);
        EXPECT_EQ(box->checkBox()->text(), QStringLiteral("I understand, Please do not tell me again"));
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Legal Notice"));
        QTest::mouseClick(box->checkBox(), Qt::LeftButton);
        QTest::mouseClick(box->button(id::Ok), Qt::LeftButton);
    });
    const unsigned first = ChoiceMessageBox(nullptr, notice, QStringLiteral("Legal Notice"),
                                            mb::CheckUnderstand | kQuiet, params, store());
    EXPECT_EQ(first, 1u | 0x2000000u);
    EXPECT_EQ(store().dword(QStringLiteral("MessageBoxes"), QStringLiteral("BackupNotice0")),
              std::optional<quint32>(0x2000001u));

    uitest::NoModalGuard guard;
    EXPECT_EQ(ChoiceMessageBox(nullptr, notice, QStringLiteral("Legal Notice"), mb::CheckUnderstand | kQuiet, params,
                               store()),
              0x2000001u);
}

TEST_F(ChoiceMessageBoxTest, UntickedAnswerIsNotRemembered) {
    ChoiceParams params;
    params.valueName = QStringLiteral("Overwrite");
    params.lineNumber = 7;
    for (unsigned expected : {unsigned(id::Yes), unsigned(id::No)}) {
        uitest::onModal([expected](QWidget* modal) {
            QTest::mouseClick(qobject_cast<CChoiceDlg*>(modal)->button(int(expected)), Qt::LeftButton);
        });
        EXPECT_EQ(ChoiceMessageBox(nullptr, QStringLiteral("Overwrite?"), {}, mb::YesNo | mb::CheckDontAsk | kQuiet,
                                   params, store()),
                  expected);
    }
    EXPECT_FALSE(store().valueExists(QStringLiteral("MessageBoxes"), QStringLiteral("Overwrite7")));
}

TEST_F(ChoiceMessageBoxTest, CountdownPressesTheDefaultButtonAndSaysSo) {
    ChoiceParams params;
    params.countdownSeconds = 1;
    QString captionWhileCounting;
    uitest::onModal(
        [&](QWidget* modal) { captionWhileCounting = qobject_cast<CChoiceDlg*>(modal)->button(id::Cancel)->text(); });
    const unsigned answer = ChoiceMessageBox(nullptr, QStringLiteral("Continue?"), {},
                                             mb::OkCancel | mb::DefButton2 | kQuiet, params, store());
    EXPECT_EQ(captionWhileCounting, QStringLiteral("Cancel = 1"));
    EXPECT_EQ(answer, unsigned(id::Cancel) | 0x80000000u);
}

TEST_F(ChoiceMessageBoxTest, AClickInTheBoxStopsTheCountdownAndRestoresTheCaption) {
    ChoiceParams params;
    params.countdownSeconds = 1;
    CChoiceDlg box(nullptr, QStringLiteral("Continue?"), QStringLiteral("Caption"), mb::Ok | kQuiet, params, store());
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    EXPECT_EQ(box.button(id::Ok)->text(), QStringLiteral("OK = 1"));
    EXPECT_EQ(box.button(id::Ok)->width(), 100);  // countdown buttons are wider

    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_FALSE(box.countdownRunning());
    EXPECT_EQ(box.button(id::Ok)->text(), QStringLiteral("OK"));
    QTest::qWait(1300);
    EXPECT_TRUE(box.isVisible());
}

TEST_F(ChoiceMessageBoxTest, DisabledPeriodHoldsEveryAnswerBack) {
    ChoiceParams params;
    params.disabledSeconds = 1;
    CChoiceDlg box(nullptr, QStringLiteral("Read this first."), QStringLiteral("Caption"), mb::OkCancel | kQuiet,
                   params, store());
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    EXPECT_FALSE(box.button(id::Ok)->isEnabled());
    QTest::keyClick(&box, Qt::Key_Escape);
    EXPECT_TRUE(box.isVisible());

    ASSERT_TRUE(uitest::waitFor([&] { return box.button(id::Cancel)->isEnabled(); }, 3000));
    QTest::keyClick(&box, Qt::Key_Escape);
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.answer(), unsigned(id::Cancel));
}

TEST_F(ChoiceMessageBoxTest, ReportCustomButtonsAndWindowFlags) {
    int reports = 0;
    ChoiceParams params;
    params.reportCaption = QStringLiteral("Re&port");
    params.report = [&] { ++reports; };
    params.customButtons = QStringLiteral("Keep\nReplace");
    CChoiceDlg box(nullptr, QStringLiteral("Failed."), QString(), mb::TopMost | kQuiet, params, store());
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Error"));
    EXPECT_TRUE(box.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(texts(box.buttons()), QStringList({"Keep", "Replace", "Re&port"}));
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QTest::mouseClick(box.button(id::Report), Qt::LeftButton);
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(box.answer(), unsigned(id::Report));

    CChoiceDlg custom(nullptr, QStringLiteral("Which?"), QStringLiteral("Caption"), kQuiet, params, store());
    custom.show();
    QTest::mouseClick(custom.button(id::Custom2), Qt::LeftButton);
    EXPECT_EQ(custom.answer(), unsigned(id::Custom2));
}

TEST_F(ChoiceMessageBoxTest, LongTextWrapsWithinHalfTheScreen) {
    const QString text = QStringLiteral("word ").repeated(400);
    CChoiceDlg box(nullptr, text, QStringLiteral("Caption"), mb::Ok | kQuiet, ChoiceParams{}, store());
    const int screenWidth = QGuiApplication::primaryScreen()->geometry().width();
    EXPECT_LE(box.width(), screenWidth / 2 + 100 + 32);
    EXPECT_GT(box.height(), 3 * box.fontMetrics().height());
}

TEST_F(ChoiceMessageBoxTest, SystemModalStopGoesToTheStandardBox) {
    QStringList shown;
    uitest::onModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        shown.append(box->text());
        for (QAbstractButton* b : box->buttons())
            if (b->text() == QStringLiteral("&Retry")) b->click();
    });
    const unsigned answer =
        ChoiceMessageBox(nullptr, QStringLiteral("Disk failure."), QStringLiteral("Error!"),
                         mb::RetryCancel | mb::IconStop | mb::SystemModal | kQuiet, ChoiceParams{}, store());
    EXPECT_EQ(shown, QStringList{"Disk failure."});
    EXPECT_EQ(answer, unsigned(id::Retry));
}

TEST_F(ChoiceMessageBoxTest, DialogPrompterMapsTheStandardBoxBothWays) {
    DialogPrompter prompter(store());
    uitest::onModal([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Continue?"));
        ASSERT_NE(box->defaultButton(), nullptr);
        EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("&No"));
        QStringList captions;
        for (QAbstractButton* b : box->buttons()) captions.append(b->text());
        captions.sort();
        EXPECT_EQ(captions, QStringList({"&No", "&Yes", "Cancel"}));
        box->defaultButton()->click();
    });
    EXPECT_EQ(prompter.messageBox(QStringLiteral("Go on?"), QStringLiteral("Continue?"),
                                  mb::YesNoCancel | mb::IconQuestion | mb::DefButton2 | kQuiet),
              id::No);
}

TEST(FileFilter, ClassicFiltersBecomeQtFilters) {
    EXPECT_EQ(qtFileFilter(QStringLiteral("JPEG Files (*.jpg)|*.jpg;*.jpeg|All Files (*.*)|*.*||")),
              QStringLiteral("JPEG Files (*.jpg *.jpeg);;All Files (*.*)"));
    EXPECT_EQ(qtFileFilter(QStringLiteral("Text|*.txt||")), QStringLiteral("Text (*.txt)"));
    EXPECT_EQ(qtFileFilter(QStringLiteral("Images (*.jpg *.png)")), QStringLiteral("Images (*.jpg *.png)"));
}

}  // namespace
