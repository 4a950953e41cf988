#pragma once

#include <QObject>
#include <QString>

#include <memory>

class DTalker;
class QTcpSocket;

// Tells a program at start-up whether another instance of it already runs on this computer, and
// lets a later instance pass text messages to the first one.
//
// Detection probes the loopback ports 23232 to 23242 in turn, blocking the calling thread (about
// 110 ms normally, up to about one second more for each port held by a program that accepts but
// stays silent). It ends in one of three states, which never change afterwards:
//   - another instance answered: isRunning() is true and sendMessage() reaches it;
//   - this is the first instance: it serves the first free port and emits messageReceived for
//     every message a later instance sends;
//   - unserved: every port was taken by other programs (port() is -1) or listening failed.
//
// A running instance must greet a probe within one second, so its thread's event loop has to be
// free to accept connections; an instance whose thread is busy is taken for a foreign program.
class DSingleApplication : public QObject
{
    Q_OBJECT

public:
    // With doInit true, detection runs before the constructor returns; otherwise call initialize().
    DSingleApplication(const QString &id, bool doInit);
    ~DSingleApplication() override;

    // Runs detection for an object constructed with doInit false; detection runs once per object.
    void initialize();

    QString id() const { return m_id; }
    bool isRunning() const { return m_running; }
    // The port served, or the port of the instance found running; -1 when no port was free.
    int port() const { return m_port; }

Q_SIGNALS:
    // A message from a later instance, without its identifier prefix; emitted on this object's
    // thread.
    void messageReceived(const QString &message);

public Q_SLOTS:
    // Sends one message to the instance found running and returns true once it has been written
    // (within 30 s; a slower write is not reported). Returns false without sending anything when
    // no other instance was found, the connection to it is gone, or the message is longer than
    // the receiver accepts.
    bool sendMessage(const QString &message);

protected Q_SLOTS:
    void onClientMessage(const QString &message);

private:
    void init();

    DTalker *m_talker = nullptr;
    std::unique_ptr<QTcpSocket> m_socket;
    int m_port;
    QString m_id;
    bool m_running = false;
    bool m_initialized = false;
};
