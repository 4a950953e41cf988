#pragma once

#include "tools/camerasim/camerascenario.h"

#include <QByteArray>
#include <QObject>

class QSslSocket;

// What the camera sends back for one request and how it travels.
struct CameraReplyPlan
{
    QByteArray head; // status line and headers, up to and including the blank line
    QByteArray body;
    CameraFault fault = CameraFault::None;
    int delayMs = 0; // SlowReply: before anything; StallMidBody: after the first half of the body
};

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
