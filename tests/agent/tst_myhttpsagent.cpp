// The agent against the simulated camera over real TLS (root: port 80 on 127.0.0.42), and
// against canned reply bodies where a reply text matters more than the wire.
#include "cannedagent.h"
#include "formanswerer.h"

#include "agent/agenttiming.h"
#include "tools/camerasim/simulatedcamera.h"

#include <QBuffer>
#include <QImage>
#include <QProgressBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(CameraScenario)

namespace {

const QHostAddress cameraAddress(QStringLiteral("127.0.0.42"));
const QString logName = QStringLiteral("log_nomo_wifi_setup.log");
const QString preset = QStringLiteral("preset");
const QString enterPrompt = QStringLiteral("Enter the Lumetra - Wi-Fi setup password");
const QString retryPrompt = QStringLiteral("Incorrect password.  Please try again.");
const QString full = QStringLiteral("V V Ver S Set R");
// What the simulated camera's scan reports: a block without SSID, and "Café" in UTF-8.
const QList<WIFINetworkEntry> scanOnce = {
    {"HomeNet", "WPA2-AES"}, {QString(), "WPA-TKIP"}, {QString::fromUtf8("Café"), "WPA2-AES"}};

QStringList s_trace; // every message of the process, any category
QtMessageHandler s_previousHandler = nullptr;

void traceHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    s_trace.append(message);
    if (type != QtDebugMsg)
        s_previousHandler(type, context, message);
}

QString readLog()
{
    QFile file(logName);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A camera that takes any session id (so single commands can send "s1"), or a named one; the
// fault hits every request of the command from the given try on.
CameraScenario camera(CameraFault fault = CameraFault::None, const QString &command = {},
                      const char *name = nullptr, int firstTry = 1)
{
    CameraScenario s = name ? CameraScenario::named(QLatin1String(name)) : CameraScenario();
    s.requireSession = name != nullptr;
    s.faults.append({fault, command, firstTry, -1});
    s.slowMs = 20000;
    s.stallMs = 20000;
    return s;
}

CameraScenario named(const char *name)
{
    return CameraScenario::named(QLatin1String(name));
}

// The requests in shorthand, "V V L:password P Ver S Set R".
QString shorthand(const QList<CameraRequest> &requests)
{
    static const QHash<QString, QString> names = {
        {"setupVerify", "V"},       {"setupGetLogin", "L:"},   {"setupSetPwd", "P"},
        {"setupGetVersion", "Ver"}, {"setupGetWIFIScan", "S"}, {"setupSetSSID", "Set"},
        {"setupGetResults", "R"}};
    QStringList out;
    for (const CameraRequest &request : requests) {
        out.append(names.value(request.command, request.command));
        if (request.command == "setupGetLogin")
            out.last() += QUrl::fromPercentEncoding(request.query.section("Pass=", 1).toUtf8());
    }
    return out.join(' ');
}

// Runs one command with the session id "s1"; value receives what it wrote (session id, version,
// outcome number, entry count, image width), else stays preset.
AgentStatus run(MyHttpsAgent &agent, const QString &command, const QString &argument,
                QString &value)
{
    const QString session = QStringLiteral("s1");
    value = preset;
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
    const AgentStatus status = agent.setupGetBackGroundImage(session, image);
    if (!image.isNull())
        value = QString::number(image.width());
    return status;
}

} // namespace

class TestMyHttpsAgent : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void secretsNeverInTraceOrLog_data();
    void secretsNeverInTraceOrLog();
    void replyReading_data();
    void replyReading();
    void sessionPaths_data();
    void sessionPaths();
    void keyTypeAndNetworkReachCamera_data();
    void keyTypeAndNetworkReachCamera();
    void resultsAskedFifteenSecondsAfterSetThenEveryFive();

private:
    SimulatedCamera m_camera;
    QTemporaryDir m_dir; // the current directory, where the agent looks for its log file
};

void TestMyHttpsAgent::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("lumetra.agent.debug=true"));
    s_previousHandler = qInstallMessageHandler(traceHandler);
    QVERIFY(QDir::setCurrent(m_dir.path()));
}

