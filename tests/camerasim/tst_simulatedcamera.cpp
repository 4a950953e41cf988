// The simulated camera as the other suites rely on it: its replies per scenario, the recording
// of requests and the transport faults.
#include "tools/camerasim/simulatedcamera.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSignalSpy>
#include <QSslSocket>
#include <QTest>
#include <QTimer>

namespace {

const QHostAddress cameraAddress(QStringLiteral("127.0.0.60"));

// A reply read off a raw TLS connection, byte for byte, up to the camera's close.
struct RawReply
{
    QByteArray head;
    QByteArray body;
    int status = 0;
    qint64 contentLength = -1;
    bool ended = false;   // the camera ended the connection within the time limit
    qint64 elapsedMs = 0; // from sending the request to the end of the connection
};

RawReply rawGet(const QString &target)
{
    QSslSocket socket;
    socket.setPeerVerifyMode(QSslSocket::VerifyNone);
    QByteArray data;
    QElapsedTimer clock;
    QObject::connect(&socket, &QSslSocket::encrypted, &socket, [&] {
        clock.start();
        socket.write("GET " + target.toLatin1() + " HTTP/1.1\r\nHost: nomo-camera.local\r\n\r\n");
    });
    QObject::connect(&socket, &QSslSocket::readyRead, &socket, [&] { data += socket.readAll(); });
    QEventLoop loop;
    QObject::connect(&socket, &QSslSocket::disconnected, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QSslSocket::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    QElapsedTimer limit;
    limit.start();
    socket.connectToHostEncrypted(cameraAddress.toString(), 80);
    loop.exec();

    RawReply reply;
    reply.ended = limit.elapsed() < 10000;
    reply.elapsedMs = clock.isValid() ? clock.elapsed() : -1;
    data += socket.readAll();
    const int headEnd = data.indexOf("\r\n\r\n");
    reply.head = headEnd < 0 ? data : data.left(headEnd + 4);
    reply.body = headEnd < 0 ? QByteArray() : data.mid(headEnd + 4);
    reply.status = reply.head.mid(9, 3).toInt();
    for (const QByteArray &line : reply.head.split('\n')) {
        if (line.toLower().startsWith("content-length:"))
            reply.contentLength = line.mid(15).trimmed().toLongLong();
    }
    return reply;
}

QByteArray sessionDocument(const QString &sessionId)
{
    return "<Response><SessionId>" + sessionId.toLatin1() + "</SessionId></Response>";
}

} // namespace

class TestSimulatedCamera : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scenarioReplies_data();
    void scenarioReplies();
    void recordsRequestsAsReceived();
    void faultsHitTheSelectedTries_data();
    void faultsHitTheSelectedTries();
    void transportFaults_data();
    void transportFaults();
};

