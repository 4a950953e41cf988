// The simulated camera as the other suites rely on it: its replies per scenario, the recording
// of requests, the transport faults and the TLS versions it speaks.
#include "tools/camerasim/simulatedcamera.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QStringDecoder>
#include <QTest>
#include <QTimer>

namespace {

const QHostAddress cameraAddress(QStringLiteral("127.0.0.60"));
const QString base = QStringLiteral("https://127.0.0.60:80");

// A reply read off a raw TLS connection, byte for byte.
struct RawReply
{
    QByteArray head;
    QByteArray body;
    int status = 0;
    qint64 contentLength = -1;
    bool ended = false;   // the camera ended the connection before the time limit
    qint64 elapsedMs = 0; // from sending the request to the end of the connection
};

RawReply rawGet(const QString &target, int limitMs = 10000)
{
    QSslSocket socket;
    socket.setPeerVerifyMode(QSslSocket::VerifyNone);
    QByteArray data;
    QElapsedTimer clock;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QSslSocket::encrypted, &socket, [&] {
        clock.start();
        socket.write("GET " + target.toLatin1() + " HTTP/1.1\r\nHost: nomo-camera.local\r\n\r\n");
    });
    QObject::connect(&socket, &QSslSocket::readyRead, &socket, [&] { data += socket.readAll(); });
    QObject::connect(&socket, &QSslSocket::disconnected, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QSslSocket::errorOccurred, &loop, &QEventLoop::quit);
    socket.connectToHostEncrypted(cameraAddress.toString(), 80);
    limit.start(limitMs);
    loop.exec();

    RawReply reply;
    reply.ended = limit.isActive();
    reply.elapsedMs = clock.isValid() ? clock.elapsed() : -1;
    data += socket.readAll();
    const int headEnd = data.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        reply.head = data;
        return reply;
    }
    reply.head = data.left(headEnd + 4);
    reply.body = data.mid(headEnd + 4);
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

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    Q_UNUSED(text);
    return !decoder.hasError();
}

} // namespace

class TestSimulatedCamera : public QObject
{
    Q_OBJECT

private:
    // GET through a plain network access manager that accepts the self-signed certificate.
    QByteArray get(const QString &target, int *status = nullptr)
    {
        QNetworkRequest request(QUrl::fromEncoded(QString(base + target).toLatin1()));
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::ManualRedirectPolicy);
        QNetworkReply *reply = m_manager.get(request);
        connect(reply, &QNetworkReply::sslErrors, reply,
                [reply](const QList<QSslError> &) { reply->ignoreSslErrors(); });
        QSignalSpy finished(reply, &QNetworkReply::finished);
        if (!reply->isFinished())
            finished.wait(10000);
        if (status)
            *status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QByteArray body = reply->readAll();
        delete reply;
        return body;
    }

    QNetworkAccessManager m_manager;

private Q_SLOTS:
    void init() { m_manager.clearConnectionCache(); }

    void scenarioReplies_data();
    void scenarioReplies();
    void passwordChangeTakesEffect();
    void setSsidStoresDecodedSettings();
    void latin1ScanIsNotUtf8();
    void recordsRequestsAsReceived();
    void faultsHitTheSelectedTries_data();
    void faultsHitTheSelectedTries();
    void transportFaults_data();
    void transportFaults();
    void backgroundImageDecodes();
    void tlsVersionsAndCertificate();
};

