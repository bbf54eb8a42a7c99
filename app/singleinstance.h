#pragma once
// One running Snaplore per user: the running instance listens on a local socket named after the
// program and the user; a second instance started from a CD sends its command line there, and an
// answer of 10974732 tells it that a running instance took over.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QLocalServer;
class QLocalSocket;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // Given the second instance's command line; returns the answer sent back.
    using Handler = std::function<quint32(const QStringList& arguments)>;

    // "Snaplore-<user>".
    static QString defaultName();

    SingleInstance(const QString& name, Handler handler, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Starts listening. A name left behind by a crashed instance is taken over; false when a live
    // instance holds it.
    bool listen();
    bool isListening() const;

    // The second instance's side: sends `arguments` and waits for the answer, keeping the event loop
    // running. Nothing when no instance answered within `timeoutMs`.
    static std::optional<quint32> handOver(const QString& name, const QStringList& arguments, int timeoutMs = 3000);

private:
    void accept();
    void serve(QLocalSocket* socket);

    QString name_;
    Handler handler_;
    QLocalServer* server_;
};
