#include "formanswerer.h"
#include "scriptedcamera.h"

#include "agent/agenttiming.h"
#include "agent/myhttpsagent.h"
#include "agent/replyparsing.h"
#include "tools/camerasim/simulatedcamera.h"

#include <QPixmap>
#include <QProgressBar>
#include <QtTest>

namespace {

const QHostAddress scriptedAddress(QStringLiteral("127.0.0.43"));
const QHostAddress cameraAddress(QStringLiteral("127.0.0.53"));
const QString preset = QStringLiteral("preset");

QByteArray bytes(const char *text, int size = -1)
{
    return size < 0 ? QByteArray(text) : QByteArray(text, size);
}

} // namespace

class TestAgentCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void commandTarget_data();
    void commandTarget();
    void keyTypeByVersion_data();
    void keyTypeByVersion();
    void replyStatus_data();
    void replyStatus();
    void progressValue_data();
    void progressValue();
    void scanList_data();
    void scanList();
    void rescan();
    void resultNotReadyPolled_data();
    void resultNotReadyPolled();
    void backgroundImage();

private:
    // Runs one command against the scripted camera; value receives what the command wrote
    // (session id, version, outcome number, entry count), preset when nothing was written.
    AgentStatus run(MyHttpsAgent &agent, const QString &command, const QString &argument,
                    QString &value);

    std::unique_ptr<ScriptedCamera> m_scripted;
    std::unique_ptr<SimulatedCamera> m_camera;
};

void TestAgentCommands::initTestCase()
{
    m_scripted = std::make_unique<ScriptedCamera>();
    QVERIFY(m_scripted->listen(scriptedAddress));
    m_camera = std::make_unique<SimulatedCamera>();
    QVERIFY2(m_camera->listen(cameraAddress), qPrintable(m_camera->errorString()));
}

void TestAgentCommands::init()
{
    AgentTiming::setScale(0.01);
    AgentTiming::setTransferTimeoutMs(30000);
    m_scripted->reset();
    m_camera->clearRequests();
}

void TestAgentCommands::cleanupTestCase()
{
    AgentTiming::setScale(1.0);
}

AgentStatus TestAgentCommands::run(MyHttpsAgent &agent, const QString &command,
                                   const QString &argument, QString &value)
{
    const QString session = QStringLiteral("s1");
    value = preset;
    if (command == QLatin1String("setupVerify"))
        return agent.setupVerify(value);
    if (command == QLatin1String("setupGetLogin"))
        return agent.setupGetLogin(argument, value);
    if (command == QLatin1String("setupSetPwd"))
        return agent.setupSetPwd(argument, session);
    if (command == QLatin1String("setupGetVersion"))
        return agent.setupGetVersion(value, argument.isNull() ? session : argument);
    if (command == QLatin1String("setupGetStatus"))
        return agent.setupGetStatus(value, session);
    if (command == QLatin1String("setupGetWIFIScan")) {
        QList<WIFINetworkEntry> networks;
        const AgentStatus status = agent.setupGetWIFIScan(networks, session);
        value = QString::number(networks.size());
        return status;
    }
    if (command == QLatin1String("setupSetSSID"))
        return agent.setupSetSSID(QStringLiteral("My Net"), QStringLiteral("k&y"), argument,
                                  session);
    if (command == QLatin1String("setupGetResults")) {
        enmComResult outcome = ComResultVersionNotCurrent;
        const AgentStatus status = agent.setupGetResults(session, outcome);
        if (outcome != ComResultVersionNotCurrent)
            value = QString::number(outcome);
        return status;
    }
    if (command == QLatin1String("setupGetBackGroundImage")) {
        QPixmap image;
        return agent.setupGetBackGroundImage(session, image);
    }
    qFatal("unknown command");
}

