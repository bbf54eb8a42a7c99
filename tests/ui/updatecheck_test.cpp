// The update check against a small HTTP server on 127.0.0.1: what is asked, what is taken from the
// reply, what happens when the site fails, and the dialog around it.

#include "updatecheck.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QNetworkProxy>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

#include "scriptedprompter.h"
#include "settingsstore.h"
#include "testsupport.h"
#include "uitesthelpers.h"
#include "updatedlg.h"

namespace {

// Answers every request with one canned response, and keeps the request heads it saw.
class TinyHttpServer : public QObject {
public:
    enum class Mode { Reply, DropMidBody, NotFound, Silent };

    TinyHttpServer() {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onRequest(socket); });
            }
        });
    }

    QString site() const { return QStringLiteral("http://127.0.0.1:%1/").arg(server_.serverPort()); }
    void respond(Mode mode, const QByteArray& body = {}) {
        mode_ = mode;
        body_ = body;
    }
    const QList<QByteArray>& requests() const { return requests_; }

private:
    void onRequest(QTcpSocket* socket) {
        QByteArray& head = pending_[socket];
        head += socket->readAll();
        if (!head.contains("\r\n\r\n")) return;
        requests_.append(head.left(head.indexOf("\r\n\r\n")));
        switch (mode_) {
            case Mode::Silent:
                return;
            case Mode::NotFound:
                socket->write(
                    "HTTP/1.1 404 Not Found\r\nContent-Length: 15\r\nConnection: close\r\n\r\n"
                    "freever=9.9.9\r\n");
                break;
            case Mode::Reply:
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\nContent-Length: " +
                              QByteArray::number(body_.size()) + "\r\n\r\n" + body_);
                break;
            case Mode::DropMidBody:
                socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " +
                              QByteArray::number(body_.size() + 500) + "\r\n\r\n" + body_);
                socket->flush();
                socket->abort();
                return;
        }
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    Mode mode_ = Mode::Reply;
    QByteArray body_;
    QHash<QTcpSocket*, QByteArray> pending_;
    QList<QByteArray> requests_;
};

class UpdateCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        store_.writeString(QStringLiteral("Settings"), QStringLiteral("WebSite"), server_.site());
    }

    // Runs one query to its end.
    void query(update::UpdateCheck& check) {
        QSignalSpy finished(&check, &update::UpdateCheck::finished);
        check.start();
        ASSERT_TRUE(finished.wait(10000));
    }

    QString lastChecked() const { return update::lastChecked(store_); }

    testsupport::SandBox sandbox_;
    SettingsStore store_{sandbox_.filePath(QStringLiteral("Snaplore.conf"))};
    TinyHttpServer server_;
};

TEST_F(UpdateCheckTest, AsksTheSiteAsSnaploreAndTakesTheFourValues) {
    server_.respond(TinyHttpServer::Mode::Reply,
                    "freever=1.1.0\r\npayver=2.0\r\nfreedownload=https://dl.example/free\r\n"
                    "paydownload=http://dl.example/pay\r\nnews=ignored\r\nfreever=1.1.1");
    update::UpdateCheck check(store_);
    query(check);

    ASSERT_EQ(server_.requests().size(), 1);
    const QByteArray head = server_.requests().front();
    EXPECT_TRUE(head.startsWith("GET /license/upgrade.aspx?version=1.0.2 HTTP/1.1\r\n")) << head.constData();
    EXPECT_TRUE(head.contains("\r\nUser-Agent: SNAPLORE")) << head.constData();

    const update::Info& info = check.info();
    EXPECT_EQ(info.freeVersion, QStringLiteral("1.1.1"));  // a later line replaces an earlier one
    EXPECT_EQ(info.payVersion, QStringLiteral("2.0"));
    EXPECT_EQ(info.freeDownload, QStringLiteral("https://dl.example/free"));
    EXPECT_EQ(info.payDownload, QStringLiteral("http://dl.example/pay"));
    EXPECT_TRUE(info.upgradeOffered());
    EXPECT_EQ(lastChecked(), update::formatCheckDate(QDate::currentDate()));
}

TEST_F(UpdateCheckTest, ReplyWithoutFreeDownloadOffersNoUpgradeAtStart) {
    update::setCheckWhen(store_, update::WhenAppStarts);
    server_.respond(TinyHttpServer::Mode::Reply, "freever=5.0\npayver=6.0\npaydownload=https://dl.example/pay\n");
    update::UpdateCheck check(store_);
    QSignalSpy finished(&check, &update::UpdateCheck::finished);
    ASSERT_TRUE(check.startIfWantedAtLaunch());
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(check.info().freeVersion, QStringLiteral("5.0"));
    EXPECT_FALSE(check.info().upgradeOffered());
}

TEST_F(UpdateCheckTest, NeverMakesNoRequestAtStart) {
    update::setCheckWhen(store_, update::Never);
    update::UpdateCheck check(store_);
    EXPECT_FALSE(check.startIfWantedAtLaunch());
    EXPECT_FALSE(check.isRunning());
    QTest::qWait(200);
    EXPECT_TRUE(server_.requests().isEmpty());
    EXPECT_EQ(lastChecked(), QStringLiteral("unknown"));
}

