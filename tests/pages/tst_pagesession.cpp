#include "agent/agenttiming.h"
#include "agent/myhttpsagent.h"
#include "pages/tabnomocommunication.h"
#include "tools/camerasim/simulatedcamera.h"

#include "pagetesthelpers.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QSignalSpy>
#include <QVBoxLayout>

namespace {

const QHostAddress kCameraAddress(QStringLiteral("127.0.0.70"));

// A dialog window holding the page, as the wizard holds it.
struct HostWindow
{
    QDialog window;
    TabNomoCommunication *page = new TabNomoCommunication(&window, 3);

    HostWindow()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(page);
        window.show();
    }
};

QStringList listOf(const QList<CameraRequest> &requests, QString CameraRequest::*field)
{
    QStringList list;
    for (const CameraRequest &r : requests)
        list << r.*field;
    return list;
}

} // namespace

class TestPageSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup() { verifyNoWindowOpen(); }

    void wholeSessionWithRefusalChangeAndWifi();
    void sessionEndsCancelled_data();
    void sessionEndsCancelled();
    void secondSessionStartsAfresh();
    void closingTheWindowEndsTheProcess_data();
    void closingTheWindowEndsTheProcess();
};

void TestPageSession::initTestCase()
{
    AgentTiming::setScale(0.01);
    // A held-back reply stays outstanding until the test's cancel or close ends the wait.
    AgentTiming::setTransferTimeoutMs(60000);
}

void TestPageSession::wholeSessionWithRefusalChangeAndWifi()
{
    SimulatedCamera camera(CameraScenario::named(QStringLiteral("password")));
    QCOMPARE(camera.scenario().password, QStringLiteral("Nomo-1234"));
    QVERIFY2(camera.listen(kCameraAddress, 80), qPrintable(camera.errorString()));

    HostWindow host;
    QSignalSpy moves(host.page, &TabNomoCommunication::MoveTabSignal);
    ModalDialogHandler modal;
    QStringList seen; // prompts, old password, networks offered
    QPointer<MyHttpsAgent> agentSeen;
    auto answer = [&](const QStringList &fields, const QString &ok = QStringLiteral("OK")) {
        return [&, fields, ok](QWidget *w) {
            if (auto *label = w->findChild<QLabel *>(QStringLiteral("messageLabel")))
                seen << label->text();
            if (auto *old = w->findChild<QLineEdit *>(QStringLiteral("oldPasswordEdit")))
                seen << old->text();
            if (auto *ssid = w->findChild<QComboBox *>(QStringLiteral("ssidCombo"))) {
                agentSeen = host.page->agent();
                for (int i = 0; i < ssid->count(); ++i)
                    seen << ssid->itemText(i);
            }
            fillIn(w, fields);
            endDialog(qobject_cast<QDialog *>(w), ok);
        };
    };
    modal.expect(answer({"passwordEdit", "wrong"}));
    modal.expect(answer({"passwordEdit", "Nomo-1234", "changePasswordCheck", "tick"}));
    modal.expect(answer({"newPasswordEdit", "Fresh 5678", "confirmPasswordEdit", "Fresh 5678"}));
    modal.expect(answer({"ssidCombo", "HomeNet", "keyEdit", "wifi key 1"}, QStringLiteral("Ok")));

    // The port part of the address is not used: the camera is reached on port 80.
    QVERIFY(host.page->Connect(kCameraAddress.toString() + QStringLiteral(":443")));
    QCOMPARE(modal.handled(), 4);
    // The results form moved the wizard on before Connect returned.
    QCOMPARE(moves.count(), 1);
    QCOMPARE(moves.first().first().toInt(), 3);
    QCOMPARE(host.page->result(), ComResultSuccess);
    QCOMPARE(host.page->host(), kCameraAddress.toString());
    QCOMPARE(seen, (QStringList{"Enter the Lumetra - Wi-Fi setup password",
                                "Incorrect password.  Please try again.", "Nomo-1234", "HomeNet",
                                "", QStringLiteral("Caf\u00e9")}));

    const QString q = QStringLiteral("?SessionId=") + camera.sessionId();
    QVERIFY(!camera.sessionId().isEmpty());
    QCOMPARE(listOf(camera.requests(), &CameraRequest::target),
             (QStringList{"/WifiConfig/setupVerify", "/WifiConfig/setupVerify",
                          "/WifiConfig/setupGetLogin?Pass=wrong",
                          "/WifiConfig/setupGetLogin?Pass=Nomo-1234",
                          "/WifiConfig/setupSetPwd" + q + "?Pass=Fresh%205678",
                          "/WifiConfig/setupGetVersion" + q, "/WifiConfig/setupGetWIFIScan" + q,
                          "/WifiConfig/setupSetSSID" + q +
                              "?ssid=HomeNet?netpass=wifi%20key%201?securitytype=WPA2-CCMP",
                          "/WifiConfig/setupGetResults" + q}));

    // The agent drove the page's bar, and is released once the session is over.
    QVERIFY(host.page->findChild<QProgressBar *>()->value() > 0);
    QVERIFY(!host.page->isSessionRunning());
    QVERIFY(agentSeen);
    QTRY_VERIFY(agentSeen.isNull());
    host.window.hide();
}

