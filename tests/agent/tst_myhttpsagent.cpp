#include "formanswerer.h"

#include "agent/agenttiming.h"
#include "tools/camerasim/simulatedcamera.h"

#include <QElapsedTimer>
#include <QPixmap>
#include <QProgressBar>
#include <QSslKey>
#include <QSslServer>
#include <QTemporaryDir>
#include <QtTest>

#include <array>
#include <ctime>

Q_DECLARE_METATYPE(CameraScenario)

namespace {

const QHostAddress cameraAddress(QStringLiteral("127.0.0.42"));
const QHostAddress fixedAddress(QStringLiteral("127.0.0.52"));
const QString preset = QStringLiteral("preset");
const QString logName = QStringLiteral("log_nomo_wifi_setup.log");
const QString statusCommand = QStringLiteral("/WifiConfig/setupGetStatus?SessionId=s1");

// Everything the agent writes to the debug trace while a test runs.
QStringList s_trace;
QtMessageHandler s_previousHandler = nullptr;

void traceHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (qstrcmp(context.category, "lumetra.agent") == 0)
        s_trace.append(message);
    if (type != QtDebugMsg)
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

// A bare HTTPS responder for reply texts the simulated camera does not produce: every request,
// the port check's included, gets the same body (none: an empty 200 reply).
class FixedReplyCamera : public QSslServer
{
public:
    QByteArray body;

