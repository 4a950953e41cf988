// Whole agent sessions against the simulated camera (real TLS on 127.0.0.90:80, so root) with
// every transport fault at every command: exactly one outcome each, no hang, and no growth over
// 50 sessions.
#include "formanswerer.h"

#include "agent/agenttiming.h"
#include "tools/camerasim/simulatedcamera.h"

#include <QTemporaryDir>
#include <QtTest>

#include <atomic>

Q_DECLARE_METATYPE(CameraScenario)

// Qt's hook table (qhooks_p.h), as debugging tools use it: [3] and [4] are called for every
// QObject made and destroyed, on any thread.
extern Q_DECL_IMPORT quintptr qtHookData[];

namespace {

const QHostAddress cameraAddress(QStringLiteral("127.0.0.90"));
const QString setupPassword = QStringLiteral("Secr3t-Pw");
const QString newPassword = QStringLiteral("N3w-Secret");
const QStringList sessionCommands = {"setupVerify",     "setupGetLogin",    "setupSetPwd",
                                     "setupGetVersion", "setupGetWIFIScan", "setupSetSSID",
                                     "setupGetResults"};
// Past this a session counts as hung and is cancelled; the worst row (nine stalled result tries
// with their pauses) needs about 15 s.
constexpr int hangLimitMs = 60000;

std::atomic<qint64> s_liveObjects{0};

// The camera has a setup password; the user logs in asking for a change, sets the new password,
// and answers the credentials form twice; the spare logins answer a camera that already has the
// new password (after a failed or repeated change).
QStringList user()
{
    return {"login=" + setupPassword + "|change",
            "change=" + newPassword,
            "credentials",
            "credentials",
            "login=" + newPassword,
            "login=" + newPassword};
}

CameraScenario passwordCamera(CameraFault fault = CameraFault::None, const QString &command = {})
{
    CameraScenario s;
    s.hasPassword = true;
    s.password = setupPassword;
    s.slowMs = 300;
    s.faults.append({fault, command, 1, -1}); // stallMs stays at 75 s: longer than a minute
    return s;
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void transportFault_data();
    void transportFault();
    void noGrowthOverFiftySessions();

private:
    QList<enmComResult> runSession(const CameraScenario &scenario, const QString &goneAfter = {});

    QTemporaryDir m_dir;
    SimulatedCamera m_camera;
};

void TestFaults::initTestCase()
{
    QVERIFY(QDir::setCurrent(m_dir.path()));
    QFile log(QStringLiteral("log_nomo_wifi_setup.log")); // the user asked for a session log
    QVERIFY(log.open(QIODevice::WriteOnly));
}

void TestFaults::init()
{
    // Pauses of 20 ms per second, 50 ms waits for the result: every wait and retry still taken.
    AgentTiming::setScale(0.02);
    AgentTiming::setResultWaitMs(50);
    AgentTiming::setResultPollMs(50);
    if (!m_camera.isListening())
        QVERIFY2(m_camera.listen(cameraAddress), qPrintable(m_camera.errorString()));
}

QList<enmComResult> TestFaults::runSession(const CameraScenario &scenario, const QString &goneAfter)
{
    m_camera.setScenario(scenario);
    // A stalled request is given up after the transfer timeout: short here, so that nine stalled
    // tries take seconds, yet long enough for TLS on a loaded machine under the sanitizers.
    AgentTiming::setTransferTimeoutMs(
        scenario.faults.value(0).fault == CameraFault::StallMidBody ? 1500 : 30000);
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    FormAnswerer forms(&agent, user());
    // The port check is the first setupVerify; the session's own is the second.
    const int lastTry = goneAfter == QLatin1String("setupVerify") ? 2 : 1;
    const QMetaObject::Connection gone = connect(
        &m_camera, &SimulatedCamera::requestFinished, this, [&](const CameraRequest &request) {
            if (request.command == goneAfter && request.tryNumber >= lastTry)
                m_camera.close();
        });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, &agent, &MyHttpsAgent::Cancel);
    watchdog.start(hangLimitMs);
    agent.Start();
    disconnect(gone);
    return watchdog.isActive() ? forms.results : QList<enmComResult>{};
}

