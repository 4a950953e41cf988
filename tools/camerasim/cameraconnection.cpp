#include "tools/camerasim/cameraconnection.h"

#include "tools/camerasim/camerasimlog.h"

#include <QSslSocket>
#include <QTimer>

#include <sys/socket.h>

namespace {
// A request head larger than this is not a camera client's; the connection is dropped.
constexpr int maxRequestHead = 64 * 1024;
// Time for the client to read the first half of the body before the reset hits it.
constexpr int resetDelayMs = 200;
} // namespace

CameraConnection::CameraConnection(QSslSocket *socket, QObject *parent)
    : QObject(parent), m_socket(socket)
{
    m_socket->setParent(this);
    connect(m_socket, &QSslSocket::readyRead, this, &CameraConnection::onReadyRead);
    connect(m_socket, &QSslSocket::encryptedBytesWritten, this, &CameraConnection::onBytesWritten);
    connect(m_socket, &QSslSocket::disconnected, this, &CameraConnection::end);
    // The peer going away (also in the middle of a 16 MiB body) ends the connection as well.
    connect(m_socket, &QSslSocket::errorOccurred, this, &CameraConnection::end);
    // The request may have arrived together with the end of the handshake.
    QTimer::singleShot(0, this, &CameraConnection::onReadyRead);
}

CameraConnection::~CameraConnection() = default;

void CameraConnection::onReadyRead()
{
    if (m_ended)
        return;
    if (m_haveRequest) {
        m_socket->readAll(); // one request per connection; the rest is ignored
        return;
    }
    m_buffer += m_socket->readAll();
    const int headEnd = m_buffer.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        if (m_buffer.size() > maxRequestHead) {
            qCWarning(lcCameraSim) << "request head too long, dropping the connection";
            m_socket->abort();
        }
        return;
    }
    m_haveRequest = true;
    const QByteArray line = m_buffer.left(m_buffer.indexOf("\r\n"));
    const QList<QByteArray> parts = line.split(' ');
    m_buffer.clear();
    Q_EMIT requestReceived(this, parts.value(0), parts.value(1));
}

void CameraConnection::reply(const CameraReplyPlan &plan)
{
    if (m_ended)
        return;
    m_plan = plan;
    switch (plan.fault) {
    case CameraFault::CloseWithoutReply:
        m_socket->disconnectFromHost();
        break;
    case CameraFault::SlowReply:
        QTimer::singleShot(plan.delayMs, this, [this] {
            m_socket->write(m_plan.head + m_plan.body);
            m_socket->disconnectFromHost();
        });
        break;
    case CameraFault::ResetMidBody:
        m_resetPending = true;
        sendFirstHalf();
        onBytesWritten();
        break;
    case CameraFault::StallMidBody:
        sendFirstHalf();
        QTimer::singleShot(plan.delayMs, this, &CameraConnection::sendRest);
        break;
    default:
        m_socket->write(plan.head + plan.body);
        m_socket->disconnectFromHost();
        break;
    }
}

void CameraConnection::sendFirstHalf()
{
    m_socket->write(m_plan.head + m_plan.body.left(m_plan.body.size() / 2));
    m_socket->flush();
}

void CameraConnection::sendRest()
{
    if (m_ended)
        return;
    m_socket->write(m_plan.body.mid(m_plan.body.size() / 2));
    m_socket->disconnectFromHost();
}

void CameraConnection::onBytesWritten()
{
    if (!m_resetPending || m_ended)
        return;
    if (m_socket->bytesToWrite() > 0 || m_socket->encryptedBytesToWrite() > 0)
        return;
    m_resetPending = false;
    QTimer::singleShot(resetDelayMs, this, &CameraConnection::resetNow);
}

void CameraConnection::resetNow()
{
    if (m_ended)
        return;
    // A zero linger time makes the close a TCP reset instead of an orderly FIN.
    const linger noLinger{1, 0};
    ::setsockopt(int(m_socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &noLinger,
                 sizeof noLinger);
    m_socket->abort();
    end();
}

void CameraConnection::end()
{
    if (m_ended)
        return;
    m_ended = true;
    Q_EMIT finished();
    deleteLater();
}
