// Sending pictures by e-mail: the note's lines, and what xdg-email gets, checked with a recording
// stand-in put first in PATH.

#include "email.h"
#include "scriptedprompter.h"
#include "settingsstore.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using testsupport::readAll;
using testsupport::SandBox;
using testsupport::writeAll;

namespace {

// Puts `folder` alone in PATH for the test's length.
class PathOverride {
public:
    explicit PathOverride(const QString& folder) : old_(qgetenv("PATH")) { qputenv("PATH", QFile::encodeName(folder)); }
    ~PathOverride() { qputenv("PATH", old_); }

private:
    QByteArray old_;
};

// An xdg-email that writes each argument it gets, NUL-terminated, to `record` and exits with `status`.
void installStandIn(const QString& folder, const QString& record, int status) {
    const QString script = QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > '%1'\nexit %2\n")
                               .arg(record)
                               .arg(status);
    const QString path = folder + "/xdg-email";
    writeAll(path, script.toUtf8());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QStringList recorded(const QString& record) {
    QByteArray bytes = readAll(record);
    bytes.chop(1);
    QStringList args;
    for (const QByteArray& a : bytes.split('\0')) args << QString::fromUtf8(a);
    return args;
}

}  // namespace

TEST(EmailNote, SizeLinesAndCount) {
    struct Case {
        int count;
        qint64 bytes;
        const char* note;
    } cases[] = {
        {3, 700000, "\n\n3 Pictures\n~683.6 KBytes\n"},
        {2, 2097152, "\n\n2 Pictures\n~2.0 MBytes\n"},
        {1, 900, "\n\n1 Picture\n~900 Bytes\n"},
        {1, 1024, "\n\n1 Picture\n~1.0 KBytes\n"},
        {4, 1048575, "\n\n4 Pictures\n~1024.0 KBytes\n"},
        {0, 0, "\n\n0 Pictures\n~0 Bytes\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(email::NoteText(c.count, c.bytes, "https://example.org/"), QString(c.note) + "https://example.org/");
}

TEST(EmailSend, MissingMailProgram) {
    SandBox box;
    SettingsStore settings(box.filePath("settings.conf"));
    const PathOverride path(box.path());  // no xdg-email there
    ScriptedPrompter prompter;
    prompter.answer(id::No);  // the copies are not wanted elsewhere
    QStringList statuses;
    const MailResult result = SendEmail({"Entire Catalog", {box.filePath("a.jpg")}}, settings, prompter,
                                        [&](const QString& text, bool) { statuses << text; });
    EXPECT_EQ(result.outcome, MailResult::Outcome::NoMailSupport);
    ASSERT_EQ(prompter.asked().size(), 1);
    const QString text = prompter.asked().first().text;
    EXPECT_TRUE(text.startsWith("Unable to load mail system support.\n\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("xdg-utils")) << text.toStdString();  // what to install
    EXPECT_EQ(statuses, QStringList({"Creating email..."}));
    EXPECT_EQ(result.statusText, "Ready");
}

TEST(EmailSend, HandsSubjectNoteAndAttachmentsOver) {
    SandBox box;
    SettingsStore settings(box.filePath("settings.conf"));
    settings.writeString("Settings", "WebSite", "https://pictures.example.net/");
    writeAll(box.filePath("a b.jpg"), QByteArray(700, 'a'));
    writeAll(box.filePath("c.jpg"), QByteArray(300, 'c'));
    installStandIn(box.path(), box.filePath("args"), 0);
    const PathOverride path(box.path());
    ScriptedPrompter prompter;
    const MailResult result =
        SendEmail({"05/01/2004 Harbour (Event)", {box.filePath("a b.jpg"), box.filePath("c.jpg")}}, settings, prompter);
    EXPECT_TRUE(result.ok());
    EXPECT_TRUE(prompter.asked().isEmpty());
    EXPECT_EQ(recorded(box.filePath("args")),
              QStringList({"--utf8", "--subject", "05/01/2004 Harbour (Event)", "--body",
                           "\n\n2 Pictures\n~1000 Bytes\nhttps://pictures.example.net/", "--attach",
                           box.filePath("a b.jpg"), "--attach", box.filePath("c.jpg")}));
    // Handed over, not sent: the mail program sends it, if the user does.
    EXPECT_TRUE(result.statusText.contains("not sent")) << result.statusText.toStdString();
}

TEST(EmailSend, MailProgramErrors) {
    struct Case {
        int status;
        MailResult::Outcome outcome;
        const char* message;
    } cases[] = {
        {4, MailResult::Outcome::Failed, "Send Mail failed to send message."},
        {3, MailResult::Outcome::NoMailSupport, "Unable to load mail system support."},
    };
    for (const Case& c : cases) {
        SandBox box;
        SettingsStore settings(box.filePath("settings.conf"));
        writeAll(box.filePath("a.jpg"), "a");
        installStandIn(box.path(), box.filePath("args"), c.status);
        const PathOverride path(box.path());
        ScriptedPrompter prompter;
        prompter.answer(id::No);
        const MailResult result = SendEmail({"Flagged Pictues", {box.filePath("a.jpg")}}, settings, prompter);
        EXPECT_EQ(result.outcome, c.outcome);
        ASSERT_EQ(prompter.asked().size(), 1);
        const ScriptedPrompter::Question& asked = prompter.asked().first();
        EXPECT_TRUE(asked.text.startsWith(QString(c.message) + "\n\n")) << asked.text.toStdString();
        // Words to act on: no mail program is set up, and which kind of program to set up.
        EXPECT_TRUE(asked.text.contains("no mail program is set up", Qt::CaseInsensitive)) << asked.text.toStdString();
        EXPECT_TRUE(asked.text.contains("mailto:")) << asked.text.toStdString();
        EXPECT_TRUE(asked.text.endsWith("The picture made for the message is kept. Would you like to save it into a "
                                        "folder?"));
        EXPECT_EQ(asked.flags, mb::YesNo | mb::IconExclamation);
        EXPECT_TRUE(QFile::exists(box.filePath("a.jpg")));  // kept where it was
    }
    // A program that cannot be started at all.
    SandBox box;
    SettingsStore settings(box.filePath("settings.conf"));
    writeAll(box.filePath("xdg-email"), "\x7f" "ELF broken");
    QFile::setPermissions(box.filePath("xdg-email"), QFile::ReadOwner | QFile::ExeOwner);
    const PathOverride path(box.path());
    ScriptedPrompter prompter;
    prompter.answer(id::No);
    const MailResult result = SendEmail({"Flagged Pictues", {box.filePath("xdg-email")}}, settings, prompter);
    EXPECT_EQ(result.outcome, MailResult::Outcome::InvalidMailSupport);
    ASSERT_EQ(prompter.asked().size(), 1);
    EXPECT_TRUE(prompter.asked().first().text.startsWith("Mail system DLL is invalid.\n\n"));
    EXPECT_TRUE(prompter.asked().first().text.contains("xdg-utils"));
}

// The copies of a message that could not be handed over, saved into a folder of the user's choice:
// names taken there get "_2", "_3", ..., nothing there is replaced, and the copies stay where they were.
TEST(EmailSend, TheCopiesOfAFailedMessageAreSavedWithFreshNames) {
    SandBox box;
    SettingsStore settings(box.filePath("settings.conf"));
    const QString temp = box.filePath("temp"), kept = box.filePath("kept");
    QDir().mkpath(temp);
    QDir().mkpath(kept);
    const QByteArray a = readAll(testsupport::dataPath("Canon_40D.jpg")), c = readAll(testsupport::dataPath("Panasonic_DMC-FZ30.jpg"));
    writeAll(temp + "/a.jpg", a);
    writeAll(temp + "/c.jpg", c);
    writeAll(kept + "/a.jpg", "someone else's a");
    writeAll(kept + "/a_2.jpg", "someone else's a_2");
    installStandIn(box.path(), box.filePath("args"), 3);
    const PathOverride path(box.path());
    ScriptedPrompter prompter;
    prompter.answer(id::Yes).answerPath(kept);
    const MailResult result = SendEmail({"Flagged Pictues", {temp + "/a.jpg", temp + "/c.jpg"}}, settings, prompter);

    EXPECT_EQ(result.outcome, MailResult::Outcome::NoMailSupport);
    ASSERT_EQ(prompter.asked().size(), 2);
    EXPECT_TRUE(prompter.asked()[0].text.endsWith("The 2 pictures made for the message are kept. Would you like to "
                                                  "save them into a folder?"));
    EXPECT_EQ(prompter.asked()[1].kind, ScriptedPrompter::Kind::Directory);
    EXPECT_EQ(readAll(kept + "/a.jpg"), "someone else's a");
    EXPECT_EQ(readAll(kept + "/a_2.jpg"), "someone else's a_2");
    EXPECT_EQ(readAll(kept + "/a_3.jpg"), a);
    EXPECT_EQ(readAll(kept + "/c.jpg"), c);
    EXPECT_EQ(readAll(temp + "/a.jpg"), a);
    EXPECT_EQ(result.statusText, "2 pictures saved in " + QDir::toNativeSeparators(kept));

    // Copies that cannot be written (the disk is full): each is named with the reason, and nothing
    // claims that they were saved.
    ScriptedPrompter again;
    again.answer(id::Yes).answerPath(kept).answer(id::Ok);
    MailResult refused;
    {
        const testsupport::FileSizeLimit full(100);
        refused = SendEmail({"Flagged Pictues", {temp + "/c.jpg"}}, settings, again);
    }
    ASSERT_EQ(again.asked().size(), 3);
    EXPECT_TRUE(again.asked()[2].text.startsWith("These pictures could not be saved in")) << again.asked()[2].text.toStdString();
    EXPECT_TRUE(again.asked()[2].text.contains("c.jpg: "));
    EXPECT_FALSE(QFileInfo::exists(kept + "/c_2.jpg"));
    EXPECT_EQ(refused.statusText, "Ready");
}
