#include "formanswerer.h"

#include "agent/agenttiming.h"
#include "agent/myhttpsagent.h"
#include "tools/camerasim/simulatedcamera.h"

#include <QtTest>

// The durations users get, measured with the simulated camera's own time stamps.
namespace {

const QHostAddress cameraAddress(QStringLiteral("127.0.0.45"));

// The camera's clock between two requests: from the end of one reply to the arrival of the next.
qint64 gap(const CameraRequest &earlier, const CameraRequest &later)
{
    return later.receivedMs - earlier.finishedMs;
}

} // namespace

class TestAgentRealTiming : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void retryComesFiveSecondsAfterEmptyReply();
    void resultsAskedFifteenSecondsAfterSetThenEveryFive();

private:
    std::unique_ptr<SimulatedCamera> m_camera;
};

void TestAgentRealTiming::initTestCase()
{
    AgentTiming::setScale(1.0);
    m_camera = std::make_unique<SimulatedCamera>();
    QVERIFY2(m_camera->listen(cameraAddress), qPrintable(m_camera->errorString()));
}

void TestAgentRealTiming::retryComesFiveSecondsAfterEmptyReply()
{
    CameraScenario scenario;
    scenario.requireSession = false;
    scenario.faults.append({CameraFault::EmptyBody, "setupGetResults", 1, 1});
    m_camera->setScenario(scenario);

    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    enmComResult outcome = ComResultVersionNotCurrent;
    QCOMPARE(agent.setupGetResults(QStringLiteral("s1"), outcome), StatusOk);
    QCOMPARE(outcome, ComResultSuccess);

    const QList<CameraRequest> asks = m_camera->requests("setupGetResults");
    QCOMPARE(asks.size(), 2);
    const qint64 pause = gap(asks.at(0), asks.at(1));
    QVERIFY2(pause >= 4950 && pause < 6500, qPrintable(QString::number(pause)));
}

void TestAgentRealTiming::resultsAskedFifteenSecondsAfterSetThenEveryFive()
{
    m_camera->setScenario(CameraScenario::named("result-508-then-success"));
    m_camera->clearRequests();

    MyHttpsAgent agent(cameraAddress.toString(), nullptr);
    FormAnswerer forms(&agent);
    forms.script = QStringList{"change=<skip>", "credentials"};
    agent.Start();
    QCOMPARE(forms.results, QList<enmComResult>{ComResultSuccess});

    const QList<CameraRequest> sets = m_camera->requests("setupSetSSID");
    const QList<CameraRequest> asks = m_camera->requests("setupGetResults");
    QCOMPARE(sets.size(), 1);
    QCOMPARE(asks.size(), 3);
    const qint64 wait = gap(sets.at(0), asks.at(0));
    QVERIFY2(wait >= 14950 && wait < 16500, qPrintable(QString::number(wait)));
    for (int i = 1; i < asks.size(); ++i) {
        const qint64 poll = gap(asks.at(i - 1), asks.at(i));
        QVERIFY2(poll >= 4950 && poll < 6500, qPrintable(QString::number(poll)));
    }
}

QTEST_MAIN(TestAgentRealTiming)
#include "tst_agentrealtiming.moc"
