#pragma once

#include <QString>
#include <QTcpServer>

// The running instance's loopback server. Every accepted connection gets a DListner thread of its
// own, which greets the peer with the identifier and decodes its message frames; decoded messages
// come back to this object's thread through a queued connection and leave as messageReceived.
//
// Destroying the talker ends every listener thread (each notices the interruption within a short
// slice of its wait) and waits for them, so no listener outlives it.
class DTalker : public QTcpServer
{
    Q_OBJECT

public:
    DTalker(const QString &id, QObject *parent);
    ~DTalker() override;

Q_SIGNALS:
    void messageReceived(const QString &message);

protected Q_SLOTS:
    void onClientMessage(const QString &message);

protected:
    // Accepted connections go straight to a listener, never to the pending-connection queue.
    void incomingConnection(qintptr socketDescriptor) override;

private:
    QString m_id;
};
