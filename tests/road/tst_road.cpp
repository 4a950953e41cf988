#include "agent/agenttiming.h"
#include "app/nomowizard.h"
#include "app/tabwelcome.h"
#include "discovery/tabconfigureonenomo.h"
#include "discovery/tabscannetwork.h"
#include "pages/tabcommunicationresults.h"
#include "pages/tabnomocommunication.h"
#include "tools/camerasim/simulatedcamera.h"

#include "modaldialoghandler.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>

#include <memory>

// Runs inside the network-namespace harness: its avahi-daemon announces "Dovrel Nomo 0001",
// "Dovrel_Nomo_0002" and "Office Printer", all on the namespace's own host, where the simulated
// camera listens on port 80.

namespace {

#ifdef NOMO_ROAD_REAL_TIMING
constexpr int kScanWaitMs = 15000;
#else
constexpr int kScanWaitMs = 12000;
#endif

const QString kPassword = QStringLiteral("Nomo-1234");

const QString kSuccessText = QStringLiteral(
    "<html ><font  Color=\"black\"><body>The Lumetra device is now connected to the wireless "
    "network. <br/>Click <b>''Exit''</b> to finish. To install Lumetra, refer to Lumetra "
    "Installation Guide.<br/>.</body></html>");
const QString kFailedText = QStringLiteral(
    "<html ><font  Color=\"black\"><body>The Lumetra Wi-Fi setup could not be completed.  Click "
    "the <b>''Return to Wi-Fi Setup''</b> button to try again. <br/><br/> For troubleshooting "
    "information, refer to the Lumetra Installation Guide.</body></html>");
const QString kNoReplyText = QStringLiteral(
    "<html ><font  Color=\"black\"><body>The Lumetra Wi-Fi setup cannot be completed at this "
    "time.<br/></br>For troubleshooting information, refer to the Lumetra Installation "
    "Guide.</body></html>");

// Presses a dialog's default button (its OK) from the event loop, not from inside the handler's
// timer callback: the press may open a message box of its own.
void acceptLater(QWidget *dialog)
{
    for (QPushButton *b : dialog->findChildren<QPushButton *>()) {
        if (b->isDefault()) {
            QMetaObject::invokeMethod(b, &QAbstractButton::click, Qt::QueuedConnection);
            return;
        }
    }
    if (auto *d = qobject_cast<QDialog *>(dialog))
        QMetaObject::invokeMethod(d, &QDialog::reject, Qt::QueuedConnection);
}

ModalDialogHandler::Action enterPassword(const QString &password, QStringList *classes)
{
    return [password, classes](QWidget *w) {
        classes->append(QString::fromLatin1(w->metaObject()->className()));
        if (auto *edit = w->findChild<QLineEdit *>(QStringLiteral("passwordEdit")))
            QTest::keyClicks(edit, password);
        acceptLater(w);
    };
}

ModalDialogHandler::Action enterWifi(const QString &ssid, const QString &key, QStringList *classes)
{
    return [ssid, key, classes](QWidget *w) {
        classes->append(QString::fromLatin1(w->metaObject()->className()));
        if (auto *combo = w->findChild<QComboBox *>(QStringLiteral("ssidCombo")))
            combo->setCurrentIndex(combo->findText(ssid));
        if (auto *edit = w->findChild<QLineEdit *>(QStringLiteral("keyEdit")))
            QTest::keyClicks(edit, key);
        acceptLater(w);
    };
}

// Rejects any dialog that is still open long after it should have been answered, so a road that
// takes a wrong turn fails on its checks instead of waiting for the CTest timeout.
class StuckDialogGuard : public QObject
{
public:
    StuckDialogGuard()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (modal != m_seen) {
                m_seen = modal;
                m_ticks = 0;
                return;
            }
            if (modal && ++m_ticks > 40) {
                m_rejected << modal->windowTitle();
                if (auto *d = qobject_cast<QDialog *>(modal))
                    d->reject();
            }
        });
        m_timer.start(500);
    }
    QStringList rejected() const { return m_rejected; }

private:
    QTimer m_timer;
    QPointer<QWidget> m_seen;
    int m_ticks = 0;
    QStringList m_rejected;
};