void TestAgentCommands::commandTarget_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("target");

    QTest::newRow("verify") << "setupVerify" << QString() << "/WifiConfig/setupVerify";
    QTest::newRow("login: blank, '&', '?', non-ASCII encoded")
        << "setupGetLogin"
        << "a b&c?é"
        << "/WifiConfig/setupGetLogin?Pass=a%20b%26c%3F%C3%A9";
    QTest::newRow("login: unreserved characters as they are")
        << "setupGetLogin"
        << "Az09-._~"
        << "/WifiConfig/setupGetLogin?Pass=Az09-._~";
    QTest::newRow("login: '%', '+', '/', '=' encoded")
        << "setupGetLogin"
        << "%41+/="
        << "/WifiConfig/setupGetLogin?Pass=%2541%2B%2F%3D";
    QTest::newRow("login: empty password") << "setupGetLogin"
                                           << ""
                                           << "/WifiConfig/setupGetLogin?Pass=";
    QTest::newRow("set password: '?' separators")
        << "setupSetPwd"
        << "n p"
        << "/WifiConfig/setupSetPwd?SessionId=s1?Pass=n%20p";
    QTest::newRow("version") << "setupGetVersion" << QString()
                             << "/WifiConfig/setupGetVersion?SessionId=s1";
    QTest::newRow("version: session id inserted as it is")
        << "setupGetVersion"
        << "a%20b"
        << "/WifiConfig/setupGetVersion?SessionId=a%20b";
    QTest::newRow("status") << "setupGetStatus" << QString()
                            << "/WifiConfig/setupGetStatus?SessionId=s1";
    QTest::newRow("scan") << "setupGetWIFIScan" << QString()
                          << "/WifiConfig/setupGetWIFIScan?SessionId=s1";
    QTest::newRow("results") << "setupGetResults" << QString()
                             << "/WifiConfig/setupGetResults?SessionId=s1";
    QTest::newRow("background image") << "setupGetBackGroundImage" << QString()
                                      << "/WifiConfig/setupGetBackGroundImage?SessionId=s1";
}

void TestAgentCommands::commandTarget()
{
    QFETCH(QString, command);
    QFETCH(QString, argument);
    QFETCH(QString, target);

    MyHttpsAgent agent(scriptedAddress.toString(), nullptr);
    QString value;
    run(agent, command, argument, value);
    // The port check's own setupVerify comes first.
    QCOMPARE(m_scripted->targets(), (QStringList{"/WifiConfig/setupVerify", target}));
}

void TestAgentCommands::keyTypeByVersion_data()
{
    QTest::addColumn<QByteArray>("versionReply");
    QTest::addColumn<QString>("keyType");
    QTest::addColumn<QString>("sent");

    const QByteArray v81 = "<Version>1.03.01.0081</Version>";
    const QByteArray v82 = "<Version>1.03.01.0082</Version>";
    QTest::newRow("0081: WPA-AES") << v81 << "WPA-AES"
                                   << "WPA";
    QTest::newRow("0081: WPA-TKIP") << v81 << "WPA-TKIP"
                                    << "WPA";
    QTest::newRow("0081: WPA2-AES") << v81 << "WPA2-AES"
                                    << "WPA2";
    QTest::newRow("0081: WPA2-TKIP") << v81 << "WPA2-TKIP"
                                     << "WPA2";
    QTest::newRow("0081: WEP") << v81 << "WEP"
                               << "WEP";
    QTest::newRow("0081: No Authentication") << v81 << "No Authentication"
                                             << "No%20Authentication";
    QTest::newRow("0082: WPA-AES") << v82 << "WPA-AES"
                                   << "WPA-CCMP";
    QTest::newRow("0082: WPA-TKIP") << v82 << "WPA-TKIP"
                                    << "WPA-TKIP";
    QTest::newRow("0082: WPA2-AES") << v82 << "WPA2-AES"
                                    << "WPA2-CCMP";
    QTest::newRow("0082: WPA2-TKIP") << v82 << "WPA2-TKIP"
                                     << "WPA2-TKIP";
    QTest::newRow("0082: No Authentication") << v82 << "No Authentication"
                                             << "No%20Authentication";
    QTest::newRow("no version element sorts first")
        << QByteArray("<Response></Response>") << "WPA2-AES"
        << "WPA2";
    QTest::newRow("proper prefix sorts first")
        << QByteArray("<Version>1.03.01.008</Version>") << "WPA2-AES"
        << "WPA2";
    QTest::newRow("compared as text, not as numbers")
        << QByteArray("<Version>1.10.00.0000</Version>") << "WPA2-AES"
        << "WPA2-CCMP";
    QTest::newRow("exact case: lower-case not mapped") << v82 << "wpa2-aes"
                                                       << "wpa2-aes";
    QTest::newRow("exact case before the bound") << v81 << "WPA2-aes"
                                                 << "WPA2-aes";
}

