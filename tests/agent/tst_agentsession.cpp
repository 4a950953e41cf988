#include "formanswerer.h"
#include "scriptedcamera.h"

#include "agent/agenttiming.h"
#include "agent/myhttpsagent.h"
#include "tools/camerasim/simulatedcamera.h"

#include <QElapsedTimer>
#include <QProgressBar>
#include <QtTest>

Q_DECLARE_METATYPE(CameraScenario)

namespace {

const QHostAddress cameraAddress(QStringLiteral("127.0.0.44"));
const QHostAddress scriptedAddress(QStringLiteral("127.0.0.54"));

const QString enterPrompt = QStringLiteral("Enter the Lumetra - Wi-Fi setup password");
const QString retryPrompt = QStringLiteral("Incorrect password.  Please try again.");

QStringList commandsOf(const QList<CameraRequest> &requests)
{
    QStringList commands;
    for (const CameraRequest &r : requests)
        commands.append(r.command);
    return commands;
}

// "V V L ..." shorthand for the expected request sequences.
QStringList expand(const QString &shorthand)
{
    static const QHash<QString, QString> names = {
        {"V", "setupVerify"},       {"L", "setupGetLogin"},    {"P", "setupSetPwd"},
        {"Ver", "setupGetVersion"}, {"S", "setupGetWIFIScan"}, {"Set", "setupSetSSID"},
        {"R", "setupGetResults"}};
    QStringList commands;
    for (const QString &word : shorthand.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        commands.append(names.value(word, word));
    return commands;
}

CameraScenario scenario(const char *name, const std::function<void(CameraScenario &)> &adjust = {})
{
    CameraScenario s = CameraScenario::named(QLatin1String(name));
    Q_ASSERT(!s.name.isEmpty());
    if (adjust)
        adjust(s);
    return s;
}

void withPassword(CameraScenario &s)
{
    s.hasPassword = true;
    s.password = QStringLiteral("Nomo-1234");
}

// Login answers as text: "secret", "secret|change" or "<cancel>".
void scriptLogins(FormAnswerer &forms, const QStringList &answers)
{
    for (const QString &answer : answers) {
        FormAnswerer::Login login;
        login.cancel = answer == QLatin1String("<cancel>");
        login.password = answer.section(QLatin1Char('|'), 0, 0);
        login.changePassword = answer.endsWith(QLatin1String("|change"));
        forms.logins.enqueue(login);
    }
}

void scriptNewPasswords(FormAnswerer &forms, const QStringList &answers)
{
    for (const QString &answer : answers) {
        forms.newPasswords.enqueue(answer == QLatin1String("<skip>") ? std::nullopt
                                                                     : std::optional(answer));
    }
}

void scriptCredentials(FormAnswerer &forms, int count)
{
    for (int i = 0; i < count; ++i)
        forms.credentials.enqueue(
            {0, QString(), QStringLiteral("key 1"), QStringLiteral("WPA2-AES"), false});
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
    void changedPasswordReloginSendsOldPassword();
    void refusedReloginAfterChangeAsksAgain();
    void networkListAccumulatesAcrossRelogin();
    void reportedSsidReachesCameraByteExact();
    void rescanDuringCredentialsForm();

private:
    void checkOneResult(const FormAnswerer &forms, enmComResult expected);

    std::unique_ptr<SimulatedCamera> m_camera;
    std::unique_ptr<ScriptedCamera> m_scripted;
};

void TestAgentSession::initTestCase()
{
    m_camera = std::make_unique<SimulatedCamera>();
    QVERIFY2(m_camera->listen(cameraAddress), qPrintable(m_camera->errorString()));
    m_scripted = std::make_unique<ScriptedCamera>();
    QVERIFY(m_scripted->listen(scriptedAddress));
}

void TestAgentSession::init()
{
    // A session in well under a second; the real durations are checked by the slow tests.
    AgentTiming::setScale(0.02);
    AgentTiming::setTransferTimeoutMs(30000); // never the reason a request ends here
    m_camera->setScenario(CameraScenario());
    m_camera->clearRequests();
    m_scripted->reset();
}

void TestAgentSession::cleanupTestCase()
{
    AgentTiming::setScale(1.0);
}

void TestAgentSession::checkOneResult(const FormAnswerer &forms, enmComResult expected)
{
    QCOMPARE(forms.results, QList<enmComResult>{expected});
    QCOMPARE(forms.resultImageNull, QList<bool>{true});
    QCOMPARE(forms.forms.last(), QStringLiteral("result"));
    QVERIFY(forms.presetsClean);
}

void TestAgentSession::sessionPaths_data()
{
    QTest::addColumn<CameraScenario>("cameraScenario");
    QTest::addColumn<QStringList>("logins");
    QTest::addColumn<QStringList>("newPasswords");
    QTest::addColumn<int>("credentialAnswers");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("requests");
    QTest::addColumn<QStringList>("forms");
    QTest::addColumn<QStringList>("prompts");

    const QStringList none;
    const QStringList skip{"<skip>"};
    const QStringList full = {"change", "credentials", "result"};
    const QStringList passwordFull = {"login", "credentials", "result"};

    QTest::newRow("no password: change form at once, skipped")
        << scenario("no-password") << none << skip << 1 << int(ComResultSuccess)
        << "V V Ver S Set R" << full << none;
    QTest::newRow("no password: new password set")
        << scenario("no-password") << none << QStringList{"Fresh 1"} << 1 << int(ComResultSuccess)
        << "V V P Ver S Set R" << full << none;
    QTest::newRow("password accepted")
        << scenario("password") << QStringList{"Nomo-1234"} << none << 1 << int(ComResultSuccess)
        << "V V L Ver S Set R" << passwordFull << QStringList{enterPrompt};
    QTest::newRow("password refused twice, asked again each time")
        << scenario("refuse-password") << QStringList{"Nomo-1234", "Nomo-1234", "Nomo-1234"} << none
        << 1 << int(ComResultSuccess) << "V V L L L Ver S Set R"
        << QStringList{"login", "login", "login", "credentials", "result"}
        << QStringList{enterPrompt, retryPrompt, retryPrompt};
    QTest::newRow("wrong password, then the right one")
        << scenario("password") << QStringList{"wrong", "Nomo-1234"} << none << 1
        << int(ComResultSuccess) << "V V L L Ver S Set R"
        << QStringList{"login", "login", "credentials", "result"}
        << QStringList{enterPrompt, retryPrompt};
    QTest::newRow("password form dismissed")
        << scenario("password") << QStringList{"<cancel>"} << none << 0 << int(ComResultCancelled)
        << "V V" << QStringList{"login", "result"} << QStringList{enterPrompt};
    QTest::newRow("change ticked at login")
        << scenario("password") << QStringList{"Nomo-1234|change"} << QStringList{"Fresh 2"} << 1
        << int(ComResultSuccess) << "V V L P Ver S Set R"
        << QStringList{"login", "change", "credentials", "result"} << QStringList{enterPrompt};
    QTest::newRow("verify 509") << scenario("verify-509") << none << none << 0
                                << int(ComResultWifiUnavailable) << "V V" << QStringList{"result"}
                                << none;
    QTest::newRow("verify other error: no login, no change form")
        << scenario("verify-other") << none << none << 1 << int(ComResultSuccess)
        << "V V Ver S Set R" << QStringList{"credentials", "result"} << none;
    QTest::newRow("login 500") << scenario("login-500") << QStringList{"Nomo-1234"} << none << 0
                               << int(ComResultWifiUnavailable) << "V V L"
                               << QStringList{"login", "result"} << QStringList{enterPrompt};
    QTest::newRow("login 509") << scenario("login-509") << QStringList{"Nomo-1234"} << none << 0
                               << int(ComResultWifiUnavailable) << "V V L"
                               << QStringList{"login", "result"} << QStringList{enterPrompt};
    QTest::newRow("login without reply")
        << scenario("password",
                    [](CameraScenario &s) {
                        s.faults.append({CameraFault::EmptyBody, "setupGetLogin", 1, -1});
                    })
        << QStringList{"Nomo-1234"} << none << 0 << int(ComResultWifiUnavailable) << "V V L"
        << QStringList{"login", "result"} << QStringList{enterPrompt};
    QTest::newRow("port check without reply")
        << scenario("fault-empty-body") << none << none << 0 << int(ComResultNoReply) << "V"
        << QStringList{"result"} << none;
    QTest::newRow("verify without reply")
        << scenario("no-password",
                    [](CameraScenario &s) {
                        s.faults.append({CameraFault::EmptyBody, "setupVerify", 2, -1});
                    })
        << none << none << 0 << int(ComResultNoReply) << "V V" << QStringList{"result"} << none;
    QTest::newRow("version without reply")
        << scenario("no-password",
                    [](CameraScenario &s) {
                        s.faults.append({CameraFault::EmptyBody, "setupGetVersion", 1, -1});
                    })
        << none << skip << 0 << int(ComResultFailed) << "V V Ver" << QStringList{"change", "result"}
        << none;
    QTest::newRow("version error twice: log in again each time")
        << scenario("version-error") << none << QStringList{"<skip>", "<skip>", "<skip>"} << 1
        << int(ComResultSuccess) << "V V Ver L Ver L Ver S Set R"
        << QStringList{"change", "change", "change", "credentials", "result"} << none;
    QTest::newRow("scan without reply: empty list offered")
        << scenario("scan-no-reply") << none << skip << 1 << int(ComResultSuccess)
        << "V V Ver S Set R" << full << none;
    QTest::newRow("credentials form dismissed")
        << scenario("no-password") << none << skip << 0 << int(ComResultCancelled) << "V V Ver S"
        << full << none;
    QTest::newRow("result 503") << scenario("result-503") << none << skip << 1
                                << int(ComResultError503) << "V V Ver S Set R" << full << none;
    QTest::newRow("result 505") << scenario("result-505") << none << skip << 1
                                << int(ComResultNoInternet) << "V V Ver S Set R" << full << none;
    QTest::newRow("result 505 in lower case")
        << scenario("result-505-lowercase") << none << skip << 1 << int(ComResultErrorReported)
        << "V V Ver S Set R" << full << none;
    QTest::newRow("result with an unknown error")
        << scenario("result-unknown-error") << none << skip << 1 << int(ComResultErrorReported)
        << "V V Ver S Set R" << full << none;
    QTest::newRow("result not ready twice")
        << scenario("result-508-then-success") << none << skip << 1 << int(ComResultSuccess)
        << "V V Ver S Set R R R" << full << none;
    QTest::newRow("result never ready: eleven asks")
        << scenario("result-508-always") << none << skip << 1 << int(ComResultNoReply)
        << "V V Ver S Set R R R R R R R R R R R" << full << none;
    QTest::newRow("result 502: configuration repeated from the login")
        << scenario("result-502-once", withPassword) << QStringList{"Nomo-1234"} << none << 2
        << int(ComResultSuccess) << "V V L Ver S Set R L Ver S Set R"
        << QStringList{"login", "credentials", "credentials", "result"} << QStringList{enterPrompt};
}

void TestAgentSession::sessionPaths()
{
    QFETCH(CameraScenario, cameraScenario);
    QFETCH(QStringList, logins);
    QFETCH(QStringList, newPasswords);
    QFETCH(int, credentialAnswers);
    QFETCH(int, outcome);
    QFETCH(QString, requests);
    QFETCH(QStringList, forms);
    QFETCH(QStringList, prompts);

    m_camera->setScenario(cameraScenario);
    QProgressBar progress;
    progress.setRange(0, 8);
    MyHttpsAgent agent(cameraAddress.toString(), &progress);
    FormAnswerer answerer(&agent);
    scriptLogins(answerer, logins);
    scriptNewPasswords(answerer, newPasswords);
    scriptCredentials(answerer, credentialAnswers);

    agent.Start();

    checkOneResult(answerer, enmComResult(outcome));
    QCOMPARE(commandsOf(m_camera->requests()), expand(requests));
    QCOMPARE(answerer.forms, forms);
    QCOMPARE(answerer.prompts, prompts);
    // Every scripted answer was asked for.
    QVERIFY(answerer.logins.isEmpty());
    QVERIFY(answerer.newPasswords.isEmpty());
    QVERIFY(answerer.credentials.isEmpty());
    // Change forms show the password the user logged in with (none without a password).
    for (const QString &current : answerer.changeCurrent)
        QCOMPARE(current, logins.isEmpty() ? QString() : logins.first().section('|', 0, 0));
    if (!newPasswords.isEmpty() && newPasswords.first() != QLatin1String("<skip>"))
        QCOMPARE(m_camera->password(), newPasswords.first());
    if (expand(requests).contains(QStringLiteral("setupGetVersion")) && outcome != ComResultFailed)
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

    QTest::newRow("during a request")
        << scenario("no-password",
                    [](CameraScenario &s) {
                        s.slowMs = 20000;
                        s.faults.append({CameraFault::SlowReply, "setupGetVersion", 1, -1});
                    })
        << "setupGetVersion" << 1 << false << "V V Ver";
    QTest::newRow("during the pause after an empty reply")
        << scenario("no-password",
                    [](CameraScenario &s) {
                        s.faults.append({CameraFault::EmptyBody, "setupGetVersion", 1, -1});
                    })
        << "setupGetVersion" << 1 << true << "V V Ver";
    QTest::newRow("during the wait for the result")
        << scenario("no-password") << "setupSetSSID" << 1 << true << "V V Ver S Set";
    QTest::newRow("during the wait after a not-ready result")
        << scenario("result-508-always") << "setupGetResults" << 1 << true << "V V Ver S Set R";
    QTest::newRow("in an endless version error loop")
        << scenario("version-error-always", withPassword) << "setupGetVersion" << 3 << false
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
    AgentTiming::setResultWaitMs(20000);
    AgentTiming::setResultPollMs(20000);
    AgentTiming::setTransferTimeoutMs(60000);
    if (cancelAt == QLatin1String("setupGetResults"))
        AgentTiming::setResultWaitMs(1); // straight to the polls

    m_camera->setScenario(cameraScenario);
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    FormAnswerer answerer(&agent);
    scriptLogins(answerer, {"Nomo-1234"});
    scriptNewPasswords(answerer, {"<skip>", "<skip>", "<skip>"});
    scriptCredentials(answerer, 1);
    if (cameraScenario.hasPassword)
        answerer.newPasswords.clear();
    else
        answerer.logins.clear();

    QTimer delayedCancel;
    delayedCancel.setSingleShot(true);
    connect(&delayedCancel, &QTimer::timeout, &agent, &MyHttpsAgent::Cancel);
    auto trigger = [&](const CameraRequest &request) {
        if (request.command != cancelAt || request.tryNumber != cancelTry)
            return;
        if (afterReply)
            delayedCancel.start(100);
        else
            agent.Cancel();
    };
    connect(m_camera.get(),
            afterReply ? &SimulatedCamera::requestFinished : &SimulatedCamera::requestReceived,
            &agent, trigger);

    QElapsedTimer clock;
    clock.start();
    agent.Start();

    checkOneResult(answerer, ComResultCancelled);
    QCOMPARE(commandsOf(m_camera->requests()), expand(requests));
    // Nothing ran out on its own: every wait would have lasted 20 s.
    QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
}

void TestAgentSession::changedPasswordReloginSendsOldPassword()
{
    // A camera that accepts any login, so that the re-login after 502 succeeds.
    m_scripted->setReplies("setupVerify", {"<Error>500</Error>"});
    m_scripted->setReplies("setupGetLogin", {"<SessionId>sx</SessionId>"});
    m_scripted->setReplies("setupGetVersion", {"<Version>1.05.02.0031</Version>"});
    m_scripted->setReplies("setupGetResults", {"<Error>502</Error>", "<Result>done</Result>"});

    MyHttpsAgent agent(scriptedAddress.toString(), nullptr);
    FormAnswerer answerer(&agent);
    scriptLogins(answerer, {"Old 1|change"});
    scriptNewPasswords(answerer, {"New 2", "<skip>"});
    scriptCredentials(answerer, 2);

    agent.Start();

    checkOneResult(answerer, ComResultSuccess);
    QCOMPARE(answerer.forms,
             (QStringList{"login", "change", "credentials", "change", "credentials", "result"}));
    QCOMPARE(answerer.changeCurrent, (QStringList{"Old 1", "Old 1"}));
    QCOMPARE(m_scripted->targets("setupGetLogin"),
             (QStringList{"/WifiConfig/setupGetLogin?Pass=Old%201",
                          "/WifiConfig/setupGetLogin?Pass=Old%201"}));
    QCOMPARE(m_scripted->targets("setupSetPwd"),
             QStringList{"/WifiConfig/setupSetPwd?SessionId=sx?Pass=New%202"});
}

void TestAgentSession::refusedReloginAfterChangeAsksAgain()
{
    m_camera->setScenario(scenario("result-502-once", withPassword));
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    FormAnswerer answerer(&agent);
    scriptLogins(answerer, {"Nomo-1234|change", "Fresh-99"});
    scriptNewPasswords(answerer, {"Fresh-99"});
    scriptCredentials(answerer, 2);

    agent.Start();

    checkOneResult(answerer, ComResultSuccess);
    // The re-login sends the password from before the change; the camera refuses it.
    QStringList queries;
    for (const CameraRequest &r : m_camera->requests("setupGetLogin"))
        queries.append(r.query);
    QCOMPARE(queries, (QStringList{"Pass=Nomo-1234", "Pass=Nomo-1234", "Pass=Fresh-99"}));
    QCOMPARE(answerer.prompts, (QStringList{enterPrompt, retryPrompt}));
    // The second password form still shows the change flag as set, and the answer clears it.
    QCOMPARE(answerer.changeFlagPresets, (QList<bool>{false, true}));
    QCOMPARE(answerer.passwordPresets, (QStringList{QString(), "Nomo-1234"}));
    QCOMPARE(answerer.forms,
             (QStringList{"login", "change", "credentials", "login", "credentials", "result"}));
}

void TestAgentSession::networkListAccumulatesAcrossRelogin()
{
    m_camera->setScenario(scenario("result-502-once"));
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    FormAnswerer answerer(&agent);
    scriptNewPasswords(answerer, {"<skip>", "<skip>"});
    scriptCredentials(answerer, 2);

    agent.Start();

    checkOneResult(answerer, ComResultSuccess);
    const QList<WIFINetworkEntry> once = {
        {"HomeNet", "WPA2-AES"}, {QString(), "WPA-TKIP"}, {QString::fromUtf8("Café"), "WPA2-AES"}};
    QCOMPARE(answerer.offeredNetworks.size(), 2);
    QCOMPARE(answerer.offeredNetworks.at(0), once);
    QCOMPARE(answerer.offeredNetworks.at(1), once + once);
}

void TestAgentSession::reportedSsidReachesCameraByteExact()
{
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    FormAnswerer answerer(&agent);
    scriptNewPasswords(answerer, {"<skip>"});
    answerer.credentials.enqueue(
        {2, QString(), QStringLiteral("pässword"), QStringLiteral("WPA2-AES"), false});

    agent.Start();

    checkOneResult(answerer, ComResultSuccess);
    QCOMPARE(m_camera->configuredSsid(), QString::fromUtf8("Café"));
    QCOMPARE(m_camera->configuredKey(), QString::fromUtf8("pässword"));
    const QList<CameraRequest> sets = m_camera->requests("setupSetSSID");
    QCOMPARE(sets.size(), 1);
    QVERIFY2(sets.first().query.contains("?ssid=Caf%C3%A9?netpass=p%C3%A4ssword?"),
             qPrintable(sets.first().query));
}

void TestAgentSession::rescanDuringCredentialsForm()
{
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    FormAnswerer answerer(&agent);
    scriptNewPasswords(answerer, {"<skip>"});
    scriptCredentials(answerer, 1);
    QList<WIFINetworkEntry> rescanned;
    answerer.onCredentialsForm = [&](int) { rescanned = agent.WIFI_Rescan(); };

    agent.Start();

    checkOneResult(answerer, ComResultSuccess);
    QCOMPARE(rescanned.size(), 3);
    QCOMPARE(rescanned.at(0).ssid, QStringLiteral("HomeNet"));
    QCOMPARE(commandsOf(m_camera->requests()), expand("V V Ver S S Set R"));
    QCOMPARE(m_camera->requests("setupGetWIFIScan").last().query,
             "SessionId=" + m_camera->sessionId());
}

QTEST_MAIN(TestAgentSession)
#include "tst_agentsession.moc"
