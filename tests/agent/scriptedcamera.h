#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QStringList>

#include <memory>

class QSslServer;
class QSslSocket;

// A bare HTTPS responder for reply texts the simulated camera does not produce: each command
// ("setupGetLogin") answers the bodies given for it in order, the last one repeating; commands
// without bodies answer "<Response></Response>". An empty body is sent as an empty 200 reply.
// Records the request targets exactly as they arrived.
class ScriptedCamera : public QObject
{
    Q_OBJECT

public:
    explicit ScriptedCamera(QObject *parent = nullptr);
    ~ScriptedCamera() override;

    bool listen(const QHostAddress &address, quint16 port = 80);
    void setReplies(const QString &command, const QList<QByteArray> &bodies);
    void reset(); // forgets replies and requests

    QStringList targets() const { return m_targets; }
    QStringList targets(const QString &command) const;

Q_SIGNALS:
    void requestReceived(const QString &target);

private:
    void onConnection();
    void onReadyRead(QSslSocket *socket);

    std::unique_ptr<QSslServer> m_server;
    QHash<QString, QList<QByteArray>> m_replies;
    QHash<QString, int> m_served;
    QStringList m_targets;
};
