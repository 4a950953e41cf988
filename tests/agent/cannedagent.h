#pragma once

#include "agent/myhttpsagent.h"

#include <QNetworkRequest>
#include <QUrl>

// The real agent with the network replaced: the n-th request (the port check included) is
// answered with the n-th body, an empty one as a reply without body, through a data: URL, so the
// network layer's own reply path runs. Once the bodies are used up the agent is cancelled, as a
// user would, so every session ends however its replies steer it.
class CannedAgent : public MyHttpsAgent
{
public:
    explicit CannedAgent(const QList<QByteArray> &bodies, QProgressBar *progressBar = nullptr)
        : MyHttpsAgent(QStringLiteral("nomo-camera.local"), progressBar), m_bodies(bodies)
    {}

protected:
    QNetworkReply *createRequest(Operation op, const QNetworkRequest &request,
                                 QIODevice *outgoingData) override
    {
        if (m_next >= m_bodies.size())
            Cancel();
        QNetworkRequest canned(request);
        canned.setUrl(QUrl(QLatin1String("data:application/octet-stream;base64,") +
                           QLatin1String(m_bodies.value(m_next++).toBase64())));
        return QNetworkAccessManager::createRequest(op, canned, outgoingData);
    }

private:
    QList<QByteArray> m_bodies;
    qsizetype m_next = 0;
};
