#pragma once
// What ChoiceMessageBox decides without a window: which buttons a flag word asks for, which one is
// the default and which one Escape presses, how a result is composed, where a remembered answer
// lives, and where every control goes. The dialog in ui/widgets only applies these decisions.

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>

#include "prompter.h"

class SettingsStore;

namespace choice {

struct Button {
    QString caption;
    int id = 0;
    bool operator==(const Button&) const = default;
};

// The buttons from left to right: the custom captions or the flag word's button set, then "Re&port"
// when the parameters carry a report caption, then "&Help" when mb::Help is set.
QList<Button> buttons(unsigned flags, const ChoiceParams& params);

// Index into buttons() of the default button; a number beyond the buttons present means the first.
int defaultButtonIndex(unsigned flags, int buttonCount);

// The id that Escape and the close box give: Cancel where the set has it, OK where OK stands alone.
std::optional<int> escapeId(const QList<Button>& buttons);

// The check box's flag bit (the lowest one when several are set) and its text; 0 and empty for none.
unsigned checkBit(unsigned flags);
QString checkText(unsigned flags);

QString effectiveCaption(const QString& caption);  // an empty caption becomes "Error"

// Countdown and disabled periods above 999 seconds are taken as 10.
int clampSeconds(int seconds);
QString countdownCaption(const QString& caption, int secondsLeft);  // "%s = %d"

unsigned composeResult(int buttonId, bool ticked, unsigned flags, bool timedOut);

// Remembered answers. The store holds the program's own key, so every company key leads to its
// "MessageBoxes" section; the value name is the given name followed by the decimal line number.
QString rememberedValueName(const ChoiceParams& params);
// The stored answer when the flags ask for a check box, a value name is given, and the stored value
// carries a check-box bit; the box is then not shown at all.
std::optional<unsigned> rememberedAnswer(const SettingsStore& store, unsigned flags, const ChoiceParams& params);
// Stores `result` when its check-box bit is set and a value name is given.
void rememberAnswer(SettingsStore& store, const ChoiceParams& params, unsigned result);

// Pixel layout of the box, in client coordinates.
struct LayoutInput {
    int screenWidth = 0;
    QSize iconSize;      // empty without an icon
    QSize checkBoxSize;  // empty without a check box
    int buttonCount = 0;
    bool countdown = false;  // wider buttons, so that "Cancel = 10" fits
    bool rightAlign = false;
};
struct Layout {
    QRect icon, text, checkBox;
    QList<QRect> buttons;
    QSize client;
};
// The widest a line of text may run before it wraps.
int maxTextWidth(int screenWidth, int iconWidth);
// `textSize` is the text measured word-wrapped at maxTextWidth().
Layout layout(const LayoutInput& in, QSize textSize);

}  // namespace choice
