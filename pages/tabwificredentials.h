#pragma once

#include "agent/wifinetworkentry.h"

#include <QDialog>
#include <QList>
#include <QPointer>

class MyHttpsAgent;
class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLineEdit;
class QPushButton;

// Asks for the wireless network the camera is to join: SSID (picked from the camera's scan or
// typed), network key and key type. The key type is preset from the security type the camera
// reported for the chosen network. OK validates and closes only for acceptable entries; an ASCII
// WEP key leaves the dialog as its hexadecimal form.
//
// The dialog does not own the agent. It runs inside the agent's signalWifiCredentialsForm, so the
// agent outlives it; the pointer is guarded all the same and a rescan without agent does nothing.
class TabWifiCredentials : public QDialog
{
    Q_OBJECT

public:
    TabWifiCredentials(QWidget *parent, const QList<WIFINetworkEntry> &wifiList,
                       MyHttpsAgent *agent);

    // Valid after the dialog was accepted.
    QString ssid() const { return m_ssid; }
    QString password() const { return m_password; }
    QString securityType() const { return m_securityType; }

public Q_SLOTS:
    void OSelectedSSIDChanged(int index);
    void accept() override;
    void OnRescan();
    void OSelectedNetworkTypeChanged(int index);

protected:
    // Dismissing the dialog while a rescan waits also ends that wait.
    void done(int result) override;

private:
    void addNetworks(const QList<WIFINetworkEntry> &networks);

    QString m_ssid;
    QString m_password;
    QString m_securityType;
    QPointer<MyHttpsAgent> m_agent;
    QComboBox *m_ssidCombo = nullptr;
    QLineEdit *m_keyEdit = nullptr;
    QComboBox *m_keyTypeCombo = nullptr;
    QCheckBox *m_hexKeyCheck = nullptr;
    QPushButton *m_rescanButton = nullptr;
    QDialogButtonBox *m_buttonBox = nullptr;
};