QStringList sortedChoices(TabConfigureOneNomo *page)
{
    QStringList labels;
    for (QRadioButton *b : page->choiceButtons())
        labels << b->text();
    labels.sort();
    return labels;
}

int checkedChoices(TabConfigureOneNomo *page)
{
    int checked = 0;
    for (QRadioButton *b : page->choiceButtons())
        checked += b->isChecked() ? 1 : 0;
    return checked;
}

QRadioButton *choice(TabConfigureOneNomo *page, const QString &label)
{
    for (QRadioButton *b : page->choiceButtons()) {
        if (b->text() == label)
            return b;
    }
    return nullptr;
}

QPushButton *buttonWithText(QWidget *page, const QString &text)
{
    for (QPushButton *b : page->findChildren<QPushButton *>()) {
        if (b->text() == text)
            return b;
    }
    return nullptr;
}

QString resultsText(NomoWizard &wizard)
{
    auto *label = wizard.resultsPage()->findChild<QLabel *>(QStringLiteral("textLabel"));
    return label ? label->text() : QString();
}

QStringList commands(const QList<CameraRequest> &requests)
{
    QStringList out;
    for (const CameraRequest &r : requests)
        out << r.command;
    return out;
}

} // namespace

class TestRoad : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void wholeRoadEndsOnSuccess();
#ifndef NOMO_ROAD_REAL_TIMING
    void rescanStartsAnEmptyScan();
    void secondArrivalGivesSameChoices();
    void returnAfterFailureLeadsToScan();
    void cameraGoneMidSessionEndsOnOutcome_data();
    void cameraGoneMidSessionEndsOnOutcome();
#endif

private:
    // From the welcome page to the device page, with both cameras listed (and the printer seen).
    void driveToDevicePage();
    // Chooses "Lumetra IP Camera 0001" and runs its session, which happens inside the click on
    // "Continue": the password dialog gets each of the passwords in turn, the Wi-Fi dialog
    // "HomeNet". Returns the dialogs that came up; any left hanging are named in `stuck`.
    QStringList runSession(const QStringList &passwords, QStringList *stuck);

    std::unique_ptr<NomoWizard> m_wizard;
    std::unique_ptr<SimulatedCamera> m_camera;
};

void TestRoad::initTestCase()
{
    QVERIFY2(!qEnvironmentVariableIsEmpty("NOMO_NETNS_HOSTNAME"),
             "run through tests/netns/netns-run.sh");
#ifndef NOMO_ROAD_REAL_TIMING
    // Pauses of 50 ms per second, a 750 ms wait before the first result poll.
    AgentTiming::setScale(0.05);
    // Slow machines and sanitizer builds need more than a scaled 3 s to move a few KiB over TLS.
    AgentTiming::setTransferTimeoutMs(30000);
#endif
}

void TestRoad::init()
{
    m_camera = std::make_unique<SimulatedCamera>(CameraScenario::named(QStringLiteral("password")));
    QVERIFY2(m_camera->listen(QHostAddress::AnyIPv4, 80), qPrintable(m_camera->errorString()));
    m_wizard = std::make_unique<NomoWizard>(nullptr);
    m_wizard->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_wizard.get()));
}

void TestRoad::cleanup()
{
    m_wizard.reset();
    m_camera.reset();
    // Released agents and resolvers go with the next event-loop turn.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(QApplication::topLevelWidgets().isEmpty()
            || std::none_of(QApplication::topLevelWidgets().cbegin(),
                            QApplication::topLevelWidgets().cend(),
                            [](QWidget *w) { return w->isVisible(); }));
}

void TestRoad::driveToDevicePage()
{
    NomoWizard &wizard = *m_wizard;
    buttonWithText(wizard.welcomePage(), QStringLiteral("Start"))->click();
    QCOMPARE(wizard.currentPageIndex(), 1);
    QVERIFY(wizard.scanPage()->isScanning());
    // Both cameras listed, and all three services resolved, so the printer had its chance.
    QTRY_VERIFY_WITH_TIMEOUT(wizard.scanPage()->devices().size() >= 2
                                 && wizard.scanPage()->resolveCount() >= 3,
                             kScanWaitMs);
#ifdef NOMO_ROAD_REAL_TIMING
    // Users get the scan's own 10 s timer; let it move the wizard on.
    QTRY_COMPARE_WITH_TIMEOUT(wizard.currentPageIndex(), 2, kScanWaitMs);
#else
    buttonWithText(wizard.scanPage(), QStringLiteral("Continue to Next Step"))->click();
#endif
    QCOMPARE(wizard.currentPageIndex(), 2);
}