void TestMyHttpsAgent::init()
{
    // Sessions in well under a second; the real durations have a test of their own.
    AgentTiming::setScale(0.01);
    AgentTiming::setTransferTimeoutMs(30000); // never the reason a request ends here
    if (!m_camera.isListening())
        QVERIFY2(m_camera.listen(cameraAddress), qPrintable(m_camera.errorString()));
    m_camera.clearRequests();
    s_trace.clear();
    QFile log(logName); // the user asked for a log by creating the file
    QVERIFY(log.open(QIODevice::WriteOnly | QIODevice::Truncate));
}

void TestMyHttpsAgent::secretsNeverInTraceOrLog_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("traced"); // how the trace names the failure

    QTest::newRow("HTTP status 500") << "status"
                                     << "InternalServerError";
    QTest::newRow("connection refused") << "refused"
                                        << "ConnectionRefusedError";
    QTest::newRow("TLS failure") << "tls"
                                 << "SslHandshakeFailedError";
    QTest::newRow("reset") << "reset"
                           << "RemoteHostClosedError";
    QTest::newRow("timeout") << "timeout"
                             << "OperationCanceledError";
}

void TestMyHttpsAgent::secretsNeverInTraceOrLog()
{
    QFETCH(QString, failure);
    QFETCH(QString, traced);

    m_camera.setScenario(camera()); // the port check meets a healthy camera
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    QVERIFY(agent.VerifyPortNumber());
    // A plain HTTP server where the camera's TLS should be.
    QTcpServer notTls;
    connect(&notTls, &QTcpServer::newConnection, [&notTls] {
        QTcpSocket *socket = notTls.nextPendingConnection();
        socket->write("HTTP/1.0 400 No TLS here\r\n\r\n");
        socket->disconnectFromHost();
    });
    AgentTiming::setTransferTimeoutMs(300);
    const QHash<QString, CameraFault> faults = {{"status", CameraFault::HttpStatus500},
                                                {"reset", CameraFault::ResetMidBody},
                                                {"timeout", CameraFault::StallMidBody}};
    m_camera.setScenario(camera(faults.value(failure)));
    if (!faults.contains(failure))
        m_camera.close();
    if (failure == "tls")
        QVERIFY(notTls.listen(cameraAddress, 80));

    // Blanks, "%", "?" and non-ASCII letters; the groups of three letters must never show.
    QString session;
    agent.setupGetLogin(QString::fromUtf8("Zqx sëcrët%?&+/=-._~Xwv"), session);
    agent.setupSetPwd(QString::fromUtf8("Nqj 5ö%?Pqk"), "s1");
    agent.setupSetSSID("Net", QString::fromUtf8("Kjq kéy 100%?Vbz"), "WPA2-AES", "s1");

    if (failure == "status") // the camera got them, percent-encoded as UTF-8
        QCOMPARE(m_camera.requests("setupGetLogin").value(0).query,
                 "Pass=Zqx%20s%C3%ABcr%C3%ABt%25%3F%26%2B%2F%3D-._~Xwv");
    const QString trace = s_trace.join('\n') + '\n';
    QVERIFY2(trace.contains(traced), qPrintable(trace));
    for (const QString &text : {readLog(), trace}) {
        for (const char *group : {"Zqx", "Xwv", "Nqj", "Pqk", "Kjq", "Vbz"})
            QVERIFY2(!text.contains(QLatin1String(group), Qt::CaseInsensitive), qPrintable(text));
        QVERIFY(
            text.contains("sendHttpsCommand  sent # /WifiConfig/setupGetLogin?Pass=********\n"));
        QVERIFY(text.contains(
            "sendHttpsCommand  sent # /WifiConfig/setupSetPwd?SessionId=s1?Pass=********\n"));
        QVERIFY(text.contains("sendHttpsCommand  sent # /WifiConfig/setupSetSSID?SessionId=s1"
                              "?ssid=Net?netpass=********?securitytype=WPA2\n"));
    }
}