    FixedReplyCamera()
    {
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setLocalCertificate(SimulatedCamera::certificate()); // also loads the key's resource
        QFile key(QStringLiteral(":/camerasim/camera-key.pem"));
        if (key.open(QIODevice::ReadOnly))
            config.setPrivateKey(QSslKey(key.readAll(), QSsl::Rsa));
        setSslConfiguration(config);
        connect(this, &QSslServer::pendingConnectionAvailable, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                auto request = std::make_shared<QByteArray>();
                connect(socket, &QIODevice::readyRead, socket, [this, socket, request] {
                    *request += socket->readAll();
                    if (!request->endsWith("\r\n\r\n"))
                        return;
                    socket->write(
                        "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) +
                        "\r\nConnection: close\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
                connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
};

// Runs one command ("raw": executeGetCommand of the argument); value receives what the command
// wrote (session id, version, outcome number, entry count), preset when nothing was written.
AgentStatus run(MyHttpsAgent &agent, const QString &command, const QString &argument,
                QString &value)
{
    const QString session = QStringLiteral("s1");
    value = preset;
    if (command == "raw")
        return agent.executeGetCommand(argument, 1, 0);
    if (command == "setupVerify")
        return agent.setupVerify(value);
    if (command == "setupGetLogin")
        return agent.setupGetLogin(argument, value);
    if (command == "setupSetPwd")
        return agent.setupSetPwd(argument, session);
    if (command == "setupGetVersion")
        return agent.setupGetVersion(value, argument);
    if (command == "setupGetStatus")
        return agent.setupGetStatus(value, session);
    if (command == "setupGetWIFIScan") {
        QList<WIFINetworkEntry> networks;
        const AgentStatus status = agent.setupGetWIFIScan(networks, session);
        value = QString::number(networks.size());
        return status;
    }
    if (command == "setupSetSSID")
        return agent.setupSetSSID("My Net", "k&y", argument, session);
    if (command == "setupGetResults") {
        enmComResult outcome = ComResultVersionNotCurrent;
        const AgentStatus status = agent.setupGetResults(session, outcome);
        if (outcome != ComResultVersionNotCurrent)
            value = QString::number(outcome);
        return status;
    }
    QPixmap image;
    return agent.setupGetBackGroundImage(session, image);
}

const QString enterPrompt = QStringLiteral("Enter the Lumetra - Wi-Fi setup password");
const QString retryPrompt = QStringLiteral("Incorrect password.  Please try again.");
// What the simulated camera's scan reports: a block without SSID, and "Café" in UTF-8.
const QList<WIFINetworkEntry> scanOnce = {
    {"HomeNet", "WPA2-AES"}, {QString(), "WPA-TKIP"}, {QString::fromUtf8("Café"), "WPA2-AES"}};

QStringList words(const QString &text)
{
    return text.split(' ', Qt::SkipEmptyParts);
}

// The commands the camera received, in the shorthand "V V L ...".
QString commandsOf(const QList<CameraRequest> &requests)
{
    static const QHash<QString, QString> shorthand = {
        {"setupVerify", "V"},       {"setupGetLogin", "L"},    {"setupSetPwd", "P"},
        {"setupGetVersion", "Ver"}, {"setupGetWIFIScan", "S"}, {"setupSetSSID", "Set"},
        {"setupGetResults", "R"}};
    QStringList commands;
    for (const CameraRequest &request : requests)
        commands.append(shorthand.value(request.command, request.command));
    return commands.join(' ');
}

CameraScenario scenario(const char *name, bool password = false)
{
    CameraScenario s = CameraScenario::named(QLatin1String(name));
    Q_ASSERT(!s.name.isEmpty());
    if (password) {
        s.hasPassword = true;
        s.password = QStringLiteral("Nomo-1234");
    }
    return s;
}

void checkOneResult(const FormAnswerer &forms, enmComResult expected)
{
    QCOMPARE(forms.results, QList<enmComResult>{expected});
    QVERIFY(forms.resultImagesNull);
    QCOMPARE(forms.forms.last(), QStringLiteral("result"));
    QVERIFY(forms.presetsClean);
}

} // namespace

class TestMyHttpsAgent : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void replyOrNoReply_data();
    void replyOrNoReply();
    void triesAndPauses_data();
    void triesAndPauses();
    void waitsKeepWindowAnsweringWithoutBurningCpu();
    void portCheckAndLog_data();
    void portCheckAndLog();
    void secretsMaskedInLogAndTrace();
    void requestTarget_data();
    void requestTarget();
    void replyStatusAndProgress_data();
    void replyStatusAndProgress();
    void resultNotReadyPolled_data();
    void resultNotReadyPolled();
    void largeBackgroundImage();
    void sessionPaths_data();
    void sessionPaths();
    void cancelEndsSession_data();
    void cancelEndsSession();
    void keyTypeAndNetworkReachCamera_data();
    void keyTypeAndNetworkReachCamera();
    void rescanDuringCredentialsForm();

private:
    SimulatedCamera m_camera;
    FixedReplyCamera m_fixed;
    QTemporaryDir m_dir; // the current directory, where the agent looks for its log file
};

void TestMyHttpsAgent::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("lumetra.agent.debug=true"));
    s_previousHandler = qInstallMessageHandler(traceHandler);
    QVERIFY2(m_camera.listen(cameraAddress), qPrintable(m_camera.errorString()));
    QVERIFY(m_fixed.listen(fixedAddress, 80));
    QVERIFY(QDir::setCurrent(m_dir.path()));
}

void TestMyHttpsAgent::init()
{
    // Sessions in well under a second; the real durations are checked by the slow test.
    AgentTiming::setScale(0.01);
    AgentTiming::setTransferTimeoutMs(30000); // never the reason a request ends here
    m_camera.setScenario(camera());
    m_camera.clearRequests();
    s_trace.clear();
    QFile::remove(logName);
}

void TestMyHttpsAgent::replyOrNoReply_data()
{
    QTest::addColumn<CameraScenario>("cameraScenario");
    QTest::addColumn<bool>("reply"); // the version came through, else StatusNoReply

    CameraScenario tls10 = camera();
    tls10.tls10Only = true;
    const QString version = QStringLiteral("setupGetVersion");
    QTest::newRow("TLS 1.0 only, self-signed") << tls10 << true;
    QTest::newRow("redirect not followed: its body is the reply")
        << camera(CameraFault::Redirect, version) << true;
    QTest::newRow("HTTP error status keeps the camera's body")
        << camera(CameraFault::HttpStatus500, version) << true;
    QTest::newRow("slow reply waited for") << camera(CameraFault::SlowReply, version, 300) << true;
    QTest::newRow("text ends at the first zero byte")
        << camera(CameraFault::GarbageWithZero, version) << true;
    QTest::newRow("connection closed without reply")
        << camera(CameraFault::CloseWithoutReply, version) << false;
    QTest::newRow("reset in the middle of the body")
        << camera(CameraFault::ResetMidBody, version) << false;
    QTest::newRow("stalled body") << camera(CameraFault::StallMidBody, version) << false;
    QTest::newRow("body over 1 MiB") << camera(CameraFault::HugeBody, version) << false;
}

void TestMyHttpsAgent::replyOrNoReply()
{
    QFETCH(CameraScenario, cameraScenario);
    QFETCH(bool, reply);
    m_camera.setScenario(cameraScenario);
    AgentTiming::setTransferTimeoutMs(2000);

    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    QString version = QStringLiteral("before");
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(agent.setupGetVersion(version, QStringLiteral("s1")),
             reply ? StatusOk : StatusNoReply);
    QCOMPARE(version, reply ? QStringLiteral("1.05.02.0031") : QStringLiteral("before"));
    if (reply) // the port check and the request, nothing more
        QCOMPARE(m_camera.requests().size(), 2);
    // A stalled camera is given up after the transfer timeout, long before it would go on.
    QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
}

void TestMyHttpsAgent::triesAndPauses_data()
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

void TestMyHttpsAgent::triesAndPauses()
{
    QFETCH(int, tries);
    QFETCH(int, pauseMs);
    QFETCH(int, stepMs);
    QFETCH(int, requests);
    QFETCH(int, minimumMs);
    QFETCH(int, maximumMs);

    m_camera.setScenario(camera(CameraFault::EmptyBody, "setupGetStatus"));
    AgentTiming::setPauseStepMs(stepMs);
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    QVERIFY(agent.VerifyPortNumber());

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(agent.executeGetCommand(statusCommand, tries, pauseMs), StatusNoReply);
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= minimumMs, qPrintable(QString::number(elapsed)));
    QVERIFY2(maximumMs < 0 || elapsed < maximumMs, qPrintable(QString::number(elapsed)));
    QCOMPARE(m_camera.requests("setupGetStatus").size(), requests);
}

void TestMyHttpsAgent::waitsKeepWindowAnsweringWithoutBurningCpu()
{
    // An empty reply and its pause of one second, then a reply that takes one second.
    CameraScenario slowAfterEmpty = camera();
    slowAfterEmpty.slowMs = 1000;
    slowAfterEmpty.faults = {{CameraFault::EmptyBody, "setupGetStatus", 1, 1},
                             {CameraFault::SlowReply, "setupGetStatus", 2, 1}};
    m_camera.setScenario(slowAfterEmpty);
    AgentTiming::setPauseStepMs(1000);
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    QVERIFY(agent.VerifyPortNumber());

    // Stands for the window's repaints and clicks: they must keep coming during both waits.
    int ticks = 0;
    int ticksInPause = -1;
    QTimer window;
    connect(&window, &QTimer::timeout, [&ticks] { ++ticks; });
    connect(&m_camera, &SimulatedCamera::requestReceived, &window,
            [&](const CameraRequest &request) {
                if (request.tryNumber == 2 && request.command == "setupGetStatus")
                    ticksInPause = ticks;
            });
    window.start(20);

    QElapsedTimer clock;
    clock.start();
    const std::clock_t cpuBefore = std::clock();
    QCOMPARE(agent.executeGetCommand(statusCommand, 2, 1000), StatusOk);
    const double cpuMs = double(std::clock() - cpuBefore) * 1000.0 / CLOCKS_PER_SEC;
    const qint64 elapsed = clock.elapsed();

    QVERIFY2(elapsed >= 1900, qPrintable(QString::number(elapsed)));
    QVERIFY2(ticksInPause >= 1000 / 20 / 3, qPrintable(QString::number(ticksInPause)));
    QVERIFY2(ticks - ticksInPause >= 1000 / 20 / 3, qPrintable(QString::number(ticks)));
    // Blocking in the event loop costs about 1 % of a core; spinning it costs all it can get.
    QVERIFY2(cpuMs < elapsed * 0.15, qPrintable(QString::number(cpuMs)));
}

void TestMyHttpsAgent::portCheckAndLog_data()
{
    QTest::addColumn<bool>("logFile"); // the file exists before the agent is made
    QTest::addColumn<bool>("verifyAnswered");
    QTest::addColumn<QString>("log"); // the lines the agent adds to it

    const QString status =
        QStringLiteral("sendHttpsCommand  sent # /WifiConfig/setupGetStatus?SessionId=s1\n"
                       "setupGetStatus  return  # <Response><Status>Ready</Status></Response>\n");
    const QString failed = QStringLiteral("Trying Port 80 ...\nFailed when trying port 80 \n");
    const QString connection = QStringLiteral("Connection to 127.0.0.42\n");
    QTest::newRow("port checked once, log appended")
        << true << true << connection + "Trying Port 80 ...\n" + status + status;
    QTest::newRow("failed port check repeated, log appended")
        << true << false << connection + failed + failed;
    QTest::newRow("no log file: none created") << false << true << QString();
}

void TestMyHttpsAgent::portCheckAndLog()
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
        m_camera.setScenario(camera(CameraFault::EmptyBody, "setupVerify"));
    {
        MyHttpsAgent agent(cameraAddress.toString(), nullptr);
        QString unused;
        for (int i = 0; i < 2; ++i)
            QCOMPARE(agent.setupGetStatus(unused, "s1"), verifyAnswered ? StatusOk : StatusNoReply);
    }
    QCOMPARE(m_camera.requests("setupVerify").size(), verifyAnswered ? 1 : 2);
    QCOMPARE(m_camera.requests("setupGetStatus").size(), verifyAnswered ? 2 : 0);
    QCOMPARE(QFile::exists(logName), logFile);
    if (logFile)
        QCOMPARE(readAll(logName), "earlier run\n" + log);
}

