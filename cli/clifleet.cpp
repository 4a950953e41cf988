#include "clifleet.h"

#include "cli/cliinterrupt.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTextStream>

CliFleet::CliFleet(const QStringList &hosts, const QStringList &settingsArguments,
                   const CliSecrets &secrets, int jobs, bool json, QTextStream &out,
                   QTextStream &err)
    : m_hosts(hosts),
      m_settingsArguments(settingsArguments),
      m_secrets(secrets),
      m_jobs(qMax(1, jobs)),
      m_json(json),
      m_out(out),
      m_err(err),
      m_program(QCoreApplication::applicationFilePath())
{
}

CliFleet::~CliFleet() = default;

int CliFleet::run(CliInterrupt *interrupt)
{
    if (interrupt) {
        connect(interrupt, &CliInterrupt::interrupted, this, &CliFleet::stop);
        m_stopped = interrupt->isInterrupted();
    }
    QEventLoop loop;
    for (int i = 0; i < m_jobs && m_next < m_hosts.size() && !m_stopped; ++i)
        startNext();
    while (m_running > 0)
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    // Interrupted: the cameras not started are cancelled as well.
    for (; m_next < m_hosts.size(); ++m_next) {
        CliOutcome outcome = CliOutcome::fromResult(m_hosts.at(m_next), ComResultCancelled);
        outcome.message = QStringLiteral("Interrupted before this camera was started.");
        record(outcome);
    }

    printSummary();
    for (const CliOutcome &outcome : std::as_const(m_outcomes)) {
        if (outcome.exitStatus != CliOutcome::ExitSuccess)
            return CliOutcome::ExitNotAllSucceeded;
    }
    return CliOutcome::ExitSuccess;
}

void CliFleet::startNext()
{
    const QString host = m_hosts.at(m_next++);
    auto *process = new QProcess(this);
    // Progress lines are read as they come; the outcome line is read whole at the end.
    process->setReadChannel(QProcess::StandardError);
    connect(process, &QProcess::readyReadStandardError, this,
            [this, process] { passOnProgress(process); });
    connect(process, &QProcess::finished, this,
            [this, process, host] { finished(process, host); });
    connect(process, &QProcess::errorOccurred, this,
            [this, process, host](QProcess::ProcessError error) {
                if (error == QProcess::FailedToStart)
                    finished(process, host);
            });
    ++m_running;
    process->start(m_program, QStringList{QStringLiteral("configure"), QStringLiteral("--worker")}
                                  << m_settingsArguments << QStringLiteral("--") << host);
    process->write(m_secrets.toPipe());
    process->closeWriteChannel();
}

void CliFleet::passOnProgress(QProcess *process)
{
    while (process->canReadLine())
        m_err << QString::fromUtf8(process->readLine()) << Qt::flush;
}

void CliFleet::finished(QProcess *process, const QString &host)
{
    passOnProgress(process);
    const QByteArray rest = process->readAllStandardError();
    if (!rest.isEmpty())
        m_err << QString::fromUtf8(rest) << Qt::endl;

    CliOutcome outcome;
    if (process->error() == QProcess::FailedToStart) {
        outcome = CliOutcome::workerFailed(host, process->errorString());
    } else if (process->exitStatus() == QProcess::CrashExit) {
        outcome = CliOutcome::workerFailed(host, QStringLiteral("the process for this camera "
                                                                "crashed"));
    } else {
        QByteArray line = process->readAllStandardOutput().trimmed();
        line = line.mid(line.lastIndexOf('\n') + 1);
        outcome = CliOutcome::fromJson(host, line);
        if (outcome.exitStatus != process->exitCode() &&
            outcome.exitStatus != CliOutcome::ExitWorkerFailed) {
            outcome = CliOutcome::workerFailed(host, QStringLiteral("the process for this camera "
                                                                    "ended with status %1")
                                                         .arg(process->exitCode()));
        }
    }
    record(outcome);

    process->disconnect(this);
    process->deleteLater();
    --m_running;
    if (m_next < m_hosts.size() && !m_stopped)
        startNext();
}

void CliFleet::record(const CliOutcome &outcome)
{
    m_outcomes.append(outcome);
    m_out << (m_json ? QString::fromUtf8(outcome.toJson()) : outcome.toLine()) << Qt::endl;
}

void CliFleet::stop()
{
    m_stopped = true;
    // Each camera's process ends its session as cancelled and still reports it.
    const QList<QProcess *> processes = findChildren<QProcess *>();
    for (QProcess *process : processes) {
        if (process->state() != QProcess::NotRunning)
            process->terminate();
    }
}

void CliFleet::printSummary()
{
    // Script readers take the JSON lines from standard output; the table is for people.
    QTextStream &stream = m_json ? m_err : m_out;
    int hostWidth = 4;
    int nameWidth = 7;
    for (const CliOutcome &outcome : std::as_const(m_outcomes)) {
        hostWidth = qMax(hostWidth, int(outcome.host.size()));
        nameWidth = qMax(nameWidth, int(outcome.name.size()));
    }
    int succeeded = 0;
    stream << Qt::endl
           << QStringLiteral("HOST").leftJustified(hostWidth) << "  "
           << QStringLiteral("OUTCOME").leftJustified(nameWidth) << "  EXIT" << Qt::endl;
    for (const CliOutcome &outcome : std::as_const(m_outcomes)) {
        if (outcome.exitStatus == CliOutcome::ExitSuccess)
            ++succeeded;
        stream << outcome.host.leftJustified(hostWidth) << "  "
               << outcome.name.leftJustified(nameWidth) << "  " << outcome.exitStatus
               << Qt::endl;
    }
    stream << QStringLiteral("%1 of %2 cameras succeeded.").arg(succeeded).arg(m_outcomes.size())
           << Qt::endl;
}
