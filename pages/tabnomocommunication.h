#pragma once

#include "agent/enmcomresult.h"
#include "agent/wifinetworkentry.h"

#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

class MyHttpsAgent;
class QDialog;
class QLabel;
class QProgressBar;
class QPushButton;

// Page 3: runs one configuration session with the chosen camera and answers the agent's questions
// with the password, change-password and Wi-Fi dialogs.
//
// Connect() blocks until the session is over: the agent spins the event loop while it waits, so
// clicks, timers and the modal dialogs all run nested inside it. The results form arrives (and
// MoveTabSignal is emitted, moving the wizard to page 4) before Connect() returns.
//
// Each session's agent is released (deleteLater) as soon as its Start() has returned, and the page
// never touches it afterwards.
//
// Closing the window: when the top-level window that holds the page is closed (hidden by the
// program, not minimised) while a session runs, the page cancels the session and dismisses its
// open dialog, so the nested waits end within about a second and the application's event loop can
// quit. Nothing has to be wired for this: Connect() watches whatever window() is at that moment.
class TabNomoCommunication : public QWidget
{
    Q_OBJECT

public:
    TabNomoCommunication(QWidget *parent, int tabIndex);
    ~TabNomoCommunication() override;

    // Starts a session with the device at address (host, or host:port; only the host is used) and
    // returns when it is over. Always true.
    bool Connect(const QString &address);

    // The outcome of the latest session and the image that came with it, for the results page.
    enmComResult result() const { return m_result; }
    QPixmap backgroundImage() const { return m_backgroundImage; }
    // The host of the latest Connect().
    QString host() const { return m_host; }
    // The running session's agent; null between sessions.
    MyHttpsAgent *agent() const;

    // Everything before the first ":"; an address without one is taken whole.
    static QString hostOfAddress(const QString &address);

Q_SIGNALS:
    void MoveTabSignal(int tabIndex);

public Q_SLOTS:
    void OnCancelButtonClicked();
    void OnHttpsAgentDeviceAuthenticationForm(const QString &strMessage, QString &strPassword,
                                              bool &bChangePassword, bool &bCancel);
    void OnHttpsAgentCommunicationResultsForm(enmComResult com_results, QPixmap &bkg);
    void OnHttpsAgentChangePasswordForm(const QString &strPassword, QString &strNewPassword,
                                        bool &bCancel);
    void OnHttpsAgentWifiCredentialsForm(const QList<WIFINetworkEntry> &wifiList, QString &strSSID,
                                         QString &strPassword, QString &strSecurityType,
                                         bool &bCancel);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int runDialog(QDialog &dialog);
    void abandonSession();

    // Read by the wizard only after the results form, which always writes it first.
    enmComResult m_result = ComResultFailed;
    QPixmap m_backgroundImage;
    // The running session's agent; null between sessions.
    QPointer<MyHttpsAgent> m_agent;
    QString m_host;
    int m_tabIndex;
    QLabel *m_logoLabel = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QPushButton *m_cancelButton = nullptr;

    // The form dialog on screen, if any, so that closing the window can dismiss it.
    QPointer<QDialog> m_openDialog;
    // The window watched for closing during the session.
    QPointer<QWidget> m_watchedWindow;
    bool m_windowClosed = false;
    // Agents of finished sessions waiting for their deferred deletion; deleted here if the page
    // goes first (when the event loop has already stopped).
    QList<QPointer<MyHttpsAgent>> m_releasedAgents;
};
