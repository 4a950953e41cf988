// The road through the real wizard, run inside the network-namespace harness: its avahi-daemon
// announces "Dovrel Nomo 0001", "Dovrel_Nomo_0002" and "Office Printer", all on the namespace's
// own host, where the simulated camera listens on port 80 over real TLS.
#include "agent/agenttiming.h"
#include "app/nomowizard.h"
#include "app/tabwelcome.h"
#include "discovery/tabconfigureonenomo.h"
#include "discovery/tabscannetwork.h"
#include "pages/tabcommunicationresults.h"
#include "pages/tabnomocommunication.h"
#include "tools/camerasim/simulatedcamera.h"

#include "modaldialoghandler.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>

namespace {

#ifdef NOMO_ROAD_REAL_TIMING
constexpr int kScanWaitMs = 15000;
#else
constexpr int kScanWaitMs = 12000;
#endif

QPushButton *button(QWidget *page, const QString &text)
{
    for (QPushButton *b : page->findChildren<QPushButton *>())
        if (b->text() == text)
            return b;
    return nullptr;
}

// The choices offered, sorted, and how many are ticked.
QStringList choices(TabConfigureOneNomo *page)
{
    QStringList labels;
    int ticked = 0;
    for (QRadioButton *b : page->choiceButtons()) {
        labels << b->text();
        ticked += b->isChecked() ? 1 : 0;
    }
    labels.sort();
    return labels << QString::number(ticked);
}

QString resultsText(NomoWizard &wizard)
{
    return wizard.resultsPage()->findChild<QLabel *>(QStringLiteral("textLabel"))->text();
}

// What the results page shows for an outcome when nothing came between.
QString textFor(enmComResult outcome)
{
    TabCommunicationResults page(nullptr, 4);
    page.setTextAndImage(outcome, QPixmap());
    return page.findChild<QLabel *>(QStringLiteral("textLabel"))->text();
}

} // namespace

class TestRoad : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void scanChooseConfigureSucceed();
#ifndef NOMO_ROAD_REAL_TIMING
    void returnAfterFailureLeadsToScan();
#endif

private:
    // From a fresh scan on page 1 to page 2, with both cameras and the printer resolved.
    void scanToDevicePage(bool byTimer);
    // Chooses "Lumetra IP Camera 0001" and runs its session inside the click on "Continue": each
    // password dialog gets the next password, the Wi-Fi dialog "HomeNet". Returns the dialogs.
    QStringList runSession(const QStringList &passwords);

    std::unique_ptr<NomoWizard> m_wizard;
    std::unique_ptr<SimulatedCamera> m_camera;
};

void TestRoad::initTestCase()
{
    QVERIFY2(!qEnvironmentVariableIsEmpty("NOMO_NETNS_HOSTNAME"),
             "run through tests/netns/netns-run.sh");
#ifndef NOMO_ROAD_REAL_TIMING
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
    button(m_wizard->welcomePage(), QStringLiteral("Start"))->click();
}

void TestRoad::cleanup()
{
    m_wizard.reset();
    m_camera.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible(), qPrintable(w->windowTitle()));
}

void TestRoad::scanToDevicePage(bool byTimer)
{
    NomoWizard &wizard = *m_wizard;
    QCOMPARE(wizard.currentPageIndex(), 1);
    QVERIFY(wizard.scanPage()->devices().isEmpty());
    QVERIFY(wizard.scanPage()->isScanning());
    QTRY_VERIFY_WITH_TIMEOUT(wizard.scanPage()->devices().size() >= 2 &&
                                 wizard.scanPage()->resolveCount() >= 3,
                             kScanWaitMs);
    if (byTimer)
        QTRY_COMPARE_WITH_TIMEOUT(wizard.currentPageIndex(), 2, kScanWaitMs);
    else
        button(wizard.scanPage(), QStringLiteral("Continue to Next Step"))->click();
    QCOMPARE(wizard.currentPageIndex(), 2);
    QVERIFY(!wizard.scanPage()->isScanning());
    QCOMPARE(choices(wizard.devicePage()),
             (QStringList{"Lumetra IP Camera 0001", "Lumetra IP Camera0002", "0"}));
    QVERIFY(!wizard.devicePage()->continueButton()->isEnabled());
}

