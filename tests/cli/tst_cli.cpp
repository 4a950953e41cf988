#include "agent/agenttiming.h"
#include "cli/cliapp.h"
#include "tools/camerasim/simulatedcamera.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <csignal>

// Whole runs in a private network namespace (tests/netns/netns-run.sh, root only), whose own
// avahi-daemon announces two cameras and a printer for the scan. Configure runs go to simulated
// cameras on port 80 of loopback addresses of their own. One camera runs inside this process at a
// hundredth of the real waits; several cameras run through the real program, each in a process of
// its own, at the real waits.
namespace {
const QHostAddress cameraAddress(QStringLiteral("127.0.31.1"));
const QString password = QStringLiteral("Nomo-1234");
const QString wifiKey = QStringLiteral("Sesame-Key-77");
const QString logName = QStringLiteral("log_nomo_wifi_setup.log");

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

// Runs the command line in this process; stdinText is what standard input holds.
Run runCli(const QStringList &arguments, const QByteArray &stdinText,
           const QString &workerProgram = QString())
{
    Run run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    QBuffer in;
    in.setData(stdinText);
    in.open(QIODevice::ReadOnly);
    CliApp app(out, err, &in);
    if (!workerProgram.isEmpty())
        app.setWorkerProgram(workerProgram);
    run.status = app.run(arguments);
    return run;
}

QStringList configure(const QString &host, const QString &keyType, bool hexKey = false)
{
    const QStringList arguments{"configure", host,         "--ssid", "HomeNet", "--key-type",
                                keyType,     "--key-file", "-",      "--json"};
    return hexKey ? arguments + QStringList{"--hex-key"} : arguments;
}

bool writeFile(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString readFile(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A camera with a setup password whose result is the given error (0: success), and which
// answers one command with empty replies only.
CameraScenario withPassword(int result = 0, const char *unanswered = "")
{
    CameraScenario scenario;
    scenario.hasPassword = true;
    scenario.password = password;
    scenario.results = {result};
    if (*unanswered)
        scenario.faults.append({CameraFault::EmptyBody, QLatin1String(unanswered), 1, -1});
    return scenario;
}
} // namespace

class TestCli : public QObject
{
    Q_OBJECT

    SimulatedCamera m_camera;
    QTemporaryDir m_dir; // the current directory, with a session log

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("NOMO_NETNS_HOSTNAME"))
            QSKIP("needs tests/netns/netns-run.sh around it");
        QVERIFY2(m_camera.listen(cameraAddress), qPrintable(m_camera.errorString()));
        QVERIFY(QDir::setCurrent(m_dir.path()));
    }

    void init()
    {
        AgentTiming::setScale(0.01);
        m_camera.clearRequests();
        QVERIFY(writeFile(logName, {}));
        qputenv("LUMETRA_SETUP_PASSWORD", password.toUtf8());
    }

    static void row(const char *name, const CameraScenario &scenario, int status,
                    const char *outcome, int number)
    {
        QTest::newRow(name) << scenario << status << QString(outcome) << number;
    }

    // Rows named "... none given" run without a password; "interrupted" gets Ctrl+C at the SSID.
    void outcomeOfWholeSession_data()
    {
        QTest::addColumn<CameraScenario>("scenario");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<int>("number");

        row("joined", withPassword(), 0, "ComResultSuccess", 2);
        row("no password on the camera, none given", {}, 0, "ComResultSuccess", 2);
        row("version unanswered", withPassword(0, "setupGetVersion"), 11, "ComResultFailed", 1);
        row("error reported", withPassword(777), 13, "ComResultErrorReported", 3);
        row("interrupted", withPassword(), 14, "ComResultCancelled", 4);
        row("no internet", withPassword(505), 15, "ComResultNoInternet", 5);
        row("first request unanswered", withPassword(0, "setupVerify"), 16, "ComResultNoReply", 6);
        row("error 503", withPassword(503), 18, "ComResultError503", 8);
        row("Wi-Fi unavailable", CameraScenario::named(QStringLiteral("verify-509")), 19,
            "ComResultWifiUnavailable", 9);
        CameraScenario refusing = withPassword();
        refusing.refusePasswordTimes = 1; // accepted if asked again
        row("password refused: not asked again", refusing, 20, "PasswordRefused", 4);
        row("password needed, none given", withPassword(), 21, "PasswordMissing", 4);
    }

    void outcomeOfWholeSession()
    {
        QFETCH(CameraScenario, scenario);
        QFETCH(int, status);
        const QByteArray tag = QTest::currentDataTag();
        const QString interruptAt = tag == "interrupted" ? "setupSetSSID" : "";
        m_camera.setScenario(scenario);
        if (tag.endsWith("none given"))
            qunsetenv("LUMETRA_SETUP_PASSWORD");
        const auto connection = connect(&m_camera, &SimulatedCamera::requestReceived, this,
                                        [interruptAt](const CameraRequest &request) {
                                            if (request.command == interruptAt)
                                                ::raise(SIGTERM);
                                        });
        const Run run = runCli(configure(cameraAddress.toString(), QStringLiteral("WPA2-AES")),
                               wifiKey.toUtf8() + '\n');
        disconnect(connection);
        QCOMPARE(run.status, status);
        const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(json.value("host").toString(), cameraAddress.toString());
        QTEST(json.value("outcome").toString(), "outcome");
        QTEST(json.value("number").toInt(-1), "number");
        if (status == 0)
            QCOMPARE(m_camera.configuredKey(), wifiKey);
        const QString all = run.out + run.err + readFile(logName);
        QVERIFY(!all.contains(password) && !all.contains(wifiKey));
        QVERIFY(all.contains(QStringLiteral("Connection to ") + cameraAddress.toString()));
    }

