#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMetaType>
#include <QMutex>
#include <QSemaphore>
#include <QThread>

// Other programs on the kit's ports: a running instance or a stranger. They serve on a thread of
// their own, so that they answer while the test's thread is blocked in a probe or a detection.
struct FakePeer
{
    enum Behaviour {
        Greet,        // writes the greeting bytes as soon as a connection is accepted
        GreetInParts, // writes the first half at once and the rest 50 ms later
        Silent,       // accepts and says nothing
        CloseAtOnce,  // accepts and closes the connection
    };
    int port = 0;
    Behaviour behaviour = Greet;
    QByteArray greeting;
};
using FakePeers = QList<FakePeer>;
Q_DECLARE_METATYPE(FakePeers)

class FakePeerThread : public QThread
{
    Q_OBJECT

public:
    explicit FakePeerThread(const FakePeers &peers);
    ~FakePeerThread() override;

    // Starts the thread and returns once every peer listens (false if one could not).
    bool startServing();

    // Everything the peers at this port received, over all their connections.
    QByteArray received(int port) const;

protected:
    void run() override;

private:
    const FakePeers m_peers;
    QSemaphore m_ready;
    bool m_listening = false;
    mutable QMutex m_mutex;
    QHash<int, QByteArray> m_received;
};
