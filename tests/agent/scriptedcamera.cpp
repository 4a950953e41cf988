#include "scriptedcamera.h"

#include "tools/camerasim/simulatedcamera.h"

#include <QFile>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>

namespace {

QString commandOf(const QString &target)
{
    const QString prefix = QStringLiteral("/WifiConfig/");
    if (!target.startsWith(prefix))
        return QString();
    const QString rest = target.mid(prefix.size());
    return rest.left(rest.indexOf(QLatin1Char('?')));
}

} // namespace

ScriptedCamera::ScriptedCamera(QObject *parent) : QObject(parent) {}

ScriptedCamera::~ScriptedCamera() = default;

bool ScriptedCamera::listen(const QHostAddress &address, quint16 port)
{
    m_server = std::make_unique<QSslServer>();
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setLocalCertificate(SimulatedCamera::certificate()); // also loads the key's resource
    QFile key(QStringLiteral(":/camerasim/camera-key.pem"));
    if (!key.open(QIODevice::ReadOnly))
        return false;
    config.setPrivateKey(QSslKey(key.readAll(), QSsl::Rsa, QSsl::Pem));
    config.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_server->setSslConfiguration(config);
    connect(m_server.get(), &QSslServer::pendingConnectionAvailable, this,
            &ScriptedCamera::onConnection);
    return m_server->listen(address, port);
}

void ScriptedCamera::setReplies(const QString &command, const QList<QByteArray> &bodies)
{
    m_replies.insert(command, bodies);
    m_served.remove(command);
}

void ScriptedCamera::reset()
{
    m_replies.clear();
    m_served.clear();
    m_targets.clear();
}

QStringList ScriptedCamera::targets(const QString &command) const
{
    QStringList matching;
    for (const QString &target : m_targets) {
        if (commandOf(target) == command)
            matching.append(target);
    }
    return matching;
}

void ScriptedCamera::onConnection()
{
    while (m_server->hasPendingConnections()) {
        auto *socket = qobject_cast<QSslSocket *>(m_server->nextPendingConnection());
        if (!socket)
            continue;
        socket->setParent(this);
        socket->setProperty("request", QByteArray());
        connect(socket, &QSslSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void ScriptedCamera::onReadyRead(QSslSocket *socket)
{
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", request);
    if (!request.contains("\r\n\r\n") || socket->property("answered").toBool())
        return;
    socket->setProperty("answered", true);

    const QList<QByteArray> line = request.left(request.indexOf("\r\n")).split(' ');
    const QString target = QString::fromLatin1(line.value(1));
    m_targets.append(target);
    Q_EMIT requestReceived(target);

    const QString command = commandOf(target);
    QByteArray body = "<Response></Response>";
    const QList<QByteArray> bodies = m_replies.value(command);
    if (!bodies.isEmpty()) {
        const int served = m_served[command]++;
        body = bodies.at(std::min<qsizetype>(served, bodies.size() - 1));
    }
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}
