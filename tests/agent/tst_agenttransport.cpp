#include "agent/agenttiming.h"
#include "agent/myhttpsagent.h"
#include "tools/camerasim/simulatedcamera.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>

Q_DECLARE_METATYPE(CameraScenario)

namespace {

const QHostAddress cameraAddress(QStringLiteral("127.0.0.42"));
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

// A camera without password that takes any session id, so that single commands can be sent
// with "s1"; the fault hits every request of the command from the given try on.
CameraScenario camera(CameraFault fault = CameraFault::None, const QString &command = {},
                      int slowMs = 3000)
{
    CameraScenario s;
    s.requireSession = false;
    s.faults.append({fault, command, 1, -1});
    s.slowMs = slowMs;
    s.stallMs = 20000;
    return s;
}

QString readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
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

    void replyOrNoReply_data();
    void replyOrNoReply();
    void triesAndPauses_data();
    void triesAndPauses();
    void waitsKeepWindowAnsweringWithoutBurningCpu_data();
    void waitsKeepWindowAnsweringWithoutBurningCpu();
    void cancelEndsWait_data();
    void cancelEndsWait();
    void portCheckAndLog_data();
    void portCheckAndLog();
    void secretsMaskedInLogAndTrace();

private:
    std::unique_ptr<SimulatedCamera> m_camera;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;
};

void TestAgentTransport::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("lumetra.agent.debug=true"));
    s_previousHandler = qInstallMessageHandler(traceHandler);
    m_camera = std::make_unique<SimulatedCamera>();
    QVERIFY2(m_camera->listen(cameraAddress), qPrintable(m_camera->errorString()));
    m_previousDir = QDir::currentPath();
}

void TestAgentTransport::init()
{
    AgentTiming::setScale(0.01);
    AgentTiming::setTransferTimeoutMs(30000);
    m_camera->setScenario(camera());
    m_camera->clearRequests();
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

void TestAgentTransport::replyOrNoReply_data()
{
    QTest::addColumn<CameraScenario>("cameraScenario");
    QTest::addColumn<bool>("reply"); // the version came through, else StatusNoReply

    CameraScenario tls10 = camera();
    tls10.tls10Only = true;
    const QString version = QStringLiteral("setupGetVersion");
    QTest::newRow("self-signed certificate") << camera() << true;
    QTest::newRow("TLS 1.0 only") << tls10 << true;
    QTest::newRow("redirect not followed: its body is the reply")
        << camera(CameraFault::Redirect, version) << true;
    QTest::newRow("HTTP error status keeps the camera's body")
        << camera(CameraFault::HttpStatus500, version) << true;
    QTest::newRow("slow reply waited for") << camera(CameraFault::SlowReply, version, 300) << true;
    QTest::newRow("text ends at the first zero byte")
        << camera(CameraFault::GarbageWithZero, version) << true;
    QTest::newRow("empty body") << camera(CameraFault::EmptyBody, version) << false;
    QTest::newRow("connection closed without reply")
        << camera(CameraFault::CloseWithoutReply, version) << false;
    QTest::newRow("reset in the middle of the body")
        << camera(CameraFault::ResetMidBody, version) << false;
    QTest::newRow("stalled body") << camera(CameraFault::StallMidBody, version) << false;
    QTest::newRow("body over 1 MiB") << camera(CameraFault::HugeBody, version) << false;
}

void TestAgentTransport::replyOrNoReply()
{
    QFETCH(CameraScenario, cameraScenario);
    QFETCH(bool, reply);
    m_camera->setScenario(cameraScenario);
    AgentTiming::setTransferTimeoutMs(2000);

    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    QString version = QStringLiteral("before");
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(agent.setupGetVersion(version, QStringLiteral("s1")),
             reply ? StatusOk : StatusNoReply);
    QCOMPARE(version, reply ? QStringLiteral("1.05.02.0031") : QStringLiteral("before"));
    if (reply) // the port check and the request, nothing more
        QCOMPARE(m_camera->requests().size(), 2);
    // A stalled camera is given up after the transfer timeout, long before it would go on.
    QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
}

void TestAgentTransport::triesAndPauses_data()
{
    QTest::addColumn<int>("tries");
    QTest::addColumn<int>("pauseMs");
    QTest::addColumn<int>("stepMs"); // how long one second of pause lasts here
    QTest::addColumn<int>("requests");
    QTest::addColumn<int>("minimumMs"); // the pauses' own length: a lower bound, never late
    QTest::addColumn<int>("maximumMs"); // -1: no upper bound

    QTest::newRow("nine tries, 5 s pauses") << 9 << 5000 << 10 << 9 << 9 * 5 * 10 << -1;
    QTest::newRow("single try still pauses") << 1 << 5000 << 100 << 1 << 500 << -1;
    QTest::newRow("whole seconds only") << 2 << 2999 << 100 << 2 << 2 * 2 * 100 << -1;
    QTest::newRow("below one second: no pause") << 2 << 999 << 5000 << 2 << 0 << 4000;
    QTest::newRow("no tries count as one") << 0 << 0 << 10 << 1 << 0 << -1;
}

void TestAgentTransport::triesAndPauses()
{
    QFETCH(int, tries);
    QFETCH(int, pauseMs);
    QFETCH(int, stepMs);
    QFETCH(int, requests);
    QFETCH(int, minimumMs);
    QFETCH(int, maximumMs);

    m_camera->setScenario(camera(CameraFault::EmptyBody, "setupGetStatus"));
    AgentTiming::setPauseStepMs(stepMs);
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    QVERIFY(agent.VerifyPortNumber());

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(agent.executeGetCommand(statusCommand, tries, pauseMs), StatusNoReply);
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= minimumMs, qPrintable(QString::number(elapsed)));
    QVERIFY2(maximumMs < 0 || elapsed < maximumMs, qPrintable(QString::number(elapsed)));
    QCOMPARE(m_camera->requests("setupGetStatus").size(), requests);
}

