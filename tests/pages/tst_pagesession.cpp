#include "agent/agenttiming.h"
#include "agent/myhttpsagent.h"
#include "pages/tabnomocommunication.h"
#include "tools/camerasim/simulatedcamera.h"

#include "pagetesthelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

const QHostAddress kCameraAddress(QStringLiteral("127.0.0.70"));

// A dialog window holding the page, as the wizard holds it.
struct HostWindow
{
    QDialog window;
    TabNomoCommunication *page;

    HostWindow()
    {
        page = new TabNomoCommunication(&window, 3);
        auto *layout = new QVBoxLayout;
        layout->addWidget(page);
        window.setLayout(layout);
        window.show();
    }
};

QStringList targetsOf(const QList<CameraRequest> &requests)
{
    QStringList targets;
    for (const CameraRequest &r : requests)
        targets << r.target;
    return targets;
}

QStringList commandsOf(const QList<CameraRequest> &requests)
{
    QStringList commands;
    for (const CameraRequest &r : requests)
        commands << r.command;
    return commands;
}

QString className(QWidget *w)
{
    return QString::fromLatin1(w->metaObject()->className());
}

QAbstractButton *okOf(QWidget *dialog)
{
    if (QAbstractButton *ok = buttonWithText(dialog, QStringLiteral("Ok")))
        return ok;
    return dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
}

} // namespace

class TestPageSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

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

void TestPageSession::cleanup()
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows)
        QVERIFY2(!w->isVisible(), qPrintable(w->windowTitle()));
}

