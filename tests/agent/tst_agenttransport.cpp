#include "scriptedcamera.h"

#include "agent/agenttiming.h"
#include "agent/myhttpsagent.h"
#include "tools/camerasim/simulatedcamera.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPixmap>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>

Q_DECLARE_METATYPE(CameraScenario)

namespace {

const QHostAddress cameraAddress(QStringLiteral("127.0.0.42"));
const QHostAddress scriptedAddress(QStringLiteral("127.0.0.52"));
const QString logName = QStringLiteral("log_nomo_wifi_setup.log");
const QString statusCommand = QStringLiteral("/WifiConfig/setupGetStatus?SessionId=s1");

// Everything the agent writes to the debug trace while a test runs.
QStringList s_trace;
QtMessageHandler s_previousHandler = nullptr;

void traceHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (context.category && qstrcmp(context.category, "lumetra.agent") == 0)
        s_trace.append(message);
    if (type != QtDebugMsg && s_previousHandler)
        s_previousHandler(type, context, message);
}

// A camera without password that does not insist on its own session ids, so that single
// commands can be sent with any id.
CameraScenario plainCamera()
{
    CameraScenario s = CameraScenario::named(QStringLiteral("no-password"));
    s.requireSession = false;
    return s;
}

CameraScenario withFault(CameraFault fault, const QString &command, int firstTry = 1)
{
    CameraScenario s = plainCamera();
    s.faults.append({fault, command, firstTry, -1});
    return s;
}

QString readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

} // namespace

class TestAgentTransport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void selfSignedAndOldTlsCameraReached_data();
    void selfSignedAndOldTlsCameraReached();
    void urlReachesCameraByteExact_data();
    void urlReachesCameraByteExact();
    void cameraAnswerIsTheReply_data();
    void cameraAnswerIsTheReply();
    void failedTransferCountsAsNoReply_data();
    void failedTransferCountsAsNoReply();
    void largeBackgroundImageAccepted();
    void triesAndPauses_data();
    void triesAndPauses();
    void waitsKeepWindowAnsweringWithoutBurningCpu_data();
    void waitsKeepWindowAnsweringWithoutBurningCpu();
    void emptyHostGivesNoReply();
    void portCheckedOnceAfterSuccess();
    void failedPortCheckRepeatedOnEveryTry();
    void cancelEndsWait_data();
    void cancelEndsWait();
    void logFileNotCreatedWhenAbsent();
    void logFileAppendedWhenPresent();
    void secretsMaskedInLogAndTrace();

private:
    std::unique_ptr<SimulatedCamera> m_camera;
    std::unique_ptr<ScriptedCamera> m_scripted;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;
};

void TestAgentTransport::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("lumetra.agent.debug=true"));
    s_previousHandler = qInstallMessageHandler(traceHandler);
    m_camera = std::make_unique<SimulatedCamera>();
    QVERIFY2(m_camera->listen(cameraAddress), qPrintable(m_camera->errorString()));
    m_scripted = std::make_unique<ScriptedCamera>();
    QVERIFY(m_scripted->listen(scriptedAddress));
    m_previousDir = QDir::currentPath();
}

