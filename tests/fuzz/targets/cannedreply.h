#pragma once

#include <QByteArray>
#include <QNetworkReply>

// A network reply that never touches the network: it delivers a given body as soon as the event
// loop turns, the way an HTTPS reply of the camera finishes. An empty body finishes as a closed
// connection. Reports its size through downloadProgress first, as the network layer does, so the
// agent's size limit applies.
class CannedReply : public QNetworkReply
{
    Q_OBJECT

public:
    CannedReply(const QNetworkRequest &request, const QByteArray &body, QObject *parent);

    void abort() override;
    qint64 bytesAvailable() const override;
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;

private:
    void deliver();
    void finish(NetworkError error, const QString &text);

    QByteArray m_body;
    qint64 m_position = 0;
};