void TestPageSession::sessionEndsCancelled_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("slowCommand"); // its reply is held back for a minute
    QTest::addColumn<int>("slowTry");
    QTest::addColumn<QStringList>("answers"); // how each form dialog in turn is ended
    QTest::addColumn<QString>("trigger");     // what happens when the slow request arrives
    QTest::addColumn<QStringList>("commands");

    const QStringList toScan = {"setupVerify", "setupVerify", "setupGetVersion",
                                "setupGetWIFIScan"};
    QTest::newRow("password dialog cancelled")
        << "password"
        << "" << 0 << QStringList{"Cancel"} << "" << toScan.mid(0, 2);
    QTest::newRow("change skipped, Wi-Fi dialog cancelled")
        << "no-password"
        << "" << 0 << QStringList{"Skip", "Cancel"} << "" << toScan;
    QTest::newRow("Cancel button while a request waits")
        << "no-password"
        << "setupGetVersion" << 1 << QStringList{"Skip"} << "cancel" << toScan.mid(0, 3);
    QTest::newRow("window closed while a request waits")
        << "password"
        << "setupVerify" << 2 << QStringList{} << "close" << toScan.mid(0, 2);
    QTest::newRow("window closed while a dialog is open")
        << "no-password"
        << "" << 0 << QStringList{"Skip", "close window"} << "" << toScan;
}

void TestPageSession::sessionEndsCancelled()
{
    QFETCH(QString, scenario);
    QFETCH(QString, slowCommand);
    QFETCH(int, slowTry);
    QFETCH(QStringList, answers);
    QFETCH(QString, trigger);

    CameraScenario s = CameraScenario::named(scenario);
    if (!slowCommand.isEmpty()) {
        s.faults.append({CameraFault::SlowReply, slowCommand, slowTry, 1});
        s.slowMs = 60000;
    }
    SimulatedCamera camera(s);
    QVERIFY2(camera.listen(kCameraAddress, 80), qPrintable(camera.errorString()));

    HostWindow host;
    QSignalSpy moves(host.page, &TabNomoCommunication::MoveTabSignal);
    QElapsedTimer sinceTrigger;
    auto closeWindow = [&] {
        sinceTrigger.start();
        QMetaObject::invokeMethod(&host.window, &QWidget::close, Qt::QueuedConnection);
    };
    connect(&camera, &SimulatedCamera::requestReceived, this, [&](const CameraRequest &r) {
        if (r.command != slowCommand || r.tryNumber != slowTry)
            return;
        if (trigger == QLatin1String("cancel")) {
            sinceTrigger.start();
            clickLater(buttonWithText(host.page, QStringLiteral("Cancel")));
        } else {
            closeWindow();
        }
    });

    ModalDialogHandler modal;
    for (const QString &answer : answers) {
        modal.expect([&, answer](QWidget *w) {
            if (answer == QLatin1String("close window"))
                closeWindow();
            else
                endDialog(qobject_cast<QDialog *>(w), answer);
        });
    }

    QVERIFY(host.page->Connect(kCameraAddress.toString()));
    QCOMPARE(modal.handled(), answers.size());
    if (sinceTrigger.isValid()) // the held-back reply is a minute away; the cancel is at once
        QVERIFY2(sinceTrigger.elapsed() < 5000,
                 qPrintable(QString::number(sinceTrigger.elapsed())));
    QCOMPARE(moves.count(), 1);
    QCOMPARE(host.page->result(), ComResultCancelled);
    QTEST(listOf(camera.requests(), &CameraRequest::command), "commands");
    QVERIFY(!host.page->isSessionRunning());
    host.window.hide();
}