void TestAgentTransport::init()
{
    AgentTiming::setScale(0.01);
    AgentTiming::setTransferTimeoutMs(30000);
    m_camera->setScenario(plainCamera());
    m_camera->clearRequests();
    m_scripted->reset();
    s_trace.clear();
    // Every test in a directory of its own: the log file is looked up in the current one.
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestAgentTransport::cleanup()
{
    QDir::setCurrent(m_previousDir);
    m_dir.reset();
}

void TestAgentTransport::cleanupTestCase()
{
    qInstallMessageHandler(s_previousHandler);
    AgentTiming::setScale(1.0);
}

void TestAgentTransport::selfSignedAndOldTlsCameraReached_data()
{
    QTest::addColumn<CameraScenario>("cameraScenario");
    CameraScenario tls10 = plainCamera();
    tls10.tls10Only = true;
    QTest::newRow("self-signed certificate") << plainCamera();
    QTest::newRow("TLS 1.0 only") << tls10;
}

void TestAgentTransport::selfSignedAndOldTlsCameraReached()
{
    QFETCH(CameraScenario, cameraScenario);
    m_camera->setScenario(cameraScenario);

    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    QVERIFY(agent.VerifyPortNumber());
    QCOMPARE(agent.executeGetCommand(statusCommand, 1, 5000), StatusOk);
    QCOMPARE(m_camera->requests().size(), 2);

    if (cameraScenario.tls10Only) {
        // The scenario is real: a client with the system's TLS defaults cannot get through.
        QNetworkAccessManager plain;
        QNetworkReply *reply = plain.get(
            QNetworkRequest(QUrl(QStringLiteral("https://127.0.0.42:80/WifiConfig/setupVerify"))));
        connect(reply, &QNetworkReply::sslErrors, reply,
                [reply](const QList<QSslError> &) { reply->ignoreSslErrors(); });
        QSignalSpy finished(reply, &QNetworkReply::finished);
        QVERIFY(finished.wait(20000));
        QCOMPARE(reply->error(), QNetworkReply::SslHandshakeFailedError);
        delete reply;
    }
}

void TestAgentTransport::urlReachesCameraByteExact_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("target");

    const QString set =
        QStringLiteral("/WifiConfig/setupSetSSID?SessionId=s1?ssid=a%20b?netpass=k");
    QTest::newRow("every '?' kept, percent-encoding kept")
        << set + "?securitytype=WPA2" << set + "?securitytype=WPA2";
    QTest::newRow("blank escaped")
        << set + "?securitytype=No Authentication" << set + "?securitytype=No%20Authentication";
    QTest::newRow("lone '%' escaped alone")
        << set + "?securitytype=WPA2-AES 100%" << set + "?securitytype=WPA2-AES%20100%25";
    QTest::newRow("'%' with one hex digit")
        << set + "?securitytype=%4" << set + "?securitytype=%254";
    QTest::newRow("'%' with non-hex digits")
        << set + "?securitytype=%zz" << set + "?securitytype=%25zz";
    // Qt's URL normalisation writes valid escapes in their canonical, equivalent form; they are
    // never escaped a second time.
    QTest::newRow("valid escape not escaped again")
        << set + "?securitytype=%41%2f" << set + "?securitytype=A%2F";
    QTest::newRow("non-ASCII as UTF-8")
        << set + "?securitytype=Clé" << set + "?securitytype=Cl%C3%A9";
    QTest::newRow("non-ASCII beside a lone '%'")
        << set + "?securitytype=é%" << set + "?securitytype=%C3%A9%25";
    QTest::newRow("ampersand and equals kept") << "/WifiConfig/setupGetStatus?a=1&b=2"
                                               << "/WifiConfig/setupGetStatus?a=1&b=2";
}

void TestAgentTransport::urlReachesCameraByteExact()
{
    QFETCH(QString, command);
    QFETCH(QString, target);

    MyHttpsAgent agent(scriptedAddress.toString(), nullptr);
    QCOMPARE(agent.executeGetCommand(command, 1, 0), StatusOk);
    QCOMPARE(m_scripted->targets(),
             (QStringList{QStringLiteral("/WifiConfig/setupVerify"), target}));
}

void TestAgentTransport::cameraAnswerIsTheReply_data()
{
    QTest::addColumn<CameraScenario>("cameraScenario");
    QTest::addColumn<QString>("expectedVersion");

    QTest::newRow("redirect not followed: its body is the reply")
        << withFault(CameraFault::Redirect, "setupGetVersion") << "1.05.02.0031";
    QTest::newRow("HTTP error status keeps the camera's body")
        << withFault(CameraFault::HttpStatus500, "setupGetVersion") << "1.05.02.0031";
    QTest::newRow("slow reply waited for") << [] {
        CameraScenario s = withFault(CameraFault::SlowReply, "setupGetVersion");
        s.slowMs = 300;
        return s;
    }() << "1.05.02.0031";
    QTest::newRow("text ends at the first zero byte")
        << withFault(CameraFault::GarbageWithZero, "setupGetVersion") << "1.05.02.0031";
}

