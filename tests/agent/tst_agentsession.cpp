#include "formanswerer.h"

#include "agent/agenttiming.h"
#include "tools/camerasim/simulatedcamera.h"

#include <QElapsedTimer>
#include <QtTest>

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
    void cleanupTestCase();

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

void TestAgentSession::cleanupTestCase()
{
    AgentTiming::setScale(1.0);
}

void TestAgentSession::sessionPaths_data()
{
    QTest::addColumn<CameraScenario>("cameraScenario");
    QTest::addColumn<QString>("logins");       // the login form's answers, see FormAnswerer
    QTest::addColumn<QString>("newPasswords"); // the change form's answers
    QTest::addColumn<int>("credentialAnswers");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("requests");
    QTest::addColumn<QString>("forms");
    QTest::addColumn<int>("scans"); // how often the scan list fills the last credentials form

    const QString full = QStringLiteral("change credentials result");
    QTest::newRow("no password: change form at once, skipped")
        << scenario("no-password") << ""
        << "<skip>" << 1 << int(ComResultSuccess) << "V V Ver S Set R" << full << 1;
    QTest::newRow("no password: new password set")
        << scenario("no-password") << ""
        << "Fresh-1" << 1 << int(ComResultSuccess) << "V V P Ver S Set R" << full << 1;
    QTest::newRow("password refused twice, asked again each time")
        << scenario("refuse-password") << "Nomo-1234 Nomo-1234 Nomo-1234"
        << "" << 1 << int(ComResultSuccess) << "V V L L L Ver S Set R"
        << "login login login credentials result" << 1;
    QTest::newRow("password form dismissed") << scenario("password") << "<cancel>"
                                             << "" << 0 << int(ComResultCancelled) << "V V"
                                             << "login result" << 0;
    QTest::newRow("verify 509") << scenario("verify-509") << ""
                                << "" << 0 << int(ComResultWifiUnavailable) << "V V"
                                << "result" << 0;
    QTest::newRow("verify other error: no login, no change form")
        << scenario("verify-other") << ""
        << "" << 1 << int(ComResultSuccess) << "V V Ver S Set R"
        << "credentials result" << 1;
    QTest::newRow("login 500") << scenario("login-500") << "Nomo-1234"
                               << "" << 0 << int(ComResultWifiUnavailable) << "V V L"
                               << "login result" << 0;
    QTest::newRow("login without reply") << scenario("login-no-reply") << "Nomo-1234"
                                         << "" << 0 << int(ComResultWifiUnavailable) << "V V L"
                                         << "login result" << 0;
    QTest::newRow("verify without reply") << scenario("verify-no-reply") << ""
                                          << "" << 0 << int(ComResultNoReply) << "V"
                                          << "result" << 0;
    QTest::newRow("version without reply") << scenario("version-no-reply") << ""
                                           << "<skip>" << 0 << int(ComResultFailed) << "V V Ver"
                                           << "change result" << 0;
    QTest::newRow("version error twice: log in again each time")
        << scenario("version-error") << ""
        << "<skip> <skip> <skip>" << 1 << int(ComResultSuccess) << "V V Ver L Ver L Ver S Set R"
        << "change change change credentials result" << 1;
    QTest::newRow("scan without reply: empty list offered")
        << scenario("scan-no-reply") << ""
        << "<skip>" << 1 << int(ComResultSuccess) << "V V Ver S Set R" << full << 0;
    QTest::newRow("credentials form dismissed")
        << scenario("no-password") << ""
        << "<skip>" << 0 << int(ComResultCancelled) << "V V Ver S" << full << 1;
    QTest::newRow("result 503") << scenario("result-503") << ""
                                << "<skip>" << 1 << int(ComResultError503) << "V V Ver S Set R"
                                << full << 1;
    QTest::newRow("result 505") << scenario("result-505") << ""
                                << "<skip>" << 1 << int(ComResultNoInternet) << "V V Ver S Set R"
                                << full << 1;
    QTest::newRow("result 505 in lower case")
        << scenario("result-505-lowercase") << ""
        << "<skip>" << 1 << int(ComResultErrorReported) << "V V Ver S Set R" << full << 1;
    QTest::newRow("result never ready: eleven asks")
        << scenario("result-508-always") << ""
        << "<skip>" << 1 << int(ComResultNoReply) << "V V Ver S Set R R R R R R R R R R R" << full
        << 1;
    // After a 502 the configuration is repeated from the login, which sends the password from
    // before the change: accepted when unchanged (and the change form opens again), refused
    // otherwise. The network list keeps the first scan's entries.
    QTest::newRow("result 502 after a change: old password accepted, change form again")
        << scenario("result-502-once", true) << "Nomo-1234|change"
        << "Nomo-1234 <skip>" << 2 << int(ComResultSuccess) << "V V L P Ver S Set R L Ver S Set R"
        << "login change credentials change credentials result" << 2;
    QTest::newRow("result 502 after a change: old password refused, asked again")
        << scenario("result-502-once", true) << "Nomo-1234|change Fresh-99"
        << "Fresh-99" << 2 << int(ComResultSuccess) << "V V L P Ver S Set R L L Ver S Set R"
        << "login change credentials login credentials result" << 2;
}

