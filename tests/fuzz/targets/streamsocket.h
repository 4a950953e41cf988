#pragma once

#include <QByteArray>
#include <QTcpSocket>

// A connected TCP socket without a connection: bytes given to feed() are what the peer has sent
// so far. Lets the single-instance listener's frame decoder read exactly the byte stream, split
// exactly as chosen, on the caller's own thread. abort() leaves it unconnected, as a real socket.
class StreamSocket : public QTcpSocket
{
    Q_OBJECT

public:
    StreamSocket();

    void feed(const QByteArray &bytes);
    qint64 bytesAvailable() const override;
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    QByteArray m_received;
    qint64 m_position = 0;
};
