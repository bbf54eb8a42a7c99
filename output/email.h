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

// What became of the copies of a message that could not be handed over, saved into a folder.
struct KeptCopies {
    QStringList written;   // the files made, in order
    QStringList failures;  // "name: reason" for each copy that could not be saved
};

namespace email {

// Saves `files` into `folder` under their own names, through the safe write; a name taken there
// gets "_2", "_3", ... before its extension. Nothing in the folder is replaced.
KeptCopies SaveCopies(const QStringList& files, const QString& folder);

}  // namespace email

// Hands the message to the mail program. The web address in the note is "Settings"/"WebSite" (or the
// program's own). `status` gets "Creating email..." (busy) first; the returned status text is for the
// caller to show last.
// When the hand-over fails (no xdg-email, no mail program behind it, the program refused), the error
// starts with one of the three texts above and goes on to say what to set up. The pictures made for
// the message stay, and the user is offered to save them into a folder of his choice.
MailResult SendEmail(const MailRequest& request, const SettingsStore& settings, Prompter& prompter,
                     const std::function<void(const QString& text, bool busy)>& status = {});
