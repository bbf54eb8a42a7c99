#include "email.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "prompter.h"
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

MailResult SendEmail(const MailRequest& request, const SettingsStore& settings, Prompter& prompter,
                     const std::function<void(const QString& text, bool busy)>& status) {
    MailResult result;
    result.statusText = QStringLiteral("Ready");
    if (status) status(QStringLiteral("Creating email..."), true);
    auto error = [&](MailResult::Outcome outcome, const QString& text) {
        prompter.messageBox(text, QStringLiteral("Error"), mb::Ok | mb::IconStop);
        result.outcome = outcome;
        return result;
    };

    const QString program = QStandardPaths::findExecutable(email::kProgram);
    if (program.isEmpty()) return error(MailResult::Outcome::NoMailSupport, email::kNoMailSupport);
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
        delete process;
        return error(MailResult::Outcome::InvalidMailSupport, email::kInvalidMailSupport);
    }
    if (process->waitForFinished(kStartWaitMs)) {
        const bool clean = process->exitStatus() == QProcess::NormalExit;
        const int code = process->exitCode();
        delete process;
        // 3: no mail program could be found behind xdg-email.
        if (clean && code == 3) return error(MailResult::Outcome::NoMailSupport, email::kNoMailSupport);
        if (!clean || code != 0) return error(MailResult::Outcome::Failed, email::kSendFailed);
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
