#include "dlistner.h"

#include "singleapp/dwireformat.h"
#include "singleapp/singleapplog.h"

#include <QByteArray>
#include <QDataStream>
#include <QTcpSocket>

#include <unistd.h>

namespace {

// How long one wait for data lasts before the thread looks whether it has been asked to stop.
constexpr int WaitSliceMs = 100;

} // namespace

DListner::DListner(const QString &id, qintptr socketDescriptor, QObject *parent)
    : QThread(parent), m_socketDescriptor(socketDescriptor), m_id(id)
{}

void DListner::run()
{
    QTcpSocket socket;
    if (!socket.setSocketDescriptor(m_socketDescriptor, QAbstractSocket::ConnectedState,
                                    QIODevice::ReadWrite)) {
        // The accepted descriptor is ours either way; don't leak it.
        ::close(int(m_socketDescriptor));
        return;
    }

    QByteArray greeting;
    QDataStream out(&greeting, QIODevice::WriteOnly);
    out.setVersion(DWire::StreamVersion);
    out << m_id;
    // Not waited for: waitForReadyRead below sends pending bytes while it waits.
    socket.write(greeting);

    while (socket.state() == QAbstractSocket::ConnectedState && !isInterruptionRequested()) {
        if (socket.waitForReadyRead(WaitSliceMs))
            read(&socket);
    }
}

void DListner::read(QTcpSocket *socket)
{
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return;

    QDataStream in(socket);
    in.setVersion(DWire::StreamVersion);
    const QString prefix = m_id + QLatin1Char(':');

    // A loop, not a call per frame: a burst of many small frames must not grow the stack.
    for (;;) {
        if (m_blockSize < 0) {
            if (socket->bytesAvailable() < qint64(sizeof(qint32)))
                return;
            in >> m_blockSize;
            if (m_blockSize < 0 || m_blockSize > DWire::MaxTextLength) {
                qCDebug(lcSingleApp) << "closing connection: frame count" << m_blockSize;
                m_blockSize = -1;
                socket->abort();
                return;
            }
        }

        // The text is read only when all of it is here: its own byte count and 2N bytes.
        const qint64 textBytes = qint64(sizeof(quint32)) + 2 * qint64(m_blockSize);
        if (socket->bytesAvailable() < textBytes)
            return;

        const QByteArray encoded = socket->read(textBytes);
        QDataStream textStream(encoded);
        textStream.setVersion(DWire::StreamVersion);
        QString text;
        textStream >> text;
        m_blockSize = -1;
        if (textStream.status() != QDataStream::Ok || !textStream.atEnd()) {
            // The text's byte count disagrees with the frame count: the stream cannot be trusted
            // to stay in step any more.
            qCDebug(lcSingleApp) << "closing connection: frame text does not match its count";
            socket->abort();
            return;
        }

        if (text.startsWith(prefix))
            Q_EMIT messageReceived(text.mid(prefix.size()));
        else
            qCDebug(lcSingleApp) << "dropping a frame for another application";
    }
}