// Each row: a scenario and a series of requests with the exact reply bodies. "{sid}" stands for
// the session id the camera currently holds (substituted after the request in the expected body).
void TestSimulatedCamera::scenarioReplies_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QStringList>("targets");
    QTest::addColumn<QStringList>("bodies");

    const QString session = QStringLiteral("<Response><SessionId>{sid}</SessionId></Response>");
    auto error = [](int n) {
        return QStringLiteral("<Response><Error>%1</Error></Response>").arg(n);
    };
    const QString verify = QStringLiteral("/WifiConfig/setupVerify");
    const QString login = QStringLiteral("/WifiConfig/setupGetLogin?Pass=Nomo-1234");
    const QString version = QStringLiteral("/WifiConfig/setupGetVersion?SessionId={sid}");
    const QString scan = QStringLiteral("/WifiConfig/setupGetWIFIScan?SessionId={sid}");
    const QString results = QStringLiteral("/WifiConfig/setupGetResults?SessionId={sid}");
    const QString connected = QStringLiteral("<Response><Result>Connected</Result></Response>");

    QTest::newRow("no password: verify hands out a session")
        << "no-password" << QStringList{verify, version}
        << QStringList{session, "<Response><Version>1.05.02.0031</Version></Response>"};
    QTest::newRow("password: verify 500, wrong login 501, right login a session")
        << "password"
        << QStringList{verify, "/WifiConfig/setupGetLogin?Pass=nomo-1234", login, version}
        << QStringList{error(500), error(501), session,
                       "<Response><Version>1.05.02.0031</Version></Response>"};
    QTest::newRow("no password: only the empty password logs in")
        << "no-password"
        << QStringList{"/WifiConfig/setupGetLogin?Pass=x", "/WifiConfig/setupGetLogin?Pass="}
        << QStringList{error(501), session};
    QTest::newRow("right password refused twice")
        << "refuse-password" << QStringList{login, login, login}
        << QStringList{error(501), error(501), session};
    QTest::newRow("verify 509") << "verify-509" << QStringList{verify, verify}
                                << QStringList{error(509), error(509)};
    QTest::newRow("verify other error, session not checked")
        << "verify-other"
        << QStringList{verify, "/WifiConfig/setupGetVersion?SessionId=m_sessionID"}
        << QStringList{error(511), "<Response><Version>1.05.02.0031</Version></Response>"};
    QTest::newRow("login 500") << "login-500" << QStringList{login} << QStringList{error(500)};
    QTest::newRow("login 501") << "login-501" << QStringList{login} << QStringList{error(501)};
    QTest::newRow("login 509") << "login-509" << QStringList{login} << QStringList{error(509)};
    QTest::newRow("foreign session id refused")
        << "no-password" << QStringList{verify, "/WifiConfig/setupGetVersion?SessionId=m_sessionID"}
        << QStringList{session, error(502)};
    QTest::newRow("version error twice")
        << "version-error" << QStringList{verify, version, version, version}
        << QStringList{session, error(502), error(502),
                       "<Response><Version>1.05.02.0031</Version></Response>"};
    QTest::newRow("old firmware version")
        << "version-0081" << QStringList{verify, version}
        << QStringList{session, "<Response><Version>1.03.01.0081</Version></Response>"};
    QTest::newRow("scan: three blocks, one without SSID, one UTF-8")
        << "no-password" << QStringList{verify, scan}
        << QStringList{
               session,
               "<Response><Network><SSID>HomeNet</SSID><SecurityType>WPA2-AES</SecurityType>"
               "</Network><Network><SecurityType>WPA-TKIP</SecurityType></Network>"
               "<Network><SSID>Café</SSID><SecurityType>WPA2-AES</SecurityType></Network>"
               "</Response>"};
    QTest::newRow("scan empty") << "scan-empty" << QStringList{verify, scan}
                                << QStringList{session, "<Response></Response>"};
    QTest::newRow("scan error") << "scan-error" << QStringList{verify, scan}
                                << QStringList{session, error(502)};
    QTest::newRow("results 508 twice then success")
        << "result-508-then-success" << QStringList{verify, results, results, results, results}
        << QStringList{session, error(508), error(508), connected, connected};
    QTest::newRow("results 508 on every poll")
        << "result-508-always" << QStringList{verify, results, results, results}
        << QStringList{session, error(508), error(508), error(508)};
    QTest::newRow("results 502 once") << "result-502-once" << QStringList{verify, results, results}
                                      << QStringList{session, error(502), connected};
    QTest::newRow("results 503") << "result-503" << QStringList{verify, results}
                                 << QStringList{session, error(503)};
    QTest::newRow("results 505") << "result-505" << QStringList{verify, results}
                                 << QStringList{session, error(505)};
    QTest::newRow("results 505 in lower case")
        << "result-505-lowercase" << QStringList{verify, results}
        << QStringList{session, "<Response><error>505</error></Response>"};
    QTest::newRow("results unknown error") << "result-unknown-error" << QStringList{verify, results}
                                           << QStringList{session, error(514)};
    QTest::newRow("unknown command")
        << "no-password" << QStringList{"/WifiConfig/setupReboot", "/index.html"}
        << QStringList{error(404), error(404)};
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
        QString target = targets.at(i);
        target.replace(QStringLiteral("{sid}"), camera.sessionId());
        const QByteArray body = get(target);
        QString expected = bodies.at(i);
        expected.replace(QStringLiteral("{sid}"), camera.sessionId());
        QCOMPARE(QString::fromUtf8(body), expected);
    }
}

