#pragma once

#include "tools/camerasim/camerareplyplan.h"

#include <QByteArray>
#include <QObject>

class QSslSocket;

// One TLS connection of the simulated camera: reads one request, hands it to the camera and
// delivers the camera's reply with its fault. Owns its socket; deletes itself once the
// connection has ended, after emitting finished().
class CameraConnection : public QObject
{
    Q_OBJECT

public:
    CameraConnection(QSslSocket *socket, QObject *parent);
    ~CameraConnection() override;

    // Starts delivering the reply to the request announced by requestReceived().
    void reply(const CameraReplyPlan &plan);

Q_SIGNALS:
    void requestReceived(CameraConnection *connection, const QByteArray &method,
                         const QByteArray &target);
    void finished();

private:
    void onReadyRead();
    void onBytesWritten();
    void sendFirstHalf();
    void sendRest();
    void resetNow();
    void end();

    QSslSocket *m_socket; // owned (child)
    QByteArray m_buffer;
    CameraReplyPlan m_plan;
    bool m_haveRequest = false;
    bool m_resetPending = false;
    bool m_ended = false;
};
