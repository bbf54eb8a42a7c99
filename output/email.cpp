#include "email.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "picturerecord.h"
#include "prompter.h"
#include "saveas.h"
#include "settingsstore.h"
#include "updatecheck.h"

namespace {

// How long the mail program's start is waited for. Most mail programs give xdg-email back at once;
// one that keeps it until the message window closes must not hold the program up longer.
constexpr int kStartWaitMs = 5000;

}  // namespace

namespace email {

qint64 AttachmentBytes(const QStringList& paths) {
    qint64 total = 0;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isFile() && info.isReadable()) total += info.size();
    }
    return total;
}

QString SizeLine(qint64 totalBytes) {
    if (totalBytes >= 1048576)
        return QStringLiteral("~%1 MBytes\n").arg(QString::number(double(totalBytes) / 1048576.0, 'f', 1));
    if (totalBytes >= 1024) return QStringLiteral("~%1 KBytes\n").arg(QString::number(double(totalBytes) / 1024.0, 'f', 1));
    return QStringLiteral("~%1 Bytes\n").arg(totalBytes);
}

QString NoteText(int count, qint64 totalBytes, const QString& webAddress) {
    const QString head = count == 1 ? QStringLiteral("\n\n%1 Picture\n") : QStringLiteral("\n\n%1 Pictures\n");
    return head.arg(count) + SizeLine(totalBytes) + webAddress;
}

QStringList Arguments(const QString& subject, const QString& body, const QStringList& attachments) {
    QStringList args = {QStringLiteral("--utf8"), QStringLiteral("--subject"), subject, QStringLiteral("--body"), body};
    for (const QString& path : attachments) args << QStringLiteral("--attach") << path;
    return args;
}

}  // namespace email

namespace email {

KeptCopies SaveCopies(const QStringList& files, const QString& folder) {
    KeptCopies kept;
    for (const QString& file : files) {
        const QString name = QFileInfo(file).fileName();
        // "_2", "_3", ... until a name is free on the disk; a name taken meanwhile is passed over too.
        OutputNames names;
        WriteResult written;
        QString target;
        for (int attempt = 0; attempt < 1000; ++attempt) {
            target = names.claim(QDir(folder).filePath(name));
            if (nameTaken(target)) continue;
            SafeWriteOptions how = chosenNameOptions(true);
            how.createOnly = true;
            written = CopyPictureFile(PictureRecord(file), target, true, nullptr, how);
            if (written || !nameTaken(target)) break;
        }
        if (written)
            kept.written.append(target);
        else
            kept.failures.append(QStringLiteral("%1: %2").arg(name, describe(written)));
    }
    return kept;
}

}  // namespace email

namespace {

QString keptOffer(qsizetype count) {
    return count == 1
               ? QStringLiteral("The picture made for the message is kept. Would you like to save it into a folder?")
               : QStringLiteral(
                     "The %1 pictures made for the message are kept. Would you like to save them "
                     "into a folder?")
                     .arg(count);
}

// Offers the copies of a message that could not be handed over to be saved into a folder the user
// picks; the status text tells where they went.
void offerCopies(const QString& error, const QStringList& copies, Prompter& prompter, MailResult& result) {
    const QString caption = QStringLiteral("Error");
    if (copies.isEmpty()) {
        prompter.messageBox(error, caption, mb::Ok | mb::IconStop);
        return;
    }
    if (prompter.messageBox(error + QStringLiteral("\n\n") + keptOffer(copies.size()), caption,
                            mb::YesNo | mb::IconExclamation) != id::Yes)
        return;
    QString start = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!QFileInfo(start).isDir()) start = QDir::homePath();
    const QString folder = prompter.existingDirectory(QStringLiteral("Save the Pictures in"), start);
    if (folder.isEmpty()) return;  // cancelled: the copies stay where they are
    if (!QFileInfo(folder).isDir()) {
        prompter.messageBox(QStringLiteral("Failed to get Directory"), caption, mb::Ok | mb::IconStop);
        return;
    }
    const KeptCopies kept = email::SaveCopies(copies, folder);
    if (!kept.failures.isEmpty())
        prompter.messageBox(QStringLiteral("These pictures could not be saved in %1:\n%2")
                                .arg(QDir::toNativeSeparators(folder), kept.failures.join(QLatin1Char('\n'))),
                            caption, mb::Ok | mb::IconExclamation);
    if (!kept.written.isEmpty())
        result.statusText = (kept.written.size() == 1 ? QStringLiteral("1 picture saved in %2")
                                                      : QStringLiteral("%1 pictures saved in %2"))
                                .arg(kept.written.size())
                                .arg(QDir::toNativeSeparators(folder));
}