void TestAgentCommands::keyTypeByVersion()
{
    QFETCH(QByteArray, versionReply);
    QFETCH(QString, keyType);
    QFETCH(QString, sent);

    // The version that decides is the one the session read; only a session stores it.
    m_scripted->setReplies("setupVerify", {"<SessionId>s1</SessionId>"});
    m_scripted->setReplies("setupGetVersion", {versionReply});
    AgentTiming::setResultWaitMs(1);
    MyHttpsAgent agent(scriptedAddress.toString(), nullptr);
    FormAnswerer forms(&agent);
    forms.newPasswords.enqueue(std::nullopt);
    forms.credentials.enqueue(
        {-1, QStringLiteral("My Net"), QStringLiteral("k&y"), keyType, false});
    agent.Start();

    QCOMPARE(forms.results, QList<enmComResult>{ComResultSuccess});
    QCOMPARE(agent.GetEncoderVersion(),
             Helper_ExtractElementValue(QString::fromLatin1(versionReply), "Version"));
    QCOMPARE(m_scripted->targets("setupSetSSID"),
             QStringList{"/WifiConfig/setupSetSSID?SessionId=s1?ssid=My%20Net?netpass=k%26y"
                         "?securitytype=" +
                         sent});
}

void TestAgentCommands::replyStatus_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("value");

    const QString success = QString::number(ComResultSuccess);
    const QString reported = QString::number(ComResultErrorReported);

    QTest::newRow("verify: session id")
        << "setupVerify" << bytes("<SessionId>ab</SessionId>") << int(StatusOk) << "ab";
    QTest::newRow("verify: no session id element")
        << "setupVerify" << bytes("<Response/>") << int(StatusOk) << "";
    QTest::newRow("verify: numbers without 'Error' are no error")
        << "setupVerify" << bytes("<SessionId>500</SessionId>") << int(StatusOk) << "500";
    QTest::newRow("verify: 500") << "setupVerify" << bytes("<Error>500</Error>")
                                 << int(StatusError500) << preset;
    QTest::newRow("verify: 509") << "setupVerify" << bytes("<Error>509</Error>")
                                 << int(StatusError509) << preset;
    QTest::newRow("verify: 500 tested before 509")
        << "setupVerify" << bytes("<Error>509</Error><Error>500</Error>") << int(StatusError500)
        << preset;
    QTest::newRow("verify: other error")
        << "setupVerify" << bytes("<Error>511</Error>") << int(StatusOtherError) << preset;
    QTest::newRow("verify: 'error' in any case, number anywhere")
        << "setupVerify" << bytes("ERROR <Code>509</Code>") << int(StatusError509) << preset;
    QTest::newRow("verify: text ends at the zero byte")
        << "setupVerify" << bytes("<SessionId>a</SessionId>\0<Error>500</Error>", 42)
        << int(StatusOk) << "a";
    QTest::newRow("verify: body of a zero byte only is a reply with empty text")
        << "setupVerify" << bytes("\0<Error>500</Error>", 19) << int(StatusOk) << "";
    QTest::newRow("login: session id")
        << "setupGetLogin" << bytes("<SessionId>cd</SessionId>") << int(StatusOk) << "cd";
    QTest::newRow("login: 501 wrong password")
        << "setupGetLogin" << bytes("<Error>501</Error>") << int(StatusError501) << preset;
    QTest::newRow("login: 500 tested before 501")
        << "setupGetLogin" << bytes("<Error>501</Error> 500") << int(StatusError500) << preset;
    QTest::newRow("login: 509 tested before 501")
        << "setupGetLogin" << bytes("<Error>501</Error> 509") << int(StatusError509) << preset;
    QTest::newRow("login: other error")
        << "setupGetLogin" << bytes("<Error>777</Error>") << int(StatusOtherError) << preset;
    QTest::newRow("set password: an error is still ok")
        << "setupSetPwd" << bytes("<Error>500</Error>") << int(StatusOk) << preset;
    QTest::newRow("version: value")
        << "setupGetVersion" << bytes("<Version>1.2.3.4</Version>") << int(StatusOk) << "1.2.3.4";
    QTest::newRow("version: UTF-8 reply")
        << "setupGetVersion" << bytes("<Version>Caf\xc3\xa9</Version>") << int(StatusOk)
        << QString::fromUtf8("Café");
    QTest::newRow("version: reply not UTF-8 read byte by byte")
        << "setupGetVersion" << bytes("<Version>Caf\xe9</Version>") << int(StatusOk)
        << QString::fromUtf8("Café");
    QTest::newRow("version: no element")
        << "setupGetVersion" << bytes("<Response/>") << int(StatusOk) << "";
    QTest::newRow("version: error keeps the value, log in again")
        << "setupGetVersion" << bytes("<Error>502</Error>") << int(StatusLoginAgain) << preset;
    QTest::newRow("status: anything is ok")
        << "setupGetStatus" << bytes("<Error>1</Error>") << int(StatusOk) << preset;
    QTest::newRow("set SSID: an error is still ok")
        << "setupSetSSID" << bytes("<Error>500</Error>") << int(StatusOk) << preset;
    QTest::newRow("results: success")
        << "setupGetResults" << bytes("<Result>ok</Result>") << int(StatusOk) << success;
    QTest::newRow("results: 502 tested before 505")
        << "setupGetResults" << bytes("<Error>505</Error><Error>502</Error>")
        << int(StatusLoginAgain) << reported;
    QTest::newRow("results: 505") << "setupGetResults" << bytes("<Error>505</Error>")
                                  << int(StatusError505) << reported;
    QTest::newRow("results: 505 tested before 503")
        << "setupGetResults" << bytes("<Error>503</Error><Error>505</Error>") << int(StatusError505)
        << reported;
    QTest::newRow("results: 503") << "setupGetResults" << bytes("<Error>503</Error>")
                                  << int(StatusError503) << reported;
    QTest::newRow("results: lower-case 505 is an unknown error")
        << "setupGetResults" << bytes("<error>505</error>") << int(StatusOk) << reported;
    QTest::newRow("results: unknown error")
        << "setupGetResults" << bytes("<Error>514</Error>") << int(StatusOk) << reported;
    QTest::newRow("results: number outside the element")
        << "setupGetResults" << bytes("<Error>1</Error>505") << int(StatusOk) << reported;
    QTest::newRow("background image: not a bitmap")
        << "setupGetBackGroundImage" << bytes("<Error>500</Error>") << int(StatusBadImage)
        << preset;
}