void TestPageSession::secondSessionStartsAfresh()
{
    SimulatedCamera camera(CameraScenario::named(QStringLiteral("no-password")));
    QVERIFY2(camera.listen(kCameraAddress, 80), qPrintable(camera.errorString()));
    HostWindow host;
    auto *progress = host.page->findChild<QProgressBar *>();
    ModalDialogHandler modal;
    QList<QPointer<MyHttpsAgent>> agents; // as each session's Wi-Fi dialog saw it
    int agentsAlive = 0;
    for (const char *answer : {"Skip", "Cancel", "Skip", "Cancel"}) {
        modal.expect([&, answer](QWidget *w) {
            if (w->findChild<QComboBox *>()) {
                agents << host.page->agent();
                agentsAlive += agents.last() ? 1 : 0;
            }
            endDialog(qobject_cast<QDialog *>(w), QLatin1String(answer));
        });
    }

    QVERIFY(host.page->Connect(kCameraAddress.toString()));
    QVERIFY(progress->value() > 0);
    QList<int> progressAtRequest;
    connect(&camera, &SimulatedCamera::requestReceived, this,
            [&] { progressAtRequest << progress->value(); });
    QVERIFY(host.page->Connect(kCameraAddress.toString()));
    QVERIFY(!progressAtRequest.isEmpty());
    QCOMPARE(progressAtRequest.first(), 0); // the second session starts with an empty bar
    // Each session had its own agent, and each is released after its session.
    QCOMPARE(agents.size(), 2);
    QCOMPARE(agentsAlive, 2);
    QTRY_VERIFY(agents[0].isNull() && agents[1].isNull());
    host.window.hide();
}

void TestPageSession::closingTheWindowEndsTheProcess_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<bool>("onReceipt"); // else when the faulty request has finished
    QTest::addColumn<int>("delayMs");    // after that, before the window is closed

    // The agent waits for a reply that is a minute away.
    QTest::newRow("waiting for a reply") << int(CameraFault::SlowReply) << true << 0;
    // The port check got an empty reply; the agent sits in its 5 s retry pause.
    QTest::newRow("in a retry pause") << int(CameraFault::EmptyBody) << false << 300;
}

void TestPageSession::closingTheWindowEndsTheProcess()
{
    QFETCH(int, fault);
    QFETCH(bool, onReceipt);
    QFETCH(int, delayMs);

    CameraScenario s = CameraScenario::named(QStringLiteral("password"));
    s.faults.append({CameraFault(fault), QStringLiteral("setupVerify"), 1, 1});
    s.slowMs = 60000;
    SimulatedCamera camera(s);
    QVERIFY2(camera.listen(kCameraAddress, 80), qPrintable(camera.errorString()));

    QProcess tool;
    tool.setProgram(QStringLiteral(NOMO_PAGE_SESSION_HOST));
    tool.setArguments({kCameraAddress.toString()});
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    tool.setProcessEnvironment(env);
    QSignalSpy finished(&tool, &QProcess::finished);
    QElapsedTimer sinceClose;
    auto onRequest = [&](const CameraRequest &r) {
        if (r.command != QLatin1String("setupVerify") || r.tryNumber != 1 || sinceClose.isValid())
            return;
        QTimer::singleShot(delayMs, this, [&] {
            sinceClose.start();
            tool.write("close\n");
        });
    };
    if (onReceipt)
        connect(&camera, &SimulatedCamera::requestReceived, this, onRequest);
    else
        connect(&camera, &SimulatedCamera::requestFinished, this, onRequest);

    tool.start();
    QVERIFY(tool.waitForStarted());
    QVERIFY2(finished.wait(20000) || !finished.isEmpty(), "the tool did not end");
    const qint64 afterClose = sinceClose.isValid() ? sinceClose.elapsed() : -1;
    if (tool.state() != QProcess::NotRunning) {
        tool.kill();
        tool.waitForFinished();
    }
    const QByteArray out = tool.readAllStandardOutput();
    QVERIFY2(sinceClose.isValid(), (out + tool.readAllStandardError()).constData());
    // Within about a second of the close, and as a cancelled session.
    QVERIFY2(afterClose < 2000, qPrintable(QString::number(afterClose)));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    QVERIFY2(out.contains("outcome 4"), out.constData());
    QCOMPARE(listOf(camera.requests(), &CameraRequest::command), QStringList{"setupVerify"});
}

QTEST_MAIN(TestPageSession)
#include "tst_pagesession.moc"