TEST_F(UpdateCheckTest, DroppedConnectionKeepsTheCompleteLinesReadSoFar) {
    server_.respond(TinyHttpServer::Mode::DropMidBody, "freever=3.1\nfreedownload=https://dl.example/fr");
    update::UpdateCheck check(store_);
    query(check);
    EXPECT_EQ(check.info().freeVersion, QStringLiteral("3.1"));
    EXPECT_TRUE(check.info().freeDownload.isEmpty());                         // the cut line may be a cut address
    EXPECT_EQ(lastChecked(), update::formatCheckDate(QDate::currentDate()));  // the site did answer
}

TEST_F(UpdateCheckTest, FailuresLeaveEverythingUnknown) {
    update::UpdateCheck check(store_);
    // An error page is not a reply, whatever it says.
    server_.respond(TinyHttpServer::Mode::NotFound);
    query(check);
    EXPECT_EQ(check.info().freeVersion, QStringLiteral("unknown"));
    EXPECT_EQ(lastChecked(), QStringLiteral("unknown"));

    // Nobody listening at all.
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    const quint16 port = closed.serverPort();
    closed.close();
    store_.writeString(QStringLiteral("Settings"), QStringLiteral("WebSite"),
                       QStringLiteral("http://127.0.0.1:%1").arg(port));
    query(check);
    EXPECT_EQ(check.info().payVersion, QStringLiteral("unknown"));
    EXPECT_FALSE(check.info().upgradeOffered());
    EXPECT_EQ(lastChecked(), QStringLiteral("unknown"));
}

TEST_F(UpdateCheckTest, AbortEndsARunningQueryAtOnce) {
    server_.respond(TinyHttpServer::Mode::Silent);
    update::UpdateCheck check(store_);
    QSignalSpy finished(&check, &update::UpdateCheck::finished);
    check.start();
    ASSERT_TRUE(uitest::waitFor([&] { return !server_.requests().isEmpty(); }));
    check.abort();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(check.isRunning());
}

TEST(UpdateReply, OnlyWellFormedValuesAreTaken) {
    struct Case {
        QByteArray reply;
        QString freeVersion;
        QString freeDownload;
    };
    const QByteArray longLine = "freever=" + QByteArray(5000, 'x') + "\n";
    const QByteArray filler = QByteArray(100, 'z') + "\n";
    const Case cases[] = {
        {"freever=", "", ""},
        {"freever=2.0 beta\r\n", "2.0 beta", ""},
        {"FREEVER=2.0\n  freever=2.1\n", "unknown", ""},  // keys start the line, as written
        {"freedownload=javascript:alert(1)\n", "unknown", ""},
        {"freedownload=file:///etc/passwd\n", "unknown", ""},
        {"freedownload=https://a.example/x\nfreedownload=ftp://a.example/x\n", "unknown", ""},
        {"freever=1\x07\x1b[2J\n", "1[2J", ""},
        {longLine + "freever=2.2\n", "2.2", ""},
        {"freever=" + QByteArray(4096 - 8, 'y') + "\n", QString(4096 - 8, QLatin1Char('y')), ""},
        {filler.repeated(700) + "freever=too late\n", "unknown", ""},            // beyond 64 KB
        {"freedownload=http://a.example/dl", "unknown", "http://a.example/dl"},  // a clean end keeps the last line
        // An address with control characters is refused, not mended into another address.
        {"freedownload=https://a.example/x\x07y\n", "unknown", ""},
        {"freedownload=https://a.example/\tx\n", "unknown", ""},
        {"freedownload=https://a.example/x\x1b\n", "unknown", ""},
        {"freedownload=https://a.example/x\xc2\x85y\n", "unknown", ""},  // U+0085, a C1 control
        {"freedownload=  https://a.example/x  \n", "unknown", "https://a.example/x"},
    };
    for (const Case& c : cases) {
        const update::Info info = update::parseReply(c.reply);
        EXPECT_EQ(info.freeVersion, c.freeVersion) << c.reply.left(60).constData();
        EXPECT_EQ(info.freeDownload, c.freeDownload) << c.reply.left(60).constData();
    }
}

TEST(UpdateReply, ALongLineArrivingInPiecesIsSkippedWhole) {
    update::ReplyReader reader;
    reader.feed("news=" + QByteArray(5000, 'a'));
    reader.feed("freever=tail\npayver=");  // the tail of the long line is not a line of its own
    reader.feed("7\n");
    reader.finish(true);
    EXPECT_EQ(reader.info().freeVersion, QStringLiteral("unknown"));
    EXPECT_EQ(reader.info().payVersion, QStringLiteral("7"));
}