QStringList TestRoad::runSession(const QStringList &passwords)
{
    QStringList dialogs;
    ModalDialogHandler modal;
    auto answer = [&](const QString &field, const QString &text) {
        modal.expect([&dialogs, field, text](QWidget *w) {
            dialogs << QString::fromLatin1(w->metaObject()->className());
            if (auto *combo = w->findChild<QComboBox *>(QStringLiteral("ssidCombo")))
                combo->setCurrentIndex(combo->findText(QStringLiteral("HomeNet")));
            if (auto *edit = w->findChild<QLineEdit *>(field))
                QTest::keyClicks(edit, text);
            for (QPushButton *b : w->findChildren<QPushButton *>())
                if (b->isDefault()) // OK, from the event loop: it may open a box of its own
                    QMetaObject::invokeMethod(b, &QAbstractButton::click, Qt::QueuedConnection);
        });
    };
    for (const QString &password : passwords)
        answer(QStringLiteral("passwordEdit"), password);
    answer(QStringLiteral("keyEdit"), QStringLiteral("home-key-1"));
    for (QRadioButton *b : m_wizard->devicePage()->choiceButtons())
        if (b->text() == QLatin1String("Lumetra IP Camera 0001"))
            b->click();
    // A road that takes a wrong turn leaves a dialog open: close it so the checks can fail.
    QTimer stuck;
    connect(&stuck, &QTimer::timeout, this, [&] {
        if (QWidget *w = QApplication::activeModalWidget(); w && modal.pending() == 0)
            w->close();
    });
    stuck.start(20000);
    m_wizard->devicePage()->continueButton()->click();
    return dialogs;
}

void TestRoad::scanChooseConfigureSucceed()
{
    NomoWizard &wizard = *m_wizard;
#ifdef NOMO_ROAD_REAL_TIMING
    scanToDevicePage(true); // users get the scan's own 10 s timer
#else
    scanToDevicePage(false);
    // A choice made, then "Re-Scan": a fresh, empty scan that finds the same, nothing chosen.
    wizard.devicePage()->choiceButtons().value(1)->click();
    wizard.devicePage()->rescanButton()->click();
    scanToDevicePage(false);
#endif
    const QStringList dialogs = runSession({QStringLiteral("not-the-password"), "Nomo-1234"});
    QCOMPARE(wizard.communicationPage()->host(), qEnvironmentVariable("NOMO_NETNS_HOSTNAME"));
    QCOMPARE(dialogs, (QStringList{"TabDeviceauthentication", "TabDeviceauthentication",
                                   "TabWifiCredentials"}));
    QCOMPARE(wizard.currentPageIndex(), 4);
    QCOMPARE(resultsText(wizard), textFor(ComResultSuccess));
    QVERIFY(!button(wizard.resultsPage(), QStringLiteral("Return to Wi-Fi Setup"))->isVisible());
    QCOMPARE(m_camera->configuredSsid(), QStringLiteral("HomeNet"));
    QCOMPARE(m_camera->configuredKey(), QStringLiteral("home-key-1"));
}

#ifndef NOMO_ROAD_REAL_TIMING
void TestRoad::returnAfterFailureLeadsToScan()
{
    CameraScenario failing = CameraScenario::named(QStringLiteral("password"));
    failing.results = {514};
    m_camera->setScenario(failing);
    scanToDevicePage(false);
    QCOMPARE(runSession({QStringLiteral("Nomo-1234")}).size(), 2);
    NomoWizard &wizard = *m_wizard;
    QCOMPARE(wizard.currentPageIndex(), 4);
    QCOMPARE(resultsText(wizard), textFor(ComResultErrorReported));
    button(wizard.resultsPage(), QStringLiteral("Return to Wi-Fi Setup"))->click();
    QCOMPARE(resultsText(wizard), QString());
    scanToDevicePage(false); // a fresh scan, not back to page 3
}
#endif

QTEST_MAIN(TestRoad)
#include "tst_road.moc"