void TestAgentTransport::cameraAnswerIsTheReply()
{
    QFETCH(CameraScenario, cameraScenario);
    QFETCH(QString, expectedVersion);
    m_camera->setScenario(cameraScenario);

    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    QString version = QStringLiteral("before");
    QCOMPARE(agent.setupGetVersion(version, QStringLiteral("s1")), StatusOk);
    QCOMPARE(version, expectedVersion);
    QCOMPARE(m_camera->requests().size(), 2); // the port check and the request, nothing more
}

void TestAgentTransport::failedTransferCountsAsNoReply_data()
{
    QTest::addColumn<CameraScenario>("cameraScenario");

    QTest::newRow("empty body") << withFault(CameraFault::EmptyBody, "setupGetVersion");
    QTest::newRow("connection closed without reply")
        << withFault(CameraFault::CloseWithoutReply, "setupGetVersion");
    QTest::newRow("reset in the middle of the body")
        << withFault(CameraFault::ResetMidBody, "setupGetVersion");
    QTest::newRow("stalled body") << [] {
        CameraScenario s = withFault(CameraFault::StallMidBody, "setupGetVersion");
        s.stallMs = 20000;
        return s;
    }();
    QTest::newRow("body over 1 MiB") << withFault(CameraFault::HugeBody, "setupGetVersion");
}

void TestAgentTransport::failedTransferCountsAsNoReply()
{
    QFETCH(CameraScenario, cameraScenario);
    m_camera->setScenario(cameraScenario);
    AgentTiming::setTransferTimeoutMs(2000);

    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    QString version = QStringLiteral("before");
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(agent.setupGetVersion(version, QStringLiteral("s1")), StatusNoReply);
    QCOMPARE(version, QStringLiteral("before"));
    // A stalled camera is given up after the transfer timeout, long before it would go on.
    QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
}

void TestAgentTransport::largeBackgroundImageAccepted()
{
    // The background image may be large (here a 16 MiB bitmap); other replies may not.
    m_camera->setScenario(withFault(CameraFault::HugeBody, "setupGetBackGroundImage"));
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    QPixmap image;
    QCOMPARE(agent.setupGetBackGroundImage(QStringLiteral("s1"), image), StatusOk);
    QCOMPARE(image.size(), QSize(2048, 2048));
}

void TestAgentTransport::triesAndPauses_data()
{
    QTest::addColumn<int>("tries");
    QTest::addColumn<int>("pauseMs");
    QTest::addColumn<int>("stepMs");
    QTest::addColumn<int>("requests");
    QTest::addColumn<int>("minimumMs"); // the pauses' own length: a lower bound, never late

    QTest::newRow("nine tries, 5 s pauses") << 9 << 5000 << 10 << 9 << 9 * 5 * 10;
    QTest::newRow("single try still pauses") << 1 << 5000 << 100 << 1 << 500;
    QTest::newRow("whole seconds only") << 2 << 2999 << 100 << 2 << 2 * 2 * 100;
    QTest::newRow("no tries count as one") << 0 << 0 << 10 << 1 << 0;
}

