#pragma once

#include <QString>
#include <QThread>

class QTcpSocket;

// Serves one accepted connection of the talker on a thread of its own: sends the greeting (the
// identifier as a stream string), then decodes message frames until the peer closes the
// connection or the talker asks the thread to stop. Only this thread touches the connection's
// socket and the frame state.
//
// A frame is a signed 32-bit count N followed by the stream string T (byte count 2N, then T in
// UTF-16). Frames whose text starts with "<identifier>:" leave as messageReceived with that prefix
// removed; others are dropped. A count below zero or above DWire::MaxTextLength, or a text that
// does not match its count, closes the connection.
class DListner : public QThread
{
    Q_OBJECT

public:
    DListner(const QString &id, qintptr socketDescriptor, QObject *parent);

    // Decodes every complete frame available on the socket and keeps a partial one for the next
    // call. Called from run(); callable directly on a socket of the caller's own thread.
    void read(QTcpSocket *socket);

Q_SIGNALS:
    void messageReceived(const QString &message);

protected:
    void run() override;

private:
    qintptr m_socketDescriptor;
    QString m_id;
    // The count N of the frame being read; -1 while its count has not arrived yet.
    qint32 m_blockSize = -1;
};