void TestPageSession::wholeSessionWithRefusalChangeAndWifi()
{
    SimulatedCamera camera(CameraScenario::named(QStringLiteral("password")));
    QCOMPARE(camera.scenario().password, QStringLiteral("Nomo-1234"));
    QVERIFY2(camera.listen(kCameraAddress, 80), qPrintable(camera.errorString()));

    HostWindow host;
    QSignalSpy moves(host.page, &TabNomoCommunication::MoveTabSignal);
    ModalDialogHandler modal;
    ModalWatchdog watchdog(30000);
    QStringList dialogs;
    QStringList prompts;
    QString oldPassword;
    QStringList networksShown;
    QPointer<MyHttpsAgent> agentSeen;
    QList<QWidget *> parents;

    auto password = [&](const QString &typed, bool tick) {
        return [&, typed, tick](QWidget *w) {
            dialogs << className(w);
            parents << w->parentWidget();
            prompts << w->findChild<QLabel *>(QStringLiteral("messageLabel"))->text();
            QTest::keyClicks(w->findChild<QLineEdit *>(QStringLiteral("passwordEdit")), typed);
            if (tick)
                w->findChild<QCheckBox *>()->click();
            clickLater(okOf(w));
        };
    };
    modal.expect(password(QStringLiteral("wrong"), false));
    modal.expect(password(QStringLiteral("Nomo-1234"), true));
    modal.expect([&](QWidget *w) {
        dialogs << className(w);
        parents << w->parentWidget();
        if (auto *old = w->findChild<QLineEdit *>(QStringLiteral("oldPasswordEdit")))
            oldPassword = old->text();
        QTest::keyClicks(w->findChild<QLineEdit *>(QStringLiteral("newPasswordEdit")),
                         QStringLiteral("Fresh 5678"));
        QTest::keyClicks(w->findChild<QLineEdit *>(QStringLiteral("confirmPasswordEdit")),
                         QStringLiteral("Fresh 5678"));
        clickLater(okOf(w));
    });
    modal.expect([&](QWidget *w) {
        dialogs << className(w);
        parents << w->parentWidget();
        agentSeen = host.page->agent();
        auto *ssid = w->findChild<QComboBox *>(QStringLiteral("ssidCombo"));
        for (int i = 0; i < ssid->count(); ++i)
            networksShown << ssid->itemText(i);
        ssid->setCurrentIndex(ssid->findText(QStringLiteral("HomeNet")));
        QTest::keyClicks(w->findChild<QLineEdit *>(QStringLiteral("keyEdit")),
                         QStringLiteral("wifi key 1"));
        clickLater(okOf(w));
    });

    // The port part of the address is not used: the camera is reached on port 80.
    QVERIFY(host.page->Connect(kCameraAddress.toString() + QStringLiteral(":443")));
    QVERIFY(!watchdog.fired());

    // The results form moved the wizard on before Connect returned.
    QCOMPARE(moves.count(), 1);
    QCOMPARE(moves.first().first().toInt(), 3);
    QCOMPARE(host.page->result(), ComResultSuccess);
    QVERIFY(host.page->backgroundImage().isNull());
    QCOMPARE(host.page->host(), kCameraAddress.toString());

    QCOMPARE(dialogs, (QStringList{"TabDeviceauthentication", "TabDeviceauthentication",
                                   "TabChangePassword", "TabWifiCredentials"}));
    QCOMPARE(parents, QList<QWidget *>(4, host.page));
    QCOMPARE(prompts, (QStringList{"Enter the Lumetra - Wi-Fi setup password",
                                   "Incorrect password.  Please try again."}));
    QCOMPARE(oldPassword, QStringLiteral("Nomo-1234"));
    QCOMPARE(networksShown, (QStringList{"HomeNet", "", QStringLiteral("Caf\u00e9")}));

    const QString sid = camera.sessionId();
    QVERIFY(!sid.isEmpty());
    const QString q = QStringLiteral("?SessionId=") + sid;
    QCOMPARE(targetsOf(camera.requests()),
             (QStringList{"/WifiConfig/setupVerify", "/WifiConfig/setupVerify",
                          "/WifiConfig/setupGetLogin?Pass=wrong",
                          "/WifiConfig/setupGetLogin?Pass=Nomo-1234",
                          "/WifiConfig/setupSetPwd" + q + "?Pass=Fresh%205678",
                          "/WifiConfig/setupGetVersion" + q, "/WifiConfig/setupGetWIFIScan" + q,
                          "/WifiConfig/setupSetSSID" + q +
                              "?ssid=HomeNet?netpass=wifi%20key%201?securitytype=WPA2-CCMP",
                          "/WifiConfig/setupGetResults" + q}));
    QCOMPARE(camera.password(), QStringLiteral("Fresh 5678"));
    QCOMPARE(camera.configuredSsid(), QStringLiteral("HomeNet"));
    QCOMPARE(camera.configuredKey(), QStringLiteral("wifi key 1"));

    // The agent drove the page's bar, and is released once the session is over.
    auto *progress = host.page->findChild<QProgressBar *>();
    QVERIFY(progress->value() > 0);
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

    QTest::newRow("password dialog cancelled")
        << "password"
        << "" << 0 << QStringList{"Cancel"} << "" << QStringList{"setupVerify", "setupVerify"};
    QTest::newRow("password dialog closed with its close button")
        << "password"
        << "" << 0 << QStringList{"close"} << "" << QStringList{"setupVerify", "setupVerify"};
    QTest::newRow("change skipped, Wi-Fi dialog cancelled")
        << "no-password"
        << "" << 0 << QStringList{"Skip", "Cancel"} << ""
        << QStringList{"setupVerify", "setupVerify", "setupGetVersion", "setupGetWIFIScan"};
    QTest::newRow("Wi-Fi dialog closed with its close button")
        << "no-password"
        << "" << 0 << QStringList{"Skip", "close"} << ""
        << QStringList{"setupVerify", "setupVerify", "setupGetVersion", "setupGetWIFIScan"};
    QTest::newRow("Cancel button while a request waits")
        << "no-password"
        << "setupGetVersion" << 1 << QStringList{"Skip"} << "cancel"
        << QStringList{"setupVerify", "setupVerify", "setupGetVersion"};
    QTest::newRow("window closed while a request waits")
        << "password"
        << "setupVerify" << 2 << QStringList{} << "close"
        << QStringList{"setupVerify", "setupVerify"};
    QTest::newRow("window closed while the port check waits")
        << "password"
        << "setupVerify" << 1 << QStringList{} << "close" << QStringList{"setupVerify"};
    QTest::newRow("window closed while a dialog is open")
        << "password"
        << "" << 0 << QStringList{"close window"} << ""
        << QStringList{"setupVerify", "setupVerify"};
    QTest::newRow("window closed while the Wi-Fi dialog is open")
        << "no-password"
        << "" << 0 << QStringList{"Skip", "close window"} << ""
        << QStringList{"setupVerify", "setupVerify", "setupGetVersion", "setupGetWIFIScan"};
}