void TestAgentTransport::triesAndPauses()
{
    QFETCH(int, tries);
    QFETCH(int, pauseMs);
    QFETCH(int, stepMs);
    QFETCH(int, requests);
    QFETCH(int, minimumMs);

    m_camera->setScenario(withFault(CameraFault::EmptyBody, "setupGetStatus"));
    AgentTiming::setPauseStepMs(stepMs);
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    QVERIFY(agent.VerifyPortNumber());

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(agent.executeGetCommand(statusCommand, tries, pauseMs), StatusNoReply);
    QVERIFY2(clock.elapsed() >= minimumMs, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(m_camera->requests("setupGetStatus").size(), requests);
}

void TestAgentTransport::waitsKeepWindowAnsweringWithoutBurningCpu_data()
{
    QTest::addColumn<CameraScenario>("cameraScenario");
    QTest::addColumn<int>("pauseMs");

    QTest::newRow("pause after an empty reply")
        << withFault(CameraFault::EmptyBody, "setupGetStatus") << 4000;
    QTest::newRow("slow reply") << [] {
        CameraScenario s = withFault(CameraFault::SlowReply, "setupGetStatus");
        s.slowMs = 2000;
        return s;
    }() << 0;
}

void TestAgentTransport::waitsKeepWindowAnsweringWithoutBurningCpu()
{
    QFETCH(CameraScenario, cameraScenario);
    QFETCH(int, pauseMs);

    m_camera->setScenario(cameraScenario);
    AgentTiming::setPauseStepMs(500);
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    QVERIFY(agent.VerifyPortNumber());

    // Stands for the window's repaints and clicks: they must keep coming during the wait.
    int ticks = 0;
    QTimer window;
    connect(&window, &QTimer::timeout, [&ticks] { ++ticks; });
    window.start(20);

    QElapsedTimer clock;
    clock.start();
    const std::clock_t cpuBefore = std::clock();
    agent.executeGetCommand(statusCommand, 1, pauseMs);
    const double cpuMs = double(std::clock() - cpuBefore) * 1000.0 / CLOCKS_PER_SEC;
    const qint64 elapsed = clock.elapsed();

    QVERIFY2(elapsed >= 1900, qPrintable(QString::number(elapsed)));
    QVERIFY2(ticks >= elapsed / 20 / 3, qPrintable(QString::number(ticks)));
    // Blocking in the event loop costs about 1 % of a core; spinning it costs all it can get.
    QVERIFY2(cpuMs < elapsed * 0.15, qPrintable(QString::number(cpuMs)));
}

void TestAgentTransport::emptyHostGivesNoReply()
{
    MyHttpsAgent agent(QString(), nullptr);
    QVERIFY(!agent.VerifyPortNumber());
    QCOMPARE(agent.executeGetCommand(statusCommand, 2, 0), StatusNoReply);
}

void TestAgentTransport::portCheckedOnceAfterSuccess()
{
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(agent.executeGetCommand(statusCommand, 1, 0), StatusOk);
    QVERIFY(agent.VerifyPortNumber());
    QCOMPARE(m_camera->requests("setupVerify").size(), 1);
    QCOMPARE(m_camera->requests("setupGetStatus").size(), 3);
}

void TestAgentTransport::failedPortCheckRepeatedOnEveryTry()
{
    m_camera->setScenario(withFault(CameraFault::EmptyBody, "setupVerify"));
    QFile(logName).open(QIODevice::WriteOnly);
    {
        MyHttpsAgent agent(cameraAddress.toString(), nullptr);
        QCOMPARE(agent.executeGetCommand(statusCommand, 3, 0), StatusNoReply);
    }
    QCOMPARE(m_camera->requests("setupVerify").size(), 3);
    QCOMPARE(m_camera->requests("setupGetStatus").size(), 0);
    const QString attempt = QStringLiteral("Trying Port 80 ...\nFailed when trying port 80 \n");
    QCOMPARE(readAll(logName), "Connection to 127.0.0.42\n" + attempt + attempt + attempt);
}

void TestAgentTransport::cancelEndsWait_data()
{
    QTest::addColumn<CameraScenario>("cameraScenario");
    QTest::addColumn<QString>("cancelAt");
    QTest::addColumn<bool>("afterReply");
    QTest::addColumn<int>("statusRequests");

    auto slow = [](const QString &command) {
        CameraScenario s = withFault(CameraFault::SlowReply, command);
        s.slowMs = 20000;
        return s;
    };
    QTest::newRow("during the port check") << slow("setupVerify") << "setupVerify" << false << 0;
    QTest::newRow("during a request") << slow("setupGetStatus") << "setupGetStatus" << false << 1;
    QTest::newRow("during a pause")
        << withFault(CameraFault::EmptyBody, "setupGetStatus") << "setupGetStatus" << true << 1;
}

void TestAgentTransport::cancelEndsWait()
{
    QFETCH(CameraScenario, cameraScenario);
    QFETCH(QString, cancelAt);
    QFETCH(bool, afterReply);
    QFETCH(int, statusRequests);

    m_camera->setScenario(cameraScenario);
    AgentTiming::setPauseStepMs(5000); // a pause of 25 s: only the cancel can end it early
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    QTimer delayedCancel;
    delayedCancel.setSingleShot(true);
    connect(&delayedCancel, &QTimer::timeout, &agent, &MyHttpsAgent::Cancel);
    connect(m_camera.get(),
            afterReply ? &SimulatedCamera::requestFinished : &SimulatedCamera::requestReceived,
            &agent, [&](const CameraRequest &request) {
                if (request.command != cancelAt)
                    return;
                if (afterReply)
                    delayedCancel.start(100);
                else
                    agent.Cancel();
            });

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(agent.executeGetCommand(statusCommand, 3, 5000), StatusCancelled);
    QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(m_camera->requests("setupGetStatus").size(), statusRequests);
    // The cancel stays in force: the port check gives up at once.
    QCOMPARE(agent.VerifyPortNumber(), statusRequests > 0);
}

void TestAgentTransport::logFileNotCreatedWhenAbsent()
{
    {
        MyHttpsAgent agent(cameraAddress.toString(), nullptr);
        QCOMPARE(agent.executeGetCommand(statusCommand, 1, 0), StatusOk);
    }
    QVERIFY(!QFile::exists(logName));
    QVERIFY(s_trace.join('\n').contains("sendHttpsCommand  sent # " + statusCommand));
}

void TestAgentTransport::logFileAppendedWhenPresent()
{
    {
        QFile file(logName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("earlier run\n");
    }
    {
        MyHttpsAgent agent(cameraAddress.toString(), nullptr);
        QString version;
        QCOMPARE(agent.setupGetVersion(version, QStringLiteral("s1")), StatusOk);
    }
    QCOMPARE(readAll(logName),
             QStringLiteral("earlier run\n"
                            "Connection to 127.0.0.42\n"
                            "Trying Port 80 ...\n"
                            "sendHttpsCommand  sent # /WifiConfig/setupGetVersion?SessionId=s1\n"
                            "setupGetVersion  return  # "
                            "<Response><Version>1.05.02.0031</Version></Response>\n"));
    // The trace carries the same messages behind the time of day.
    QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d - Connection to 127.0.0.42$"))
                .match(s_trace.value(0))
                .hasMatch());
}

void TestAgentTransport::secretsMaskedInLogAndTrace()
{
    // An HTTP error status makes the network layer describe the failure with the whole URL.
    CameraScenario camera = withFault(CameraFault::HttpStatus500, QString());
    camera.hasPassword = true;
    camera.password = QStringLiteral("sécret pass");
    m_camera->setScenario(camera);
    QFile(logName).open(QIODevice::WriteOnly);
    {
        MyHttpsAgent agent(cameraAddress.toString(), nullptr);
        QString session;
        QCOMPARE(agent.setupGetLogin(QStringLiteral("sécret pass"), session), StatusOk);
        QCOMPARE(agent.setupSetPwd(QStringLiteral("n3w-pass"), QStringLiteral("s1")), StatusOk);
        QCOMPARE(agent.setupSetSSID(QStringLiteral("Net"), QStringLiteral("k3y pass"),
                                    QStringLiteral("WPA2-AES"), QStringLiteral("s1")),
                 StatusOk);
    }
    // The camera got the secrets...
    QCOMPARE(m_camera->requests("setupGetLogin").value(0).query,
             QStringLiteral("Pass=s%C3%A9cret%20pass"));
    QCOMPARE(m_camera->configuredKey(), QStringLiteral("k3y pass"));

    // ...the log and the trace did not.
    const QString log = readAll(logName);
    const QString trace = s_trace.join('\n');
    QVERIFY2(trace.contains("Internal Server Error"), qPrintable(trace));
    for (const QString &text : {log, trace}) {
        for (const char *secret : {"cret", "n3w", "k3y", "pass?", "pass -"})
            QVERIFY2(!text.contains(QLatin1String(secret)), qPrintable(text));
        QVERIFY(
            text.contains("sendHttpsCommand  sent # /WifiConfig/setupGetLogin?Pass=********\n"));
        QVERIFY(text.contains(
            "sendHttpsCommand  sent # /WifiConfig/setupSetPwd?SessionId=s1?Pass=********\n"));
        QVERIFY(text.contains("sendHttpsCommand  sent # /WifiConfig/setupSetSSID?SessionId=s1"
                              "?ssid=Net?netpass=********?securitytype=WPA2\n"));
    }
}

QTEST_MAIN(TestAgentTransport)
#include "tst_agenttransport.moc"
