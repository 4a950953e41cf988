#pragma once

#include "agent/agentstatus.h"
#include "agent/enmcomresult.h"
#include "agent/wifinetworkentry.h"

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QString>

#include <memory>

class QFile;
class QNetworkReply;
class QPixmap;
class QProgressBar;
class QSslError;
class QTextStream;
class QTimer;

// Runs one configuration session with one camera over the camera's "/WifiConfig/" requests
// (HTTPS GET on port 80). Create one agent per session, on the GUI thread.
//
// Every request blocks its caller until the reply, a pause or a timer is over, while the GUI event
// loop keeps running nested inside the call: clicks (Cancel), timers and the modal dialogs of the
// form slots all run inside Start() and the commands. Start() returns only after it has emitted
// signalCommunicationResultsForm, exactly once.
//
// The form signals carry reference arguments that the receiver fills in before the emit returns,
// so they must be connected directly (same thread), and the receiver runs its dialog inside the
// slot. The agent presets the answers; a slot writes them only when its dialog is accepted and
// sets bCancel only when it is dismissed.
//
// A reply counts only when its body is not empty. Transport failures (refused, reset, TLS,
// timeout), a request that moves no data for 60 s and a body over 1 MiB (32 MiB for the
// background image) count as no reply; a body sent with an HTTP error status is a reply, since the
// camera reports its own errors inside it. Passwords and the Wi-Fi key are masked in the log and
// the trace.
//
// Log file: when "log_nomo_wifi_setup.log" exists in the current directory at construction, the
// session is appended to it, one line per message. The file is never created here.
class MyHttpsAgent : public QNetworkAccessManager
{
    Q_OBJECT

public:
    // progressBar is not owned and may be null; the commands set its value (0 to 8).
    MyHttpsAgent(const QString &host, QProgressBar *progressBar);
    ~MyHttpsAgent() override;

    // The whole session. Returns after the outcome has been emitted.
    void Start();
    // May be called at any time, also from inside a nested event loop while Start() runs; the
    // running wait ends with StatusCancelled at its next turn.
    void Cancel();
    QString GetEncoderVersion() const;

    // Transport.
    bool VerifyPortNumber();
    void sendHttpsCommand(const QString &command);
    AgentStatus executeGetCommand(const QString &command, int tries, int pauseMs);
    void WriteLogMessage(const QString &message);

    // The camera's request set. Each returns StatusOk, StatusCancelled, StatusNoReply or the
    // status of the camera's error number.
    AgentStatus setupVerify(QString &sessionId);
    AgentStatus setupGetLogin(const QString &password, QString &sessionId);
    AgentStatus setupSetPwd(const QString &newPassword, const QString &sessionId);
    AgentStatus setupGetVersion(QString &version, const QString &sessionId);
    AgentStatus setupGetStatus(QString &status, const QString &sessionId);
    AgentStatus setupGetWIFIScan(QList<WIFINetworkEntry> &networks, const QString &sessionId);
    AgentStatus setupSetSSID(const QString &ssid, const QString &networkKey,
                             const QString &securityType, const QString &sessionId);
    AgentStatus setupGetResults(const QString &sessionId, enmComResult &result);
    AgentStatus setupGetBackGroundImage(const QString &sessionId, QPixmap &image);

    // A fresh scan with the session's id, for the credentials dialog while it is open inside
    // signalWifiCredentialsForm. Empty after a cancel or without a reply.
    QList<WIFINetworkEntry> WIFI_Rescan();

Q_SIGNALS:
    void signalDeviceAuthenticationForm(const QString &strMessage, QString &strPassword,
                                        bool &bChangePassword, bool &bCancel);
    void signalCommunicationResultsForm(enmComResult com_results, QPixmap &bkg);
    void signalChangePasswordForm(const QString &strPassword, QString &strNewPassword,
                                  bool &bCancel);
    void signalWifiCredentialsForm(const QList<WIFINetworkEntry> &wifiList, QString &strSSID,
                                   QString &strPassword, QString &strSecurityType, bool &bCancel);

public Q_SLOTS:
    void OnTimeToGetResults();

private Q_SLOTS:
    void httpRequestFinished(QNetworkReply *replay);
    void httpSslErrors(QNetworkReply *reply, const QList<QSslError> &errors);

private:
    enmComResult runSession();
    void issueGet(const QString &urlText);
    void releaseFinishedReplies();
    void abortCurrentReply();
    bool waitForReply();
    bool pause(int ms);
    bool waitForResultTimer(int ms);
    QString replyText() const;
    void setProgress(int value);

    QString m_sessionID;
    QByteArray m_replyData;
    bool m_requestFinished = false;
    bool m_cancelRequested = false;
    QPointer<QProgressBar> m_progressBar;
    bool m_timeToGetResults = false;
    int m_resultPollCount = 0;
    std::unique_ptr<QFile> m_logFile;
    std::unique_ptr<QTextStream> m_logStream;
    int m_port = -1;
    QString m_host;
    QString m_version;

    // The request whose reply the agent is waiting for; replies of abandoned requests are
    // dropped when they finish.
    QPointer<QNetworkReply> m_currentReply;
    QString m_maskedUrl; // of the current request, for the trace
    bool m_replyTooLarge = false;
    qint64 m_replyLimit;
    QList<QPointer<QNetworkReply>> m_finishedReplies;
    QTimer *m_resultTimer; // child
};