void TestMyHttpsAgent::secretsMaskedInLogAndTrace()
{
    // An HTTP error status makes the network layer describe the failure with the whole URL.
    CameraScenario secret = camera(CameraFault::HttpStatus500);
    secret.hasPassword = true;
    secret.password = QStringLiteral("sécret pass");
    m_camera.setScenario(secret);
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
    QCOMPARE(m_camera.requests("setupGetLogin").value(0).query,
             QStringLiteral("Pass=s%C3%A9cret%20pass"));
    QCOMPARE(m_camera.configuredKey(), QStringLiteral("k3y pass"));

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

void TestMyHttpsAgent::requestTarget_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("target");
    auto row = [](const char *name, const char *command, const char *argument, const QString &to) {
        QTest::newRow(name) << QString(command)
                            << (argument ? QString::fromUtf8(argument) : QString())
                            << "/WifiConfig/" + to;
    };

    row("verify", "setupVerify", nullptr, "setupVerify");
    row("login: blank, '&', '?', non-ASCII encoded", "setupGetLogin", "a b&c?é",
        "setupGetLogin?Pass=a%20b%26c%3F%C3%A9");
    row("login: unreserved characters as they are", "setupGetLogin", "Az09-._~",
        "setupGetLogin?Pass=Az09-._~");
    row("login: '%', '+', '/', '=' encoded", "setupGetLogin",
        "%41+/=", "setupGetLogin?Pass=%2541%2B%2F%3D");
    row("set password: '?' separators", "setupSetPwd", "n p",
        "setupSetPwd?SessionId=s1?Pass=n%20p");
    row("version: session id inserted as it is", "setupGetVersion", "a%20b",
        "setupGetVersion?SessionId=a%20b");
    row("status", "setupGetStatus", nullptr, "setupGetStatus?SessionId=s1");
    row("scan", "setupGetWIFIScan", nullptr, "setupGetWIFIScan?SessionId=s1");
    row("set SSID: blank of the key type escaped", "setupSetSSID", "No Authentication",
        "setupSetSSID?SessionId=s1?ssid=My%20Net?netpass=k%26y?securitytype=No%20Authentication");
    row("results", "setupGetResults", nullptr, "setupGetResults?SessionId=s1");
    row("background image", "setupGetBackGroundImage", nullptr,
        "setupGetBackGroundImage?SessionId=s1");

    // The URL given reaches the camera as it is; only what may not stand in a URL is escaped.
    // Qt writes valid escapes in their canonical, equivalent form, never escaping them again.
    const QString status = QStringLiteral("setupGetStatus?SessionId=s1?t=");
    const QList<std::array<const char *, 3>> urls = {
        {"lone '%' escaped alone", "a%20b?k=WPA2-AES 100%", "a%20b?k=WPA2-AES%20100%25"},
        {"'%' with one hex digit", "%4", "%254"},
        {"'%' with non-hex digits", "%zz", "%25zz"},
        {"valid escape not escaped again", "%41%2f", "A%2F"},
        {"non-ASCII as UTF-8", "Clé", "Cl%C3%A9"},
        {"non-ASCII beside a lone '%'", "é%", "%C3%A9%25"},
        {"ampersand and equals kept", "a=1&b=2", "a=1&b=2"}};
    for (const auto &[name, given, sent] : urls) {
        QTest::newRow(name) << "raw"
                            << "/WifiConfig/" + status + QString::fromUtf8(given)
                            << "/WifiConfig/" + status + sent;
    }
}

