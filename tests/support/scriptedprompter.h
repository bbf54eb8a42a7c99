#pragma once
// A Prompter for tests: answers come from a script, and every question is recorded so that a test
// can check what the user would have been asked. A question without a scripted answer fails the
// running test and is answered with Cancel (or an empty path).

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

#include "prompter.h"

class ScriptedPrompter : public Prompter {
public:
    enum class Kind { Message, Choice, OpenFile, SaveFile, Directory };
    struct Question {
        Kind kind = Kind::Message;
        QString text;  // the message, or nothing for a chooser
        QString caption;
        unsigned flags = 0;
        ChoiceParams params;
        QString dir;
        QString filter;
    };

    // The next answer to a message box or ChoiceMessageBox.
    ScriptedPrompter& answer(unsigned result);
    // The next answer to a file or folder chooser; empty means the user cancelled.
    ScriptedPrompter& answerPath(const QString& path);

    const QList<Question>& asked() const { return asked_; }
    QStringList askedTexts() const;
    // True when every scripted answer has been used.
    bool exhausted() const { return answers_.isEmpty() && paths_.isEmpty(); }

    int messageBox(const QString& text, const QString& caption, unsigned flags) override;
    unsigned choiceMessageBox(const QString& text, const QString& caption, unsigned flags,
                              const ChoiceParams& params) override;
    QString openFileName(const QString& caption, const QString& dir, const QString& filter) override;
    QString saveFileName(const QString& caption, const QString& dir, const QString& filter) override;
    QString existingDirectory(const QString& caption, const QString& dir) override;

private:
    unsigned nextAnswer(const Question& question);
    QString nextPath(const Question& question);

    QQueue<unsigned> answers_;
    QQueue<QString> paths_;
    QList<Question> asked_;
};
