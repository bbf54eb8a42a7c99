#include "scriptedprompter.h"

#include <gtest/gtest.h>

ScriptedPrompter& ScriptedPrompter::answer(unsigned result) {
    answers_.enqueue(result);
    return *this;
}

ScriptedPrompter& ScriptedPrompter::answerPath(const QString& path) {
    paths_.enqueue(path);
    return *this;
}

QStringList ScriptedPrompter::askedTexts() const {
    QStringList texts;
    for (const Question& q : asked_) texts.append(q.text);
    return texts;
}

unsigned ScriptedPrompter::nextAnswer(const Question& question) {
    asked_.append(question);
    if (answers_.isEmpty()) {
        ADD_FAILURE() << "unscripted question: " << question.text.toStdString();
        return id::Cancel;
    }
    return answers_.dequeue();
}

QString ScriptedPrompter::nextPath(const Question& question) {
    asked_.append(question);
    if (paths_.isEmpty()) {
        ADD_FAILURE() << "unscripted chooser: " << question.caption.toStdString();
        return {};
    }
    return paths_.dequeue();
}

int ScriptedPrompter::messageBox(const QString& text, const QString& caption, unsigned flags) {
    return static_cast<int>(nextAnswer({Kind::Message, text, caption, flags, {}, {}, {}}));
}

unsigned ScriptedPrompter::choiceMessageBox(const QString& text, const QString& caption, unsigned flags,
                                            const ChoiceParams& params) {
    return nextAnswer({Kind::Choice, text, caption, flags, params, {}, {}});
}

QString ScriptedPrompter::openFileName(const QString& caption, const QString& dir, const QString& filter) {
    return nextPath({Kind::OpenFile, {}, caption, 0, {}, dir, filter});
}

QString ScriptedPrompter::saveFileName(const QString& caption, const QString& dir, const QString& filter) {
    return nextPath({Kind::SaveFile, {}, caption, 0, {}, dir, filter});
}

QString ScriptedPrompter::existingDirectory(const QString& caption, const QString& dir) {
    return nextPath({Kind::Directory, {}, caption, 0, {}, dir, {}});
}