void TestMyHttpsAgent::requestTarget()
{
    QFETCH(QString, command);
    QFETCH(QString, argument);
    QFETCH(QString, target);

    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    QString value;
    run(agent, command, argument, value);
    // The port check's own setupVerify comes first.
    QCOMPARE(m_camera.requests().size(), 2);
    QCOMPARE(m_camera.requests().at(1).target, target);
}

void TestMyHttpsAgent::replyStatusAndProgress_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("reply"); // empty: no reply, also to the port check
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("progress");
    auto rows = [](const char *command) {
        return [command](const char *name, const QByteArray &reply, int status,
                         const QString &value, int progress) {
            QTest::addRow("%s: %s", command, name)
                << QString(command) << reply << status << value << progress;
        };
    };
    const QString ok = QString::number(ComResultSuccess);
    const QString reported = QString::number(ComResultErrorReported);

    auto verify = rows("setupVerify");
    verify("no session id element", "<Response/>", StatusOk, "", 1);
    verify("session id; numbers without 'Error' are no error", "<SessionId>500</SessionId>",
           StatusOk, "500", 1);
    verify("500 tested before 509", "<Error>509</Error><Error>500</Error>", StatusError500, preset,
           1);
    verify("'error' in any case, 509 anywhere", "ERROR <Code>509</Code>", StatusError509, preset,
           1);
    verify("other error", "<Error>511</Error>", StatusOtherError, preset, 1);
    verify("text ends at the zero byte",
           QByteArray("<SessionId>a</SessionId>\0<Error>500</Error>", 42), StatusOk, "a", 1);
    verify("no reply", "", StatusNoReply, preset, 0);
    auto login = rows("setupGetLogin");
    login("session id", "<SessionId>cd</SessionId>", StatusOk, "cd", 2);
    login("500 tested before 501", "<Error>501</Error> 500", StatusError500, preset, 2);
    login("509 tested before 501", "<Error>501</Error> 509", StatusError509, preset, 2);
    login("other error", "<Error>777</Error>", StatusOtherError, preset, 2);
    login("no reply", "", StatusNoReply, preset, 2);
    auto setPassword = rows("setupSetPwd");
    setPassword("an error is still ok", "<Error>500</Error>", StatusOk, preset, 3);
    setPassword("no reply", "", StatusNoReply, preset, 3);
    auto version = rows("setupGetVersion");
    version("value", "<Version>1.2.3.4</Version>", StatusOk, "1.2.3.4", 4);
    version("UTF-8 reply", "<Version>Caf\xc3\xa9</Version>", StatusOk, QString::fromUtf8("Café"),
            4);
    version("reply not UTF-8 read byte by byte", "<Version>Caf\xe9</Version>", StatusOk,
            QString::fromUtf8("Café"), 4);
    version("error keeps the value, log in again", "<Error>502</Error>", StatusLoginAgain, preset,
            4);
    version("no reply", "", StatusNoReply, preset, 4);
    auto status = rows("setupGetStatus");
    status("anything is ok", "<Error>1</Error>", StatusOk, preset, 5);
    status("no reply", "", StatusNoReply, preset, 0);
    auto scan = rows("setupGetWIFIScan");
    scan("error reply gives no entries", "<Error>502</Error>", StatusOk, "0", 6);
    scan("no reply", "", StatusNoReply, "0", 0);
    auto setSsid = rows("setupSetSSID");
    setSsid("an error is still ok", "<Error>500</Error>", StatusOk, preset, 7);
    setSsid("no reply", "", StatusNoReply, preset, 0);
    auto results = rows("setupGetResults");
    results("success", "<Result>ok</Result>", StatusOk, ok, 0);
    results("502 tested before 505", "<Error>505</Error><Error>502</Error>", StatusLoginAgain,
            reported, 0);
    results("505 tested before 503", "<Error>503</Error><Error>505</Error>", StatusError505,
            reported, 0);
    results("lower-case 505 is an unknown error", "<error>505</error>", StatusOk, reported, 8);
    results("number outside the element", "<Error>1</Error>505", StatusOk, reported, 8);
    rows("setupGetBackGroundImage")("not a bitmap", "<Error>500</Error>", StatusBadImage, preset,
                                    0);
}