void TestPageSession::sessionEndsCancelled()
{
    QFETCH(QString, scenario);
    QFETCH(QString, slowCommand);
    QFETCH(int, slowTry);
    QFETCH(QStringList, answers);
    QFETCH(QString, trigger);
    QFETCH(QStringList, commands);

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
    connect(&camera, &SimulatedCamera::requestReceived, this, [&](const CameraRequest &r) {
        if (r.command != slowCommand || r.tryNumber != slowTry)
            return;
        sinceTrigger.start();
        if (trigger == QLatin1String("cancel")) {
            QMetaObject::invokeMethod(buttonWithText(host.page, QStringLiteral("Cancel")),
                                      &QAbstractButton::click, Qt::QueuedConnection);
        } else {
            QMetaObject::invokeMethod(&host.window, &QWidget::close, Qt::QueuedConnection);
        }
    });

    ModalDialogHandler modal;
    ModalWatchdog watchdog(30000);
    for (const QString &answer : answers) {
        modal.expect([&, answer](QWidget *w) {
            if (answer == QLatin1String("close window")) {
                sinceTrigger.start();
                QMetaObject::invokeMethod(&host.window, &QWidget::close, Qt::QueuedConnection);
            } else if (answer == QLatin1String("close")) {
                QMetaObject::invokeMethod(w, &QWidget::close, Qt::QueuedConnection);
            } else {
                clickLater(buttonWithText(w, answer));
            }
        });
    }

    QVERIFY(host.page->Connect(kCameraAddress.toString()));
    QVERIFY(!watchdog.fired());
    QCOMPARE(modal.handled(), answers.size());
    if (sinceTrigger.isValid()) // the held-back reply is a minute away; the cancel is at once
        QVERIFY2(sinceTrigger.elapsed() < 5000,
                 qPrintable(QString::number(sinceTrigger.elapsed())));
    QCOMPARE(moves.count(), 1);
    QCOMPARE(host.page->result(), ComResultCancelled);
    QCOMPARE(commandsOf(camera.requests()), commands);
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
    ModalWatchdog watchdog(30000);
    QList<QPointer<MyHttpsAgent>> agents;
    int agentsSeenAlive = 0;
    bool firstCurrentPasswordEmpty = false;
    for (int session = 0; session < 2; ++session) {
        modal.expect([&](QWidget *w) {
            firstCurrentPasswordEmpty =
                !w->findChild<QLineEdit *>(QStringLiteral("oldPasswordEdit"));
            clickLater(buttonWithText(w, QStringLiteral("Skip")));
        });
        modal.expect([&](QWidget *w) {
            agents << host.page->agent();
            agentsSeenAlive += agents.last() ? 1 : 0;
            clickLater(buttonWithText(w, QStringLiteral("Cancel")));
        });
    }

    QVERIFY(host.page->Connect(kCameraAddress.toString()));
    QVERIFY(firstCurrentPasswordEmpty);
    const int afterFirst = progress->value();
    QVERIFY(afterFirst > 0);

    QList<int> progressAtFirstRequest;
    connect(&camera, &SimulatedCamera::requestReceived, this,
            [&] { progressAtFirstRequest << progress->value(); });
    QVERIFY(host.page->Connect(kCameraAddress.toString()));
    QVERIFY(!watchdog.fired());
    QVERIFY(!progressAtFirstRequest.isEmpty());
    QCOMPARE(progressAtFirstRequest.first(), 0);

    // Each session had its agent while it ran, and each is released after its session.
    QCOMPARE(agents.size(), 2);
    QCOMPARE(agentsSeenAlive, 2);
    QTRY_VERIFY(agents[0].isNull() && agents[1].isNull());
    host.window.hide();
}

void TestPageSession::closingTheWindowEndsTheProcess_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("when"); // "received" or "finished" of the faulty request
    QTest::addColumn<int>("delayMs");  // after that, before the window is closed

    // The agent waits for a reply that is a minute away.
    QTest::newRow("waiting for a reply") << int(CameraFault::SlowReply) << "received" << 0;
    // The port check got an empty reply; the agent sits in its 5 s retry pause.
    QTest::newRow("in a retry pause") << int(CameraFault::EmptyBody) << "finished" << 300;
}

void TestPageSession::closingTheWindowEndsTheProcess()
{
    QFETCH(int, fault);
    QFETCH(QString, when);
    QFETCH(int, delayMs);

    CameraScenario s = CameraScenario::named(QStringLiteral("password"));
    s.faults.append({CameraFault(fault), QStringLiteral("setupVerify"), 1, 1});
    s.slowMs = 60000;
    SimulatedCamera camera(s);
    QVERIFY2(camera.listen(kCameraAddress, 80), qPrintable(camera.errorString()));

    QProcess tool;
    tool.setProgram(QStringLiteral(NOMO_PAGE_SESSION_HOST));
    tool.setArguments({kCameraAddress.toString()});
    tool.setProcessChannelMode(QProcess::SeparateChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    tool.setProcessEnvironment(env);
    QSignalSpy finished(&tool, &QProcess::finished);
    QElapsedTimer sinceClose;
    auto closeWindow = [&] {
        sinceClose.start();
        tool.write("close\n");
    };
    auto onRequest = [&](const CameraRequest &r) {
        if (r.command == QLatin1String("setupVerify") && r.tryNumber == 1 && !sinceClose.isValid())
            QTimer::singleShot(delayMs, this, closeWindow);
    };
    if (when == QLatin1String("received"))
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
    QCOMPARE(commandsOf(camera.requests()), QStringList{"setupVerify"});
}

QTEST_MAIN(TestPageSession)
#include "tst_pagesession.moc"
