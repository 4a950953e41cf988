#include "fakepeerthread.h"

#include <QHostAddress>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>
#include <vector>

FakePeerThread::FakePeerThread(const FakePeers &peers) : m_peers(peers) {}

FakePeerThread::~FakePeerThread()
{
    quit();
    wait();
}

bool FakePeerThread::startServing()
{
    start();
    m_ready.acquire();
    return m_listening;
}

QByteArray FakePeerThread::received(int port) const
{
    QMutexLocker locker(&m_mutex);
    return m_received.value(port);
}

void FakePeerThread::run()
{
    std::vector<std::unique_ptr<QTcpServer>> servers;
    bool listening = true;
    for (const FakePeer &peer : m_peers) {
        auto server = std::make_unique<QTcpServer>();
        listening =
            server->listen(QHostAddress(QHostAddress::LocalHost), quint16(peer.port)) && listening;
        QTcpServer *s = server.get();
        connect(s, &QTcpServer::newConnection, s, [this, s, peer] {
            while (QTcpSocket *socket = s->nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket, peer] {
                    const QByteArray bytes = socket->readAll();
                    QMutexLocker locker(&m_mutex);
                    m_received[peer.port] += bytes;
                });
                switch (peer.behaviour) {
                case FakePeer::Greet:
                    socket->write(peer.greeting);
                    break;
                case FakePeer::GreetInParts: {
                    const qsizetype half = peer.greeting.size() / 2;
                    socket->write(peer.greeting.left(half));
                    socket->flush();
                    const QByteArray rest = peer.greeting.mid(half);
                    QTimer::singleShot(50, socket, [socket, rest] { socket->write(rest); });
                    break;
                }
                case FakePeer::Silent:
                    break;
                case FakePeer::CloseAtOnce:
                    socket->disconnectFromHost();
                    break;
                }
            }
        });
        servers.push_back(std::move(server));
    }
    m_listening = listening;
    m_ready.release();
    exec();
}
