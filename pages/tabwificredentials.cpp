#include "tabwificredentials.h"

#include "agent/myhttpsagent.h"
#include "pages/wificredentialscheck.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {

// Positions in the list of WifiCredentialsCheck::keyTypes().
constexpr int keyTypeWpaAes = 0;
constexpr int keyTypeWpaTkip = 1;
constexpr int keyTypeWpa2Aes = 2;
constexpr int keyTypeWpa2Tkip = 3;
constexpr int keyTypeWep = 4;
constexpr int keyTypeOpen = 5;

} // namespace

TabWifiCredentials::TabWifiCredentials(QWidget *parent, const QList<WIFINetworkEntry> &wifiList,
                                       MyHttpsAgent *agent)
    : QDialog(parent, Qt::WindowCloseButtonHint), m_agent(agent)
{
    auto *layout = new QFormLayout;
    layout->addRow(new QLabel(
        tr("<html><body>Please select the wireless network from the dropdown list and enter the "
           "Network Key and Key Type. <br/>If you don't see the network name in the list, you can "
           "type it in.<br/></body></html>")));

    m_ssidCombo = new QComboBox;
    m_ssidCombo->setObjectName(QStringLiteral("ssidCombo"));
    m_ssidCombo->setEditable(true);
    m_ssidCombo->setAccessibleName(tr("Wireless network name (SSID)"));
    m_ssidCombo->setAccessibleDescription(tr("Choose a network the camera sees, or type a name"));
    // The focus rests in the box's text field: it answers to the same name.
    m_ssidCombo->lineEdit()->setAccessibleName(m_ssidCombo->accessibleName());
    addNetworks(wifiList);
    m_ssidCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    layout->addRow(tr("Wireless Network Name (SSID):"), m_ssidCombo);

    m_keyEdit = new QLineEdit;
    m_keyEdit->setObjectName(QStringLiteral("keyEdit"));
    m_keyEdit->setAccessibleName(tr("Wireless network key (password)"));
    layout->addRow(tr("Wireless Network Key (Password):"), m_keyEdit);

    m_keyTypeCombo = new QComboBox;
    m_keyTypeCombo->setObjectName(QStringLiteral("keyTypeCombo"));
    m_keyTypeCombo->setEditable(true);
    m_keyTypeCombo->setAccessibleName(tr("Wireless network key type"));
    m_keyTypeCombo->lineEdit()->setAccessibleName(m_keyTypeCombo->accessibleName());
    m_keyTypeCombo->addItems(WifiCredentialsCheck::keyTypes());
    m_keyTypeCombo->setCurrentIndex(keyTypeWpaAes);
    layout->addRow(tr("Wireless Network Key Type :"), m_keyTypeCombo);

    m_hexKeyCheck = new QCheckBox(tr("Hex Key  "));
    m_hexKeyCheck->setObjectName(QStringLiteral("hexKeyCheck"));
    layout->addRow(m_hexKeyCheck);

    auto *cancelButton = new QPushButton(tr("Cancel"));
    m_rescanButton = new QPushButton(tr("Try Again"));
    m_rescanButton->setObjectName(QStringLiteral("rescanButton"));
    auto *okButton = new QPushButton(tr("Ok"));
    m_buttonBox = new QDialogButtonBox(Qt::Horizontal);
    m_buttonBox->setMinimumWidth(321);
    for (QPushButton *button : {cancelButton, m_rescanButton, okButton}) {
        button->setMinimumWidth(100);
        m_buttonBox->addButton(button, QDialogButtonBox::ActionRole);
    }
    layout->addRow(m_buttonBox);
    setLayout(layout);

    connect(okButton, &QPushButton::clicked, this, &TabWifiCredentials::accept);
    connect(cancelButton, &QPushButton::clicked, this, &TabWifiCredentials::reject);
    connect(m_rescanButton, &QPushButton::clicked, this, &TabWifiCredentials::OnRescan);
    // Connected only now, so that filling the lists above ran no preset.
    connect(m_ssidCombo, &QComboBox::currentIndexChanged, this,
            &TabWifiCredentials::OSelectedSSIDChanged);
    connect(m_keyTypeCombo, &QComboBox::currentIndexChanged, this,
            &TabWifiCredentials::OSelectedNetworkTypeChanged);

    OSelectedSSIDChanged(0);

    setWindowTitle(tr("%1 - Wi-Fi Setup Tool").arg(QStringLiteral("Lumetra")));
    okButton->setDefault(true);
    m_ssidCombo->setFocus(Qt::OtherFocusReason);
}