void TestAgentSession::sessionPaths()
{
    QFETCH(CameraScenario, cameraScenario);
    QFETCH(QString, logins);
    QFETCH(QString, newPasswords);
    QFETCH(int, credentialAnswers);
    QFETCH(int, outcome);
    QFETCH(QString, requests);
    QFETCH(QString, forms);
    QFETCH(int, scans);

    m_camera->setScenario(cameraScenario);
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    FormAnswerer answerer(&agent);
    answerer.logins = words(logins);
    answerer.newPasswords = words(newPasswords);
    answerer.credentialAnswers = credentialAnswers;

    agent.Start();

    checkOneResult(answerer, enmComResult(outcome));
    QCOMPARE(commandsOf(m_camera->requests()), expand(requests));
    QCOMPARE(answerer.forms, words(forms));
    // Every scripted answer was asked for.
    QVERIFY(answerer.logins.isEmpty() && answerer.newPasswords.isEmpty());
    QCOMPARE(answerer.credentialAnswers, 0);
    for (int i = 0; i < answerer.prompts.size(); ++i)
        QCOMPARE(answerer.prompts.at(i), i == 0 ? enterPrompt : retryPrompt);
    // Every login sends a password the user entered (none without a password); change forms
    // show the first one.
    QStringList entered;
    for (const QString &answer : words(logins))
        entered.append(answer.section('|', 0, 0));
    for (const CameraRequest &login : m_camera->requests("setupGetLogin"))
        QVERIFY2(entered.value(0) == login.query.mid(5) || entered.contains(login.query.mid(5)),
                 qPrintable(login.query));
    for (const QString &current : answerer.changeCurrent)
        QCOMPARE(current, entered.value(0));
    if (!newPasswords.isEmpty() && !newPasswords.startsWith("<skip>"))
        QCOMPARE(m_camera->password(), words(newPasswords).first());
    QList<WIFINetworkEntry> offered;
    for (int i = 0; i < scans; ++i)
        offered += scanOnce;
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

    CameraScenario slowVersion = scenario("no-password");
    slowVersion.slowMs = 20000;
    slowVersion.faults.append({CameraFault::SlowReply, "setupGetVersion", 1, -1});
    QTest::newRow("during a request")
        << slowVersion << "setupGetVersion" << 1 << false << "V V Ver";
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
    if (cameraScenario.hasPassword)
        answerer.logins = QStringList{"Nomo-1234"};
    answerer.credentialAnswers = 1;

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

    // The key type is mapped by the version the session read, compared with "1.03.01.0082" as
    // plain text.
    const struct
    {
        const char *keyType, *before, *from;
    } mapping[] = {{"WPA-AES", "WPA", "WPA-CCMP"},
                   {"WPA-TKIP", "WPA", "WPA-TKIP"},
                   {"WPA2-AES", "WPA2", "WPA2-CCMP"},
                   {"WPA2-TKIP", "WPA2", "WPA2-TKIP"},
                   {"WEP", "WEP", "WEP"},
                   {"No Authentication", "No%20Authentication", "No%20Authentication"}};
    for (const auto &m : mapping) {
        QTest::addRow("0081: %s", m.keyType) << "1.03.01.0081" << m.keyType << m.before;
        QTest::addRow("0082: %s", m.keyType) << "1.03.01.0082" << m.keyType << m.from;
    }
    QTest::newRow("no version sorts first") << ""
                                            << "WPA2-AES"
                                            << "WPA2";
    QTest::newRow("proper prefix sorts first") << "1.03.01.008"
                                               << "WPA2-AES"
                                               << "WPA2";
    QTest::newRow("compared as text, not as numbers") << "1.10.00.0000"
                                                      << "WPA2-AES"
                                                      << "WPA2-CCMP";
    QTest::newRow("exact case: lower-case not mapped") << "1.03.01.0082"
                                                       << "wpa2-aes"
                                                       << "wpa2-aes";
    QTest::newRow("exact case before the bound") << "1.03.01.0081"
                                                 << "WPA2-aes"
                                                 << "WPA2-aes";
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
    answerer.credentialAnswers = 1;
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
    answerer.credentialAnswers = 1;
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
