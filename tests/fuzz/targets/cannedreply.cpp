#include "cannedreply.h"

#include <QTimer>

#include <algorithm>
#include <cstring>

CannedReply::CannedReply(const QNetworkRequest &request, const QByteArray &body, QObject *parent)
    : QNetworkReply(parent), m_body(body)
{
    setRequest(request);
    setUrl(request.url());
    setOperation(QNetworkAccessManager::GetOperation);
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    QTimer::singleShot(0, this, &CannedReply::deliver);
}

void CannedReply::deliver()
{
    if (isFinished())
        return;
    if (m_body.isEmpty()) {
        finish(RemoteHostClosedError, QStringLiteral("Connection closed"));
        return;
    }
    setAttribute(QNetworkRequest::HttpStatusCodeAttribute, 200);
    Q_EMIT metaDataChanged();
    Q_EMIT downloadProgress(m_body.size(), m_body.size());
    if (isFinished())
        return; // the receiver aborted it
    Q_EMIT readyRead();
    finish(NoError, QString());
}

void CannedReply::finish(NetworkError error, const QString &text)
{
    if (error != NoError) {
        setError(error, text);
        Q_EMIT errorOccurred(error);
    }
    setFinished(true);
    Q_EMIT finished();
}

void CannedReply::abort()
{
    if (isFinished())
        return;
    m_position = m_body.size();
    finish(OperationCanceledError, QStringLiteral("Operation canceled"));
}

qint64 CannedReply::bytesAvailable() const
{
    return (m_body.size() - m_position) + QNetworkReply::bytesAvailable();
}

qint64 CannedReply::readData(char *data, qint64 maxSize)
{
    const qint64 n = std::min<qint64>(maxSize, m_body.size() - m_position);
    if (n <= 0)
        return isFinished() ? -1 : 0;
    std::memcpy(data, m_body.constData() + m_position, size_t(n));
    m_position += n;
    return n;
}