QStringList TestRoad::runSession(const QStringList &passwords, QStringList *stuck)
{
    TabConfigureOneNomo *devices = m_wizard->devicePage();
    if (QRadioButton *camera = choice(devices, QStringLiteral("Lumetra IP Camera 0001")))
        camera->setChecked(true);
    ModalDialogHandler modal;
    StuckDialogGuard guard;
    QStringList dialogs;
    for (const QString &password : passwords)
        modal.expect(enterPassword(password, &dialogs));
    modal.expect(enterWifi(QStringLiteral("HomeNet"), QStringLiteral("home-key-1"), &dialogs));
    devices->continueButton()->click();
    *stuck = guard.rejected();
    return dialogs;
}

void TestRoad::wholeRoadEndsOnSuccess()
{
    NomoWizard &wizard = *m_wizard;
    driveToDevicePage();
    if (QTest::currentTestFailed())
        return;
    QVERIFY(!wizard.scanPage()->isScanning());
    QCOMPARE(wizard.scanPage()->devices().size(), 2);
    QCOMPARE(sortedChoices(wizard.devicePage()),
             (QStringList{QStringLiteral("Lumetra IP Camera 0001"),
                          QStringLiteral("Lumetra IP Camera0002")}));
    QCOMPARE(checkedChoices(wizard.devicePage()), 0);
    QVERIFY(!wizard.devicePage()->continueButton()->isEnabled());

    QRadioButton *first = choice(wizard.devicePage(), QStringLiteral("Lumetra IP Camera 0001"));
    QVERIFY(first);
    first->click();
    QVERIFY(wizard.devicePage()->continueButton()->isEnabled());
    QCOMPARE(wizard.devicePage()->selectedDevice(), qEnvironmentVariable("NOMO_NETNS_HOSTNAME"));

    QStringList stuck;
    const QStringList dialogs = runSession({QStringLiteral("not-the-password"), kPassword}, &stuck);
    QCOMPARE(stuck, QStringList());
    QCOMPARE(dialogs, (QStringList{QStringLiteral("TabDeviceauthentication"),
                                   QStringLiteral("TabDeviceauthentication"),
                                   QStringLiteral("TabWifiCredentials")}));
    QCOMPARE(wizard.currentPageIndex(), 4);
    QCOMPARE(wizard.communicationPage()->result(), ComResultSuccess);
    QCOMPARE(resultsText(wizard), kSuccessText);
    QVERIFY(!buttonWithText(wizard.resultsPage(), QStringLiteral("Return to Wi-Fi Setup"))->isVisible());
    QVERIFY(buttonWithText(wizard.resultsPage(), QStringLiteral("Exit"))->isVisible());

    QCOMPARE(m_camera->configuredSsid(), QStringLiteral("HomeNet"));
    QCOMPARE(m_camera->configuredKey(), QStringLiteral("home-key-1"));
    QCOMPARE(commands(m_camera->requests()),
             (QStringList{QStringLiteral("setupVerify"), QStringLiteral("setupVerify"),
                          QStringLiteral("setupGetLogin"), QStringLiteral("setupGetLogin"),
                          QStringLiteral("setupGetVersion"), QStringLiteral("setupGetWIFIScan"),
                          QStringLiteral("setupSetSSID"), QStringLiteral("setupGetResults")}));
}

#ifndef NOMO_ROAD_REAL_TIMING

void TestRoad::rescanStartsAnEmptyScan()
{
    NomoWizard &wizard = *m_wizard;
    driveToDevicePage();
    if (QTest::currentTestFailed())
        return;
    wizard.devicePage()->rescanButton()->click();
    QCOMPARE(wizard.currentPageIndex(), 1);
    QVERIFY(wizard.scanPage()->devices().isEmpty());
    QVERIFY(wizard.scanPage()->isScanning());
    // And that scan finds the cameras again.
    QTRY_COMPARE_WITH_TIMEOUT(wizard.scanPage()->devices().size(), 2, kScanWaitMs);
}

