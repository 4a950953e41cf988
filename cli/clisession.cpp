#include "clisession.h"

#include "agent/myhttpsagent.h"
#include "cli/cliinterrupt.h"
#include "pages/tabnomocommunication.h"

#include <QPixmap>
#include <QProgressBar>
#include <QTextStream>

namespace {

// Which request the camera has just answered when the progress bar reaches a step. The answer
// may still be a refusal: the outcome tells.
const char *const stepTexts[] = {
    "",
    "the camera answered",
    "login answered",
    "new setup password answered",
    "version read",
    "status read",
    "networks the camera sees read",
    "Wi-Fi settings sent; waiting for the camera's result",
    "result read",
};

} // namespace

CliSession::CliSession(const QString &host, const QString &ssid, const QString &keyType,
                       const CliSecrets &secrets, QTextStream &progress)
    : m_host(TabNomoCommunication::hostOfAddress(host)),
      m_ssid(ssid),
      m_keyType(keyType),
      m_secrets(secrets),
      m_progress(progress)
{
}

CliSession::~CliSession() = default;

CliOutcome CliSession::run(CliInterrupt *interrupt)
{
    // The agent drives a progress bar; it is never shown, only read.
    QProgressBar progressBar;
    progressBar.setRange(0, 8);
    connect(&progressBar, &QProgressBar::valueChanged, this, &CliSession::reportStep);

    MyHttpsAgent agent(m_host, &progressBar);
    connect(&agent, &MyHttpsAgent::signalChangePasswordForm, this,
            &CliSession::OnHttpsAgentChangePasswordForm, Qt::DirectConnection);
    connect(&agent, &MyHttpsAgent::signalCommunicationResultsForm, this,
            &CliSession::OnHttpsAgentCommunicationResultsForm, Qt::DirectConnection);
    connect(&agent, &MyHttpsAgent::signalDeviceAuthenticationForm, this,
            &CliSession::OnHttpsAgentDeviceAuthenticationForm, Qt::DirectConnection);
    connect(&agent, &MyHttpsAgent::signalWifiCredentialsForm, this,
            &CliSession::OnHttpsAgentWifiCredentialsForm, Qt::DirectConnection);

    if (interrupt) {
        connect(interrupt, &CliInterrupt::interrupted, &agent, &MyHttpsAgent::Cancel);
        if (interrupt->isInterrupted())
            return CliOutcome::fromResult(m_host, ComResultCancelled);
    }

    report(QStringLiteral("connecting"));
    agent.Start();

    if (m_passwordState == PasswordState::Refused)
        return CliOutcome::passwordRefused(m_host);
    if (m_passwordState == PasswordState::Missing)
        return CliOutcome::passwordMissing(m_host);
    return CliOutcome::fromResult(m_host, m_resultReceived ? m_result : ComResultCancelled);
}

void CliSession::OnHttpsAgentDeviceAuthenticationForm(const QString &strMessage,
                                                      QString &strPassword,
                                                      bool &bChangePassword, bool &bCancel)
{
    Q_UNUSED(strMessage);
    // There is no one to ask again: a second question means the password was refused.
    if (!m_secrets.hasPassword) {
        m_passwordState = PasswordState::Missing;
        bCancel = true;
        return;
    }
    if (m_passwordState == PasswordState::Given) {
        m_passwordState = PasswordState::Refused;
        report(QStringLiteral("the setup password was refused"));
        bCancel = true;
        return;
    }
    m_passwordState = PasswordState::Given;
    strPassword = m_secrets.password;
    bChangePassword = m_secrets.hasNewPassword;
}

void CliSession::OnHttpsAgentCommunicationResultsForm(enmComResult com_results, QPixmap &bkg)
{
    Q_UNUSED(bkg);
    m_result = com_results;
    m_resultReceived = true;
}

void CliSession::OnHttpsAgentChangePasswordForm(const QString &strPassword,
                                                QString &strNewPassword, bool &bCancel)
{
    Q_UNUSED(strPassword);
    // Without a new password the form is skipped, as "Skip" does.
    if (m_secrets.hasNewPassword)
        strNewPassword = m_secrets.newPassword;
    else
        bCancel = true;
}

void CliSession::OnHttpsAgentWifiCredentialsForm(const QList<WIFINetworkEntry> &wifiList,
                                                 QString &strSSID, QString &strPassword,
                                                 QString &strSecurityType, bool &bCancel)
{
    Q_UNUSED(bCancel);
    bool seen = false;
    for (const WIFINetworkEntry &network : wifiList)
        seen = seen || network.ssid == m_ssid;
    if (!seen)
        report(QStringLiteral("the camera does not see \"%1\"; sending it all the same")
                   .arg(m_ssid));
    strSSID = m_ssid;
    strPassword = m_secrets.key;
    strSecurityType = m_keyType;
}

void CliSession::report(const QString &text)
{
    m_progress << m_host << ": " << text << Qt::endl;
}

void CliSession::reportStep(int step)
{
    if (step < 1 || step > 8)
        return;
    report(QStringLiteral("step %1 of 8: %2").arg(step).arg(QLatin1String(stepTexts[step])));
}
