#include "agent/agenttiming.h"
#include "agent/myhttpsagent.h"
#include "tools/camerasim/simulatedcamera.h"

#include <QPixmap>
#include <QProgressBar>
#include <QSslKey>
#include <QSslServer>
#include <QtTest>

#include <array>

namespace {

const QHostAddress cameraAddress(QStringLiteral("127.0.0.53"));
const QHostAddress fixedAddress(QStringLiteral("127.0.0.43"));
const QString preset = QStringLiteral("preset");

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
        return agent.setupGetVersion(value, argument.isNull() ? session : argument);
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

// A camera that takes any session id, so that single commands can be sent with "s1".
CameraScenario anySession(CameraFault fault = CameraFault::None, const QString &command = {})
{
    CameraScenario s;
    s.requireSession = false;
    s.faults.append({fault, command, 1, -1});
    return s;
}

} // namespace

class TestAgentCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void requestTarget_data();
    void requestTarget();
    void replyStatusAndProgress_data();
    void replyStatusAndProgress();
    void resultNotReadyPolled_data();
    void resultNotReadyPolled();
    void backgroundImage_data();
    void backgroundImage();

private:
    std::unique_ptr<SimulatedCamera> m_camera;
    FixedReplyCamera m_fixed;
};

void TestAgentCommands::initTestCase()
{
    m_camera = std::make_unique<SimulatedCamera>();
    QVERIFY2(m_camera->listen(cameraAddress), qPrintable(m_camera->errorString()));
    QVERIFY(m_fixed.listen(fixedAddress, 80));
}

void TestAgentCommands::init()
{
    AgentTiming::setScale(0.01);
    AgentTiming::setTransferTimeoutMs(30000);
    m_camera->setScenario(anySession());
    m_camera->clearRequests();
}

void TestAgentCommands::cleanupTestCase()
{
    AgentTiming::setScale(1.0);
}

void TestAgentCommands::requestTarget_data()
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

void TestAgentCommands::requestTarget()
{
    QFETCH(QString, command);
    QFETCH(QString, argument);
    QFETCH(QString, target);

    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    QString value;
    run(agent, command, argument, value);
    // The port check's own setupVerify comes first.
    QStringList targets;
    for (const CameraRequest &request : m_camera->requests())
        targets.append(request.target);
    QCOMPARE(targets, (QStringList{"/WifiConfig/setupVerify", target}));
}

