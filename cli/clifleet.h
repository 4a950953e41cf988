#pragma once

#include "cli/clioutcome.h"
#include "cli/clisecrets.h"

#include <QList>
#include <QObject>
#include <QStringList>

class CliInterrupt;
class QProcess;
class QTextStream;

// Configures several cameras side by side, each in a process of its own (this same program, run
// for one camera), at most a given number at a time. The secrets travel to each process through
// its standard input, never through its arguments. Each process's progress lines are passed on
// as they come; its outcome line is printed when it ends, and a summary table after the last.
class CliFleet : public QObject
{
    Q_OBJECT

public:
    // settingsArguments: the non-secret options every per-camera process gets (--ssid, ...).
    CliFleet(const QStringList &hosts, const QStringList &settingsArguments,
             const CliSecrets &secrets, int jobs, bool json, QTextStream &out,
             QTextStream &err);
    ~CliFleet() override;

    // The program each camera runs in; this program unless a caller says otherwise.
    void setProgram(const QString &program) { m_program = program; }

    // Runs every camera to its end. 0 when all succeeded, otherwise ExitNotAllSucceeded. After
    // an interrupt (may be null) no further camera starts and the running ones are cancelled.
    int run(CliInterrupt *interrupt);

    const QList<CliOutcome> &outcomes() const { return m_outcomes; }

private:
    void startNext();
    void finished(QProcess *process, const QString &host);
    void passOnProgress(QProcess *process);
    void printSummary();
    // Keeps a camera's outcome for the summary and prints its line as it comes.
    void record(const CliOutcome &outcome);
    void stop();

    QStringList m_hosts;
    QStringList m_settingsArguments;
    CliSecrets m_secrets;
    int m_jobs;
    bool m_json;
    QTextStream &m_out;
    QTextStream &m_err;
    QString m_program;
    int m_next = 0;
    int m_running = 0;
    bool m_stopped = false;
    QList<CliOutcome> m_outcomes;
};