void TestFaults::transportFault_data()
{
    QTest::addColumn<CameraScenario>("scenario");
    QTest::addColumn<QString>("goneAfter"); // the camera stops listening after this command
    QTest::addColumn<enmComResult>("expected");

    // Without a usable reply: the port check fails at the verify; a login ends the session; a
    // failed change logs in again (the camera took it: the spare login answers); a scan goes on
    // with an empty list; the set request's status is not examined; the results after nine tries.
    const QList<enmComResult> withoutReply = {
        ComResultNoReply, ComResultWifiUnavailable, ComResultSuccess, ComResultFailed,
        ComResultSuccess, ComResultSuccess,         ComResultNoReply};
    const std::tuple<CameraFault, const char *, bool> faults[] = {
        {CameraFault::CloseWithoutReply, "no reply", false},
        {CameraFault::EmptyBody, "empty body", false},
        {CameraFault::ResetMidBody, "reset mid-body", false},
        {CameraFault::StallMidBody, "stall over a minute", false},
        {CameraFault::HugeBody, "16 MiB body", false},
        {CameraFault::GarbageWithZero, "garbage after a zero byte", true},
        {CameraFault::SlowReply, "slow reply", true},
        {CameraFault::Redirect, "redirect", true},
        {CameraFault::HttpStatus500, "HTTP status 500", true}};
    for (int i = 0; i < sessionCommands.size(); ++i) {
        const QString &command = sessionCommands.at(i);
        for (const auto &[fault, name, usable] : faults) {
            QTest::addRow("%s at %s", name, qPrintable(command))
                << passwordCamera(fault, command) << QString()
                << (usable ? ComResultSuccess : withoutReply.at(i));
        }
    }
    CameraScenario tls10 = passwordCamera();
    tls10.tls10Only = true;
    QTest::newRow("TLS 1.0 only, self-signed") << tls10 << QString() << ComResultSuccess;
    // Refused from the next request on: the login, the version (after a change that fails and a
    // login that fails), or the results after nine tries.
    const enmComResult afterGone[] = {ComResultWifiUnavailable, ComResultWifiUnavailable,
                                      ComResultFailed,          ComResultNoReply,
                                      ComResultNoReply,         ComResultNoReply};
    for (int i = 0; i < 6; ++i) {
        QTest::addRow("camera gone after %s", qPrintable(sessionCommands.at(i)))
            << passwordCamera() << sessionCommands.at(i) << afterGone[i];
    }
}

void TestFaults::transportFault()
{
    QFETCH(CameraScenario, scenario);
    QFETCH(QString, goneAfter);
    QFETCH(enmComResult, expected);
    QCOMPARE(runSession(scenario, goneAfter), QList<enmComResult>{expected});
}

void TestFaults::noGrowthOverFiftySessions()
{
    // Success, a request without reply, a user who gives up, an error outcome, taken in turn.
    QList<CameraScenario> variants(4, passwordCamera());
    variants[1].faults.append({CameraFault::EmptyBody, "setupGetVersion", 1, -1});
    variants[2].loginError = 501;
    variants[3].results = {503};

    QVERIFY2(qtHookData[1] > 4 && !qtHookData[3] && !qtHookData[4], "no object hooks");
    qtHookData[3] = reinterpret_cast<quintptr>(+[](QObject *) { ++s_liveObjects; });
    qtHookData[4] = reinterpret_cast<quintptr>(+[](QObject *) { --s_liveObjects; });
    auto settle = [] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    };
    auto openFiles = [] { return QDir(QStringLiteral("/proc/self/fd")).count(); };
    // Warm-up: caches of the network and TLS layers fill once per process.
    for (const CameraScenario &s : std::as_const(variants))
        QCOMPARE(runSession(s).size(), 1);
    settle();
    const qint64 objectsBefore = s_liveObjects;
    const uint filesBefore = openFiles();

    for (int i = 0; i < 50; ++i)
        QCOMPARE(runSession(variants.at(i % variants.size())).size(), 1);

    // A session that left one object behind would leave 50; the slack covers objects of the
    // network layer's threads that are still on their way out.
    QTRY_VERIFY_WITH_TIMEOUT((settle(), s_liveObjects <= objectsBefore + 10), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(openFiles() <= filesBefore + 4, 10000);
    qtHookData[3] = qtHookData[4] = 0;
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