void TestMyHttpsAgent::replyReading_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("reply"); // empty: no reply, also to the port check
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("progress");
    auto row = [](const char *command, const char *name, const QByteArray &reply, int status,
                  const QString &value, int progress) {
        QTest::addRow("%s: %s", command, name)
            << QString(command) << reply << status << value << progress;
    };
    const QString reported = QString::number(ComResultErrorReported);

    row("setupVerify", "session id; numbers without 'Error' are no error",
        "<SessionId>500</SessionId>", StatusOk, "500", 1);
    row("setupVerify", "'error' in any case, 509 anywhere", "ERROR <Code>509</Code>",
        StatusError509, preset, 1);
    row("setupGetLogin", "500 tested before 501", "<Error>501</Error> 500", StatusError500, preset,
        2);
    row("setupGetLogin", "501", "<error>501</error>", StatusError501, preset, 2);
    row("setupGetLogin", "other error", "<Error>777</Error>", StatusOtherError, preset, 2);
    row("setupSetPwd", "an error is still ok", "<Error>500</Error>", StatusOk, preset, 3);
    row("setupGetVersion", "reply not UTF-8 read byte by byte", "<Version>Caf\xe9</Version>",
        StatusOk, QString::fromUtf8("Café"), 4);
    row("setupGetVersion", "body over 1 MiB dropped",
        QByteArray(1100000, ' ') + "<Version>1</Version>", StatusNoReply, preset, 4);
    row("setupGetStatus", "anything is ok", "<Error>1</Error>", StatusOk, preset, 5);
    row("setupGetStatus", "no reply", "", StatusNoReply, preset, 0);
    row("setupGetWIFIScan", "truncated reply: the unclosed block and its rest",
        "<Response><Network><SSID>a</SSID>", StatusOk, "2", 6);
    row("setupSetSSID", "an error is still ok", "<Error>500</Error>", StatusOk, preset, 7);
    row("setupGetResults", "502 tested before 505", "<Error>505</Error><Error>502</Error>",
        StatusLoginAgain, reported, 0);
    row("setupGetResults", "no reply after nine tries", "", StatusNoReply, preset, 0);
    row("setupGetResults", "number outside the element", "<Error>1</Error>505", StatusOk, reported,
        8);
    row("setupGetBackGroundImage", "not a bitmap", "<Error>500</Error>", StatusBadImage, preset, 0);
    row("setupGetBackGroundImage", "no reply after two tries", "", StatusNoReply, preset, 0);
    QByteArray bitmap;
    QBuffer buffer(&bitmap);
    QImage(640, 640, QImage::Format_RGB32).save(&buffer, "BMP");
    row("setupGetBackGroundImage", "bitmap over 1 MiB", bitmap, StatusOk, "640", 0);
}

void TestMyHttpsAgent::replyReading()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, reply);
    QFETCH(int, status);
    QFETCH(QString, value);
    QFETCH(int, progress);

    QProgressBar bar;
    bar.setRange(0, 8);
    bar.setValue(0);
    CannedAgent agent(QList<QByteArray>(9, reply), &bar);
    QString written;
    QCOMPARE(int(run(agent, command, QStringLiteral("pw"), written)), status);
    QCOMPARE(written, value);
    QCOMPARE(bar.value(), progress);
    // Without a reply every try checks the port again; with one, the port check, the command and
    // the reply are one line each, the reply's under the command's own prefix.
    const QStringList log = readLog().split('\n');
    if (status == StatusNoReply) {
        const int tries = command == "setupGetResults" ? 9 : command.endsWith("Image") ? 2 : 1;
        QCOMPARE(log.count("Failed when trying port 80 "), tries);
        QCOMPARE(log.size(), 2 + 2 * tries);
    } else {
        QCOMPARE(log.mid(0, 2),
                 QStringList({"Connection to nomo-camera.local", "Trying Port 80 ..."}));
        QVERIFY(log.at(2).startsWith("sendHttpsCommand  sent # /WifiConfig/" + command));
        QVERIFY2(log.at(3).startsWith(command + "  return  # "), qPrintable(log.at(3)));
        if (reply.isValidUtf8() && command != "setupGetBackGroundImage")
            QCOMPARE(log.at(3), command + "  return  # " + QString::fromUtf8(reply.constData()));
        QCOMPARE(log.size(), 5);
    }
}

