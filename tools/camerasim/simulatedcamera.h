#pragma once

#include "tools/camerasim/camerarequest.h"
#include "tools/camerasim/camerascenario.h"

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class CameraConnection;
class QSslCertificate;
class QSslServer;
struct CameraReplyPlan;

// A stand-in for a Lumetra Nomo camera's configuration service: an HTTPS server (self-signed
// certificate for "nomo-camera.local") that answers the /WifiConfig/ requests from a
// CameraScenario and records every request.
//
// Each connection carries one request: the camera answers with "Connection: close" and closes.
// Reply documents look like "<Response><SessionId>nsbbbbbc</SessionId></Response>" and
// "<Response><Error>501</Error></Response>". Apart from the scenario's own texts (version,
// network names) and the garbage fault, a reply that is not an error never contains the word
// "error", the word "network" outside its blocks, or the numbers 500, 501, 509: session ids are
// lower-case letters without e, o, r and without digits, unique for the camera object.
//
// Requests and replies (S: the session id; see CameraScenario for the errors it can add):
//   setupVerify                      no password: a new session id; password: error 500
//   setupGetLogin?Pass=P             right password: a new session id; wrong: error 501
//   setupSetPwd?SessionId=S?Pass=P   sets the password (none when P is empty)
//   setupGetVersion?SessionId=S      <Version>...</Version>
//   setupGetWIFIScan?SessionId=S     one <Network> block per network, each with <SSID> and
//                                    <SecurityType>, directly inside <Response>
//   setupSetSSID?SessionId=S?ssid=N?netpass=K?securitytype=T   stores N, K, T percent-decoded
//   setupGetResults?SessionId=S      the scenario's next result
//   setupGetStatus?SessionId=S       a plain status
//   setupGetBackGroundImage?SessionId=S   a 64 x 48 BMP image
//   anything else                    HTTP 404 with error 404
// Parameters are split at every "?"; their names are matched without regard to case.
//
// Everything runs on the thread that owns the object; tests wait for its signals.
class SimulatedCamera : public QObject
{
    Q_OBJECT

public:
    explicit SimulatedCamera(const CameraScenario &scenario = CameraScenario(),
                             QObject *parent = nullptr);
    ~SimulatedCamera() override;

    // Listens on address:port (port 80 needs root). False, with errorString(), on failure.
    bool listen(const QHostAddress &address, quint16 port = 80);
    void close();
    bool isListening() const;
    QHostAddress serverAddress() const;
    quint16 serverPort() const;
    QString errorString() const;

    // Replaces the scenario and resets the camera's state (password, session, results,
    // per-command try counts) to it. The recording stays. The TLS setting applies to new
    // connections.
    void setScenario(const CameraScenario &scenario);
    CameraScenario scenario() const;

    // The camera's state as the requests left it.
    bool hasPassword() const;
    QString password() const;
    QString sessionId() const;      // "" until one was handed out
    QString configuredSsid() const; // the percent-decoded values of the last setupSetSSID
    QString configuredKey() const;
    QString configuredSecurityType() const;

    QList<CameraRequest> requests() const;
    QList<CameraRequest> requests(const QString &command) const; // only those of one command
    void clearRequests();

    // The certificate the camera presents (self-signed, CN nomo-camera.local).
    static QSslCertificate certificate();

Q_SIGNALS:
    // The request's headers have arrived; its reply has not been sent yet.
    void requestReceived(const CameraRequest &request);
    // The reply went out completely, or the connection closed (also after a fault).
    void requestFinished(const CameraRequest &request);

private:
    void onPendingConnection();
    void onRequest(CameraConnection *connection, const QByteArray &method,
                   const QByteArray &target);
    void onConnectionFinished(int index);
    void applyTlsSetting();
    CameraReplyPlan answer(const CameraRequest &request);
    QByteArray document(const CameraRequest &request, int &status);
    QString newSessionId();

    std::unique_ptr<QSslServer> m_server;
    CameraScenario m_scenario;
    QList<CameraRequest> m_requests;
    int m_recordBase = 0; // index of m_requests[0] among all requests ever received
    QHash<QString, int> m_tries;
    bool m_hasPassword = false;
    QString m_password;
    QString m_sessionId;
    int m_sessionCounter = 0;
    int m_logins = 0;
    int m_versions = 0;
    int m_results = 0;
    QString m_ssid;
    QString m_key;
    QString m_securityType;
};
