#include "cannedreplyagent.h"

#include "cannedreply.h"

CannedReplyAgent::CannedReplyAgent(const QList<QByteArray> &bodies)
    : MyHttpsAgent(QStringLiteral("nomo-camera.local"), nullptr), m_bodies(bodies)
{}

QNetworkReply *CannedReplyAgent::createRequest(Operation op, const QNetworkRequest &request,
                                               QIODevice *outgoingData)
{
    Q_UNUSED(op)
    Q_UNUSED(outgoingData)
    QByteArray body;
    if (m_next < m_bodies.size())
        body = m_bodies.at(m_next);
    else
        Cancel();
    ++m_next;
    return new CannedReply(request, body, this);
}