void TestSimulatedCamera::passwordChangeTakesEffect()
{
    SimulatedCamera camera(CameraScenario::named(QStringLiteral("no-password")));
    QVERIFY(camera.listen(cameraAddress));
    get(QStringLiteral("/WifiConfig/setupVerify"));
    const QString first = camera.sessionId();
    QVERIFY(!first.isEmpty());
    QCOMPARE(get("/WifiConfig/setupSetPwd?SessionId=" + first + "?Pass=new%20p%C3%A4ss"),
             QByteArray("<Response><Result>Done</Result></Response>"));
    QVERIFY(camera.hasPassword());
    QCOMPARE(camera.password(), QStringLiteral("new päss"));

    // A camera with a password now: verify asks for it, the old (empty) one is refused.
    QCOMPARE(get(QStringLiteral("/WifiConfig/setupVerify")),
             QByteArray("<Response><Error>500</Error></Response>"));
    QCOMPARE(get(QStringLiteral("/WifiConfig/setupGetLogin?Pass=")),
             QByteArray("<Response><Error>501</Error></Response>"));
    const QByteArray loggedIn =
        get(QStringLiteral("/WifiConfig/setupGetLogin?Pass=new%20p%C3%A4ss"));
    QCOMPARE(loggedIn, sessionDocument(camera.sessionId()));
    QVERIFY(camera.sessionId() != first);

    // A new scenario restores the camera's state.
    camera.setScenario(CameraScenario::named(QStringLiteral("no-password")));
    QVERIFY(!camera.hasPassword());
    QVERIFY(camera.sessionId().isEmpty());
}

void TestSimulatedCamera::setSsidStoresDecodedSettings()
{
    SimulatedCamera camera;
    QVERIFY(camera.listen(cameraAddress));
    get(QStringLiteral("/WifiConfig/setupVerify"));
    get("/WifiConfig/setupSetSSID?SessionId=" + camera.sessionId() +
        "?ssid=Caf%C3%A9?netpass=a%20b%26c%3F%C3%A9?securitytype=No%20Authentication");
    QCOMPARE(camera.configuredSsid(), QStringLiteral("Café"));
    QCOMPARE(camera.configuredKey(), QStringLiteral("a b&c?é"));
    QCOMPARE(camera.configuredSecurityType(), QStringLiteral("No Authentication"));
}

void TestSimulatedCamera::latin1ScanIsNotUtf8()
{
    SimulatedCamera camera(CameraScenario::named(QStringLiteral("scan-latin1")));
    QVERIFY(camera.listen(cameraAddress));
    get(QStringLiteral("/WifiConfig/setupVerify"));
    const QByteArray body = get("/WifiConfig/setupGetWIFIScan?SessionId=" + camera.sessionId());
    QVERIFY2(body.contains("<SSID>Caf\xe9</SSID>"), body.constData());
    QVERIFY(!isValidUtf8(body));
}

