#include "streamsocket.h"

#include <algorithm>
#include <cstring>

StreamSocket::StreamSocket()
{
    setSocketState(QAbstractSocket::ConnectedState);
    setOpenMode(QIODevice::ReadWrite | QIODevice::Unbuffered);
}

void StreamSocket::feed(const QByteArray &bytes)
{
    m_received.append(bytes);
}

qint64 StreamSocket::bytesAvailable() const
{
    if (state() != QAbstractSocket::ConnectedState)
        return 0;
    return (m_received.size() - m_position) + QIODevice::bytesAvailable();
}

qint64 StreamSocket::readData(char *data, qint64 maxSize)
{
    if (state() != QAbstractSocket::ConnectedState)
        return -1;
    const qint64 n = std::min<qint64>(maxSize, m_received.size() - m_position);
    if (n <= 0)
        return 0;
    std::memcpy(data, m_received.constData() + m_position, size_t(n));
    m_position += n;
    return n;
}

qint64 StreamSocket::writeData(const char *data, qint64 size)
{
    Q_UNUSED(data)
    return size; // the listener never answers a frame; nothing to keep
}
