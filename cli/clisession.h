#pragma once

#include "agent/enmcomresult.h"
#include "agent/wifinetworkentry.h"
#include "cli/clioutcome.h"
#include "cli/clisecrets.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class CliInterrupt;
class MyHttpsAgent;
class QPixmap;
class QTextStream;

// One configuration session run from the command line: the real agent and its whole session,
// with every form answered from the settings instead of a dialog, and the steps reported as
// lines of text.
//
// The agent's form signals carry reference arguments and are connected directly, so the slots
// below run inside the agent's emit and write their answers before it returns, just as the
// communication page's dialogs do.
class CliSession : public QObject
{
    Q_OBJECT

public:
    // ssid, keyType and secrets.key must have passed WifiCredentialsCheck; the key is the one it
    // gives back (an ASCII WEP key already as hex). progress receives one line per step.
    CliSession(const QString &host, const QString &ssid, const QString &keyType,
               const CliSecrets &secrets, QTextStream &progress);
    ~CliSession() override;

    // Runs the session to its end; an interrupt (may be null) ends it as cancelled.
    CliOutcome run(CliInterrupt *interrupt);

public Q_SLOTS:
    void OnHttpsAgentDeviceAuthenticationForm(const QString &strMessage, QString &strPassword,
                                              bool &bChangePassword, bool &bCancel);
    void OnHttpsAgentCommunicationResultsForm(enmComResult com_results, QPixmap &bkg);
    void OnHttpsAgentChangePasswordForm(const QString &strPassword, QString &strNewPassword,
                                        bool &bCancel);
    void OnHttpsAgentWifiCredentialsForm(const QList<WIFINetworkEntry> &wifiList,
                                         QString &strSSID, QString &strPassword,
                                         QString &strSecurityType, bool &bCancel);

private:
    enum class PasswordState { NotAsked, Given, Refused, Missing };

    void report(const QString &text);
    void reportStep(int step);

    QString m_host;
    QString m_ssid;
    QString m_keyType;
    CliSecrets m_secrets;
    QTextStream &m_progress;
    PasswordState m_passwordState = PasswordState::NotAsked;
    enmComResult m_result = ComResultCancelled;
    bool m_resultReceived = false;
};
