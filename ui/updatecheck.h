#pragma once
// Asking the maker's web site whether a newer version exists.
//
// The query is one GET of "<site>license/upgrade.aspx?version=" and the running version; the reply is a few key=value
// lines. Only four values are taken from it, each as plain text, and a download address counts
// only when it is an http or https address: nothing else from the network reaches the program.

#include <QByteArray>
#include <QDate>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <functional>

#include "snaploreversion.h"

class QNetworkAccessManager;
class QNetworkReply;
class Prompter;
class SettingsStore;

namespace update {

inline const QString kRunningVersion = QStringLiteral(SNAPLORE_VERSION);
inline const QString kUnknown = QStringLiteral("unknown");
inline const QString kDefaultSite = QStringLiteral("https://snaplore.org/");

// "CheckWhen", in the order of the dialog's drop-down list.
enum CheckWhen : quint32 { Never = 0, WhenAppStarts = 1 };

// The maker's site: "Settings"/"WebSite", or our own address. Always ends with "/". Also the page a
// Help button opens, since the program has no help file.
QString siteAddress(const SettingsStore& store);
QUrl queryUrl(const QString& siteAddress);

CheckWhen checkWhen(const SettingsStore& store);
void setCheckWhen(SettingsStore& store, CheckWhen when);
// The date of the last query that reached the site ("%b %d, %Y"), or "unknown".
QString lastChecked(const SettingsStore& store);
QString formatCheckDate(QDate date);

bool isDownloadAddress(const QString& address);

struct Info {
    QString freeVersion = kUnknown;
    QString payVersion = kUnknown;
    QString freeDownload;  // empty, or an http(s) address
    QString payDownload;
    // At start an upgrade counts as offered when there is a free download, whatever the versions say.
    bool upgradeOffered() const { return !freeDownload.isEmpty(); }
};

// Reads the reply as it arrives. Lines longer than kMaxLine are ignored whole; after kMaxReply bytes
// the reader takes nothing more.
class ReplyReader {
public:
    static constexpr qsizetype kMaxReply = 64 * 1024;
    static constexpr qsizetype kMaxLine = 4 * 1024;

    // Returns false once the reply has reached kMaxReply; the rest is not wanted.
    bool feed(QByteArray bytes);
    // The reply ended. A last line without a line feed counts only when the reply ended cleanly.
    void finish(bool clean);
    const Info& info() const { return info_; }

private:
    void takeLine(const QByteArray& line);

    Info info_;
    QByteArray pending_;
    qsizetype total_ = 0;
    bool skippingLongLine_ = false;
    bool full_ = false;
};

// A whole reply at once.
Info parseReply(const QByteArray& reply);

// One query at a time, asynchronous: the caller's window stays alive while it runs.
class UpdateCheck : public QObject {
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 15000;

    explicit UpdateCheck(SettingsStore& store, QObject* parent = nullptr);
    ~UpdateCheck() override;

    // Starts a query unless one is running. Resets the results first.
    void start();
    // The start-up check: starts a query when "CheckWhen" asks for it; false when nothing started.
    bool startIfWantedAtLaunch();
    void abort();
    bool isRunning() const { return !reply_.isNull(); }
    const Info& info() const { return info_; }

signals:
    // The site answered; "UpdateChecked" now holds `date`.
    void checked(const QString& date);
    // The query is over, whether it succeeded or not; info() holds what was read.
    void finished();

private:
    void onMetaData();
    void onReadyRead();
    void end(bool clean);

    SettingsStore& store_;
    QNetworkAccessManager* network_;
    QPointer<QNetworkReply> reply_;
    QTimer timeout_;
    ReplyReader reader_;
    Info info_;
    bool opened_ = false;
};

// The download step: asks to exit first; on Yes opens the address in the web browser and ends the
// program through `exitProgram`. True when the browser was asked to open the address.
using UrlOpener = std::function<bool(const QUrl&)>;
bool downloadUpgrade(Prompter& prompter, const QString& address, const UrlOpener& openUrl,
                     const std::function<void()>& exitProgram);
// The question of the start-up check when it found an upgrade; true on Yes.
bool askStartupDownload(Prompter& prompter);
// QDesktopServices::openUrl.
UrlOpener systemUrlOpener();

}  // namespace update