void TestRoad::secondArrivalGivesSameChoices()
{
    NomoWizard &wizard = *m_wizard;
    driveToDevicePage();
    if (QTest::currentTestFailed())
        return;
    const QStringList firstChoices = sortedChoices(wizard.devicePage());
    choice(wizard.devicePage(), QStringLiteral("Lumetra IP Camera0002"))->click();
    QVERIFY(wizard.devicePage()->continueButton()->isEnabled());

    wizard.devicePage()->rescanButton()->click();
    QTRY_VERIFY_WITH_TIMEOUT(wizard.scanPage()->devices().size() >= 2
                                 && wizard.scanPage()->resolveCount() >= 3,
                             kScanWaitMs);
    buttonWithText(wizard.scanPage(), QStringLiteral("Continue to Next Step"))->click();
    QCOMPARE(wizard.currentPageIndex(), 2);
    QCOMPARE(sortedChoices(wizard.devicePage()), firstChoices);
    QCOMPARE(checkedChoices(wizard.devicePage()), 0);
    QVERIFY(!wizard.devicePage()->continueButton()->isEnabled());
}

void TestRoad::returnAfterFailureLeadsToScan()
{
    m_camera->setScenario([] {
        CameraScenario s = CameraScenario::named(QStringLiteral("password"));
        s.results = {514};
        return s;
    }());
    NomoWizard &wizard = *m_wizard;
    driveToDevicePage();
    if (QTest::currentTestFailed())
        return;
    QStringList stuck;
    runSession({kPassword}, &stuck);
    QCOMPARE(stuck, QStringList());
    QCOMPARE(wizard.currentPageIndex(), 4);
    QCOMPARE(wizard.communicationPage()->result(), ComResultErrorReported);
    QCOMPARE(resultsText(wizard), kFailedText);

    QPushButton *back = buttonWithText(wizard.resultsPage(), QStringLiteral("Return to Wi-Fi Setup"));
    QVERIFY(back->isVisible());
    back->click();
    QCOMPARE(wizard.currentPageIndex(), 1);
    QVERIFY(wizard.scanPage()->devices().isEmpty());
    QVERIFY(wizard.scanPage()->isScanning());
    QCOMPARE(resultsText(wizard), QString());
}

void TestRoad::cameraGoneMidSessionEndsOnOutcome_data()
{
    QTest::addColumn<QString>("lastAnswered");
    QTest::addColumn<bool>("wifiDialogShown");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("text");
    QTest::newRow("after the login") << "setupGetLogin" << false << int(ComResultFailed) << kFailedText;
    QTest::newRow("after the network scan")
        << "setupGetWIFIScan" << true << int(ComResultNoReply) << kNoReplyText;
}

void TestRoad::cameraGoneMidSessionEndsOnOutcome()
{
    QFETCH(QString, lastAnswered);
    QFETCH(bool, wifiDialogShown);
    QFETCH(int, outcome);
    QFETCH(QString, text);

    // The camera stops answering (its port closes) once it has answered that request.
    SimulatedCamera *camera = m_camera.get();
    connect(camera, &SimulatedCamera::requestFinished, camera,
            [camera, lastAnswered](const CameraRequest &r) {
                if (r.command == lastAnswered && r.httpStatus == 200)
                    camera->close();
            });

    NomoWizard &wizard = *m_wizard;
    driveToDevicePage();
    if (QTest::currentTestFailed())
        return;
    QStringList stuck;
    const QStringList dialogs = runSession({kPassword}, &stuck);
    QCOMPARE(stuck, QStringList());
    QCOMPARE(dialogs.contains(QStringLiteral("TabWifiCredentials")), wifiDialogShown);
    QCOMPARE(wizard.currentPageIndex(), 4);
    QCOMPARE(int(wizard.communicationPage()->result()), outcome);
    QCOMPARE(resultsText(wizard), text);
    QVERIFY(!camera->isListening());
    const QList<CameraRequest> requests = camera->requests();
    QVERIFY(!requests.isEmpty());
    QCOMPARE(requests.last().command, lastAnswered);
}

#endif

QTEST_MAIN(TestRoad)
#include "tst_road.moc"