void TestMyHttpsAgent::replyStatusAndProgress()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, reply);
    QFETCH(int, status);
    QFETCH(QString, value);
    QFETCH(int, progress);

    m_fixed.body = reply;
    QProgressBar bar;
    bar.setRange(0, 8);
    bar.setValue(0);
    MyHttpsAgent agent(fixedAddress.toString(), &bar);
    QString written;
    QCOMPARE(int(run(agent, command, QStringLiteral("pw"), written)), status);
    QCOMPARE(written, value);
    QCOMPARE(bar.value(), progress);
}

void TestMyHttpsAgent::resultNotReadyPolled_data()
{
    QTest::addColumn<int>("notReady");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("asks");

    QTest::newRow("ready at the eleventh ask") << 10 << int(StatusOk) << 11;
    QTest::newRow("still not ready at the eleventh ask") << 11 << int(StatusNoReply) << 11;
}

void TestMyHttpsAgent::resultNotReadyPolled()
{
    QFETCH(int, notReady);
    QFETCH(int, status);
    QFETCH(int, asks);

    CameraScenario scenario = camera();
    scenario.results = QList<int>(notReady, 508) << 0;
    m_camera.setScenario(scenario);
    AgentTiming::setResultPollMs(20);
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    enmComResult outcome = ComResultVersionNotCurrent;
    QCOMPARE(int(agent.setupGetResults(QStringLiteral("s1"), outcome)), status);
    QCOMPARE(outcome, status == StatusOk ? ComResultSuccess : ComResultErrorReported);
    QCOMPARE(m_camera.requests("setupGetResults").size(), asks);
}

