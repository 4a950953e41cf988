#include "agent/agenttiming.h"
#include "cli/cliapp.h"
#include "pages/wificredentialscheck.h"
#include "tools/camerasim/simulatedcamera.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <csignal>
#include <unistd.h>

// Whole configure runs against simulated cameras on port 80 of loopback addresses of their own
// (root only). One camera runs inside this process at a hundredth of the real waits; several
// cameras run through the real program, each in a process of its own, at the real waits.
namespace {
const QHostAddress cameraAddress(QStringLiteral("127.0.31.1"));
const QString password = QStringLiteral("Nomo-1234");
const QString wifiKey = QStringLiteral("Sesame-Key-77");

struct Run
{
    int status = -1;
    QString out;
    QString err;
    QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
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
    const QStringList arguments{"configure", host,       "--ssid", "HomeNet", "--key-type",
                                keyType,     "--key-file", "-",      "--json"};
    return hexKey ? arguments + QStringList{"--hex-key"} : arguments;
}

bool writeFile(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
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

class TestCliConfigure : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void outcomeOfWholeSession_data();
    void outcomeOfWholeSession();
    void wifiSettingsCheckedAsInTheDialog_data();
    void wifiSettingsCheckedAsInTheDialog();
    void interruptCancelsAndStillReports();
    void secretsGoToWorkersThroughThePipeOnly();
    void severalCamerasOneFailing();

private:
    SimulatedCamera m_camera;
    QTemporaryDir m_dir; // the current directory, with a session log
};

void TestCliConfigure::initTestCase()
{
    QVERIFY2(m_camera.listen(cameraAddress), qPrintable(m_camera.errorString()));
    QVERIFY(QDir::setCurrent(m_dir.path()));
}

void TestCliConfigure::init()
{
    AgentTiming::setScale(0.01);
    m_camera.clearRequests();
    QFile log(QStringLiteral("log_nomo_wifi_setup.log"));
    QVERIFY(log.open(QIODevice::WriteOnly | QIODevice::Truncate));
    qputenv("LUMETRA_SETUP_PASSWORD", password.toUtf8());
}

void TestCliConfigure::outcomeOfWholeSession_data()
{
    QTest::addColumn<CameraScenario>("scenario");
    QTest::addColumn<bool>("givePassword");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<int>("number");

    QTest::newRow("joined") << withPassword() << true << 0 << "ComResultSuccess" << 2;
    QTest::newRow("no password on the camera, none given")
        << CameraScenario() << false << 0 << "ComResultSuccess" << 2;
    QTest::newRow("version unanswered") << withPassword(0, "setupGetVersion") << true << 11
                                        << "ComResultFailed" << 1;
    QTest::newRow("error reported") << withPassword(777) << true << 13 << "ComResultErrorReported" << 3;
    QTest::newRow("no internet") << withPassword(505) << true << 15 << "ComResultNoInternet" << 5;
    QTest::newRow("first request unanswered")
        << withPassword(0, "setupVerify") << true << 16 << "ComResultNoReply" << 6;
    QTest::newRow("error 503") << withPassword(503) << true << 18 << "ComResultError503" << 8;
    QTest::newRow("Wi-Fi unavailable") << CameraScenario::named(QStringLiteral("verify-509"))
                                       << true << 19 << "ComResultWifiUnavailable" << 9;
    CameraScenario refusing = withPassword();
    refusing.refusePasswordTimes = 1;
    QTest::newRow("password refused: not asked again")
        << refusing << true << 20 << "PasswordRefused" << 4;
    QTest::newRow("password needed, none given")
        << withPassword() << false << 21 << "PasswordMissing" << 4;
}

void TestCliConfigure::outcomeOfWholeSession()
{
    QFETCH(CameraScenario, scenario);
    QFETCH(bool, givePassword);
    QFETCH(int, status);
    m_camera.setScenario(scenario);
    if (!givePassword)
        qunsetenv("LUMETRA_SETUP_PASSWORD");

    const Run run = runCli(configure(cameraAddress.toString(), QStringLiteral("WPA2-AES")),
                           wifiKey.toUtf8() + '\n');
    QCOMPARE(run.status, status);
    const QJsonObject json = run.json();
    QCOMPARE(json.value("host").toString(), cameraAddress.toString());
    QTEST(json.value("outcome").toString(), "outcome");
    QTEST(json.value("number").toInt(-1), "number");
    QCOMPARE(json.value("exit").toInt(-1), status);
    if (status == 0) {
        QVERIFY(json.value("message").toString().startsWith(
            "The Lumetra device is now connected to the wireless network. Click ''Exit''"));
        QCOMPARE(m_camera.configuredKey(), wifiKey);
    }
    // Asked once, never again: one login at most for a refused password.
    QVERIFY(m_camera.requests(QStringLiteral("setupGetLogin")).size() <= 1);
    QVERIFY(run.err.contains(cameraAddress.toString() + ": step 1 of 8") == (status != 16));

    QFile log(QStringLiteral("log_nomo_wifi_setup.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString all = run.out + run.err + QString::fromUtf8(log.readAll());
    QVERIFY(!all.contains(password));
    QVERIFY(!all.contains(wifiKey));
    QVERIFY(all.contains(QStringLiteral("Connection to ") + cameraAddress.toString()));
}

void TestCliConfigure::wifiSettingsCheckedAsInTheDialog_data()
{
    QTest::addColumn<QString>("keyType");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("hexKey");
    QTest::addColumn<QString>("message"); // the dialog's, before any request; empty: accepted
    QTest::addColumn<QString>("sent");    // the key the camera gets

    for (const QString &type : WifiCredentialsCheck::keyTypes().mid(0, 5)) {
        QTest::addRow("%s without key", qPrintable(type))
            << type << QString() << false
            << QStringLiteral("Wireless Network key cannot be empty for  %1  .").arg(type) << "";
    }
    QTest::newRow("WEP ASCII of 4") << "WEP" << "abcd" << false
                                    << "Wireless Network Key Length Incorrect ! \n Must be 5, 13 "
                                       "ascii characters long ." << "";
    QTest::newRow("WEP hex of 12") << "WEP" << "0123456789ab" << true
                                   << "Wireless Network Key Length Incorrect ! \nMust be 10, 26 "
                                      "hexadecimal digits long ." << "";
    QTest::newRow("unknown key type") << "WPA3-SAE" << "long-enough" << false
                                      << "Please Select Your Wireless Network Key Type." << "";
    QTest::newRow("WEP ASCII of 5 sent as hex") << "WEP" << "abcde" << false << "" << "6162636465";
    QTest::newRow("WEP ASCII of 13 sent as hex")
        << "WEP" << "ABCDEFGHIJKLM" << false << "" << "4142434445464748494a4b4c4d";
    QTest::newRow("WEP hex unchanged") << "WEP" << "01234567zz" << true << "" << "01234567zz";
    QTest::newRow("open network without key") << "No Authentication" << "" << false << "" << "";
}

void TestCliConfigure::wifiSettingsCheckedAsInTheDialog()
{
    QFETCH(QString, keyType);
    QFETCH(QString, key);
    QFETCH(bool, hexKey);
    QFETCH(QString, message);
    m_camera.setScenario(withPassword());
    const Run run = runCli(configure(cameraAddress.toString(), keyType, hexKey), key.toUtf8());
    if (message.isEmpty()) {
        QCOMPARE(run.status, 0);
        QTEST(m_camera.configuredKey(), "sent");
        QCOMPARE(m_camera.configuredSsid(), QStringLiteral("HomeNet"));
    } else {
        QCOMPARE(run.status, 3);
        QCOMPARE(run.err.trimmed(), "lumetra-wifi-cli: " + message);
        QVERIFY(run.out.isEmpty());
        QVERIFY(m_camera.requests().isEmpty());
    }
}

void TestCliConfigure::interruptCancelsAndStillReports()
{
    m_camera.setScenario(withPassword());
    const auto connection = connect(&m_camera, &SimulatedCamera::requestReceived, this,
                                    [](const CameraRequest &request) {
                                        if (request.command == QLatin1String("setupSetSSID"))
                                            ::raise(SIGTERM);
                                    });
    const Run run = runCli(configure(cameraAddress.toString(), QStringLiteral("WPA2-AES")),
                           wifiKey.toUtf8());
    disconnect(connection);
    QCOMPARE(run.status, 14);
    QCOMPARE(run.json().value("outcome").toString(), QStringLiteral("ComResultCancelled"));
    QVERIFY(m_camera.requests(QStringLiteral("setupGetResults")).isEmpty());
}

void TestCliConfigure::secretsGoToWorkersThroughThePipeOnly()
{
    // A stand-in for the per-camera program that records what it was given.
    const QString worker = m_dir.filePath(QStringLiteral("worker.sh"));
    QVERIFY(writeFile(worker, "#!/bin/sh\necho \"$@\" >>\"$0.args\"\ncat >>\"$0.stdin\"\n"
                              "echo '{\"exit\":0,\"outcome\":\"ComResultSuccess\"}'\n"));
    QVERIFY(QFile::setPermissions(worker, QFileDevice::ReadOwner | QFileDevice::ExeOwner));

    const Run run = runCli(configure(QStringLiteral("cam-a"), QStringLiteral("WPA2-AES"))
                               << QStringLiteral("cam-b"),
                           wifiKey.toUtf8(), worker);
    QCOMPARE(run.status, 0);

    QFile args(worker + QStringLiteral(".args"));
    QFile pipe(worker + QStringLiteral(".stdin"));
    QVERIFY(args.open(QIODevice::ReadOnly) && pipe.open(QIODevice::ReadOnly));
    const QString argsText = QString::fromUtf8(args.readAll());
    const QString pipeText = QString::fromUtf8(pipe.readAll());
    QCOMPARE(argsText.count(QStringLiteral("configure --worker --ssid HomeNet")), 2);
    QVERIFY(!argsText.contains(wifiKey) && !argsText.contains(password));
    QCOMPARE(pipeText.count(wifiKey), 2);
    QCOMPARE(pipeText.count(password), 2);
    QVERIFY(!(run.out + run.err).contains(wifiKey));
}

void TestCliConfigure::severalCamerasOneFailing()
{
    // The real program, at the real waits: three cameras side by side, the third without Wi-Fi.
    QList<SimulatedCamera *> cameras;
    QStringList hosts;
    for (int i = 2; i <= 4; ++i) {
        auto *camera = new SimulatedCamera(
            i == 4 ? CameraScenario::named(QStringLiteral("verify-509")) : withPassword(), this);
        hosts << QStringLiteral("127.0.31.%1").arg(i);
        QVERIFY(camera->listen(QHostAddress(hosts.last())));
        cameras << camera;
    }
    const QString hostsFile = m_dir.filePath("hosts");
    const QString keyFile = m_dir.filePath("key");
    QVERIFY(writeFile(hostsFile, (hosts.mid(1).join('\n') + "\n\n").toUtf8()));
    QVERIFY(writeFile(keyFile, wifiKey.toUtf8() + '\n'));

    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(variable);
    cli.setProcessEnvironment(environment);
    QSignalSpy finished(&cli, &QProcess::finished);
    cli.start(NOMO_CLI_PROGRAM, {"configure", hosts.first(), "--hosts-file", hostsFile, "--ssid",
                                 "HomeNet", "--key-type", "WPA2-AES", "--key-file", keyFile});
    QVERIFY(finished.wait(60000));
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    QCOMPARE(cli.exitCode(), 1);
    for (int i = 0; i < 2; ++i) {
        QVERIFY2(out.contains(hosts.at(i) + ": ComResultSuccess (2): The Lumetra device"),
                 qPrintable(out + err));
        QCOMPARE(cameras.at(i)->configuredKey(), wifiKey);
    }
    QVERIFY(out.contains(hosts.at(2) + ": ComResultWifiUnavailable (9): Wi-Fi unavailable."));
    QVERIFY(out.contains(QRegularExpression(hosts.at(2) + " +ComResultWifiUnavailable +19\n")));
    QVERIFY(out.contains(QRegularExpression(hosts.at(0) + " +ComResultSuccess +0\n")));
    QVERIFY(out.endsWith("2 of 3 cameras succeeded.\n"));
    QVERIFY(err.contains(hosts.at(1) + ": step 7 of 8"));

    QFile log(QStringLiteral("log_nomo_wifi_setup.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString logText = QString::fromUtf8(log.readAll());
    QCOMPARE(logText.count(QStringLiteral("netpass=********")), 2);
    QVERIFY(!(out + err + logText).contains(password));
    QVERIFY(!(out + err + logText).contains(wifiKey));
    qDeleteAll(cameras);
}

int main(int argc, char **argv)
{
    if (geteuid() != 0) {
        qInfo("SKIP: the simulated cameras listen on port 80, which needs root");
        return 77;
    }
    QApplication app(argc, argv);
    TestCliConfigure test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_cliconfigure.moc"
