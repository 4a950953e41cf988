#include <QProcess>
#include <QTest>

// Runs inside tests/netns/netns-run.sh: a private network namespace whose own avahi-daemon
// announces two cameras and a printer (see CMakeLists.txt). The real program scans there,
// without a display.
class TestCliScan : public QObject
{
    Q_OBJECT

    int m_status = -1;
    QString m_out;
    QString m_err;

    void scan(const QStringList &options)
    {
        QProcess cli;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(variable);
        cli.setProcessEnvironment(environment);
        cli.start(QStringLiteral(NOMO_CLI_PROGRAM), QStringList{"scan", "--time", "3"} << options);
        cli.waitForFinished(30000);
        m_status = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
        m_out = QString::fromUtf8(cli.readAllStandardOutput());
        m_err = QString::fromUtf8(cli.readAllStandardError());
    }

private Q_SLOTS:
    void listsTheCamerasOnlyWhileTheDaemonRuns()
    {
        const QString host = qEnvironmentVariable("NOMO_NETNS_HOSTNAME");
        scan({});
        QCOMPARE(m_status, 0);
        QStringList lines = m_out.split('\n', Qt::SkipEmptyParts);
        lines.sort();
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.at(0).startsWith("Lumetra IP Camera 0001\t" + host + "\t10.77.0."),
                 qPrintable(m_out + m_err));
        QVERIFY(lines.at(1).startsWith("Lumetra IP Camera0002\t" + host + "\t10.77.0."));

        // With the daemon stopped: its message and status.
        QCOMPARE(QProcess::execute(qEnvironmentVariable("NOMO_NETNS_AVAHI_STOP"), {}), 0);
        scan({});
        QCOMPARE(QProcess::execute(qEnvironmentVariable("NOMO_NETNS_AVAHI_START"), {}), 0);
        QCOMPARE(m_status, 4);
        QVERIFY(m_out.isEmpty());
        QVERIFY2(m_err.contains("sudo systemctl enable --now avahi-daemon"), qPrintable(m_err));
    }
};

QTEST_GUILESS_MAIN(TestCliScan)
#include "tst_cliscan.moc"
