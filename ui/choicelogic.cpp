#include "choicelogic.h"

#include <algorithm>

#include "settingsstore.h"

namespace choice {

namespace {

const QString kMessageBoxesKey = QStringLiteral("MessageBoxes");

constexpr int kMargin = 16;
constexpr int kIconTextGap = 8;
constexpr int kButtonHeight = 26;
constexpr int kButtonWidth = 90;
constexpr int kCountdownButtonWidth = 100;
constexpr int kButtonGap = 6;
constexpr int kRowGap = 10;
constexpr int kBottomMargin = 12;

Button ok() { return {QStringLiteral("OK"), id::Ok}; }
Button cancel() { return {QStringLiteral("Cancel"), id::Cancel}; }

QList<Button> buttonSet(unsigned flags) {
    const bool yesToAll = flags & mb::YesToAll;
    const bool noToAll = flags & mb::NoToAll;
    auto yesNo = [&] {
        QList<Button> set{{QStringLiteral("&Yes"), id::Yes}};
        if (yesToAll) set.append({QStringLiteral("Y&es to All"), id::YesToAll});
        if (flags & mb::KeepBoth) set.append({QStringLiteral("&Keep Both"), id::KeepBoth});
        set.append({QStringLiteral("&No"), id::No});
        if (noToAll) set.append({QStringLiteral("N&o to All"), id::NoToAll});
        return set;
    };
    switch (flags & 0xF) {
        case 0:
            return {ok()};
        case 1:
            return {ok(), cancel()};
        case 2:
            return {{QStringLiteral("&Abort"), id::Abort},
                    {QStringLiteral("&Retry"), id::Retry},
                    {QStringLiteral("&Ignore"), id::Ignore}};
        case 3:
            return yesNo() << cancel();
        case 4:
            return yesNo();
        case 5:
            return {{QStringLiteral("&Retry"), id::Retry}, cancel()};
        case 6:
            return {
                cancel(), {QStringLiteral("&Try Again"), id::TryAgain}, {QStringLiteral("&Continue"), id::Continue}};
        case 7:
            return {{QStringLiteral("&Continue"), id::Continue}, {QStringLiteral("&Abort"), id::Abort}};
        case 8:
            return {{QStringLiteral("&Skip"), id::Skip}, {QStringLiteral("S&kip All"), id::SkipAll}, cancel()};
        case 9:
            return {{QStringLiteral("&Ignore"), id::Ignore}, {QStringLiteral("I&gnore All"), id::IgnoreAll}, cancel()};
        default:
            return {ok()};
    }
}

}  // namespace

QList<Button> buttons(unsigned flags, const ChoiceParams& params) {
    QList<Button> result;
    const QStringList custom = params.customButtons.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (custom.isEmpty()) {
        result = buttonSet(flags);
    } else {
        const int customIds[] = {id::Custom1, id::Custom2, id::Custom3, id::Custom4};
        for (int i = 0; i < std::min<int>(custom.size(), 4); ++i) result.append({custom[i], customIds[i]});
    }
    if (!params.reportCaption.isEmpty()) result.append({params.reportCaption, id::Report});
    if (flags & mb::Help) result.append({QStringLiteral("&Help"), id::HelpButton});
    return result;
}

int defaultButtonIndex(unsigned flags, int buttonCount) {
    const int index = static_cast<int>((flags >> 8) & 0xF);
    return index < buttonCount ? index : 0;
}

std::optional<int> escapeId(const QList<Button>& buttons) {
    for (const Button& b : buttons)
        if (b.id == id::Cancel) return id::Cancel;
    if (buttons.size() == 1 && buttons.front().id == id::Ok) return id::Ok;
    return std::nullopt;
}

unsigned checkBit(unsigned flags) {
    for (unsigned bit : {mb::CheckDontAsk, mb::CheckUnderstand, mb::CheckDontShow})
        if (flags & bit) return bit;
    return 0;
}

QString checkText(unsigned flags) {
    switch (checkBit(flags)) {
        case mb::CheckDontAsk:
            return QStringLiteral("Don't ask me again");
        case mb::CheckUnderstand:
            return QStringLiteral("I understand, Please do not tell me again");
        case mb::CheckDontShow:
            return QStringLiteral("Don't show again");
        default:
            return {};
    }
}

QString effectiveCaption(const QString& caption) { return caption.isEmpty() ? QStringLiteral("Error") : caption; }

int clampSeconds(int seconds) { return seconds > 999 ? 10 : std::max(seconds, 0); }

QString countdownCaption(const QString& caption, int secondsLeft) {
    return QStringLiteral("%1 = %2").arg(caption).arg(secondsLeft);
}

unsigned composeResult(int buttonId, bool ticked, unsigned flags, bool timedOut) {
    unsigned result = static_cast<unsigned>(buttonId);
    if (ticked) result |= checkBit(flags);
    if (timedOut) result |= mb::TimedOut;
    return result;
}

QString rememberedValueName(const ChoiceParams& params) {
    if (params.valueName.isEmpty()) return {};
    return params.valueName + QString::number(params.lineNumber);
}

std::optional<unsigned> rememberedAnswer(const SettingsStore& store, unsigned flags, const ChoiceParams& params) {
    const QString name = rememberedValueName(params);
    if (!(flags & mb::CheckMask) || name.isEmpty()) return std::nullopt;
    const auto stored = store.dword(kMessageBoxesKey, name);
    if (!stored || !(*stored & mb::CheckMask)) return std::nullopt;
    return *stored;
}

void rememberAnswer(SettingsStore& store, const ChoiceParams& params, unsigned result) {
    const QString name = rememberedValueName(params);
    if (!(result & mb::CheckMask) || name.isEmpty()) return;
    store.writeDword(kMessageBoxesKey, name, result);
}

int maxTextWidth(int screenWidth, int iconWidth) {
    return iconWidth > 0 ? screenWidth / 2 - iconWidth + 84 : screenWidth / 2 + 100;
}

Layout layout(const LayoutInput& in, QSize textSize) {
    Layout out;
    int textLeft = kMargin;
    if (!in.iconSize.isEmpty()) {
        out.icon = QRect(QPoint(kMargin, kMargin), in.iconSize);
        textLeft = out.icon.x() + out.icon.width() + kIconTextGap;
    }
    out.text = QRect(QPoint(textLeft, kMargin), textSize);
    const int contentBottom = std::max(out.text.y() + out.text.height(), out.icon.y() + out.icon.height());

    const int buttonWidth = in.countdown ? kCountdownButtonWidth : kButtonWidth;
    const int count = std::max(in.buttonCount, 0);
    const int rowWidth = count > 0 ? count * buttonWidth + (count - 1) * kButtonGap : 0;
    const int buttonTop = contentBottom + kRowGap;

    int width = std::max(out.text.x() + out.text.width() + kMargin, rowWidth + 2 * kMargin);
    int bottom = buttonTop + (count > 0 ? kButtonHeight : 0);
    if (!in.checkBoxSize.isEmpty()) {
        out.checkBox = QRect(QPoint(kMargin, bottom + kRowGap), in.checkBoxSize);
        width = std::max(width, out.checkBox.x() + out.checkBox.width() + kMargin);
        bottom = out.checkBox.y() + out.checkBox.height();
    }
    out.client = QSize(width, bottom + kBottomMargin);

    const int rowLeft = in.rightAlign ? width - kMargin - rowWidth : (width - rowWidth) / 2;
    for (int i = 0; i < count; ++i)
        out.buttons.append(QRect(rowLeft + i * (buttonWidth + kButtonGap), buttonTop, buttonWidth, kButtonHeight));
    return out;
}

}  // namespace choice