void TestSimulatedCamera::recordsRequestsAsReceived()
{
    SimulatedCamera camera(CameraScenario::named(QStringLiteral("password")));
    QVERIFY(camera.listen(cameraAddress));
    QSignalSpy received(&camera, &SimulatedCamera::requestReceived);
    QSignalSpy finished(&camera, &SimulatedCamera::requestFinished);
    const qint64 before = QDateTime::currentMSecsSinceEpoch();

    const QString targets[] = {
        QStringLiteral("/WifiConfig/setupVerify"),
        QStringLiteral("/WifiConfig/setupVerify"),
        QStringLiteral("/WifiConfig/setupGetLogin?Pass=a%20b%26c%3F%C3%A9"),
        QStringLiteral("/WifiConfig/setupSetSSID?SessionId=m_sessionID?ssid=x?netpass=%25"
                       "?securitytype=WPA2-CCMP"),
    };
    for (const QString &target : targets)
        QVERIFY(rawGet(target).ended);
    QTRY_COMPARE(finished.count(), 4);
    QCOMPARE(received.count(), 4);

    const QList<CameraRequest> requests = camera.requests();
    QCOMPARE(requests.size(), 4);
    for (int i = 0; i < 4; ++i) {
        const CameraRequest &r = requests.at(i);
        QCOMPARE(r.method, QStringLiteral("GET"));
        QCOMPARE(r.target, targets[i]);
        QCOMPARE(r.path + (r.query.isEmpty() ? QString() : "?" + r.query), targets[i]);
        QVERIFY(r.receivedMs >= before);
        QVERIFY(r.finishedMs >= r.receivedMs);
        QCOMPARE(r.httpStatus, 200);
        QCOMPARE(qvariant_cast<CameraRequest>(finished.at(i).at(0)).target, targets[i]);
    }
    QCOMPARE(requests.at(2).path, QStringLiteral("/WifiConfig/setupGetLogin"));
    QCOMPARE(requests.at(2).query, QStringLiteral("Pass=a%20b%26c%3F%C3%A9"));
    QCOMPARE(requests.at(3).query,
             QStringLiteral("SessionId=m_sessionID?ssid=x?netpass=%25?securitytype=WPA2-CCMP"));
    QCOMPARE(requests.at(3).command, QStringLiteral("setupSetSSID"));
    // Tries count per command: the port check's verify is the first.
    QCOMPARE(requests.at(0).tryNumber, 1);
    QCOMPARE(requests.at(1).tryNumber, 2);
    QCOMPARE(requests.at(2).tryNumber, 1);
    QCOMPARE(camera.requests(QStringLiteral("setupVerify")).size(), 2);

    // Clearing the recording keeps the counts; a new scenario restarts them.
    camera.clearRequests();
    QVERIFY(camera.requests().isEmpty());
    rawGet(QStringLiteral("/WifiConfig/setupVerify"));
    QCOMPARE(camera.requests().size(), 1);
    QCOMPARE(camera.requests().at(0).tryNumber, 3);
    QTRY_VERIFY(camera.requests().at(0).finishedMs >= 0);
    camera.setScenario(CameraScenario::named(QStringLiteral("password")));
    rawGet(QStringLiteral("/WifiConfig/setupVerify"));
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
    QTest::newRow("first only") << "setupGetResults" << 1 << 1 << "ENNNN";
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
        const bool faulty = expected.at(i) == QLatin1Char('E');
        QCOMPARE(reply.body.isEmpty(), faulty);
        QCOMPARE(camera.requests().at(i).fault,
                 faulty ? CameraFault::EmptyBody : CameraFault::None);
    }
}

void TestSimulatedCamera::transportFaults_data()
{
    QTest::addColumn<CameraFault>("fault");
    QTest::addColumn<int>("status"); // 0: no status line at all
    QTest::addColumn<QByteArray>("extraHeader");
    QTest::addColumn<bool>("fullBody"); // the body is as long as Content-Length
    QTest::addColumn<int>("minElapsedMs");

    QTest::newRow("none") << CameraFault::None << 200 << QByteArray() << true << 0;
    QTest::newRow("empty body") << CameraFault::EmptyBody << 200 << QByteArray() << true << 0;
    QTest::newRow("closed without reply")
        << CameraFault::CloseWithoutReply << 0 << QByteArray() << false << 0;
    QTest::newRow("reset mid-body")
        << CameraFault::ResetMidBody << 200 << QByteArray() << false << 0;
    QTest::newRow("stall mid-body")
        << CameraFault::StallMidBody << 200 << QByteArray() << true << 400;
    QTest::newRow("slow reply") << CameraFault::SlowReply << 200 << QByteArray() << true << 300;
    QTest::newRow("redirect") << CameraFault::Redirect << 302
                              << QByteArray("Location: /WifiConfig/redirectTarget\r\n") << true
                              << 0;
    QTest::newRow("HTTP 500") << CameraFault::HttpStatus500 << 500 << QByteArray() << true << 0;
    QTest::newRow("garbage with zero")
        << CameraFault::GarbageWithZero << 200 << QByteArray() << true << 0;
    QTest::newRow("16 MiB body") << CameraFault::HugeBody << 200 << QByteArray() << true << 0;
}

