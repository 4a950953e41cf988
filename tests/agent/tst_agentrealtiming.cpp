#include "formanswerer.h"

#include "agent/agenttiming.h"
#include "tools/camerasim/simulatedcamera.h"

#include <QtTest>

// The durations users get, measured with the simulated camera's own time stamps.
class TestAgentRealTiming : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void resultsAskedFifteenSecondsAfterSetThenEveryFive();
};

void TestAgentRealTiming::resultsAskedFifteenSecondsAfterSetThenEveryFive()
{
    AgentTiming::setScale(1.0);
    // Of the results replies "not ready", "not ready", "done", the first arrives empty: a retry
    // after the 5 s pause, then a poll 5 s after the "not ready".
    CameraScenario scenario = CameraScenario::named("result-508-then-success");
    scenario.faults.append({CameraFault::EmptyBody, "setupGetResults", 1, 1});
    SimulatedCamera camera(scenario);
    QVERIFY2(camera.listen(QHostAddress(QStringLiteral("127.0.0.45"))),
             qPrintable(camera.errorString()));

    MyHttpsAgent agent(QStringLiteral("127.0.0.45"), nullptr);
    FormAnswerer forms(&agent, {"change=<skip>", "credentials"});
    agent.Start();
    QCOMPARE(forms.results, QList<enmComResult>{ComResultSuccess});

    // The camera's clock between two requests: from the end of one reply to the arrival of the
    // next.
    const QList<CameraRequest> asks =
        camera.requests("setupSetSSID") + camera.requests("setupGetResults");
    QCOMPARE(asks.size(), 4);
    for (int i = 1; i < asks.size(); ++i) {
        const qint64 gap = asks.at(i).receivedMs - asks.at(i - 1).finishedMs;
        const int expected = i == 1 ? 15000 : 5000;
        QVERIFY2(gap >= expected - 50 && gap < expected + 1500,
                 qPrintable(QString::number(i) + ": " + QString::number(gap)));
    }
}

QTEST_MAIN(TestAgentRealTiming)
#include "tst_agentrealtiming.moc"
