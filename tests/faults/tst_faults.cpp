// Whole agent sessions against the simulated camera (real TLS on 127.0.0.90:80, so root) with
// every transport fault at every command: exactly one outcome each, and no hang.
#include "formanswerer.h"

#include "agent/agenttiming.h"
#include "tools/camerasim/simulatedcamera.h"

#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(CameraScenario)

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
    void transportFault_data();
    void transportFault();

private:
    QTemporaryDir m_dir;
    SimulatedCamera m_camera;
};

void TestFaults::initTestCase()
{
    QVERIFY(QDir::setCurrent(m_dir.path()));
    QFile log(QStringLiteral("log_nomo_wifi_setup.log")); // the user asked for a session log
    QVERIFY(log.open(QIODevice::WriteOnly));
    // Pauses of 20 ms per second, 50 ms waits for the result: every wait and retry still taken.
    AgentTiming::setScale(0.02);
    AgentTiming::setResultWaitMs(50);
    AgentTiming::setResultPollMs(50);
    QVERIFY2(m_camera.listen(cameraAddress), qPrintable(m_camera.errorString()));
}

void TestFaults::transportFault_data()
{
    QTest::addColumn<CameraScenario>("scenario");
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
                << passwordCamera(fault, command)
                << (usable ? ComResultSuccess : withoutReply.at(i));
        }
    }
    CameraScenario tls10 = passwordCamera();
    tls10.tls10Only = true;
    QTest::newRow("TLS 1.0 only, self-signed") << tls10 << ComResultSuccess;
}

void TestFaults::transportFault()
{
    QFETCH(CameraScenario, scenario);
    QFETCH(enmComResult, expected);

    m_camera.setScenario(scenario);
    // A stalled request is given up after the transfer timeout: short here, so that nine stalled
    // tries take seconds, yet long enough for TLS on a loaded machine under the sanitizers.
    AgentTiming::setTransferTimeoutMs(
        scenario.faults.value(0).fault == CameraFault::StallMidBody ? 1500 : 30000);
    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    FormAnswerer forms(&agent, user());
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, &agent, &MyHttpsAgent::Cancel);
    watchdog.start(hangLimitMs);
    agent.Start();
    QVERIFY2(watchdog.isActive(), "the session hung");
    QCOMPARE(forms.results, QList<enmComResult>{expected});
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
