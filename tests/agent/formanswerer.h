#pragma once

#include "agent/myhttpsagent.h"

#include <QPixmap>
#include <QStringList>

#include <functional>

// Stands in for the communication page: answers the agent's form signals inside the emit, as
// the page's dialogs do, and records what the agent asked. Each form takes the next answer of the
// script ("login=password", "login=password|change", "login=<cancel>", "change=new password",
// "change=<skip>", "credentials", "credentials=<cancel>"); once the script is used up, forms are
// dismissed.
class FormAnswerer : public QObject
{
public:
    QStringList script;
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
                prompts.append(message);
                presetsClean = presetsClean && !cancel;
                QString answer;
                if (!next("login", answer)) {
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
                changeCurrent.append(current);
                presetsClean = presetsClean && !cancel && newPassword.isEmpty();
                QString answer;
                if (next("change", answer))
                    newPassword = answer;
                else
                    cancel = true;
            },
            Qt::DirectConnection);
        connect(
            agent, &MyHttpsAgent::signalWifiCredentialsForm, this,
            [this](const QList<WIFINetworkEntry> &list, QString &ssid, QString &password,
                   QString &type, bool &cancel) {
                offeredNetworks.append(list);
                presetsClean = presetsClean && !cancel && ssid.isEmpty() && password.isEmpty() &&
                               type.isEmpty();
                if (onCredentialsForm)
                    onCredentialsForm();
                QString answer;
                if (!next("credentials", answer)) {
                    cancel = true;
                    return;
                }
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

private:
    // Takes the next script entry: false when it dismisses the form, otherwise answer is what
    // the entry gives after "=".
    bool next(const QString &form, QString &answer)
    {
        forms.append(form);
        const QString entry = script.isEmpty() ? QString() : script.takeFirst();
        answer = entry.section('=', 1);
        return !entry.isEmpty() && answer != "<cancel>" && answer != "<skip>";
    }
};
