#pragma once

#include <QByteArray>
#include <QString>

class CliOptions;
class QIODevice;

// The setup password, the new password and the network key of a configure run. They come from
// files, standard input or the environment, never from arguments, and a parent run hands them to
// its per-camera processes through a pipe. No message here ever holds a secret.
class CliSecrets
{
public:
    // Environment variables read when no file is named.
    static const char *const PasswordVariable; // LUMETRA_SETUP_PASSWORD
    static const char *const KeyVariable;      // LUMETRA_WIFI_KEY

    // Reads the secrets the options name; input is standard input (for "--key-file -").
    // False with error set when a named file cannot be read.
    bool read(const CliOptions &options, QIODevice *input, QString &error);

    // The pipe form for a per-camera process, and reading it back there.
    QByteArray toPipe() const;
    bool readPipe(QIODevice *input, QString &error);

    bool hasPassword = false;
    QString password;
    bool hasNewPassword = false;
    QString newPassword;
    bool hasKey = false;
    QString key;
};
