#include "clisecrets.h"

#include "cli/clioptions.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

const char *const CliSecrets::PasswordVariable = "LUMETRA_SETUP_PASSWORD";
const char *const CliSecrets::KeyVariable = "LUMETRA_WIFI_KEY";

namespace {

// The first line: one line break at the end is the editor's, not the secret's.
QString firstLine(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes);
    const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'));
    if (lineEnd >= 0)
        text.truncate(lineEnd);
    if (text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}

bool readSecret(const QString &fileName, QIODevice *input, QString &secret, QString &error)
{
    if (fileName == QLatin1String("-")) {
        if (!input) {
            error = QStringLiteral("standard input cannot be read");
            return false;
        }
        secret = firstLine(input->readAll());
        return true;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(fileName, file.errorString());
        return false;
    }
    secret = firstLine(file.readAll());
    return true;
}

} // namespace

bool CliSecrets::read(const CliOptions &options, QIODevice *input, QString &error)
{
    if (!options.passwordFile.isEmpty()) {
        if (!readSecret(options.passwordFile, input, password, error))
            return false;
        hasPassword = true;
    } else if (qEnvironmentVariableIsSet(PasswordVariable)) {
        password = qEnvironmentVariable(PasswordVariable);
        hasPassword = true;
    }
    if (!options.newPasswordFile.isEmpty()) {
        if (!readSecret(options.newPasswordFile, input, newPassword, error))
            return false;
        hasNewPassword = true;
    }
    if (!options.keyFile.isEmpty()) {
        if (!readSecret(options.keyFile, input, key, error))
            return false;
        hasKey = true;
    } else if (qEnvironmentVariableIsSet(KeyVariable)) {
        key = qEnvironmentVariable(KeyVariable);
        hasKey = true;
    }
    return true;
}

QByteArray CliSecrets::toPipe() const
{
    QJsonObject object;
    if (hasPassword)
        object.insert(QStringLiteral("password"), password);
    if (hasNewPassword)
        object.insert(QStringLiteral("newPassword"), newPassword);
    if (hasKey)
        object.insert(QStringLiteral("key"), key);
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

bool CliSecrets::readPipe(QIODevice *input, QString &error)
{
    const QJsonDocument document = QJsonDocument::fromJson(input ? input->readAll() : QByteArray());
    if (!document.isObject()) {
        error = QStringLiteral("no settings on standard input");
        return false;
    }
    const QJsonObject object = document.object();
    hasPassword = object.contains(QStringLiteral("password"));
    password = object.value(QStringLiteral("password")).toString();
    hasNewPassword = object.contains(QStringLiteral("newPassword"));
    newPassword = object.value(QStringLiteral("newPassword")).toString();
    hasKey = object.contains(QStringLiteral("key"));
    key = object.value(QStringLiteral("key")).toString();
    return true;
}
