#pragma once

#include "agent/myhttpsagent.h"

#include <QPixmap>
#include <QStringList>

// Stands in for the communication page: answers the agent's form signals inside the emit, as
// the page's dialogs do, and records what the agent asked. Each form takes the next script entry
// of its own: "login=PASSWORD", "login=PASSWORD|change", "change=NEW", "credentials" (the offered
// network at index `network`), "credentials=rescan" (scans again inside the form and picks from
// that list). "FORM=<cancel>" (or "change=<skip>") dismisses the form, as does a form whose entries
// are used up;
// "!FORM" leaves that form's signal without a receiver.
class FormAnswerer : public QObject
{
public:
    QStringList script;
    int network = 0;
    QString key = QStringLiteral("Wifi-Key-1");
    QString keyType = QStringLiteral("WPA2-AES");

    QStringList forms; // "login", "change", "credentials", "result", in order
    QStringList prompts;
    QStringList changeCurrent; // the current password each change form was given
    QList<QList<WIFINetworkEntry>> offered;
    QList<QList<WIFINetworkEntry>> rescans;
    QList<enmComResult> results;
    bool clean = true; // presets untouched whenever a form opened; every result image null

    FormAnswerer(MyHttpsAgent *agent, const QStringList &answers) : script(answers)
    {
        if (!script.contains(QLatin1String("!login")))
            connect(agent, &MyHttpsAgent::signalDeviceAuthenticationForm, this,
                    [this](const QString &message, QString &password, bool &change, bool &cancel) {
                        prompts.append(message);
                        clean = clean && !cancel;
                        QString answer;
                        if ((cancel = !next("login", answer)))
                            return;
                        password = answer.section('|', 0, 0);
                        change = answer.endsWith(QLatin1String("|change"));
                    });
        if (!script.contains(QLatin1String("!change")))
            connect(agent, &MyHttpsAgent::signalChangePasswordForm, this,
                    [this](const QString &current, QString &newPassword, bool &cancel) {
                        changeCurrent.append(current);
                        clean = clean && !cancel && newPassword.isEmpty();
                        QString answer;
                        if (!(cancel = !next("change", answer)))
                            newPassword = answer;
                    });
        if (!script.contains(QLatin1String("!credentials")))
            connect(agent, &MyHttpsAgent::signalWifiCredentialsForm, this,
                    [this, agent](const QList<WIFINetworkEntry> &list, QString &ssid,
                                  QString &password, QString &type, bool &cancel) {
                        offered.append(list);
                        clean = clean && !cancel && ssid.isEmpty() && password.isEmpty() &&
                                type.isEmpty();
                        QString answer;
                        if ((cancel = !next("credentials", answer)))
                            return;
                        if (answer == QLatin1String("rescan"))
                            rescans.append(agent->WIFI_Rescan());
                        ssid = (rescans.isEmpty() ? list : rescans.last()).value(network).ssid;
                        password = key;
                        type = keyType;
                    });
        connect(agent, &MyHttpsAgent::signalCommunicationResultsForm, this,
                [this](enmComResult result, QPixmap &image) {
                    forms.append(QStringLiteral("result"));
                    results.append(result);
                    clean = clean && image.isNull();
                });
    }

private:
    // Takes the form's next entry: false when it dismisses the form, otherwise answer is what
    // the entry gives after "=".
    bool next(const QString &form, QString &answer)
    {
        forms.append(form);
        for (int i = 0; i < script.size(); ++i) {
            if (script.at(i).section('=', 0, 0) == form) {
                answer = script.takeAt(i).section('=', 1);
                return !answer.startsWith(QLatin1Char('<')); // "<cancel>", "<skip>"
            }
        }
        return false;
    }
};
