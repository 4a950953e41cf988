#pragma once

#include "agent/enmcomresult.h"
#include "agent/wifinetworkentry.h"

#include <QList>
#include <QObject>
#include <QQueue>
#include <QStringList>

#include <functional>
#include <optional>

class MyHttpsAgent;

// Stands in for the communication page: answers the agent's form signals from scripted queues
// (directly, inside the emit, as the page's dialogs do) and records what the agent asked. An
// empty queue answers with a cancel.
class FormAnswerer : public QObject
{
    Q_OBJECT

public:
    struct Login
    {
        QString password;
        bool changePassword = false;
        bool cancel = false;
    };
    struct Credentials
    {
        int networkIndex = -1; // >= 0: take the SSID of that entry of the offered list
        QString ssid;
        QString key;
        QString keyType;
        bool cancel = false;
    };

    explicit FormAnswerer(MyHttpsAgent *agent);

    QQueue<Login> logins;
    QQueue<std::optional<QString>> newPasswords; // nullopt: the change dialog is skipped
    QQueue<Credentials> credentials;
    // Called inside the matching form, before it answers; the argument counts its calls from 1.
    std::function<void(int)> onLoginForm;
    std::function<void(int)> onChangeForm;
    std::function<void(int)> onCredentialsForm;

    // What was asked, in order: "login", "change", "credentials", "result".
    QStringList forms;
    QStringList prompts;           // strMessage of each login form
    QStringList passwordPresets;   // strPassword as preset in each login form
    QList<bool> changeFlagPresets; // bChangePassword as preset in each login form
    QStringList changeCurrent;     // strPassword of each change form
    QList<QList<WIFINetworkEntry>> offeredNetworks;
    QList<enmComResult> results;
    QList<bool> resultImageNull;
    // Presets that must hold every time: bCancel false, answers empty.
    bool presetsClean = true;

private Q_SLOTS:
    void onDeviceAuthentication(const QString &strMessage, QString &strPassword,
                                bool &bChangePassword, bool &bCancel);
    void onCommunicationResults(enmComResult com_results, QPixmap &bkg);
    void onChangePassword(const QString &strPassword, QString &strNewPassword, bool &bCancel);
    void onWifiCredentials(const QList<WIFINetworkEntry> &wifiList, QString &strSSID,
                           QString &strPassword, QString &strSecurityType, bool &bCancel);
};