void TestMyHttpsAgent::sessionPaths_data()
{
    QTest::addColumn<CameraScenario>("cameraScenario");
    QTest::addColumn<QString>("forms"); // the script, in the order the forms open
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("requests");
    QTest::addColumn<QString>("cancelAt"); // the request whose arrival or end triggers Cancel
    QTest::addColumn<bool>("afterReply");  // 100 ms after its reply, else at the slow one
    auto row = [](const char *name, const CameraScenario &camera, const char *forms,
                  enmComResult outcome, const QString &requests) {
        QTest::newRow(name) << camera << QString(forms) << int(outcome) << requests << QString()
                            << false;
    };
    // Cancelled as the request arrives (the camera answers it slowly), or 100 ms after its reply.
    auto cancel = [](const char *name, const char *scenario, const char *forms, const char *at,
                     bool afterReply, const char *requests, int slowFrom = 1) {
        QTest::newRow(name) << (afterReply ? named(scenario)
                                           : camera(CameraFault::SlowReply, at, scenario, slowFrom))
                            << QString(forms) << int(ComResultCancelled) << QString(requests)
                            << QString(at) << afterReply;
    };
    const char *user = "change=<skip> credentials"; // no password set, the first network chosen
    const char *relogin = "V V L:Nomo-1234 P L:Nomo-1234 Ver S Set R";
    CameraScenario relogin502 = named("password"); // 502 (log in again) once, then success
    relogin502.results = {502, 0};
    CameraScenario polls = named("no-password");
    polls.results = {508, 508, 508, 508, 508, 508, 502, 508};

    row("no password: change form at once, skipped", named("no-password"), user, ComResultSuccess,
        full);
    row("password refused twice, asked again each time", named("refuse-password"),
        "login=Nomo-1234 login=Nomo-1234 login=Nomo-1234 credentials", ComResultSuccess,
        "V V L:Nomo-1234 L:Nomo-1234 L:Nomo-1234 Ver S Set R");
    row("password form dismissed", named("password"), "login=<cancel>", ComResultCancelled, "V V");
    row("password form without receiver", named("password"), "!login", ComResultCancelled, "V V");
    row("verify 509", named("verify-509"), "", ComResultWifiUnavailable, "V V");
    row("verify other error: no login, no change form", named("verify-other"), "credentials",
        ComResultSuccess, full);
    row("login 509", named("login-509"), "login=Nomo-1234", ComResultWifiUnavailable,
        "V V L:Nomo-1234");
    row("verify without reply", named("verify-no-reply"), "", ComResultNoReply, "V");
    row("version error twice: log in again each time", named("version-error"),
        "change=<skip> change=<skip> change=<skip> credentials", ComResultSuccess,
        "V V Ver L: Ver L: Ver S Set R");
    row("scan without reply: empty list offered", named("scan-no-reply"), user, ComResultSuccess,
        full);
    row("change form without receiver: no password set", named("no-password"),
        "!change credentials", ComResultSuccess, full);
    row("credentials form dismissed", named("no-password"), "change=<skip> credentials=<cancel>",
        ComResultCancelled, "V V Ver S");
    row("credentials form without receiver", named("no-password"), "change=<skip> !credentials",
        ComResultCancelled, "V V Ver S");
    row("rescan inside the credentials form", named("no-password"),
        "change=<skip> credentials=rescan", ComResultSuccess, "V V Ver S S Set R");
    row("result 503", named("result-503"), user, ComResultError503, full);
    row("result 505", named("result-505"), user, ComResultNoInternet, full);
    row("result 505 in lower case", named("result-505-lowercase"), user, ComResultErrorReported,
        full);
    row("result never ready: eleven asks", named("result-508-always"), user, ComResultNoReply,
        full + " R R R R R R R R R R");
    row("not-ready polls counted across a 502 re-login", polls,
        "change=<skip> credentials change=<skip> credentials", ComResultNoReply,
        full + " R R R R R R L: Ver S Set R R R R R");
    // After a 502 the configuration is repeated from the login, which sends the password from
    // before the change: accepted when unchanged (and the change form opens again), refused
    // otherwise. The network list keeps the first scan's entries.
    row("result 502 after a change: old password accepted, change form again", relogin502,
        "login=Nomo-1234|change change=Nomo-1234 credentials change=<skip> credentials",
        ComResultSuccess, "V V L:Nomo-1234 P Ver S Set R L:Nomo-1234 Ver S Set R");
    row("result 502 after a change: old password refused, asked again", relogin502,
        "login=Nomo-1234|change change=Fresh-99 credentials login=Fresh-99 credentials",
        ComResultSuccess, "V V L:Nomo-1234 P Ver S Set R L:Nomo-1234 L:Fresh-99 Ver S Set R");
    // A change without reply clears the change flag: the old password logs in, no change form.
    row("failed password change: old password again, no second change form",
        camera(CameraFault::EmptyBody, "setupSetPwd", "password"),
        "login=Nomo-1234|change change=Nomo-1234 credentials", ComResultSuccess, relogin);

    cancel("cancel during the port check", "no-password", "", "setupVerify", false, "V");
    cancel("cancel during the pause after an empty reply", "version-no-reply", "change=<skip>",
           "setupGetVersion", true, "V V Ver");
    cancel("cancel during the password change", "no-password", "change=new", "setupSetPwd", false,
           "V V P");
    cancel("cancel during the set request: noticed in the wait", "no-password", user,
           "setupSetSSID", false, "V V Ver S Set");
    cancel("cancel during a rescan: empty list", "no-password", "change=<skip> credentials=rescan",
           "setupGetWIFIScan", false, "V V Ver S S", 2);
    cancel("cancel during the wait for the result", "no-password", user, "setupSetSSID", true,
           "V V Ver S Set");
    cancel("cancel during the not-ready polling", "result-508-always", user, "setupGetResults",
           true, "V V Ver S Set R");
}

