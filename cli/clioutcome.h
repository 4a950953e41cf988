#pragma once

#include "agent/enmcomresult.h"

#include <QByteArray>
#include <QString>

// How a configure run ended for one camera: the session's outcome, the exit status the command
// line reports for it and the results page's message as plain text. Written as one line of text
// or JSON, and read back from a per-camera process's JSON line.
class CliOutcome
{
public:
    // Exit statuses besides the session outcomes (10 + outcome, success 0).
    enum ExitStatus {
        ExitSuccess = 0,
        ExitNotAllSucceeded = 1,
        ExitUsage = 2,
        ExitSettingsRefused = 3,
        ExitDnsSdUnusable = 4,
        ExitPasswordRefused = 20,
        ExitPasswordMissing = 21,
        ExitWorkerFailed = 22,
    };

    static CliOutcome fromResult(const QString &host, enmComResult result);
    // The session ended cancelled because the password was refused, or needed and not given.
    static CliOutcome passwordRefused(const QString &host);
    static CliOutcome passwordMissing(const QString &host);
    // The per-camera process failed before it reported an outcome.
    static CliOutcome workerFailed(const QString &host, const QString &why);
    // One JSON line as written by toJson(); a failed outcome when it is not one.
    static CliOutcome fromJson(const QString &host, const QByteArray &line);

    static int exitStatusFor(enmComResult result);
    static QString resultName(enmComResult result);

    QByteArray toJson() const;
    QString toLine() const;

    QString host;
    QString name;     // "ComResultSuccess", "PasswordRefused", ...
    int number = -1;  // the session's enmComResult value; -1 when no session ended
    int exitStatus = ExitWorkerFailed;
    QString message;
};
