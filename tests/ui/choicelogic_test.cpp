// The decisions behind ChoiceMessageBox: button sets, defaults, Escape, results, remembered answers
// and the pixel layout.

#include "choicelogic.h"

#include <gtest/gtest.h>

#include "settingsstore.h"
#include "testsupport.h"

namespace {

QStringList captions(const QList<choice::Button>& buttons) {
    QStringList out;
    for (const auto& b : buttons) out.append(b.caption);
    return out;
}

QList<int> ids(const QList<choice::Button>& buttons) {
    QList<int> out;
    for (const auto& b : buttons) out.append(b.id);
    return out;
}

TEST(ChoiceLogic, ButtonSetsInOrderWithTheirIds) {
    struct Case {
        unsigned flags;
        QStringList captions;
        QList<int> ids;
    };
    const Case cases[] = {
        {0x18000034, {"&Yes", "Y&es to All", "&No", "N&o to All"}, {6, 19, 7, 20}},
        {0x08000003, {"&Yes", "Y&es to All", "&No", "Cancel"}, {6, 19, 7, 2}},
        {0x08800033, {"&Yes", "Y&es to All", "&Keep Both", "&No", "Cancel"}, {6, 19, 27, 7, 2}},
        {0x10000003, {"&Yes", "&No", "N&o to All", "Cancel"}, {6, 7, 20, 2}},
        {0x18000001, {"OK", "Cancel"}, {1, 2}},  // "to All" only joins sets 3 and 4
        {0x2, {"&Abort", "&Retry", "&Ignore"}, {3, 4, 5}},
        {0x5, {"&Retry", "Cancel"}, {4, 2}},
        {0x6, {"Cancel", "&Try Again", "&Continue"}, {2, 10, 11}},
        {0x7, {"&Continue", "&Abort"}, {11, 3}},
        {0x8, {"&Skip", "S&kip All", "Cancel"}, {14, 15, 2}},
        {0x9, {"&Ignore", "I&gnore All", "Cancel"}, {5, 16, 2}},
        {0xA, {"OK"}, {1}},
        {0x4004, {"&Yes", "&No", "&Help"}, {6, 7, 300}},
    };
    for (const Case& c : cases) {
        const auto buttons = choice::buttons(c.flags, ChoiceParams{});
        EXPECT_EQ(captions(buttons), c.captions) << std::hex << c.flags;
        EXPECT_EQ(ids(buttons), c.ids) << std::hex << c.flags;
    }
}

TEST(ChoiceLogic, CustomCaptionsReplaceTheSetAndReportComesBeforeHelp) {
    ChoiceParams params;
    params.customButtons = QStringLiteral("One\nTwo\nThree\nFour\nFive");
    params.reportCaption = QStringLiteral("Re&port");
    const auto buttons = choice::buttons(mb::YesNoCancel | mb::Help, params);
    EXPECT_EQ(captions(buttons), QStringList({"One", "Two", "Three", "Four", "Re&port", "&Help"}));
    EXPECT_EQ(ids(buttons),
              QList<int>({id::Custom1, id::Custom2, id::Custom3, id::Custom4, id::Report, id::HelpButton}));
}

TEST(ChoiceLogic, DefaultButtonBeyondThosePresentIsTheFirst) {
    EXPECT_EQ(choice::defaultButtonIndex(mb::DefButton2, 3), 1);
    EXPECT_EQ(choice::defaultButtonIndex(0x500, 6), 5);
    EXPECT_EQ(choice::defaultButtonIndex(mb::DefButton4, 3), 0);
    EXPECT_EQ(choice::defaultButtonIndex(0x600, 6), 0);
}

TEST(ChoiceLogic, EscapeGivesCancelOrALoneOk) {
    const ChoiceParams none;
    EXPECT_EQ(choice::escapeId(choice::buttons(mb::Ok, none)), std::optional<int>(id::Ok));
    EXPECT_EQ(choice::escapeId(choice::buttons(mb::YesNoCancel, none)), std::optional<int>(id::Cancel));
    EXPECT_EQ(choice::escapeId(choice::buttons(0x6, none)), std::optional<int>(id::Cancel));
    EXPECT_EQ(choice::escapeId(choice::buttons(mb::YesNo, none)), std::nullopt);
    EXPECT_EQ(choice::escapeId(choice::buttons(mb::AbortRetryIgnore, none)), std::nullopt);
    EXPECT_EQ(choice::escapeId(choice::buttons(mb::Ok | mb::Help, none)), std::nullopt);  // OK is not alone
}

TEST(ChoiceLogic, ResultsAndCaptions) {
    EXPECT_EQ(choice::composeResult(id::Ok, true, mb::CheckUnderstand, false), 0x2000001u);
    EXPECT_EQ(choice::composeResult(id::Ok, false, mb::CheckUnderstand, true), 0x80000001u);
    EXPECT_EQ(choice::composeResult(id::No, true, 0, false), 7u);  // no check box, nothing to add
    EXPECT_EQ(choice::checkText(mb::CheckDontAsk), QStringLiteral("Don't ask me again"));
    EXPECT_EQ(choice::checkText(mb::CheckUnderstand), QStringLiteral("I understand, Please do not tell me again"));
    EXPECT_EQ(choice::checkText(mb::CheckDontShow), QStringLiteral("Don't show again"));
    EXPECT_EQ(choice::effectiveCaption({}), QStringLiteral("Error"));
    EXPECT_EQ(choice::countdownCaption(QStringLiteral("OK"), 7), QStringLiteral("OK = 7"));
    EXPECT_EQ(choice::clampSeconds(999), 999);
    EXPECT_EQ(choice::clampSeconds(1000), 10);
}

TEST(ChoiceLogic, RememberedAnswerNeedsACheckBitOnBothSides) {
    testsupport::SandBox sandbox;
    SettingsStore store(sandbox.filePath(QStringLiteral("s.conf")));
    ChoiceParams params;
    params.companyKey = QStringLiteral("Snaplore");
    params.valueName = QStringLiteral("Overwrite");
    params.lineNumber = 412;

    // Unticked answers are not kept.
    choice::rememberAnswer(store, params, id::Yes);
    EXPECT_FALSE(store.valueExists(QStringLiteral("MessageBoxes"), QStringLiteral("Overwrite412")));

    store.writeDword(QStringLiteral("MessageBoxes"), QStringLiteral("Overwrite412"), id::No);
    EXPECT_EQ(choice::rememberedAnswer(store, mb::CheckDontAsk, params), std::nullopt);  // no check bit stored

    choice::rememberAnswer(store, params, id::No | mb::CheckDontAsk);
    EXPECT_EQ(store.readDword(QStringLiteral("MessageBoxes"), QStringLiteral("Overwrite412")), 0x1000007u);
    EXPECT_EQ(choice::rememberedAnswer(store, mb::CheckDontAsk, params), std::optional<unsigned>(0x1000007u));
    EXPECT_EQ(choice::rememberedAnswer(store, mb::YesNo, params), std::nullopt);  // this call has no check box
    params.lineNumber = 413;
    EXPECT_EQ(choice::rememberedAnswer(store, mb::CheckDontAsk, params), std::nullopt);
}

TEST(ChoiceLogic, LayoutInPixels) {
    EXPECT_EQ(choice::maxTextWidth(1000, 0), 600);
    EXPECT_EQ(choice::maxTextWidth(1000, 32), 552);

    choice::LayoutInput in;
    in.screenWidth = 1000;
    in.iconSize = QSize(32, 32);
    in.buttonCount = 4;
    const choice::Layout plain = choice::layout(in, QSize(100, 20));
    EXPECT_EQ(plain.icon, QRect(16, 16, 32, 32));
    EXPECT_EQ(plain.text.topLeft(), QPoint(56, 16));
    ASSERT_EQ(plain.buttons.size(), 4);
    EXPECT_EQ(plain.buttons[0].size(), QSize(90, 26));
    EXPECT_EQ(plain.buttons[0].top(), 16 + 32 + 10);  // below the icon, which is taller than the text
    EXPECT_EQ(plain.buttons[1].left() - plain.buttons[0].right() - 1, 6);
    const int row = 4 * 90 + 3 * 6;
    EXPECT_EQ(plain.client.width(), row + 32);  // the button row is wider than the text
    EXPECT_EQ(plain.buttons[0].left(), 16);

    in.countdown = true;
    in.rightAlign = true;
    in.checkBoxSize = QSize(200, 18);
    const choice::Layout wide = choice::layout(in, QSize(600, 80));
    EXPECT_EQ(wide.buttons[0].width(), 100);
    EXPECT_EQ(wide.buttons[0].top(), 16 + 80 + 10);
    EXPECT_EQ(wide.client.width(), 56 + 600 + 16);
    EXPECT_EQ(wide.buttons.last().right() + 1, wide.client.width() - 16);
    EXPECT_GT(wide.checkBox.top(), wide.buttons[0].bottom());
    EXPECT_GT(wide.client.height(), wide.checkBox.bottom());
}

}  // namespace
