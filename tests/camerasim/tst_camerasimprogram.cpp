// nomo-camera-sim as demos and manual tests run it: options, request log, clean stop.
#include "tools/camerasim/camerascenario.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <csignal>

class TestCameraSimProgram : public QObject
{
    Q_OBJECT

private:
    static QByteArray run(const QStringList &arguments, int expectedExit)
    {
        QProcess process;
        process.start(QStringLiteral(NOMO_CAMERA_SIM), arguments);
        if (!process.waitForFinished(10000))
            return "did not finish";
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != expectedExit)
            return "exit code " + QByteArray::number(process.exitCode());
        return process.readAllStandardOutput() + process.readAllStandardError();
    }

private Q_SLOTS:
    void listsEveryScenario();
    void refusesBadArguments_data();
    void refusesBadArguments();
    void servesLogsAndStopsOnSignal_data();
    void servesLogsAndStopsOnSignal();
};

void TestCameraSimProgram::listsEveryScenario()
{
    const QByteArray out = run({QStringLiteral("--list-scenarios")}, 0);
    for (const QString &name : CameraScenario::scenarioNames())
        QVERIFY2(out.contains(name.toLatin1() + ' '), qPrintable(name));
}

void TestCameraSimProgram::refusesBadArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("unknown scenario")
        << QStringList{"--scenario", "nonsense"} << QByteArray("Unknown scenario \"nonsense\"");
    QTest::newRow("bad address") << QStringList{"--listen", "camera"}
                                 << QByteArray("Not an IP address: camera");
    QTest::newRow("bad port") << QStringList{"--port", "70000"}
                              << QByteArray("Not a port number: 70000");
}

void TestCameraSimProgram::refusesBadArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, message);
    const QByteArray out = run(arguments, 2);
    QVERIFY2(out.contains(message), out.constData());
}

void TestCameraSimProgram::servesLogsAndStopsOnSignal_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestCameraSimProgram::servesLogsAndStopsOnSignal()
{
    QFETCH(int, signalNumber);
    QProcess process;
    process.start(QStringLiteral(NOMO_CAMERA_SIM),
                  {"--listen", "127.0.0.61", "--scenario", "password"});
    QByteArray log;
    QTRY_VERIFY_WITH_TIMEOUT((log += process.readAllStandardError()).contains("listening on"),
                             10000);

    QNetworkAccessManager manager;
    QNetworkReply *reply =
        manager.get(QNetworkRequest(QUrl(QStringLiteral("https://127.0.0.61:80/WifiConfig/"
                                                        "setupGetLogin?Pass=Nomo-1234"))));
    connect(reply, &QNetworkReply::sslErrors, reply,
            [reply](const QList<QSslError> &) { reply->ignoreSslErrors(); });
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(finished.wait(10000));
    QVERIFY(reply->readAll().startsWith("<Response><SessionId>"));
    delete reply;

    QTRY_VERIFY_WITH_TIMEOUT((log += process.readAllStandardError()).contains("setupGetLogin"),
                             10000);
    QVERIFY2(log.contains("GET /WifiConfig/setupGetLogin?Pass=******** -> 200"), log.constData());
    QVERIFY(!log.contains("Nomo-1234"));

    ::kill(pid_t(process.processId()), signalNumber);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

QTEST_MAIN(TestCameraSimProgram)
#include "tst_camerasimprogram.moc"