// Each row: a scenario and a series of requests with the exact reply bodies. "{sid}" stands for
// the session id the camera holds at that moment (in the expected body: after the request).
void TestSimulatedCamera::scenarioReplies_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QStringList>("targets");
    QTest::addColumn<QStringList>("bodies");

    const QString session = QStringLiteral("<Response><SessionId>{sid}</SessionId></Response>");
    const auto error = [](int n) {
        return QStringLiteral("<Response><Error>%1</Error></Response>").arg(n);
    };
    const QString v31 = QStringLiteral("<Response><Version>1.05.02.0031</Version></Response>");
    const QString connected = QStringLiteral("<Response><Result>Connected</Result></Response>");
    const QString verify = QStringLiteral("/WifiConfig/setupVerify");
    const QString login = QStringLiteral("/WifiConfig/setupGetLogin?Pass=Nomo-1234");
    const QString version = QStringLiteral("/WifiConfig/setupGetVersion?SessionId={sid}");
    const QString results = QStringLiteral("/WifiConfig/setupGetResults?SessionId={sid}");
    const QString foreign = QStringLiteral("/WifiConfig/setupGetVersion?SessionId=m_sessionID");

    const auto row = [](const char *name, const char *scenario, const QStringList &targets,
                        const QStringList &bodies) {
        QTest::newRow(name) << QString::fromLatin1(scenario) << targets << bodies;
    };
    // A session, then successive polls for the result.
    const auto polls = [&](const char *name, const char *scenario, const QStringList &replies) {
        row(name, scenario, QStringList{verify} + QStringList(replies.size(), results),
            QStringList{session} + replies);
    };

    row("no password: verify hands out a session, only for itself", "no-password",
        {verify, version, foreign}, {session, v31, error(502)});
    row("password: verify 500, wrong login 501, right login a session", "password",
        {verify, "/WifiConfig/setupGetLogin?Pass=nomo-1234", login, version},
        {error(500), error(501), session, v31});
    row("no password: only the empty password logs in", "no-password",
        {"/WifiConfig/setupGetLogin?Pass=x", "/WifiConfig/setupGetLogin?Pass="},
        {error(501), session});
    row("password change takes effect", "no-password",
        {verify, "/WifiConfig/setupSetPwd?SessionId={sid}?Pass=new%20p%C3%A4ss", verify,
         "/WifiConfig/setupGetLogin?Pass=", "/WifiConfig/setupGetLogin?Pass=new%20p%C3%A4ss"},
        {session, "<Response><Result>Done</Result></Response>", error(500), error(501), session});
    row("right password refused twice", "refuse-password", {login, login, login},
        {error(501), error(501), session});
    row("verify 509", "verify-509", {verify}, {error(509)});
    row("verify other error, session not checked", "verify-other", {verify, foreign},
        {error(511), v31});
    row("login 500", "login-500", {login}, {error(500)});
    row("login 509", "login-509", {login}, {error(509)});
    row("version error twice", "version-error", {verify, version, version, version},
        {session, error(502), error(502), v31});
    row("scan: three blocks, one without SSID, one UTF-8", "no-password",
        {verify, "/WifiConfig/setupGetWIFIScan?SessionId={sid}"},
        {session, "<Response><Network><SSID>HomeNet</SSID><SecurityType>WPA2-AES</SecurityType>"
                  "</Network><Network><SecurityType>WPA-TKIP</SecurityType></Network>"
                  "<Network><SSID>Café</SSID><SecurityType>WPA2-AES</SecurityType></Network>"
                  "</Response>"});
    polls("results 508 twice then success", "result-508-then-success",
          {error(508), error(508), connected, connected});
    polls("results 508 on every poll", "result-508-always", {error(508), error(508), error(508)});
    polls("results 502 once", "result-502-once", {error(502), connected});
    polls("results 503", "result-503", {error(503)});
    polls("results 505", "result-505", {error(505)});
    polls("results 505 in lower case", "result-505-lowercase",
          {"<Response><error>505</error></Response>"});
    polls("results unknown error", "result-unknown-error", {error(514)});
    row("unknown command", "no-password", {"/WifiConfig/setupReboot", "/index.html"},
        {error(404), error(404)});
}

void TestSimulatedCamera::scenarioReplies()
{
    QFETCH(QString, scenario);
    QFETCH(QStringList, targets);
    QFETCH(QStringList, bodies);
    QVERIFY(CameraScenario::scenarioNames().contains(scenario));

    SimulatedCamera camera(CameraScenario::named(scenario));
    QVERIFY2(camera.listen(cameraAddress), qPrintable(camera.errorString()));
    for (int i = 0; i < targets.size(); ++i) {
        const RawReply reply = rawGet(QString(targets.at(i)).replace("{sid}", camera.sessionId()));
        QCOMPARE(QString::fromUtf8(reply.body),
                 QString(bodies.at(i)).replace("{sid}", camera.sessionId()));
    }
}