void TabWifiCredentials::addNetworks(const QList<WIFINetworkEntry> &networks)
{
    // In the camera's order, duplicates and nameless networks included: the list is the user's
    // view of what the camera sees.
    for (const WIFINetworkEntry &network : networks)
        m_ssidCombo->addItem(network.ssid, network.securityType);
}

void TabWifiCredentials::OSelectedSSIDChanged(int index)
{
    // No item, or an SSID the user typed into the list, carries no security type.
    const QString security = m_ssidCombo->itemData(index, Qt::UserRole).toString();
    m_hexKeyCheck->hide();

    const auto has = [&security](const char *word) {
        return security.contains(QLatin1String(word), Qt::CaseSensitive);
    };
    if (has("WPA2")) {
        m_keyTypeCombo->setCurrentIndex(has("TKIP") ? keyTypeWpa2Tkip : keyTypeWpa2Aes);
    } else if (has("WPA")) {
        m_keyTypeCombo->setCurrentIndex(has("TKIP") ? keyTypeWpaTkip : keyTypeWpaAes);
    } else if (has("WEP")) {
        m_keyTypeCombo->setCurrentIndex(keyTypeWep);
        m_hexKeyCheck->show();
    } else if (has("No Authentication")) {
        m_keyTypeCombo->setCurrentIndex(keyTypeOpen);
    } else {
        // Unknown to the list: show the camera's own words, usually none, for the user to replace.
        m_keyTypeCombo->setEditText(security);
    }
}

void TabWifiCredentials::OSelectedNetworkTypeChanged(int index)
{
    m_hexKeyCheck->setVisible(
        m_keyTypeCombo->itemText(index).contains(QLatin1String("WEP"), Qt::CaseSensitive));
    // A WEP choice the user makes while looking at the dialog most likely comes with a hex key
    // from the router's label; a preset made while building the dialog stays unticked.
    if (m_hexKeyCheck->isVisible())
        m_hexKeyCheck->setChecked(true);
}

void TabWifiCredentials::OnRescan()
{
    if (!m_agent)
        return;
    m_rescanButton->setEnabled(false);
    // Blocks while the camera scans, with events processed, so the dialog stays responsive; the
    // disabled button keeps a second rescan from starting inside this one.
    const QList<WIFINetworkEntry> networks = m_agent->WIFI_Rescan();
    m_ssidCombo->clear();
    addNetworks(networks);
    m_rescanButton->setEnabled(true);
}

void TabWifiCredentials::done(int result)
{
    // The session ends as cancelled once the dialog is dismissed; without this the user would
    // wait for the camera's scan reply (or the transfer timeout) before anything happens.
    if (result != QDialog::Accepted && m_agent && !m_rescanButton->isEnabled())
        m_agent->Cancel();
    QDialog::done(result);
}

void TabWifiCredentials::accept()
{
    m_ssid = m_ssidCombo->currentText();
    m_securityType = m_keyTypeCombo->currentText();
    // The box is there only while a WEP key type is chosen.
    const WifiCredentialsCheck check(m_ssid, m_securityType, m_keyEdit->text(),
                                     m_hexKeyCheck->isVisibleTo(this), m_hexKeyCheck->isChecked());
    m_password = check.key();

    switch (check.problem()) {
    case WifiCredentialsCheck::NoProblem:
        QDialog::accept();
        return;
    case WifiCredentialsCheck::UnknownKeyType: {
        QMessageBox box;
        box.setWindowTitle(WifiCredentialsCheck::messageTitle());
        box.setText(check.message());
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return;
    }
    default:
        QMessageBox::critical(this, WifiCredentialsCheck::messageTitle(), check.message(),
                              QMessageBox::Ok);
        return;
    }
}
