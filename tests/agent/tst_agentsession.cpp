#include "formanswerer.h"

#include "agent/agenttiming.h"
#include "tools/camerasim/simulatedcamera.h"

#include <QElapsedTimer>
#include <QtTest>

#include <array>

Q_DECLARE_METATYPE(CameraScenario)

namespace {

const QHostAddress cameraAddress(QStringLiteral("127.0.0.44"));
const QString enterPrompt = QStringLiteral("Enter the Lumetra - Wi-Fi setup password");
const QString retryPrompt = QStringLiteral("Incorrect password.  Please try again.");
// What the simulated camera's scan reports: a block without SSID, and "Café" in UTF-8.
const QList<WIFINetworkEntry> scanOnce = {
    {"HomeNet", "WPA2-AES"}, {QString(), "WPA-TKIP"}, {QString::fromUtf8("Café"), "WPA2-AES"}};

QStringList words(const QString &text)
{
    return text.split(' ', Qt::SkipEmptyParts);
}

// The commands the camera received, with "V V L ..." shorthand expanded.
QStringList commandsOf(const QList<CameraRequest> &requests)
{
    QStringList commands;
    for (const CameraRequest &r : requests)
        commands.append(r.command);
    return commands;
}

QStringList expand(const QString &shorthand)
{
    static const QHash<QString, QString> names = {
        {"V", "setupVerify"},       {"L", "setupGetLogin"},    {"P", "setupSetPwd"},
        {"Ver", "setupGetVersion"}, {"S", "setupGetWIFIScan"}, {"Set", "setupSetSSID"},
        {"R", "setupGetResults"}};
    QStringList commands;
    for (const QString &word : words(shorthand))
        commands.append(names.value(word, word));
    return commands;
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

class TestAgentSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void sessionPaths_data();
    void sessionPaths();
    void cancelEndsSession_data();
    void cancelEndsSession();
    void keyTypeAndNetworkReachCamera_data();
    void keyTypeAndNetworkReachCamera();
    void rescanDuringCredentialsForm();

private:
    std::unique_ptr<SimulatedCamera> m_camera;
};

void TestAgentSession::initTestCase()
{
    m_camera = std::make_unique<SimulatedCamera>();
    QVERIFY2(m_camera->listen(cameraAddress), qPrintable(m_camera->errorString()));
}

void TestAgentSession::init()
{
    // A session in well under a second; the real durations are checked by the slow tests.
    AgentTiming::setScale(0.02);
    AgentTiming::setTransferTimeoutMs(30000); // never the reason a request ends here
    m_camera->setScenario(CameraScenario());
    m_camera->clearRequests();
}

void TestAgentSession::sessionPaths_data()
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
    row("no password: new password set", scenario("no-password"),
        "change=Fresh-1 credentials result", ComResultSuccess, "V V P Ver S Set R");
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

void TestAgentSession::sessionPaths()
{
    QFETCH(CameraScenario, cameraScenario);
    QFETCH(QString, forms);
    QFETCH(int, outcome);
    QFETCH(QString, requests);

    m_camera->setScenario(cameraScenario);
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
    QCOMPARE(commandsOf(m_camera->requests()), expand(requests));
    QCOMPARE(answerer.forms, QString(forms).remove(QRegularExpression("=\\S*")).split(' '));
    for (int i = 0; i < answerer.prompts.size(); ++i)
        QCOMPARE(answerer.prompts.at(i), i == 0 ? enterPrompt : retryPrompt);
    // Every login sends a password the user entered (none without a password); change forms
    // show the first one.
    for (const CameraRequest &login : m_camera->requests("setupGetLogin"))
        QVERIFY2(entered.isEmpty() ? login.query == "Pass=" : entered.contains(login.query.mid(5)),
                 qPrintable(login.query));
    for (const QString &current : answerer.changeCurrent)
        QCOMPARE(current, entered.value(0));
    if (!newPassword.isNull() && newPassword != "<skip>")
        QCOMPARE(m_camera->password(), newPassword);
    // The last credentials form offers what every answered scan reported, in order.
    QList<WIFINetworkEntry> offered;
    for (const CameraRequest &scan : m_camera->requests("setupGetWIFIScan"))
        offered += scan.fault == CameraFault::None ? scanOnce : QList<WIFINetworkEntry>();
    QCOMPARE(answerer.offeredNetworks.value(answerer.offeredNetworks.size() - 1), offered);
    if (requests.contains("Ver") && outcome != ComResultFailed)
        QCOMPARE(agent.GetEncoderVersion(), cameraScenario.version);
    // Commands carry the id the camera handed out last, or the literal placeholder when the
    // camera never gave one.
    const QString id = cameraScenario.verifyError == 0 ? m_camera->sessionId() : "m_sessionID";
    QString lastIdQuery;
    for (const CameraRequest &request : m_camera->requests()) {
        if (request.query.startsWith(QLatin1String("SessionId=")))
            lastIdQuery = request.query.section('?', 0, 0);
    }
    if (!lastIdQuery.isEmpty())
        QCOMPARE(lastIdQuery, "SessionId=" + id);
}

void TestAgentSession::cancelEndsSession_data()
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

void TestAgentSession::cancelEndsSession()
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

    m_camera->setScenario(cameraScenario);
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    FormAnswerer answerer(&agent);
    answerer.script = words(cameraScenario.hasPassword ? "login=Nomo-1234 credentials"
                                                       : "change=<skip> credentials");

    QTimer delayedCancel;
    delayedCancel.setSingleShot(true);
    connect(&delayedCancel, &QTimer::timeout, &agent, &MyHttpsAgent::Cancel);
    connect(m_camera.get(),
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
    QCOMPARE(commandsOf(m_camera->requests()), expand(requests));
    // Nothing ran out on its own: every wait would have lasted 20 s.
    QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
}

void TestAgentSession::keyTypeAndNetworkReachCamera_data()
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

void TestAgentSession::keyTypeAndNetworkReachCamera()
{
    QFETCH(QString, version);
    QFETCH(QString, keyType);
    QFETCH(QString, sent);

    CameraScenario camera;
    camera.version = version;
    m_camera->setScenario(camera);
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
    QCOMPARE(m_camera->requests("setupSetSSID").value(0).query,
             "SessionId=" + m_camera->sessionId() +
                 "?ssid=Caf%C3%A9?netpass=p%C3%A4ssword?securitytype=" + sent);
}

void TestAgentSession::rescanDuringCredentialsForm()
{
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    FormAnswerer answerer(&agent);
    answerer.script = words("change=<skip> credentials");
    QList<WIFINetworkEntry> rescanned;
    answerer.onCredentialsForm = [&] { rescanned = agent.WIFI_Rescan(); };

    agent.Start();

    checkOneResult(answerer, ComResultSuccess);
    QCOMPARE(rescanned, scanOnce);
    QCOMPARE(commandsOf(m_camera->requests()), expand("V V Ver S S Set R"));
    QCOMPARE(m_camera->requests("setupGetWIFIScan").last().query,
             "SessionId=" + m_camera->sessionId());
    agent.Cancel();
    QVERIFY(agent.WIFI_Rescan().isEmpty());
}

QTEST_MAIN(TestAgentSession)
#include "tst_agentsession.moc"