void TestSimulatedCamera::recordsRequestsAsReceived()
{
    CameraScenario scenario = CameraScenario::named(QStringLiteral("password"));
    scenario.requireSession = false;
    SimulatedCamera camera(scenario);
    QVERIFY(camera.listen(cameraAddress));
    QSignalSpy received(&camera, &SimulatedCamera::requestReceived);
    QSignalSpy finished(&camera, &SimulatedCamera::requestFinished);
    const qint64 before = QDateTime::currentMSecsSinceEpoch();

    const QString verify = QStringLiteral("/WifiConfig/setupVerify");
    const QStringList targets{verify, verify, "/WifiConfig/setupGetLogin?Pass=a%20b%26c%3F%C3%A9",
                              "/WifiConfig/setupSetSSID?SessionId=x?ssid=Caf%C3%A9"
                              "?netpass=a%20b%26c%3F%C3%A9?securitytype=No%20Authentication"};
    for (const QString &target : targets)
        QVERIFY(rawGet(target).ended);
    QTRY_COMPARE(finished.count(), 4);
    QCOMPARE(received.count(), 4);
    const QList<CameraRequest> requests = camera.requests();
    QCOMPARE(requests.size(), 4);
    for (int i = 0; i < 4; ++i) {
        const CameraRequest &r = requests.at(i);
        QCOMPARE(r.target, targets[i]);
        QCOMPARE(r.path + (r.query.isEmpty() ? QString() : "?" + r.query), targets[i]);
        QVERIFY(r.receivedMs >= before && r.finishedMs >= r.receivedMs);
        QCOMPARE(r.httpStatus, 200);
        QCOMPARE(qvariant_cast<CameraRequest>(finished.at(i).at(0)).target, targets[i]);
    }
    QCOMPARE(requests.at(3).path, QStringLiteral("/WifiConfig/setupSetSSID"));
    QCOMPARE(requests.at(3).command, QStringLiteral("setupSetSSID"));
    // Tries count per command: the port check's verify is the first.
    QCOMPARE(requests.at(1).tryNumber, 2);
    QCOMPARE(requests.at(2).tryNumber, 1);
    QCOMPARE(camera.requests(QStringLiteral("setupVerify")).size(), 2);
    // The network settings are stored percent-decoded.
    QCOMPARE(camera.configuredSsid(), QStringLiteral("Café"));
    QCOMPARE(camera.configuredKey(), QStringLiteral("a b&c?é"));
    QCOMPARE(camera.configuredSecurityType(), QStringLiteral("No Authentication"));

    // Clearing the recording keeps the counts; a new scenario restarts them.
    camera.clearRequests();
    QVERIFY(camera.requests().isEmpty());
    rawGet(verify);
    QCOMPARE(camera.requests().size(), 1);
    QCOMPARE(camera.requests().at(0).tryNumber, 3);
    camera.setScenario(CameraScenario::named(QStringLiteral("password")));
    rawGet(verify);
    QCOMPARE(camera.requests().size(), 2);
    QCOMPARE(camera.requests().at(1).tryNumber, 1);
}

void TestSimulatedCamera::faultsHitTheSelectedTries_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("firstTry");
    QTest::addColumn<int>("tries");
    QTest::addColumn<QString>("expected"); // per results request: E empty body, N normal

    QTest::newRow("second and third results") << "setupGetResults" << 2 << 2 << "NEENN";
    QTest::newRow("from the second on") << "setupGetResults" << 2 << -1 << "NEEEE";
    QTest::newRow("every command") << QString() << 1 << -1 << "EEEEE";
    QTest::newRow("another command") << "setupGetVersion" << 1 << -1 << "NNNNN";
}

void TestSimulatedCamera::faultsHitTheSelectedTries()
{
    QFETCH(QString, command);
    QFETCH(int, firstTry);
    QFETCH(int, tries);
    QFETCH(QString, expected);

    CameraScenario scenario;
    scenario.requireSession = false;
    scenario.faults.append({CameraFault::EmptyBody, command, firstTry, tries});
    SimulatedCamera camera(scenario);
    QVERIFY(camera.listen(cameraAddress));
    for (int i = 0; i < expected.size(); ++i) {
        const RawReply reply = rawGet(QStringLiteral("/WifiConfig/setupGetResults?SessionId=x"));
        QCOMPARE(reply.body.isEmpty(), expected.at(i) == QLatin1Char('E'));
    }
}