void TestMyHttpsAgent::largeBackgroundImage()
{
    // The background image may be large (here 16 MiB); other replies may not exceed 1 MiB.
    m_camera.setScenario(camera(CameraFault::HugeBody, "setupGetBackGroundImage"));
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    QPixmap image;
    QCOMPARE(agent.setupGetBackGroundImage(QStringLiteral("s1"), image), StatusOk);
    QCOMPARE(image.size(), QSize(2048, 2048));
    QCOMPARE(m_camera.requests("setupGetBackGroundImage").size(), 1);
}

void TestMyHttpsAgent::sessionPaths_data()
{
    QTest::addColumn<CameraScenario>("cameraScenario");
    QTest::addColumn<QString>("forms"); // the forms in order, "form=answer" where one is given
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("requests");
    auto row = [](const char *name, const CameraScenario &camera, const char *forms,
                  enmComResult outcome, const char *requests) {
        QTest::newRow(name) << camera << QString(forms) << int(outcome) << QString(requests);
    };
    const char *full = "V V Ver S Set R";

    row("no password: change form at once, skipped", scenario("no-password"),
        "change=<skip> credentials result", ComResultSuccess, full);
    row("password refused twice, asked again each time", scenario("refuse-password"),
        "login=Nomo-1234 login=Nomo-1234 login=Nomo-1234 credentials result", ComResultSuccess,
        "V V L L L Ver S Set R");
    row("password form dismissed", scenario("password"), "login=<cancel> result",
        ComResultCancelled, "V V");
    row("verify 509", scenario("verify-509"), "result", ComResultWifiUnavailable, "V V");
    row("verify other error: no login, no change form", scenario("verify-other"),
        "credentials result", ComResultSuccess, full);
    row("login 500", scenario("login-500"), "login=Nomo-1234 result", ComResultWifiUnavailable,
        "V V L");
    row("login without reply", scenario("login-no-reply"), "login=Nomo-1234 result",
        ComResultWifiUnavailable, "V V L");
    row("verify without reply", scenario("verify-no-reply"), "result", ComResultNoReply, "V");
    row("version without reply", scenario("version-no-reply"), "change=<skip> result",
        ComResultFailed, "V V Ver");
    row("version error twice: log in again each time", scenario("version-error"),
        "change=<skip> change=<skip> change=<skip> credentials result", ComResultSuccess,
        "V V Ver L Ver L Ver S Set R");
    row("scan without reply: empty list offered", scenario("scan-no-reply"),
        "change=<skip> credentials result", ComResultSuccess, full);
    row("credentials form dismissed", scenario("no-password"),
        "change=<skip> credentials=<cancel> result", ComResultCancelled, "V V Ver S");
    row("result 503", scenario("result-503"), "change=<skip> credentials result", ComResultError503,
        full);
    row("result 505", scenario("result-505"), "change=<skip> credentials result",
        ComResultNoInternet, full);
    row("result 505 in lower case", scenario("result-505-lowercase"),
        "change=<skip> credentials result", ComResultErrorReported, full);
    row("result never ready: eleven asks", scenario("result-508-always"),
        "change=<skip> credentials result", ComResultNoReply,
        "V V Ver S Set R R R R R R R R R R R");
    // After a 502 the configuration is repeated from the login, which sends the password from
    // before the change: accepted when unchanged (and the change form opens again), refused
    // otherwise. The network list keeps the first scan's entries.
    row("result 502 after a change: old password accepted, change form again",
        scenario("result-502-once", true),
        "login=Nomo-1234|change change=Nomo-1234 credentials change=<skip> credentials result",
        ComResultSuccess, "V V L P Ver S Set R L Ver S Set R");
    row("result 502 after a change: old password refused, asked again",
        scenario("result-502-once", true),
        "login=Nomo-1234|change change=Fresh-99 credentials login=Fresh-99 credentials result",
        ComResultSuccess, "V V L P Ver S Set R L L Ver S Set R");
}

