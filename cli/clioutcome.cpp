#include "clioutcome.h"

#include "pages/tabcommunicationresults.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTextDocument>

namespace {

// The results page's rich text, on one line.
QString plainMessage(enmComResult result)
{
    QTextDocument document;
    document.setHtml(TabCommunicationResults::message(result));
    QString text = document.toPlainText();
    text.replace(QChar::LineSeparator, QLatin1Char(' '));
    text.replace(QChar::ParagraphSeparator, QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.simplified();
}

} // namespace

int CliOutcome::exitStatusFor(enmComResult result)
{
    return result == ComResultSuccess ? int(ExitSuccess) : 10 + int(result);
}

QString CliOutcome::resultName(enmComResult result)
{
    switch (result) {
    case ComResultVersionNotCurrent:
        return QStringLiteral("ComResultVersionNotCurrent");
    case ComResultFailed:
        return QStringLiteral("ComResultFailed");
    case ComResultSuccess:
        return QStringLiteral("ComResultSuccess");
    case ComResultErrorReported:
        return QStringLiteral("ComResultErrorReported");
    case ComResultCancelled:
        return QStringLiteral("ComResultCancelled");
    case ComResultNoInternet:
        return QStringLiteral("ComResultNoInternet");
    case ComResultNoReply:
        return QStringLiteral("ComResultNoReply");
    case ComResultError503:
        return QStringLiteral("ComResultError503");
    case ComResultWifiUnavailable:
        return QStringLiteral("ComResultWifiUnavailable");
    }
    return QStringLiteral("ComResult%1").arg(int(result));
}

CliOutcome CliOutcome::fromResult(const QString &host, enmComResult result)
{
    CliOutcome outcome;
    outcome.host = host;
    outcome.name = resultName(result);
    outcome.number = int(result);
    outcome.exitStatus = exitStatusFor(result);
    outcome.message = plainMessage(result);
    return outcome;
}

CliOutcome CliOutcome::passwordRefused(const QString &host)
{
    CliOutcome outcome = fromResult(host, ComResultCancelled);
    outcome.name = QStringLiteral("PasswordRefused");
    outcome.exitStatus = ExitPasswordRefused;
    outcome.message = QStringLiteral("The camera refused the setup password.");
    return outcome;
}

CliOutcome CliOutcome::passwordMissing(const QString &host)
{
    CliOutcome outcome = fromResult(host, ComResultCancelled);
    outcome.name = QStringLiteral("PasswordMissing");
    outcome.exitStatus = ExitPasswordMissing;
    outcome.message = QStringLiteral("The camera has a setup password: give it with "
                                     "--password-file FILE or LUMETRA_SETUP_PASSWORD.");
    return outcome;
}

CliOutcome CliOutcome::workerFailed(const QString &host, const QString &why)
{
    CliOutcome outcome;
    outcome.host = host;
    outcome.name = QStringLiteral("ProcessFailed");
    outcome.exitStatus = ExitWorkerFailed;
    outcome.message = why;
    return outcome;
}

CliOutcome CliOutcome::fromJson(const QString &host, const QByteArray &line)
{
    const QJsonDocument document = QJsonDocument::fromJson(line);
    const QJsonObject object = document.object();
    if (!document.isObject() || !object.value(QStringLiteral("exit")).isDouble())
        return workerFailed(host, QStringLiteral("no outcome reported"));
    CliOutcome outcome;
    outcome.host = object.value(QStringLiteral("host")).toString(host);
    outcome.name = object.value(QStringLiteral("outcome")).toString();
    outcome.number = object.value(QStringLiteral("number")).toInt(-1);
    outcome.exitStatus = object.value(QStringLiteral("exit")).toInt(ExitWorkerFailed);
    outcome.message = object.value(QStringLiteral("message")).toString();
    return outcome;
}

QByteArray CliOutcome::toJson() const
{
    QJsonObject object;
    object.insert(QStringLiteral("host"), host);
    object.insert(QStringLiteral("outcome"), name);
    object.insert(QStringLiteral("number"), number);
    object.insert(QStringLiteral("exit"), exitStatus);
    object.insert(QStringLiteral("message"), message);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString CliOutcome::toLine() const
{
    QString line = QStringLiteral("%1: %2 (%3)").arg(host, name).arg(number);
    if (!message.isEmpty())
        line += QStringLiteral(": ") + message;
    return line;
}