// What to set up, after each of the three texts.
const QString kNoXdgEmail = QStringLiteral(
    "The program that hands a message to your mail program, xdg-email, is not installed. Install the "
    "package xdg-utils, make sure an e-mail program (such as Thunderbird, Evolution or KMail) is set up "
    "as your desktop's program for e-mail, then send again.");
const QString kSetUpMailProgram = QStringLiteral(
    "Set up an e-mail program (such as Thunderbird, Evolution or KMail) and choose it as your desktop's "
    "default program for e-mail (mailto: links), then send again.");
const QString kNoMailProgram = QStringLiteral("No mail program is set up to write new messages. ") + kSetUpMailProgram;

}  // namespace

MailResult SendEmail(const MailRequest& request, const SettingsStore& settings, Prompter& prompter,
                     const std::function<void(const QString& text, bool busy)>& status) {
    MailResult result;
    result.statusText = QStringLiteral("Ready");
    if (status) status(QStringLiteral("Creating email..."), true);
    auto error = [&](MailResult::Outcome outcome, const QString& text, const QString& help) {
        result.outcome = outcome;
        offerCopies(text + QStringLiteral("\n\n") + help, request.attachments, prompter, result);
        return result;
    };

    const QString program = QStandardPaths::findExecutable(email::kProgram);
    if (program.isEmpty()) return error(MailResult::Outcome::NoMailSupport, email::kNoMailSupport, kNoXdgEmail);
    // Pictures that could not be made were named already; with none left there is nothing to send.
    if (request.attachments.isEmpty()) return result;

    const int count = int(request.attachments.size());
    const QString body =
        email::NoteText(count, email::AttachmentBytes(request.attachments), update::siteAddress(settings));
    // Without a parent: a mail program still open when this program ends is not taken down with it.
    auto* process = new QProcess;
    process->setProgram(program);
    process->setArguments(email::Arguments(request.subject, body, request.attachments));
    process->setStandardInputFile(QProcess::nullDevice());
    process->start();
    if (!process->waitForStarted()) {
        const QString why = process->errorString();
        delete process;
        return error(MailResult::Outcome::InvalidMailSupport, email::kInvalidMailSupport,
                     QStringLiteral("%1 could not be started (%2). Install the package xdg-utils again, then send "
                                    "again.")
                         .arg(QDir::toNativeSeparators(program), why));
    }
    if (process->waitForFinished(kStartWaitMs)) {
        const bool clean = process->exitStatus() == QProcess::NormalExit;
        const int code = process->exitCode();
        delete process;
        // 3: no mail program could be found behind xdg-email.
        if (clean && code == 3) return error(MailResult::Outcome::NoMailSupport, email::kNoMailSupport, kNoMailProgram);
        // Any other refusal: most often, too, no program that takes mailto: links.
        if (!clean || code != 0)
            return error(MailResult::Outcome::Failed, email::kSendFailed,
                         QStringLiteral("The message could not be handed to a mail program (xdg-email %1): most "
                                        "likely no mail program is set up to write new messages. %2")
                             .arg(clean ? QStringLiteral("ended with status %1").arg(code)
                                        : QStringLiteral("stopped abnormally"),
                                  kSetUpMailProgram));
    } else {
        // Still running: the mail program has the message. It goes on on its own.
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    }
    result.outcome = MailResult::Outcome::HandedOver;
    result.statusText = count == 1
                            ? QStringLiteral("The message with 1 picture is in your mail program, not sent yet")
                            : QStringLiteral("The message with %1 pictures is in your mail program, not sent yet").arg(count);
    return result;
}