void TestAgentTransport::waitsKeepWindowAnsweringWithoutBurningCpu_data()
{
    QTest::addColumn<CameraScenario>("cameraScenario");
    QTest::addColumn<int>("pauseMs");

    QTest::newRow("pause after an empty reply")
        << camera(CameraFault::EmptyBody, "setupGetStatus") << 4000;
    QTest::newRow("slow reply") << camera(CameraFault::SlowReply, "setupGetStatus", 2000) << 0;
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

void TestAgentTransport::cancelEndsWait_data()
{
    QTest::addColumn<CameraScenario>("cameraScenario");
    QTest::addColumn<QString>("cancelAt");
    QTest::addColumn<bool>("afterReply"); // cancel 100 ms after its reply went out
    QTest::addColumn<int>("statusRequests");

    QTest::newRow("during the port check")
        << camera(CameraFault::SlowReply, "setupVerify", 20000) << "setupVerify" << false << 0;
    QTest::newRow("during a request") << camera(CameraFault::SlowReply, "setupGetStatus", 20000)
                                      << "setupGetStatus" << false << 1;
    QTest::newRow("during a pause")
        << camera(CameraFault::EmptyBody, "setupGetStatus") << "setupGetStatus" << true << 1;
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

void TestAgentTransport::portCheckAndLog_data()
{
    QTest::addColumn<bool>("logFile"); // the file exists before the agent is made
    QTest::addColumn<bool>("verifyAnswered");
    QTest::addColumn<QString>("log"); // the lines the session adds

    const QString status =
        QStringLiteral("sendHttpsCommand  sent # /WifiConfig/setupGetStatus?SessionId=s1\n"
                       "setupGetStatus  return  # <Response><Status>Ready</Status></Response>\n");
    const QString failed = QStringLiteral("Trying Port 80 ...\nFailed when trying port 80 \n");
    const QString connection = QStringLiteral("Connection to 127.0.0.42\n");
    QTest::newRow("port checked once, log appended")
        << true << true << connection + "Trying Port 80 ...\n" + status + status;
    QTest::newRow("failed port check repeated, log appended")
        << true << false << connection + failed + failed;
    QTest::newRow("no log file: none created")
        << false << true << connection + "Trying Port 80 ...\n" + status + status;
}

void TestAgentTransport::portCheckAndLog()
{
    QFETCH(bool, logFile);
    QFETCH(bool, verifyAnswered);
    QFETCH(QString, log);

    if (logFile) {
        QFile file(logName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("earlier run\n");
    }
    if (!verifyAnswered)
        m_camera->setScenario(camera(CameraFault::EmptyBody, "setupVerify"));
    {
        MyHttpsAgent agent(cameraAddress.toString(), nullptr);
        QString unused;
        for (int i = 0; i < 2; ++i)
            QCOMPARE(agent.setupGetStatus(unused, "s1"), verifyAnswered ? StatusOk : StatusNoReply);
    }
    QCOMPARE(m_camera->requests("setupVerify").size(), verifyAnswered ? 1 : 2);
    QCOMPARE(m_camera->requests("setupGetStatus").size(), verifyAnswered ? 2 : 0);
    QCOMPARE(QFile::exists(logName), logFile);
    if (logFile)
        QCOMPARE(readAll(logName), "earlier run\n" + log);
    // The trace carries the same messages behind the time of day.
    QStringList stamped;
    static const QRegularExpression stamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d - (.*)$"),
                                          QRegularExpression::DotMatchesEverythingOption);
    for (const QString &line : std::as_const(s_trace)) {
        if (const QRegularExpressionMatch m = stamp.match(line); m.hasMatch())
            stamped.append(m.captured(1));
    }
    QCOMPARE(stamped.join('\n') + '\n', log);
}

void TestAgentTransport::secretsMaskedInLogAndTrace()
{
    // An HTTP error status makes the network layer describe the failure with the whole URL.
    CameraScenario secret = camera(CameraFault::HttpStatus500);
    secret.hasPassword = true;
    secret.password = QStringLiteral("sécret pass");
    m_camera->setScenario(secret);
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
    const QString trace = s_trace.join('\n');
    QVERIFY2(trace.contains("Internal Server Error"), qPrintable(trace));
    for (const QString &text : {readAll(logName), trace}) {
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
