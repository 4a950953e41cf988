#pragma once

#include <QString>
#include <QStringList>

// The command line of lumetra-wifi-cli, parsed. Secrets are never options: only the names of the
// files that hold them are (see CliSecrets).
class CliOptions
{
public:
    enum Command { NoCommand, Scan, Configure };

    // arguments: without the program name. On a usage fault error() is set.
    static CliOptions parse(const QStringList &arguments);

    // The help text for a command, or the overview for NoCommand.
    static QString helpText(Command command);
    // The exit statuses, one per line, for the help texts.
    static QString exitStatusTable();

    Command command = NoCommand;
    bool help = false;
    bool version = false;
    QString error;

    bool json = false;
    bool verbose = false;

    // scan
    int scanSeconds = 10;

    // configure
    QStringList hosts;
    QString hostsFile;
    QString ssid;
    bool ssidGiven = false;
    QString keyType;
    bool hexKey = false;
    QString passwordFile;
    QString newPasswordFile;
    QString keyFile;
    int jobs = 4;
    // One camera for a parent run; secrets arrive on standard input as one JSON object.
    bool worker = false;
};
