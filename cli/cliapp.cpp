#include "cliapp.h"

#include "cli/clifleet.h"
#include "cli/cliinterrupt.h"
#include "cli/clioptions.h"
#include "cli/clioutcome.h"
#include "cli/cliscan.h"
#include "cli/clisecrets.h"
#include "cli/clisession.h"
#include "pages/wificredentialscheck.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QTextStream>

CliApp::CliApp(QTextStream &out, QTextStream &err, QIODevice *in)
    : m_out(out), m_err(err), m_in(in)
{
}

int CliApp::usageError(const QString &message)
{
    m_err << "lumetra-wifi-cli: " << message << Qt::endl
          << "Try \"lumetra-wifi-cli --help\"." << Qt::endl;
    return CliOutcome::ExitUsage;
}

int CliApp::run(const QStringList &arguments)
{
    const CliOptions options = CliOptions::parse(arguments);
    if (!options.error.isEmpty())
        return usageError(options.error);
    if (options.help) {
        m_out << CliOptions::helpText(options.command) << Qt::flush;
        return CliOutcome::ExitSuccess;
    }
    if (options.version) {
        m_out << "lumetra-wifi-cli " << QCoreApplication::applicationVersion() << Qt::endl;
        return CliOutcome::ExitSuccess;
    }
    // The trace is for those who ask for it; it never holds a secret either way.
    QLoggingCategory::setFilterRules(options.verbose ? QStringLiteral("lumetra.*.debug=true")
                                                     : QStringLiteral("lumetra.*.debug=false"));

    if (options.command == CliOptions::Scan)
        return CliScan(options.scanSeconds, options.json, m_out, m_err).run();
    return configure(options);
}

bool CliApp::readHosts(const CliOptions &options, QStringList &hosts)
{
    hosts = options.hosts;
    if (options.hostsFile.isEmpty())
        return true;
    QFile file(options.hostsFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        usageError(QStringLiteral("cannot read %1: %2").arg(options.hostsFile, file.errorString()));
        return false;
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QString host = line.trimmed();
        if (!host.isEmpty() && !host.startsWith(QLatin1Char('#')))
            hosts << host;
    }
    if (hosts.isEmpty()) {
        usageError(QStringLiteral("%1 names no camera").arg(options.hostsFile));
        return false;
    }
    return true;
}

int CliApp::configure(const CliOptions &options)
{
    CliSecrets secrets;
    QString error;
    const bool read = options.worker ? secrets.readPipe(m_in, error)
                                     : secrets.read(options, m_in, error);
    if (!read)
        return usageError(error);

    // The wizard's own checks, in its order and with its words, before any camera is touched.
    const bool wepKey = options.keyType.contains(QLatin1String("WEP"));
    const WifiCredentialsCheck check(options.ssid, options.keyType, secrets.key, wepKey,
                                     options.hexKey);
    if (check.problem() != WifiCredentialsCheck::NoProblem) {
        m_err << "lumetra-wifi-cli: " << check.message() << Qt::endl;
        return CliOutcome::ExitSettingsRefused;
    }
    if (secrets.hasNewPassword && secrets.newPassword.size() < 4) {
        m_err << "lumetra-wifi-cli: the new setup password must have at least 4 characters"
              << Qt::endl;
        return CliOutcome::ExitSettingsRefused;
    }

    QStringList hosts;
    if (!readHosts(options, hosts))
        return CliOutcome::ExitUsage;

    // Ctrl+C or SIGTERM cancels the sessions, which still report their outcomes.
    CliInterrupt interrupt;

    if (hosts.size() > 1) {
        QStringList settings{QStringLiteral("--ssid"), options.ssid, QStringLiteral("--key-type"),
                             options.keyType};
        if (options.hexKey)
            settings << QStringLiteral("--hex-key");
        if (options.verbose)
            settings << QStringLiteral("--verbose");
        CliFleet fleet(hosts, settings, secrets, options.jobs, options.json, m_out, m_err);
        if (!m_workerProgram.isEmpty())
            fleet.setProgram(m_workerProgram);
        return fleet.run(&interrupt);
    }

    secrets.key = check.key();
    CliSession session(hosts.first(), options.ssid, options.keyType, secrets, m_err);
    const CliOutcome outcome = session.run(&interrupt);
    if (options.json || options.worker)
        m_out << QString::fromUtf8(outcome.toJson()) << Qt::endl;
    else
        m_out << outcome.toLine() << Qt::endl;
    return outcome.exitStatus;
}