void TestSimulatedCamera::transportFaults()
{
    QFETCH(CameraFault, fault);
    QFETCH(int, status);
    QFETCH(QByteArray, extraHeader);
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
    QVERIFY2(reply.head.contains(extraHeader), reply.head.constData());
    QCOMPARE(reply.body.size() == reply.contentLength, fullBody);
    QTRY_VERIFY(camera.requests().value(0).finishedMs >= 0);
    QCOMPARE(camera.requests().at(0).fault, fault);
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
    case CameraFault::GarbageWithZero:
        QCOMPARE(reply.body.left(reply.body.indexOf('\0')), document);
        QVERIFY(reply.body.mid(document.size()).contains("<Error>500</Error>"));
        QVERIFY(!isValidUtf8(reply.body));
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

void TestSimulatedCamera::backgroundImageDecodes()
{
    CameraScenario scenario;
    scenario.requireSession = false;
    scenario.faults.append(
        {CameraFault::HugeBody, QStringLiteral("setupGetBackGroundImage"), 2, 1});
    SimulatedCamera camera(scenario);
    QVERIFY(camera.listen(cameraAddress));
    const QString target = QStringLiteral("/WifiConfig/setupGetBackGroundImage?SessionId=x");

    const QImage small = QImage::fromData(get(target), "BMP");
    QCOMPARE(small.size(), QSize(64, 48));
    const QByteArray huge = get(target);
    QVERIFY(huge.size() >= 16 * 1024 * 1024);
    QCOMPARE(QImage::fromData(huge, "BMP").size(), QSize(2048, 2048));
}

void TestSimulatedCamera::tlsVersionsAndCertificate()
{
    const QSslCertificate certificate = SimulatedCamera::certificate();
    QCOMPARE(certificate.subjectInfo(QSslCertificate::CommonName),
             QStringList{QStringLiteral("nomo-camera.local")});
    QVERIFY(certificate.isSelfSigned());
    QVERIFY(certificate.expiryDate().date().year() >= 2045);

    SimulatedCamera camera(CameraScenario::named(QStringLiteral("tls10-only")));
    QVERIFY(camera.listen(cameraAddress));

    // A default client of this platform refuses TLS 1.0: the handshake fails, no request.
    int status = -1;
    QVERIFY(get(QStringLiteral("/WifiConfig/setupVerify"), &status).isEmpty());
    QCOMPARE(status, 0);
    QVERIFY(camera.requests().isEmpty());

    // A client that allows TLS 1.0 gets through, and TLS 1.0 is what it speaks.
    QSslSocket socket;
    QSslConfiguration legacy = socket.sslConfiguration();
    legacy.setProtocol(QSsl::AnyProtocol);
    legacy.setPeerVerifyMode(QSslSocket::VerifyNone);
    legacy.setBackendConfigurationOption("MinProtocol", QByteArray("TLSv1"));
    legacy.setBackendConfigurationOption("CipherString", QByteArray("DEFAULT:@SECLEVEL=0"));
    socket.setSslConfiguration(legacy);
    QSignalSpy encrypted(&socket, &QSslSocket::encrypted);
    socket.connectToHostEncrypted(cameraAddress.toString(), 80);
    QVERIFY(encrypted.wait(10000));
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    QCOMPARE(socket.sessionProtocol(), QSsl::TlsV1_0);
    QT_WARNING_POP
    QCOMPARE(socket.peerCertificate(), certificate);
    socket.abort();

    // Back to a modern camera: the setting follows the scenario.
    camera.setScenario(CameraScenario::named(QStringLiteral("no-password")));
    m_manager.clearConnectionCache();
    const QByteArray body = get(QStringLiteral("/WifiConfig/setupVerify"));
    QCOMPARE(body, sessionDocument(camera.sessionId()));
}

QTEST_MAIN(TestSimulatedCamera)
#include "tst_simulatedcamera.moc"
