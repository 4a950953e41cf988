#pragma once

#include "agent/myhttpsagent.h"

#include <QPixmap>
#include <QStringList>

#include <functional>

// Stands in for the communication page: answers the agent's form signals from scripted lists,
// inside the emit as the page's dialogs do, and records what the agent asked. A form whose list
// is used up is dismissed.
class FormAnswerer : public QObject
{
public:
    QStringList logins;       // "password", "password|change" or "<cancel>"
    QStringList newPasswords; // "<skip>" dismisses the change form
    int credentialAnswers = 0;
    int network = 0; // the offered network whose SSID the credentials form answers
    QString key = QStringLiteral("key 1");
    QString keyType = QStringLiteral("WPA2-AES");
    std::function<void()> onCredentialsForm; // runs inside the form, before it answers

    QStringList forms; // "login", "change", "credentials", "result", in order
    QStringList prompts;
    QStringList changeCurrent; // the current password each change form was given
    QList<QList<WIFINetworkEntry>> offeredNetworks;
    QList<enmComResult> results;
    bool resultImagesNull = true;
    bool presetsClean = true; // bCancel false and the answers empty whenever a form opened

    explicit FormAnswerer(MyHttpsAgent *agent)
    {
        connect(
            agent, &MyHttpsAgent::signalDeviceAuthenticationForm, this,
            [this](const QString &message, QString &password, bool &change, bool &cancel) {
                forms.append("login");
                prompts.append(message);
                presetsClean = presetsClean && !cancel;
                const QString answer = logins.isEmpty() ? "<cancel>" : logins.takeFirst();
                if (answer == "<cancel>") {
                    cancel = true;
                    return;
                }
                password = answer.section('|', 0, 0);
                change = answer.endsWith("|change");
            },
            Qt::DirectConnection);
        connect(
            agent, &MyHttpsAgent::signalChangePasswordForm, this,
            [this](const QString &current, QString &newPassword, bool &cancel) {
                forms.append("change");
                changeCurrent.append(current);
                presetsClean = presetsClean && !cancel && newPassword.isEmpty();
                const QString answer = newPasswords.isEmpty() ? "<skip>" : newPasswords.takeFirst();
                if (answer == "<skip>")
                    cancel = true;
                else
                    newPassword = answer;
            },
            Qt::DirectConnection);
        connect(
            agent, &MyHttpsAgent::signalWifiCredentialsForm, this,
            [this](const QList<WIFINetworkEntry> &list, QString &ssid, QString &password,
                   QString &type, bool &cancel) {
                forms.append("credentials");
                offeredNetworks.append(list);
                presetsClean = presetsClean && !cancel && ssid.isEmpty() && password.isEmpty() &&
                               type.isEmpty();
                if (onCredentialsForm)
                    onCredentialsForm();
                if (credentialAnswers == 0) {
                    cancel = true;
                    return;
                }
                --credentialAnswers;
                ssid = list.value(network).ssid;
                password = key;
                type = keyType;
            },
            Qt::DirectConnection);
        connect(
            agent, &MyHttpsAgent::signalCommunicationResultsForm, this,
            [this](enmComResult result, QPixmap &image) {
                forms.append("result");
                results.append(result);
                resultImagesNull = resultImagesNull && image.isNull();
            },
            Qt::DirectConnection);
    }
};
