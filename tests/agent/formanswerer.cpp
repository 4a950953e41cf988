#include "formanswerer.h"

#include "agent/myhttpsagent.h"

#include <QPixmap>

FormAnswerer::FormAnswerer(MyHttpsAgent *agent)
{
    connect(agent, &MyHttpsAgent::signalDeviceAuthenticationForm, this,
            &FormAnswerer::onDeviceAuthentication, Qt::DirectConnection);
    connect(agent, &MyHttpsAgent::signalCommunicationResultsForm, this,
            &FormAnswerer::onCommunicationResults, Qt::DirectConnection);
    connect(agent, &MyHttpsAgent::signalChangePasswordForm, this, &FormAnswerer::onChangePassword,
            Qt::DirectConnection);
    connect(agent, &MyHttpsAgent::signalWifiCredentialsForm, this, &FormAnswerer::onWifiCredentials,
            Qt::DirectConnection);
}

void FormAnswerer::onDeviceAuthentication(const QString &strMessage, QString &strPassword,
                                          bool &bChangePassword, bool &bCancel)
{
    forms.append(QStringLiteral("login"));
    prompts.append(strMessage);
    passwordPresets.append(strPassword);
    changeFlagPresets.append(bChangePassword);
    presetsClean = presetsClean && !bCancel;
    if (onLoginForm)
        onLoginForm(int(prompts.size()));
    if (logins.isEmpty() || logins.head().cancel) {
        if (!logins.isEmpty())
            logins.dequeue();
        bCancel = true;
        return;
    }
    const Login answer = logins.dequeue();
    strPassword = answer.password;
    bChangePassword = answer.changePassword;
}

void FormAnswerer::onCommunicationResults(enmComResult com_results, QPixmap &bkg)
{
    forms.append(QStringLiteral("result"));
    results.append(com_results);
    resultImageNull.append(bkg.isNull());
}

void FormAnswerer::onChangePassword(const QString &strPassword, QString &strNewPassword,
                                    bool &bCancel)
{
    forms.append(QStringLiteral("change"));
    changeCurrent.append(strPassword);
    presetsClean = presetsClean && !bCancel && strNewPassword.isEmpty();
    if (onChangeForm)
        onChangeForm(int(changeCurrent.size()));
    const std::optional<QString> answer =
        newPasswords.isEmpty() ? std::nullopt : newPasswords.dequeue();
    if (!answer) {
        bCancel = true;
        return;
    }
    strNewPassword = *answer;
}

void FormAnswerer::onWifiCredentials(const QList<WIFINetworkEntry> &wifiList, QString &strSSID,
                                     QString &strPassword, QString &strSecurityType, bool &bCancel)
{
    forms.append(QStringLiteral("credentials"));
    offeredNetworks.append(wifiList);
    presetsClean = presetsClean && !bCancel && strSSID.isEmpty() && strPassword.isEmpty() &&
                   strSecurityType.isEmpty();
    if (onCredentialsForm)
        onCredentialsForm(int(offeredNetworks.size()));
    if (credentials.isEmpty() || credentials.head().cancel) {
        if (!credentials.isEmpty())
            credentials.dequeue();
        bCancel = true;
        return;
    }
    const Credentials answer = credentials.dequeue();
    strSSID = answer.networkIndex >= 0 ? wifiList.value(answer.networkIndex).ssid : answer.ssid;
    strPassword = answer.key;
    strSecurityType = answer.keyType;
}
