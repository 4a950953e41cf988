#include "tabnomocommunication.h"

#include "agent/myhttpsagent.h"
#include "pages/tabchangepassword.h"
#include "pages/tabdeviceauthentication.h"
#include "pages/tabwificredentials.h"
#include "resources/nomoresources.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QLabel>
#include <QLoggingCategory>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcPages, "lumetra.pages")

TabNomoCommunication::TabNomoCommunication(QWidget *parent, int tabIndex)
    : QWidget(parent), m_tabIndex(tabIndex)
{
    nomoEnsureResources();

    m_logoLabel = new QLabel;
    m_logoLabel->setPixmap(QPixmap(QStringLiteral(":/images/Lumetra_small.png")));
    m_logoLabel->setAlignment(Qt::AlignRight);
    m_logoLabel->setAccessibleName(tr("Lumetra logo"));

    m_progressBar = new QProgressBar;
    m_progressBar->setRange(0, 8);
    m_progressBar->setAccessibleName(tr("Configuration progress"));
    m_progressBar->setAccessibleDescription(tr("Steps of the camera's Wi-Fi setup completed"));

    m_cancelButton = new QPushButton(tr("Cancel"));
    m_cancelButton->setMinimumWidth(100);
    m_cancelButton->setDefault(true);
    auto *buttons = new QDialogButtonBox(Qt::Horizontal);
    buttons->addButton(m_cancelButton, QDialogButtonBox::ActionRole);
    connect(m_cancelButton, &QPushButton::clicked, this,
            &TabNomoCommunication::OnCancelButtonClicked);

    auto *layout = new QVBoxLayout;
    layout->addWidget(m_logoLabel);
    layout->addStretch(1);
    layout->addWidget(new QLabel(tr("Confirming network settings.")));
    layout->addStretch(1);
    layout->addWidget(m_progressBar);
    layout->addStretch(1);
    layout->addWidget(buttons);
    setLayout(layout);
}

TabNomoCommunication::~TabNomoCommunication()
{
    // A session still running here is unwinding below us: let it end; Connect() releases its agent.
    if (m_agent)
        m_agent->Cancel();
    if (m_watchedWindow)
        m_watchedWindow->removeEventFilter(this);
    for (const QPointer<MyHttpsAgent> &agent : std::as_const(m_releasedAgents))
        delete agent.data();
}

MyHttpsAgent *TabNomoCommunication::agent() const
{
    return m_agent;
}

QString TabNomoCommunication::hostOfAddress(const QString &address)
{
    return address.split(QLatin1Char(':'), Qt::KeepEmptyParts, Qt::CaseSensitive).first();
}

bool TabNomoCommunication::Connect(const QString &address)
{
    m_progressBar->setValue(0);
    m_host = hostOfAddress(address);
    m_windowClosed = false;

    auto *agent = new MyHttpsAgent(m_host, m_progressBar);
    m_agent = agent;
    connect(agent, &MyHttpsAgent::signalChangePasswordForm, this,
            &TabNomoCommunication::OnHttpsAgentChangePasswordForm);
    connect(agent, &MyHttpsAgent::signalCommunicationResultsForm, this,
            &TabNomoCommunication::OnHttpsAgentCommunicationResultsForm);
    connect(agent, &MyHttpsAgent::signalDeviceAuthenticationForm, this,
            &TabNomoCommunication::OnHttpsAgentDeviceAuthenticationForm);
    connect(agent, &MyHttpsAgent::signalWifiCredentialsForm, this,
            &TabNomoCommunication::OnHttpsAgentWifiCredentialsForm);

    m_watchedWindow = window();
    m_watchedWindow->installEventFilter(this);
    qCDebug(lcPages) << "session with" << m_host << "starts";

    // The page may be destroyed while the session spins the event loop; from then on only locals
    // may be used here.
    QPointer<TabNomoCommunication> self(this);
    agent->Start();

    // Start() has returned, so nothing of the agent is left on the stack; it goes when control is
    // back in the event loop, and nobody may use it from now on.
    agent->deleteLater();
    if (!self)
        return true;
    if (m_agent == agent)
        m_agent = nullptr;
    m_releasedAgents.removeAll(nullptr);
    m_releasedAgents.append(agent);
    if (m_watchedWindow)
        m_watchedWindow->removeEventFilter(this);
    m_watchedWindow = nullptr;
    return true;
}

bool TabNomoCommunication::eventFilter(QObject *watched, QEvent *event)
{
    // A spontaneous hide is the window system minimising the window; the program hides the window
    // when the user closes it.
    if (watched == m_watchedWindow && event->type() == QEvent::Hide && !event->spontaneous() &&
        m_agent) {
        qCInfo(lcPages) << "window closed during the session with" << m_host << "- cancelling";
        abandonSession();
    }
    return QWidget::eventFilter(watched, event);
}

void TabNomoCommunication::abandonSession()
{
    m_windowClosed = true;
    if (m_agent)
        m_agent->Cancel();
    if (m_openDialog)
        m_openDialog->reject();
}

int TabNomoCommunication::runDialog(QDialog &dialog)
{
    // The window has gone: no more questions, the session is on its way out.
    if (m_windowClosed)
        return QDialog::Rejected;
    m_openDialog = &dialog;
    const int result = dialog.exec();
    m_openDialog = nullptr;
    return result;
}

void TabNomoCommunication::OnCancelButtonClicked()
{
    if (m_agent)
        m_agent->Cancel();
}

void TabNomoCommunication::OnHttpsAgentDeviceAuthenticationForm(const QString &strMessage,
                                                                QString &strPassword,
                                                                bool &bChangePassword,
                                                                bool &bCancel)
{
    TabDeviceauthentication dialog(strMessage, this);
    if (runDialog(dialog) == QDialog::Accepted) {
        strPassword = dialog.password();
        bChangePassword = dialog.changePassword();
    } else {
        bCancel = true;
    }
}

void TabNomoCommunication::OnHttpsAgentCommunicationResultsForm(enmComResult com_results,
                                                                QPixmap &bkg)
{
    m_backgroundImage = bkg;
    m_result = com_results;
    qCDebug(lcPages) << "session with" << m_host << "ended with outcome" << int(com_results);
    Q_EMIT MoveTabSignal(m_tabIndex);
}

void TabNomoCommunication::OnHttpsAgentChangePasswordForm(const QString &strPassword,
                                                          QString &strNewPassword, bool &bCancel)
{
    TabChangePassword dialog(this, strPassword);
    if (runDialog(dialog) == QDialog::Accepted)
        strNewPassword = dialog.newPassword();
    else
        bCancel = true;
}

void TabNomoCommunication::OnHttpsAgentWifiCredentialsForm(const QList<WIFINetworkEntry> &wifiList,
                                                           QString &strSSID, QString &strPassword,
                                                           QString &strSecurityType, bool &bCancel)
{
    TabWifiCredentials dialog(this, wifiList, m_agent);
    if (runDialog(dialog) == QDialog::Accepted) {
        strSSID = dialog.ssid();
        strPassword = dialog.password();
        strSecurityType = dialog.securityType();
    } else {
        bCancel = true;
    }
}