void TestMyHttpsAgent::sessionPaths()
{
    QFETCH(CameraScenario, cameraScenario);
    QFETCH(QString, forms);
    QFETCH(int, outcome);
    QFETCH(QString, requests);
    QFETCH(QString, cancelAt);
    QFETCH(bool, afterReply);

    if (!cancelAt.isEmpty()) { // every wait long enough that only the cancel can end it
        AgentTiming::setScale(1.0);
        AgentTiming::setPauseStepMs(4000);
        // Short when the cancel comes in the polling after the first results reply.
        AgentTiming::setResultWaitMs(cancelAt == "setupGetResults" ? 1 : 20000);
    }
    m_camera.setScenario(cameraScenario);
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    const QStringList script = forms.split(' ', Qt::SkipEmptyParts);
    FormAnswerer answerer(&agent, script);
    QTimer delayedCancel;
    delayedCancel.setSingleShot(true);
    connect(&delayedCancel, &QTimer::timeout, &agent, &MyHttpsAgent::Cancel);
    connect(&m_camera,
            afterReply ? &SimulatedCamera::requestFinished : &SimulatedCamera::requestReceived,
            &agent, [&](const CameraRequest &request) {
                if (request.command == cancelAt &&
                    (afterReply || request.fault != CameraFault::None))
                    afterReply ? delayedCancel.start(100) : agent.Cancel();
            });
    QElapsedTimer clock;
    clock.start();
    agent.Start();

    QCOMPARE(answerer.results, QList<enmComResult>{enmComResult(outcome)});
    QVERIFY2(clock.elapsed() < 15000, "a wait ran out instead of being cancelled");
    QVERIFY(answerer.clean);
    QCOMPARE(shorthand(m_camera.requests()), requests);
    QStringList opened;
    for (const QString &entry : script) {
        if (!entry.startsWith('!'))
            opened.append(entry.section('=', 0, 0));
    }
    QCOMPARE(answerer.forms, opened << "result");
    for (int i = 0; i < answerer.prompts.size(); ++i)
        QCOMPARE(answerer.prompts.at(i), i == 0 ? enterPrompt : retryPrompt);
    // Change forms show the first password entered; the first new password reaches the camera.
    const QString entered = script.filter("login=").value(0).section('=', 1).section('|', 0, 0);
    for (const QString &current : answerer.changeCurrent)
        QCOMPARE(current, entered);
    const QString changed = script.filter("change=").value(0).section('=', 1);
    if (!changed.isEmpty() && changed != "<skip>")
        QCOMPARE(m_camera.password(), changed);
    // The last credentials form offers what every answered scan reported, in order; a rescan
    // goes to the form alone.
    QList<WIFINetworkEntry> offered;
    for (const CameraRequest &scan : m_camera.requests("setupGetWIFIScan"))
        offered += scan.fault == CameraFault::None ? scanOnce : QList<WIFINetworkEntry>();
    for (const QList<WIFINetworkEntry> &rescan : answerer.rescans) {
        offered.resize(offered.size() - rescan.size());
        QCOMPARE(rescan, cancelAt.isEmpty() ? scanOnce : QList<WIFINetworkEntry>());
    }
    if (!answerer.offered.isEmpty())
        QCOMPARE(answerer.offered.last(), offered);
    // No password or key typed into a form shows in the log or the trace.
    const QString written = readLog() + s_trace.join('\n');
    for (const char *secret : {"Nomo-1234", "Fresh-99", "Wifi-Key-1"})
        QVERIFY2(!written.contains(QLatin1String(secret)), secret);
}