    // Rows named "... hex unchanged" tick --hex-key.
    void wifiSettingsCheckedAsInTheDialog_data()
    {
        QTest::addColumn<QString>("keyType");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected"); // the key the camera gets, or the dialog's refusal

        const QString wep = QStringLiteral("WEP");
        QTest::newRow("WEP ASCII of 4")
            << wep << "abcd"
            << "Wireless Network Key Length Incorrect ! \n Must be 5, 13 ascii characters long .";
        QTest::newRow("WEP ASCII sent as hex") << wep << "abcde"
                                               << "6162636465";
        QTest::newRow("WEP hex unchanged") << wep << "01234567zz"
                                           << "01234567zz";
        QTest::newRow("open network") << QStringLiteral("No Authentication") << ""
                                      << "";
    }

    void wifiSettingsCheckedAsInTheDialog()
    {
        QFETCH(QString, keyType);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        const bool hexKey = QByteArray(QTest::currentDataTag()).endsWith("hex unchanged");
        m_camera.setScenario(withPassword());
        const Run run = runCli(configure(cameraAddress.toString(), keyType, hexKey), key.toUtf8());
        if (run.status == 0) {
            QCOMPARE(m_camera.configuredKey(), expected);
            QCOMPARE(m_camera.configuredSsid(), QStringLiteral("HomeNet"));
        } else { // refused before any request
            QCOMPARE(run.status, 3);
            QCOMPARE(run.err.trimmed(), "lumetra-wifi-cli: " + expected);
            QVERIFY(m_camera.requests().isEmpty());
        }
    }

    // The real program, without a display.
    void scanListsTheCamerasOnlyWhileTheDaemonRuns()
    {
        const auto scan = [] {
            QProcess cli;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
                environment.remove(variable);
            cli.setProcessEnvironment(environment);
            cli.start(QStringLiteral(NOMO_CLI_PROGRAM), {"scan", "--time", "3"});
            cli.waitForFinished(30000);
            return Run{cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1,
                       QString::fromUtf8(cli.readAllStandardOutput()),
                       QString::fromUtf8(cli.readAllStandardError())};
        };
        const QString host = qEnvironmentVariable("NOMO_NETNS_HOSTNAME");
        Run run = scan();
        QCOMPARE(run.status, 0);
        QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
        lines.sort();
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.at(0).startsWith("Lumetra IP Camera 0001\t" + host + "\t10.77.0."),
                 qPrintable(run.out + run.err));
        QVERIFY(lines.at(1).startsWith("Lumetra IP Camera0002\t" + host + "\t10.77.0."));

        // With the daemon stopped: its message and status.
        QCOMPARE(QProcess::execute(qEnvironmentVariable("NOMO_NETNS_AVAHI_STOP"), {}), 0);
        run = scan();
        QCOMPARE(QProcess::execute(qEnvironmentVariable("NOMO_NETNS_AVAHI_START"), {}), 0);
        QCOMPARE(run.status, 4);
        QVERIFY(run.out.isEmpty());
        QVERIFY2(run.err.contains("sudo systemctl enable --now avahi-daemon"), qPrintable(run.err));
    }

    void severalCamerasOneFailing()
    {
        // Three cameras side by side, the third without Wi-Fi, each run by the real program at
        // the real waits, through a stand-in that records its arguments first.
        SimulatedCamera cameras[] = {SimulatedCamera(withPassword()),
                                     SimulatedCamera(withPassword()),
                                     SimulatedCamera(CameraScenario::named("verify-509"))};
        const QStringList hosts{"127.0.31.2", "127.0.31.3", "127.0.31.4"};
        for (int i = 0; i < 3; ++i)
            QVERIFY(cameras[i].listen(QHostAddress(hosts.at(i))));
        const QString worker = m_dir.filePath(QStringLiteral("worker.sh"));
        QVERIFY(writeFile(worker, "#!/bin/sh\necho \"$@\" >>\"$0.args\"\nexec " NOMO_CLI_PROGRAM
                                  " \"$@\"\n"));
        QVERIFY(QFile::setPermissions(worker, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        const QString hostsFile = m_dir.filePath("hosts");
        const QString keyFile = m_dir.filePath("key");
        QVERIFY(writeFile(hostsFile, (hosts.mid(1).join('\n') + "\n\n").toUtf8()));
        QVERIFY(writeFile(keyFile, wifiKey.toUtf8() + '\n'));

        const Run run = runCli({"configure", hosts.first(), "--hosts-file", hostsFile, "--ssid",
                                "HomeNet", "--key-type", "WPA2-AES", "--key-file", keyFile},
                               {}, worker);
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out.count(": ComResultSuccess (2): The Lumetra device"), 2);
        QCOMPARE(cameras[1].configuredKey(), wifiKey);
        QVERIFY(
            run.out.contains(QRegularExpression(hosts.at(2) + " +ComResultWifiUnavailable +19\n")));
        QVERIFY(run.out.endsWith("2 of 3 cameras succeeded.\n"));
        const QString arguments = readFile(worker + QStringLiteral(".args"));
        QCOMPARE(arguments.count(QStringLiteral("configure --worker --ssid HomeNet")), 3);
        const QString log = readFile(logName);
        QCOMPARE(log.count(QStringLiteral("netpass=********")), 2);
        const QString all = run.out + run.err + log + arguments;
        QVERIFY(!all.contains(password) && !all.contains(wifiKey));
    }
};

QTEST_MAIN(TestCli)

#include "tst_cli.moc"
