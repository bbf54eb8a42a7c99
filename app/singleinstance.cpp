#include "singleinstance.h"

#include <unistd.h>

#include <QDataStream>
#include <QEventLoop>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

namespace {
// A command line is a few paths; anything longer is not a Snaplore talking.
constexpr qint64 kMaxRequest = 64 * 1024;
constexpr auto kStreamVersion = QDataStream::Qt_6_0;
}  // namespace

QString SingleInstance::defaultName() {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty()) user = QString::number(::getuid());
    return QStringLiteral("Snaplore-%1").arg(user);
}

SingleInstance::SingleInstance(const QString& name, Handler handler, QObject* parent)
    : QObject(parent), name_(name), handler_(std::move(handler)), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::listen() {
    // Someone answering means a live instance; listening would take its name away (the socket file
    // is replaced). A name nobody answers on is a crashed instance's leftover.
    QLocalSocket probe;
    probe.connectToServer(name_);
    if (probe.waitForConnected(500)) {
        probe.disconnectFromServer();
        return false;
    }
    QLocalServer::removeServer(name_);
    return server_->listen(name_);
}

bool SingleInstance::isListening() const { return server_->isListening(); }

void SingleInstance::accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { serve(socket); });
    }
}

void SingleInstance::serve(QLocalSocket* socket) {
    if (socket->bytesAvailable() > kMaxRequest) {
        socket->abort();
        return;
    }
    QDataStream in(socket);
    in.setVersion(kStreamVersion);
    in.startTransaction();
    QStringList arguments;
    in >> arguments;
    if (!in.commitTransaction()) return;  // the rest is still on its way

    const quint32 answer = handler_ ? handler_(arguments) : 0;
    QDataStream out(socket);
    out.setVersion(kStreamVersion);
    out << answer;
    socket->flush();
    socket->disconnectFromServer();
}

std::optional<quint32> SingleInstance::handOver(const QString& name, const QStringList& arguments, int timeoutMs) {
    QLocalSocket socket;
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    std::optional<quint32> answer;

    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QLocalSocket::errorOccurred, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QLocalSocket::connected, &socket, [&] {
        QDataStream out(&socket);
        out.setVersion(kStreamVersion);
        out << arguments;
    });
    const auto readAnswer = [&] {
        QDataStream in(&socket);
        in.setVersion(kStreamVersion);
        in.startTransaction();
        quint32 value = 0;
        in >> value;
        if (!in.commitTransaction()) return false;
        answer = value;
        return true;
    };
    QObject::connect(&socket, &QLocalSocket::readyRead, &loop, [&] {
        if (readAnswer()) loop.quit();
    });

    timeout.start(timeoutMs);
    socket.connectToServer(name);
    if (socket.state() != QLocalSocket::UnconnectedState) loop.exec();
    // The answer may have come in together with the hang-up that ended the wait.
    if (!answer && socket.bytesAvailable() > 0) readAnswer();
    socket.abort();
    return answer;
}