void TestAgentCommands::replyStatus()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, reply);
    QFETCH(int, status);
    QFETCH(QString, value);

    m_scripted->setReplies(QStringLiteral("setupVerify"), {"<Port>ok</Port>", reply});
    m_scripted->setReplies(command, command == QLatin1String("setupVerify")
                                        ? QList<QByteArray>{"<Port>ok</Port>", reply}
                                        : QList<QByteArray>{reply});
    MyHttpsAgent agent(scriptedAddress.toString(), nullptr);
    QString written;
    QCOMPARE(int(run(agent, command, QStringLiteral("pw"), written)), status);
    QCOMPARE(written, value);
}

void TestAgentCommands::progressValue_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("reply"); // empty: the camera never answers
    QTest::addColumn<int>("progress");

    QTest::newRow("verify answered") << "setupVerify" << bytes("<SessionId>a</SessionId>") << 1;
    QTest::newRow("verify unanswered") << "setupVerify" << QByteArray() << 0;
    QTest::newRow("login answered") << "setupGetLogin" << bytes("<Error>501</Error>") << 2;
    QTest::newRow("login unanswered") << "setupGetLogin" << QByteArray() << 2;
    QTest::newRow("set password unanswered") << "setupSetPwd" << QByteArray() << 3;
    QTest::newRow("version unanswered") << "setupGetVersion" << QByteArray() << 4;
    QTest::newRow("status answered") << "setupGetStatus" << bytes("ok") << 5;
    QTest::newRow("status unanswered") << "setupGetStatus" << QByteArray() << 0;
    QTest::newRow("scan answered") << "setupGetWIFIScan" << bytes("<Error>1</Error>") << 6;
    QTest::newRow("scan unanswered") << "setupGetWIFIScan" << QByteArray() << 0;
    QTest::newRow("set SSID answered") << "setupSetSSID" << bytes("ok") << 7;
    QTest::newRow("set SSID unanswered") << "setupSetSSID" << QByteArray() << 0;
    QTest::newRow("results success") << "setupGetResults" << bytes("ok") << 0;
    QTest::newRow("results known error") << "setupGetResults" << bytes("<Error>505</Error>") << 0;
    QTest::newRow("results unknown error") << "setupGetResults" << bytes("<Error>514</Error>") << 8;
    QTest::newRow("background image") << "setupGetBackGroundImage" << bytes("x") << 0;
}