void TestMyHttpsAgent::sessionPaths()
{
    QFETCH(CameraScenario, cameraScenario);
    QFETCH(QString, forms);
    QFETCH(int, outcome);
    QFETCH(QString, requests);

    m_camera.setScenario(cameraScenario);
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    FormAnswerer answerer(&agent);
    answerer.script = words(forms);
    QStringList entered; // the passwords typed into the login form
    QString newPassword; // the first answer of the change form
    for (const QString &form : words(forms)) {
        if (form.startsWith("login="))
            entered.append(form.section('=', 1).section('|', 0, 0));
        else if (form.startsWith("change=") && newPassword.isNull())
            newPassword = form.section('=', 1);
    }

    agent.Start();

    checkOneResult(answerer, enmComResult(outcome));
    QCOMPARE(commandsOf(m_camera.requests()), requests);
    QCOMPARE(answerer.forms, QString(forms).remove(QRegularExpression("=\\S*")).split(' '));
    for (int i = 0; i < answerer.prompts.size(); ++i)
        QCOMPARE(answerer.prompts.at(i), i == 0 ? enterPrompt : retryPrompt);
    // Every login sends a password the user entered (none without a password); change forms
    // show the first one.
    for (const CameraRequest &login : m_camera.requests("setupGetLogin"))
        QVERIFY2(entered.isEmpty() ? login.query == "Pass=" : entered.contains(login.query.mid(5)),
                 qPrintable(login.query));
    for (const QString &current : answerer.changeCurrent)
        QCOMPARE(current, entered.value(0));
    if (!newPassword.isNull() && newPassword != "<skip>")
        QCOMPARE(m_camera.password(), newPassword);
    // The last credentials form offers what every answered scan reported, in order.
    QList<WIFINetworkEntry> offered;
    for (const CameraRequest &scan : m_camera.requests("setupGetWIFIScan"))
        offered += scan.fault == CameraFault::None ? scanOnce : QList<WIFINetworkEntry>();
    QCOMPARE(answerer.offeredNetworks.value(answerer.offeredNetworks.size() - 1), offered);
    // Commands carry the id the camera handed out last, or the literal placeholder when the
    // camera never gave one.
    const QString id = cameraScenario.verifyError == 0 ? m_camera.sessionId() : "m_sessionID";
    QString lastIdQuery;
    for (const CameraRequest &request : m_camera.requests()) {
        if (request.query.startsWith(QLatin1String("SessionId=")))
            lastIdQuery = request.query.section('?', 0, 0);
    }
    if (!lastIdQuery.isEmpty())
        QCOMPARE(lastIdQuery, "SessionId=" + id);
}

void TestMyHttpsAgent::cancelEndsSession_data()
{
    QTest::addColumn<CameraScenario>("cameraScenario");
    QTest::addColumn<QString>("cancelAt"); // the request whose arrival or end triggers Cancel
    QTest::addColumn<int>("cancelTry");    // counted from 1 among that command's requests
    QTest::addColumn<bool>("afterReply");  // cancel 100 ms after its reply went out
    QTest::addColumn<QString>("requests");

    auto slow = [](const char *command) {
        CameraScenario s = scenario("no-password");
        s.slowMs = 20000;
        s.faults.append({CameraFault::SlowReply, command, 1, -1});
        return s;
    };
    QTest::newRow("during the port check")
        << slow("setupVerify") << "setupVerify" << 1 << false << "V";
    QTest::newRow("during a request")
        << slow("setupGetVersion") << "setupGetVersion" << 1 << false << "V V Ver";
    QTest::newRow("during the pause after an empty reply")
        << scenario("version-no-reply") << "setupGetVersion" << 1 << true << "V V Ver";
    QTest::newRow("during the wait for the result")
        << scenario("no-password") << "setupSetSSID" << 1 << true << "V V Ver S Set";
    QTest::newRow("during the wait after a not-ready result")
        << scenario("result-508-always") << "setupGetResults" << 1 << true << "V V Ver S Set R";
    QTest::newRow("in an endless version error loop")
        << scenario("version-error-always", true) << "setupGetVersion" << 3 << false
        << "V V L Ver L Ver L Ver";
}

