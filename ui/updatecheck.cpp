#include "updatecheck.h"

#include <QDesktopServices>
#include <algorithm>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include "prompter.h"
#include "settingsstore.h"

namespace update {

namespace {

const QString kSettings = QStringLiteral("Settings");
const QString kQueryPath = QStringLiteral("license/upgrade.aspx?version=");

bool isWebAddress(const QUrl& url) {
    return url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) &&
           !url.host().isEmpty();
}

bool hasControlCharacter(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

// Reply values end up in line edits and the browser; control characters have no business there.
QString cleanValue(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (c.unicode() >= 0x20 && c.unicode() != 0x7F) out.append(c);
    return out.trimmed();
}

}  // namespace

QString siteAddress(const SettingsStore& store) {
    QString site = store.readString(kSettings, QStringLiteral("WebSite")).trimmed();
    if (!isWebAddress(QUrl(site, QUrl::StrictMode))) site = kDefaultSite;
    if (!site.endsWith(QLatin1Char('/'))) site += QLatin1Char('/');
    return site;
}

QUrl queryUrl(const QString& siteAddress) { return QUrl(siteAddress + kQueryPath + kRunningVersion); }

CheckWhen checkWhen(const SettingsStore& store) {
    return store.readDword(kSettings, QStringLiteral("CheckWhen")) == WhenAppStarts ? WhenAppStarts : Never;
}

void setCheckWhen(SettingsStore& store, CheckWhen when) {
    store.writeDword(kSettings, QStringLiteral("CheckWhen"), when);
}

QString lastChecked(const SettingsStore& store) {
    return store.readString(kSettings, QStringLiteral("UpdateChecked"), kUnknown);
}

// "%b %d, %Y" in the C locale, whatever the user's language: "Mar 05, 2024".
QString formatCheckDate(QDate date) { return QLocale::c().toString(date, QStringLiteral("MMM dd, yyyy")); }

bool isDownloadAddress(const QString& address) { return isWebAddress(QUrl(address, QUrl::StrictMode)); }

bool ReplyReader::feed(QByteArray bytes) {
    if (full_) return false;
    const qsizetype room = kMaxReply - total_;
    if (bytes.size() > room) {
        bytes.truncate(room);
        full_ = true;
    }
    total_ += bytes.size();
    pending_ += bytes;
    for (qsizetype end = pending_.indexOf('\n'); end >= 0; end = pending_.indexOf('\n')) {
        const QByteArray line = pending_.left(end);
        pending_.remove(0, end + 1);
        if (skippingLongLine_)
            skippingLongLine_ = false;  // this was the tail of a line already found too long
        else
            takeLine(line);
    }
    if (skippingLongLine_) {
        pending_.clear();
    } else if (pending_.size() > kMaxLine) {
        pending_.clear();
        skippingLongLine_ = true;
    }
    return !full_;
}

void ReplyReader::finish(bool clean) {
    // A reply cut off by an error or by the size limit leaves a line that may be truncated.
    if (clean && !full_ && !skippingLongLine_) takeLine(pending_);
    pending_.clear();
}

void ReplyReader::takeLine(const QByteArray& bytes) {
    QByteArray line = bytes;
    if (line.endsWith('\r')) line.chop(1);
    if (line.isEmpty() || line.size() > kMaxLine) return;
    const QString text = QString::fromUtf8(line);
    auto valueAfter = [&](QLatin1String key, QString& target) {
        if (!text.startsWith(key)) return false;
        target = cleanValue(text.mid(key.size()));
        return true;
    };
    if (valueAfter(QLatin1String("freever="), info_.freeVersion)) return;
    if (valueAfter(QLatin1String("payver="), info_.payVersion)) return;
    // An address is taken as sent or not at all: one with control characters removed would be
    // another address than the site gave.
    auto addressAfter = [&](QLatin1String key, QString& target) {
        if (!text.startsWith(key)) return false;
        const QString raw = text.mid(key.size());
        const QString address = raw.trimmed();
        target = !hasControlCharacter(raw) && isDownloadAddress(address) ? address : QString();
        return true;
    };
    if (addressAfter(QLatin1String("freedownload="), info_.freeDownload)) return;
    addressAfter(QLatin1String("paydownload="), info_.payDownload);
}

Info parseReply(const QByteArray& reply) {
    ReplyReader reader;
    reader.feed(reply);
    reader.finish(true);
    return reader.info();
}

UpdateCheck::UpdateCheck(SettingsStore& store, QObject* parent)
    : QObject(parent), store_(store), network_(new QNetworkAccessManager(this)) {
    timeout_.setSingleShot(true);
    connect(&timeout_, &QTimer::timeout, this, [this] { end(false); });
}

UpdateCheck::~UpdateCheck() {
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

void UpdateCheck::start() {
    if (isRunning()) return;
    info_ = Info{};
    reader_ = ReplyReader{};
    opened_ = false;

    QNetworkRequest request(queryUrl(siteAddress(store_)));
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("SNAPLORE"));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    reply_ = network_->get(request);
    reply_->setReadBufferSize(ReplyReader::kMaxReply);
    connect(reply_, &QNetworkReply::metaDataChanged, this, &UpdateCheck::onMetaData);
    connect(reply_, &QNetworkReply::readyRead, this, &UpdateCheck::onReadyRead);
    connect(reply_, &QNetworkReply::finished, this, [this] {
        onReadyRead();
        end(reply_ && reply_->error() == QNetworkReply::NoError);
    });
    timeout_.start(kTimeoutMs);
}

bool UpdateCheck::startIfWantedAtLaunch() {
    if (checkWhen(store_) != WhenAppStarts) return false;
    start();
    return true;
}

void UpdateCheck::abort() { end(false); }

void UpdateCheck::onMetaData() {
    if (opened_ || !reply_) return;
    // Redirects are followed; only the final page's success counts as reaching the site.
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 200 || status > 299) return;
    opened_ = true;
    const QString date = formatCheckDate(QDate::currentDate());
    store_.writeString(kSettings, QStringLiteral("UpdateChecked"), date);
    emit checked(date);
}

void UpdateCheck::onReadyRead() {
    if (!reply_) return;
    onMetaData();
    const QByteArray bytes = reply_->readAll();
    if (!opened_) return;  // an error page's body is not a reply
    if (!reader_.feed(bytes)) end(false);
}

void UpdateCheck::end(bool clean) {
    if (!reply_) return;
    timeout_.stop();
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    reply->disconnect(this);
    if (reply->isRunning()) reply->abort();
    reply->deleteLater();
    reader_.finish(clean && opened_);
    if (opened_) info_ = reader_.info();
    emit finished();
}

bool downloadUpgrade(Prompter& prompter, const QString& address, const UrlOpener& openUrl,
                     const std::function<void()>& exitProgram) {
    const int answer = prompter.messageBox(
        QStringLiteral("You must exit Snaplore before downloading an upgrade.  Do you wish to exit now?"),
        QStringLiteral("Exit?"), mb::YesNoCancel | mb::IconQuestion);
    if (answer != id::Yes) return false;
    // Leaving the program without a browser to show the page would strand the user.
    if (!isDownloadAddress(address) || !openUrl || !openUrl(QUrl(address, QUrl::StrictMode))) return false;
    if (exitProgram) exitProgram();
    return true;
}

bool askStartupDownload(Prompter& prompter) {
    return prompter.messageBox(QStringLiteral("A new upgraded is available.  Do you want to download it now?"),
                               QStringLiteral("Snaplore"), mb::YesNoCancel | mb::IconQuestion) == id::Yes;
}

UrlOpener systemUrlOpener() {
    return [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

}  // namespace update