void TestMyHttpsAgent::keyTypeAndNetworkReachCamera_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("keyType");
    QTest::addColumn<QString>("sent");

    auto row = [](const char *name, const char *version, const char *keyType, const char *sent) {
        QTest::newRow(name) << QString(version) << QString::fromUtf8(keyType) << QString(sent);
    };
    // The key type is mapped by the version the session read, compared with "1.03.01.0082" as
    // plain text: before it the cipher is dropped, from it AES goes as CCMP.
    const char *bound = "1.03.01.0082";
    row("before the bound: TKIP dropped", "1.03.01.0081", "WPA-TKIP", "WPA");
    row("before the bound: AES dropped", "1.03.01.0081", "WPA2-AES", "WPA2");
    row("from the bound: AES as CCMP", bound, "WPA2-AES", "WPA2-CCMP");
    row("from the bound: TKIP kept", bound, "WPA-TKIP", "WPA-TKIP");
    row("compared as text, not numbers", "1.10.00.0000", "WPA2-AES", "WPA2-CCMP");
    row("exact case: lower-case not mapped", bound, "wpa2-aes", "wpa2-aes");
    // Sent as it is: only what may not stand in a URL is escaped, and valid escapes are kept (in
    // their canonical, equivalent form).
    row("escaped where a URL needs it", bound, "No Authentication 100% %41%2f %4%zzé%",
        "No%20Authentication%20100%25%20A%2F%20%254%25zz%C3%A9%25");
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
    QVERIFY(QFile::remove(logName)); // a user who wants no log has no file: none is made
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    FormAnswerer answerer(&agent, {"change=<skip>", "credentials"});
    answerer.network = 2; // "Café", as the camera reported it in UTF-8
    answerer.key = QStringLiteral("pässword");
    answerer.keyType = keyType;
    agent.Start();

    QCOMPARE(answerer.results, QList<enmComResult>{ComResultSuccess});
    QCOMPARE(agent.GetEncoderVersion(), version);
    QCOMPARE(m_camera.requests("setupSetSSID").value(0).query,
             "SessionId=" + m_camera.sessionId() +
                 "?ssid=Caf%C3%A9?netpass=p%C3%A4ssword?securitytype=" + sent);
    QVERIFY(!QFile::exists(logName));
}

void TestMyHttpsAgent::resultsAskedFifteenSecondsAfterSetThenEveryFive()
{
    // The durations users get, also from a scale that makes no sense. Of the results replies "not
    // ready", "not ready", "done", the first arrives empty: a retry after the 5 s pause, then a
    // poll 5 s after the "not ready".
    AgentTiming::setScale(0.0);
    CameraScenario scenario = CameraScenario::named("result-508-then-success");
    scenario.faults.append({CameraFault::EmptyBody, "setupGetResults", 1, 1});
    m_camera.setScenario(scenario);
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    FormAnswerer forms(&agent, {"change=<skip>", "credentials"});
    agent.Start();
    QCOMPARE(forms.results, QList<enmComResult>{ComResultSuccess});

    // By the camera's clock: from the end of one reply to the arrival of the next request.
    const QList<CameraRequest> asks =
        m_camera.requests("setupSetSSID") + m_camera.requests("setupGetResults");
    QCOMPARE(asks.size(), 4);
    for (int i = 1; i < asks.size(); ++i) {
        const qint64 gap = asks.at(i).receivedMs - asks.at(i - 1).finishedMs;
        const int expected = i == 1 ? 15000 : 5000;
        QVERIFY2(gap >= expected - 50 && gap < expected + 1500,
                 qPrintable(QString::number(i) + ": " + QString::number(gap)));
    }
}

QTEST_MAIN(TestMyHttpsAgent)
#include "tst_myhttpsagent.moc"