void TestAgentCommands::progressValue()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, reply);
    QFETCH(int, progress);

    if (command == QLatin1String("setupVerify"))
        m_scripted->setReplies(command, {"<Port>ok</Port>", reply});
    else
        m_scripted->setReplies(command, {reply});
    QProgressBar bar;
    bar.setRange(0, 8);
    bar.setValue(0);
    MyHttpsAgent agent(scriptedAddress.toString(), &bar);
    QString value;
    const AgentStatus status = run(agent, command, QStringLiteral("WPA2-AES"), value);
    QCOMPARE(status == StatusNoReply, reply.isEmpty());
    QCOMPARE(bar.value(), progress);
}

void TestAgentCommands::scanList_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("entries"); // "ssid|securityType", after the existing one

    QTest::newRow("three blocks, one without SSID")
        << bytes("<Response><Networks>"
                 "<Network><SSID>Home</SSID><SecurityType>WPA2-AES</SecurityType></Network>"
                 "<Network><SecurityType>WEP</SecurityType></Network>"
                 "<Network><SSID>Caf\xc3\xa9</SSID></Network>"
                 "</Networks></Response>")
        << QStringList{"Home|WPA2-AES", "|WEP", QString::fromUtf8("Café|"), "|"};
    QTest::newRow("error reply: no entries") << bytes("<Error>502</Error>") << QStringList{};
    QTest::newRow("same network twice kept twice")
        << bytes("<Network><SSID>A</SSID></Network><Network><SSID>A</SSID></Network>")
        << QStringList{"A|", "A|"};
}

void TestAgentCommands::scanList()
{
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, entries);

    m_scripted->setReplies("setupGetWIFIScan", {reply});
    MyHttpsAgent agent(scriptedAddress.toString(), nullptr);
    QList<WIFINetworkEntry> networks{{"Earlier", "WEP"}};
    QCOMPARE(agent.setupGetWIFIScan(networks, QStringLiteral("s1")), StatusOk);
    QStringList found;
    for (const WIFINetworkEntry &entry : networks)
        found.append(entry.ssid + '|' + entry.securityType);
    QCOMPARE(found, QStringList{"Earlier|WEP"} + entries);
}

void TestAgentCommands::rescan()
{
    m_scripted->setReplies("setupGetWIFIScan", {"<Network><SSID>A</SSID></Network>"});
    MyHttpsAgent agent(scriptedAddress.toString(), nullptr);
    const QList<WIFINetworkEntry> networks = agent.WIFI_Rescan();
    QCOMPARE(networks.size(), 1);
    QCOMPARE(networks.first().ssid, QStringLiteral("A"));
    // Before any session the agent's session id is still empty.
    QCOMPARE(m_scripted->targets("setupGetWIFIScan"),
             QStringList{"/WifiConfig/setupGetWIFIScan?SessionId="});

    agent.Cancel();
    QVERIFY(agent.WIFI_Rescan().isEmpty());
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

    QList<QByteArray> replies(notReady, "<Error>508</Error>");
    replies.append("<Result>ok</Result>");
    m_scripted->setReplies("setupGetResults", replies);
    AgentTiming::setResultPollMs(20);
    MyHttpsAgent agent(scriptedAddress.toString(), nullptr);
    enmComResult outcome = ComResultVersionNotCurrent;
    QCOMPARE(int(agent.setupGetResults(QStringLiteral("s1"), outcome)), status);
    QCOMPARE(outcome, status == StatusOk ? ComResultSuccess : ComResultErrorReported);
    QCOMPARE(m_scripted->targets("setupGetResults").size(), asks);
}

void TestAgentCommands::backgroundImage()
{
    CameraScenario scenario;
    scenario.requireSession = false;
    m_camera->setScenario(scenario);
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    QPixmap image;
    QCOMPARE(agent.setupGetBackGroundImage(m_camera->sessionId(), image), StatusOk);
    QVERIFY(!image.isNull());
    QCOMPARE(m_camera->requests("setupGetBackGroundImage").size(), 1);
}

QTEST_MAIN(TestAgentCommands)
#include "tst_agentcommands.moc"