void TestMyHttpsAgent::cancelEndsSession()
{
    QFETCH(CameraScenario, cameraScenario);
    QFETCH(QString, cancelAt);
    QFETCH(int, cancelTry);
    QFETCH(bool, afterReply);
    QFETCH(QString, requests);

    // Every wait long enough that only the cancel can end it.
    AgentTiming::setScale(1.0);
    AgentTiming::setPauseStepMs(4000);
    AgentTiming::setResultWaitMs(cancelAt == "setupGetResults" ? 1 : 20000); // 1: straight to polls
    AgentTiming::setResultPollMs(20000);

    m_camera.setScenario(cameraScenario);
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    FormAnswerer answerer(&agent);
    answerer.script = words(cameraScenario.hasPassword ? "login=Nomo-1234 credentials"
                                                       : "change=<skip> credentials");

    QTimer delayedCancel;
    delayedCancel.setSingleShot(true);
    connect(&delayedCancel, &QTimer::timeout, &agent, &MyHttpsAgent::Cancel);
    connect(&m_camera,
            afterReply ? &SimulatedCamera::requestFinished : &SimulatedCamera::requestReceived,
            &agent, [&](const CameraRequest &request) {
                if (request.command != cancelAt || request.tryNumber != cancelTry)
                    return;
                if (afterReply)
                    delayedCancel.start(100);
                else
                    agent.Cancel();
            });

    QElapsedTimer clock;
    clock.start();
    agent.Start();

    checkOneResult(answerer, ComResultCancelled);
    QCOMPARE(commandsOf(m_camera.requests()), requests);
    // Nothing ran out on its own: every wait would have lasted 20 s.
    QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
}

void TestMyHttpsAgent::keyTypeAndNetworkReachCamera_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("keyType");
    QTest::addColumn<QString>("sent");

    auto row = [](const char *name, const char *version, const char *keyType, const char *sent) {
        QTest::addRow("%s", name) << QString(version) << QString(keyType) << QString(sent);
    };
    // The key type is mapped by the version the session read, compared with "1.03.01.0082" as
    // plain text.
    const std::array<const char *, 3> mapping[] = {
        {"WPA-AES", "WPA", "WPA-CCMP"},
        {"WPA-TKIP", "WPA", "WPA-TKIP"},
        {"WPA2-AES", "WPA2", "WPA2-CCMP"},
        {"WPA2-TKIP", "WPA2", "WPA2-TKIP"},
        {"WEP", "WEP", "WEP"},
        {"No Authentication", "No%20Authentication", "No%20Authentication"}};
    for (const auto &[keyType, before, from] : mapping) {
        QTest::addRow("0081: %s", keyType) << "1.03.01.0081" << keyType << before;
        QTest::addRow("0082: %s", keyType) << "1.03.01.0082" << keyType << from;
    }
    row("no version sorts first", "", "WPA2-AES", "WPA2");
    row("proper prefix sorts first", "1.03.01.008", "WPA2-AES", "WPA2");
    row("compared as text, not as numbers", "1.10.00.0000", "WPA2-AES", "WPA2-CCMP");
    row("exact case: lower-case not mapped", "1.03.01.0082", "wpa2-aes", "wpa2-aes");
    row("exact case before the bound", "1.03.01.0081", "WPA2-aes", "WPA2-aes");
}

void TestMyHttpsAgent::keyTypeAndNetworkReachCamera()
{
    QFETCH(QString, version);
    QFETCH(QString, keyType);
    QFETCH(QString, sent);

    CameraScenario camera;
    camera.version = version;
    m_camera.setScenario(camera);
    AgentTiming::setResultWaitMs(1);
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    FormAnswerer answerer(&agent);
    answerer.script = words("change=<skip> credentials");
    answerer.network = 2; // "Café", as the camera reported it in UTF-8
    answerer.key = QStringLiteral("pässword");
    answerer.keyType = keyType;

    agent.Start();

    checkOneResult(answerer, ComResultSuccess);
    QCOMPARE(agent.GetEncoderVersion(), version);
    QCOMPARE(m_camera.requests("setupSetSSID").value(0).query,
             "SessionId=" + m_camera.sessionId() +
                 "?ssid=Caf%C3%A9?netpass=p%C3%A4ssword?securitytype=" + sent);
}

void TestMyHttpsAgent::rescanDuringCredentialsForm()
{
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    FormAnswerer answerer(&agent);
    answerer.script = words("change=<skip> credentials");
    QList<WIFINetworkEntry> rescanned;
    answerer.onCredentialsForm = [&] { rescanned = agent.WIFI_Rescan(); };

    agent.Start();

    checkOneResult(answerer, ComResultSuccess);
    QCOMPARE(rescanned, scanOnce);
    QCOMPARE(commandsOf(m_camera.requests()), QStringLiteral("V V Ver S S Set R"));
    QCOMPARE(m_camera.requests("setupGetWIFIScan").last().query,
             "SessionId=" + m_camera.sessionId());
    agent.Cancel();
    QVERIFY(agent.WIFI_Rescan().isEmpty());
}

QTEST_MAIN(TestMyHttpsAgent)
#include "tst_myhttpsagent.moc"
