#pragma once
// Sending pictures by e-mail: the files a Send Email save made go to the user's mail program through
// xdg-email, as attachments of a new message with a subject and a short note, for the user to address
// and send there. xdg-email is found through PATH.

#include <QString>
#include <QStringList>

#include <functional>

class Prompter;
class SettingsStore;

struct MailRequest {
    QString subject;          // the Pictures list's text, "Entire Catalog" or "%s (Event)"
    QStringList attachments;  // full paths, in order
};

namespace email {

inline const QString kNoMailSupport = QStringLiteral("Unable to load mail system support.");
inline const QString kInvalidMailSupport = QStringLiteral("Mail system DLL is invalid.");
inline const QString kSendFailed = QStringLiteral("Send Mail failed to send message.");
inline const QString kProgram = QStringLiteral("xdg-email");

// The bytes of the files together; a file that cannot be read adds nothing.
qint64 AttachmentBytes(const QStringList& paths);
// "~%.1f MBytes\n", "~%.1f KBytes\n" or "~%d Bytes\n".
QString SizeLine(qint64 totalBytes);
// "\n\n%d Picture\n" (one file) or "\n\n%d Pictures\n", the size line, then the maker's address.
QString NoteText(int count, qint64 totalBytes, const QString& webAddress);
// The arguments xdg-email gets: subject, body and one --attach per file, no recipient.
QStringList Arguments(const QString& subject, const QString& body, const QStringList& attachments);

}  // namespace email

struct MailResult {
    enum class Outcome { HandedOver, NoMailSupport, InvalidMailSupport, Failed };
    Outcome outcome = Outcome::Failed;
    QString statusText;  // for the status bar: the message was handed over (not sent), or "Ready"
    bool ok() const { return outcome == Outcome::HandedOver; }
};

// Hands the message to the mail program. The web address in the note is "Settings"/"WebSite" (or the
// program's own). Errors are shown through `prompter` with the three texts above. `status` gets
// "Creating email..." (busy) first; the returned status text is for the caller to show last.
MailResult SendEmail(const MailRequest& request, const SettingsStore& settings, Prompter& prompter,
                     const std::function<void(const QString& text, bool busy)>& status = {});
