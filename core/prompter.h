#pragma once
// The one seam through which every question, message and file chooser of the program goes.
// The window program installs a prompter that shows real dialogs; tests install a scripted one.
// Headless code takes a Prompter& and never opens a window itself.
//
// Flag words and result ids keep the values of the classic message-box interface, so that a
// question in the code reads the same as in the program's message tables.

#include <QPoint>
#include <QString>

#include <functional>

namespace mb {
// Button sets (bits 0xF).
constexpr unsigned Ok = 0x0, OkCancel = 0x1, AbortRetryIgnore = 0x2, YesNoCancel = 0x3, YesNo = 0x4,
                   RetryCancel = 0x5, CancelTryContinue = 0x6;
// Icons (bits 0xF0).
constexpr unsigned IconStop = 0x10, IconQuestion = 0x20, IconExclamation = 0x30, IconInformation = 0x40;
// Default button (bits 0xF00).
constexpr unsigned DefButton1 = 0x000, DefButton2 = 0x100, DefButton3 = 0x200, DefButton4 = 0x300;
constexpr unsigned SystemModal = 0x1000, Help = 0x4000, SetForeground = 0x10000, TopMost = 0x40000;
// ChoiceMessageBox extensions.
constexpr unsigned CheckDontAsk = 0x01000000, CheckUnderstand = 0x02000000, CheckDontShow = 0x04000000,
                   CheckMask = 0x07000000, YesToAll = 0x08000000, NoToAll = 0x10000000,
                   NoResources = 0x20000000, NoSound = 0x40000000, TimedOut = 0x80000000;
// A "&Keep Both" button after the Yes answers of a Yes/No set (a file of that name exists: keep it
// and put the new one beside it).
constexpr unsigned KeepBoth = 0x00800000;
}  // namespace mb

namespace id {
constexpr int Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7, TryAgain = 10,
              Continue = 11, Skip = 14, SkipAll = 15, IgnoreAll = 16, YesToAll = 19, NoToAll = 20,
              KeepBoth = 27, HelpButton = 300, Report = 301;
// The custom captions of ChoiceParams::customButtons, from left to right.
constexpr int Custom1 = 23, Custom2 = 24, Custom3 = 25, Custom4 = 26;
}  // namespace id

// The optional parameter record of ChoiceMessageBox.
struct ChoiceParams {
    int countdownSeconds = 0;  // the default button presses itself when this runs out (0 = none)
    int disabledSeconds = 0;   // all buttons stay disabled this long
    QPoint position;           // (0, 0) = centred on the owner
    int helpContext = 0;
    QString customButtons;      // up to four captions separated by "\n"; they replace the button set
    QString reportCaption;      // an extra "Re&port" button (id 301) when not empty
    std::function<void()> report;
    bool rightAlignButtons = false;
    // Remembered answers: "Software\<companyKey>\MessageBoxes\<valueName><lineNumber>".
    QString companyKey;
    QString valueName;
    int lineNumber = 0;
};

class Prompter {
public:
    virtual ~Prompter() = default;

    // A standard message box. Returns the id of the button pressed (id::Ok, id::Yes, ...).
    virtual int messageBox(const QString& text, const QString& caption, unsigned flags) = 0;

    // The message box with "to All" answers, check box and remembered answers. Returns the button id
    // with the check box's flag bit added when ticked, and mb::TimedOut when the countdown answered.
    virtual unsigned choiceMessageBox(const QString& text, const QString& caption, unsigned flags,
                                      const ChoiceParams& params) = 0;

    // File and folder choosers. An empty result means the user cancelled.
    virtual QString openFileName(const QString& caption, const QString& dir, const QString& filter) = 0;
    virtual QString saveFileName(const QString& caption, const QString& dir, const QString& filter) = 0;
    virtual QString existingDirectory(const QString& caption, const QString& dir) = 0;
};
