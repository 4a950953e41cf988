#pragma once

#include "agent/myhttpsagent.h"

#include <QByteArray>
#include <QList>

// The real agent, with every request answered from a list of bodies instead of the network: the
// n-th request gets the n-th body. When the list is used up the agent is cancelled, as a user
// would, so every session ends however its replies steer it.
class CannedReplyAgent : public MyHttpsAgent
{
    Q_OBJECT

public:
    explicit CannedReplyAgent(const QList<QByteArray> &bodies);

    int requestCount() const { return m_next; }

protected:
    QNetworkReply *createRequest(Operation op, const QNetworkRequest &request,
                                 QIODevice *outgoingData) override;

private:
    QList<QByteArray> m_bodies;
    int m_next = 0;
};