TEST(UpdateDownload, AsksToExitAndOpensOnlyWebAddresses) {
    struct Case {
        unsigned answer;
        QString address;
        bool opened;
    };
    const Case cases[] = {
        {id::Yes, QStringLiteral("https://dl.example/upgrade"), true},
        {id::No, QStringLiteral("https://dl.example/upgrade"), false},
        {id::Cancel, QStringLiteral("https://dl.example/upgrade"), false},
        {id::Yes, QStringLiteral("ftp://dl.example/upgrade"), false},
        {id::Yes, QString(), false},
    };
    for (const Case& c : cases) {
        ScriptedPrompter prompter;
        prompter.answer(c.answer);
        QList<QUrl> opened;
        int exits = 0;
        const bool done = update::downloadUpgrade(
            prompter, c.address,
            [&](const QUrl& url) {
                opened.append(url);
                return true;
            },
            [&] { ++exits; });
        EXPECT_EQ(done, c.opened) << c.address.toStdString();
        EXPECT_EQ(exits, c.opened ? 1 : 0);
        EXPECT_EQ(opened, c.opened ? QList<QUrl>{QUrl(c.address)} : QList<QUrl>{});
        ASSERT_EQ(prompter.asked().size(), 1);
        EXPECT_EQ(prompter.asked()[0].text,
                  QStringLiteral("You must exit Snaplore before downloading an upgrade.  Do you wish to exit now?"));
        EXPECT_EQ(prompter.asked()[0].caption, QStringLiteral("Exit?"));
        EXPECT_EQ(prompter.asked()[0].flags, mb::YesNoCancel | mb::IconQuestion);
    }
}

TEST_F(UpdateCheckTest, DialogQueriesShowsResultsAndStoresTheChoice) {
    store_.writeString(QStringLiteral("Settings"), QStringLiteral("UpdateChecked"), QStringLiteral("Jan 02, 2003"));
    server_.respond(TinyHttpServer::Mode::Reply, "freever=1.2\nfreedownload=https://dl.example/free\n");
    ScriptedPrompter prompter;
    CUpdateDlg dlg(store_, prompter);
    QList<QUrl> opened;
    int exits = 0;
    dlg.setUrlOpener([&](const QUrl& url) {
        opened.append(url);
        return true;
    });
    dlg.setExitProgram([&] { ++exits; });
    QStringList status;
    QObject::connect(&dlg, &CUpdateDlg::statusMessage, [&](const QString& text) { status.append(text); });
    dlg.show();

    auto* checkWhen = dlg.findChild<QComboBox*>(QStringLiteral("checkWhen"));
    auto* freeDownload = dlg.findChild<QPushButton*>(QStringLiteral("freeDownload"));
    auto* payDownload = dlg.findChild<QPushButton*>(QStringLiteral("payDownload"));
    auto box = [&](const char* name) { return dlg.findChild<QLineEdit*>(QLatin1String(name))->text(); };
    ASSERT_TRUE(checkWhen && freeDownload && payDownload);
    EXPECT_EQ(box("thisVersion"), QStringLiteral("1.0.2"));
    EXPECT_EQ(box("lastChecked"), QStringLiteral("Jan 02, 2003"));
    EXPECT_EQ(box("freeVersion"), QStringLiteral("unknown"));
    EXPECT_EQ(checkWhen->currentText(), QStringLiteral("Never"));
    EXPECT_FALSE(freeDownload->isEnabled());

    QSignalSpy finished(&dlg.check(), &update::UpdateCheck::finished);
    QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("checkNow")), Qt::LeftButton);
    EXPECT_FALSE(checkWhen->isEnabled());  // the dialog waits, but its window stays alive
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_TRUE(checkWhen->isEnabled());
    EXPECT_EQ(status, QStringList({"Retrieving upgrade information from website...", "Ready"}));
    EXPECT_EQ(box("freeVersion"), QStringLiteral("1.2"));
    EXPECT_EQ(box("payVersion"), QStringLiteral("unknown"));
    EXPECT_EQ(box("lastChecked"), update::formatCheckDate(QDate::currentDate()));
    EXPECT_TRUE(freeDownload->isEnabled());
    EXPECT_FALSE(payDownload->isEnabled());

    // Another query: until it answers, the versions are unknown again and nothing can be downloaded.
    server_.respond(TinyHttpServer::Mode::Silent);
    QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("checkNow")), Qt::LeftButton);
    EXPECT_EQ(box("freeVersion"), QStringLiteral("unknown"));
    EXPECT_EQ(box("payVersion"), QStringLiteral("unknown"));
    EXPECT_FALSE(freeDownload->isEnabled());
    dlg.check().abort();
    server_.respond(TinyHttpServer::Mode::Reply, "freever=1.2\nfreedownload=https://dl.example/free\n");
    QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("checkNow")), Qt::LeftButton);
    ASSERT_TRUE(finished.wait(10000));
    ASSERT_TRUE(freeDownload->isEnabled());

    checkWhen->setCurrentIndex(1);
    prompter.answer(id::Yes);
    QTest::mouseClick(freeDownload, Qt::LeftButton);
    EXPECT_EQ(opened, QList<QUrl>{QUrl(QStringLiteral("https://dl.example/free"))});
    EXPECT_EQ(exits, 1);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(update::checkWhen(store_), update::WhenAppStarts);
}

}  // namespace
