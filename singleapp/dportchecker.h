#pragma once

#include <QString>
#include <QThread>

class QTcpSocket;

// Probes one loopback port per run, on its own thread: is a running instance of this application
// listening there? The caller starts a probe with check() and waits for the thread to finish
// (QThread::wait) before it reads status() or takes the socket; nothing is locked, the wait orders
// the accesses.
//
// Status of the last probe:
//   0  nothing accepted the connection: the port is free
//   1  the peer greeted with this identifier: another instance; the socket stays connected to it
//   2  the peer accepted but did not greet with this identifier: the port is taken by a stranger
class DPortChecker : public QThread
{
    Q_OBJECT

public:
    DPortChecker(const QString &id, int port, QObject *parent);
    ~DPortChecker() override;

    // Stores the port and starts the probe thread; the previous probe must have finished.
    void check(int port);
    int status() const { return m_status; }

    // The socket connected to the instance found by the last probe (status 1), or null. Each probe
    // uses a socket of its own, deleted on the probe thread unless it found an instance; that one
    // is moved to the thread this checker lives in before run() returns, so the caller may use it
    // as soon as the probe thread has finished. The caller owns the returned socket.
    QTcpSocket *transferSocketOwnership();

protected:
    void run() override;

private:
    int m_status = 0;
    QTcpSocket *m_socket = nullptr;
    int m_port = 0;
    QString m_id;
};