void TestSimulatedCamera::transportFaults_data()
{
    QTest::addColumn<CameraFault>("fault");
    QTest::addColumn<int>("status");    // 0: no status line at all
    QTest::addColumn<bool>("fullBody"); // the body is as long as Content-Length
    QTest::addColumn<int>("minElapsedMs");

    QTest::newRow("none") << CameraFault::None << 200 << true << 0;
    QTest::newRow("empty body") << CameraFault::EmptyBody << 200 << true << 0;
    QTest::newRow("closed without reply") << CameraFault::CloseWithoutReply << 0 << false << 0;
    QTest::newRow("reset mid-body") << CameraFault::ResetMidBody << 200 << false << 0;
    QTest::newRow("stall mid-body") << CameraFault::StallMidBody << 200 << true << 400;
    QTest::newRow("slow reply") << CameraFault::SlowReply << 200 << true << 300;
    QTest::newRow("redirect") << CameraFault::Redirect << 302 << true << 0;
    QTest::newRow("HTTP 500") << CameraFault::HttpStatus500 << 500 << true << 0;
    QTest::newRow("garbage with zero") << CameraFault::GarbageWithZero << 200 << true << 0;
    QTest::newRow("16 MiB body") << CameraFault::HugeBody << 200 << true << 0;
}

void TestSimulatedCamera::transportFaults()
{
    QFETCH(CameraFault, fault);
    QFETCH(int, status);
    QFETCH(bool, fullBody);
    QFETCH(int, minElapsedMs);

    CameraScenario scenario;
    scenario.stallMs = 400;
    scenario.slowMs = 300;
    scenario.faults.append({fault, QStringLiteral("setupVerify"), 1, 1});
    SimulatedCamera camera(scenario);
    QVERIFY(camera.listen(cameraAddress));

    const RawReply reply = rawGet(QStringLiteral("/WifiConfig/setupVerify"));
    QVERIFY(reply.ended);
    QCOMPARE(reply.status, status);
    QVERIFY(reply.elapsedMs >= minElapsedMs);
    QCOMPARE(reply.body.size() == reply.contentLength, fullBody);
    QTRY_VERIFY(camera.requests().value(0).finishedMs >= 0);
    QCOMPARE(camera.requests().at(0).httpStatus, status);

    // The camera processed the request whatever happened on the way back.
    const QByteArray document = sessionDocument(camera.sessionId());
    QVERIFY(!camera.sessionId().isEmpty());
    switch (fault) {
    case CameraFault::EmptyBody:
        QCOMPARE(reply.contentLength, 0);
        break;
    case CameraFault::CloseWithoutReply:
        QVERIFY(reply.head.isEmpty());
        break;
    case CameraFault::ResetMidBody:
        QVERIFY(reply.body.size() < document.size());
        QVERIFY(document.startsWith(reply.body));
        break;
    case CameraFault::Redirect:
        QVERIFY2(reply.head.contains("Location: /WifiConfig/redirectTarget\r\n"),
                 reply.head.constData());
        QCOMPARE(reply.body, document);
        break;
    case CameraFault::GarbageWithZero:
        QCOMPARE(reply.body.left(reply.body.indexOf('\0')), document);
        QVERIFY(reply.body.mid(document.size()).contains("<Error>500</Error>"));
        QVERIFY(QString::fromUtf8(reply.body).toUtf8() != reply.body); // not valid UTF-8
        break;
    case CameraFault::HugeBody:
        QCOMPARE(reply.contentLength, 16 * 1024 * 1024);
        QVERIFY(reply.body.startsWith(document));
        break;
    default:
        QCOMPARE(reply.body, document);
        break;
    }

    // Only the selected try is faulty.
    const QByteArray next = rawGet(QStringLiteral("/WifiConfig/setupVerify")).body;
    QCOMPARE(next, sessionDocument(camera.sessionId()));
}

QTEST_MAIN(TestSimulatedCamera)
#include "tst_simulatedcamera.moc"