void TestAgentCommands::replyStatusAndProgress_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("reply"); // empty: no reply, also to the port check
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("progress");
    auto row = [](const char *name, const char *command, const QByteArray &reply, int status,
                  const QString &value, int progress) {
        QTest::newRow(name) << QString(command) << reply << status << value << progress;
    };
    const QString success = QString::number(ComResultSuccess);
    const QString reported = QString::number(ComResultErrorReported);

    row("verify: session id", "setupVerify", "<SessionId>ab</SessionId>", StatusOk, "ab", 1);
    row("verify: no session id element", "setupVerify", "<Response/>", StatusOk, "", 1);
    row("verify: numbers without 'Error' are no error", "setupVerify", "<SessionId>500</SessionId>",
        StatusOk, "500", 1);
    row("verify: 500 tested before 509", "setupVerify", "<Error>509</Error><Error>500</Error>",
        StatusError500, preset, 1);
    row("verify: 'error' in any case, 509 anywhere", "setupVerify", "ERROR <Code>509</Code>",
        StatusError509, preset, 1);
    row("verify: other error", "setupVerify", "<Error>511</Error>", StatusOtherError, preset, 1);
    row("verify: text ends at the zero byte", "setupVerify",
        QByteArray("<SessionId>a</SessionId>\0<Error>500</Error>", 42), StatusOk, "a", 1);
    row("verify: zero byte first: a reply with empty text", "setupVerify",
        QByteArray("\0<Error>500</Error>", 19), StatusOk, "", 1);
    row("verify: no reply", "setupVerify", "", StatusNoReply, preset, 0);
    row("login: session id", "setupGetLogin", "<SessionId>cd</SessionId>", StatusOk, "cd", 2);
    row("login: 501 wrong password", "setupGetLogin", "<Error>501</Error>", StatusError501, preset,
        2);
    row("login: 500 tested before 501", "setupGetLogin", "<Error>501</Error> 500", StatusError500,
        preset, 2);
    row("login: 509 tested before 501", "setupGetLogin", "<Error>501</Error> 509", StatusError509,
        preset, 2);
    row("login: other error", "setupGetLogin", "<Error>777</Error>", StatusOtherError, preset, 2);
    row("login: no reply", "setupGetLogin", "", StatusNoReply, preset, 2);
    row("set password: an error is still ok", "setupSetPwd", "<Error>500</Error>", StatusOk, preset,
        3);
    row("set password: no reply", "setupSetPwd", "", StatusNoReply, preset, 3);
    row("version: value", "setupGetVersion", "<Version>1.2.3.4</Version>", StatusOk, "1.2.3.4", 4);
    row("version: no element", "setupGetVersion", "<Response/>", StatusOk, "", 4);
    row("version: UTF-8 reply", "setupGetVersion", "<Version>Caf\xc3\xa9</Version>", StatusOk,
        QString::fromUtf8("Café"), 4);
    row("version: reply not UTF-8 read byte by byte", "setupGetVersion",
        "<Version>Caf\xe9</Version>", StatusOk, QString::fromUtf8("Café"), 4);
    row("version: error keeps the value, log in again", "setupGetVersion", "<Error>502</Error>",
        StatusLoginAgain, preset, 4);
    row("version: no reply", "setupGetVersion", "", StatusNoReply, preset, 4);
    row("status: anything is ok", "setupGetStatus", "<Error>1</Error>", StatusOk, preset, 5);
    row("status: no reply", "setupGetStatus", "", StatusNoReply, preset, 0);
    row("scan: error reply gives no entries", "setupGetWIFIScan", "<Error>502</Error>", StatusOk,
        "0", 6);
    row("scan: no reply", "setupGetWIFIScan", "", StatusNoReply, "0", 0);
    row("set SSID: an error is still ok", "setupSetSSID", "<Error>500</Error>", StatusOk, preset,
        7);
    row("set SSID: no reply", "setupSetSSID", "", StatusNoReply, preset, 0);
    row("results: success", "setupGetResults", "<Result>ok</Result>", StatusOk, success, 0);
    row("results: 502 tested before 505", "setupGetResults", "<Error>505</Error><Error>502</Error>",
        StatusLoginAgain, reported, 0);
    row("results: 505 tested before 503", "setupGetResults", "<Error>503</Error><Error>505</Error>",
        StatusError505, reported, 0);
    row("results: 503", "setupGetResults", "<Error>503</Error>", StatusError503, reported, 0);
    row("results: lower-case 505 is an unknown error", "setupGetResults", "<error>505</error>",
        StatusOk, reported, 8);
    row("results: number outside the element", "setupGetResults", "<Error>1</Error>505", StatusOk,
        reported, 8);
    row("background image: not a bitmap", "setupGetBackGroundImage", "<Error>500</Error>",
        StatusBadImage, preset, 0);
}

void TestAgentCommands::replyStatusAndProgress()
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

void TestAgentCommands::resultNotReadyPolled_data()
{
    QTest::addColumn<int>("notReady");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("asks");

    QTest::newRow("ready at the third ask") << 2 << int(StatusOk) << 3;
    QTest::newRow("ready at the eleventh ask") << 10 << int(StatusOk) << 11;
    QTest::newRow("still not ready at the eleventh ask") << 11 << int(StatusNoReply) << 11;
}

void TestAgentCommands::resultNotReadyPolled()
{
    QFETCH(int, notReady);
    QFETCH(int, status);
    QFETCH(int, asks);

    CameraScenario camera = anySession();
    camera.results = QList<int>(notReady, 508) << 0;
    m_camera->setScenario(camera);
    AgentTiming::setResultPollMs(20);
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    enmComResult outcome = ComResultVersionNotCurrent;
    QCOMPARE(int(agent.setupGetResults(QStringLiteral("s1"), outcome)), status);
    QCOMPARE(outcome, status == StatusOk ? ComResultSuccess : ComResultErrorReported);
    QCOMPARE(m_camera->requests("setupGetResults").size(), asks);
}

void TestAgentCommands::backgroundImage_data()
{
    QTest::addColumn<CameraFault>("fault");
    QTest::addColumn<QSize>("size");

    QTest::newRow("bitmap") << CameraFault::None << QSize(64, 48);
    // The background image may be large (here 16 MiB); other replies may not exceed 1 MiB.
    QTest::newRow("16 MiB bitmap") << CameraFault::HugeBody << QSize(2048, 2048);
}

void TestAgentCommands::backgroundImage()
{
    QFETCH(CameraFault, fault);
    QFETCH(QSize, size);

    m_camera->setScenario(anySession(fault, "setupGetBackGroundImage"));
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    QPixmap image;
    QCOMPARE(agent.setupGetBackGroundImage(QStringLiteral("s1"), image), StatusOk);
    QCOMPARE(image.size(), size);
    QCOMPARE(m_camera->requests("setupGetBackGroundImage").size(), 1);
}

QTEST_MAIN(TestAgentCommands)
#include "tst_agentcommands.moc"
