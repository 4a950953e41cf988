#include "agent/agenttiming.h"
#include "app/nomowizard.h"
#include "app/tabwelcome.h"
#include "discovery/bonjourserviceresolver.h"
#include "discovery/discoveryproblem.h"
#include "discovery/tabconfigureonenomo.h"
#include "discovery/tabscannetwork.h"
#include "pages/tabnomocommunication.h"
#include "tools/camerasim/simulatedcamera.h"

#include "modaldialoghandler.h"

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>

// Runs inside tests/netns/netns-run.sh, whose avahi-daemon announces only "Office Printer" at
// first: the camera is announced by the test once the daemon is back.
namespace {
constexpr int Wait = 20000;
const QString Camera = QStringLiteral("Dovrel Nomo 0123");
const QString NotRunning = QStringLiteral(
    "The network search service (avahi-daemon) is not running, so no camera can be found. Start "
    "it with: sudo systemctl enable --now avahi-daemon");

bool harness(const char *variable, const QStringList &arguments = {})
{
    const QString command = qEnvironmentVariable(variable);
    return !command.isEmpty() && QProcess::execute(command, arguments) == 0;
}

QLabel *notice(QWidget *page)
{
    return page->findChild<QLabel *>(QStringLiteral("noticeLabel"));
}

// Welcome and scan page have one button each.
void press(QWidget *page)
{
    page->findChild<QPushButton *>()->click();
}

// Types into a dialog's line edit and presses its default button from the event loop, since the
// press may open a dialog of its own.
ModalDialogHandler::Action answer(const char *edit, const QString &text)
{
    return [edit, text](QWidget *dialog) {
        QTest::keyClicks(dialog->findChild<QLineEdit *>(QLatin1String(edit)), text);
        for (QPushButton *b : dialog->findChildren<QPushButton *>()) {
            if (b->isDefault())
                QMetaObject::invokeMethod(b, &QAbstractButton::click, Qt::QueuedConnection);
        }
    };
}
} // namespace

class TestDiscoveryFailures : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("NOMO_NETNS_HOSTNAME"))
            QSKIP("needs tests/netns/netns-run.sh around it");
        TabScanNetwork::setScanDuration(120000);
        AgentTiming::setScale(0.05);
        AgentTiming::setTransferTimeoutMs(30000);
    }

    void init()
    {
        m_wizard = std::make_unique<NomoWizard>(nullptr);
        m_wizard->show();
    }

    void cleanup()
    {
        m_wizard.reset();
        QTRY_COMPARE(BonjourServiceResolver::instanceCount(), 0);
        // Each case starts from the printer alone, whatever a failed one left behind.
        QVERIFY(harness("NOMO_NETNS_AVAHI_START"));
        QVERIFY(harness("NOMO_NETNS_WITHDRAW", {QStringLiteral("_http._tcp"), Camera}));
    }

    void problemNamesCauseAndFix_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("not installed")
            << DiscoveryProblem::fromError(kDNSServiceErr_Unknown, false).text()
            << "The network search service (avahi-daemon) is not installed, so no camera can be "
               "found. Install it with: sudo apt-get install avahi-daemon libnss-mdns";
        QTest::newRow("Apple's not running")
            << DiscoveryProblem::fromError(-65563, true).text() << NotRunning;
        QTest::newRow("other error")
            << DiscoveryProblem::fromError(kDNSServiceErr_BadParam, false).text()
            << "The network search failed (DNS-SD error -65540). Check the network search service "
               "with: systemctl status avahi-daemon";
        QTest::newRow("no error: no notice")
            << DiscoveryProblem::fromError(kDNSServiceErr_NoError, true).text() << QString();
        QTest::newRow("name not looked up")
            << DiscoveryProblem::nameNotLookedUp(QStringLiteral("nomo-gone.invalid")).text()
            << "A camera was found, but its name nomo-gone.invalid could not be looked up, so the "
               "tool cannot reach it. Install the name lookup for the local network with: sudo "
               "apt-get install libnss-mdns";
    }

    void problemNamesCauseAndFix()
    {
        QFETCH(QString, text);
        QTEST(text, "expected");
    }

    void missingServiceIsNamedUntilAScanWorks_data()
    {
        QTest::addColumn<bool>("stopMidScan");
        QTest::newRow("daemon absent from the start") << false;
        QTest::newRow("daemon stopped mid-scan") << true;
    }

    void missingServiceIsNamedUntilAScanWorks()
    {
        QFETCH(bool, stopMidScan);
        TabScanNetwork *scan = m_wizard->scanPage();
        if (!stopMidScan)
            QVERIFY(harness("NOMO_NETNS_AVAHI_STOP"));
        press(m_wizard->welcomePage());
        if (stopMidScan) {
            QTRY_VERIFY_WITH_TIMEOUT(scan->resolveCount() >= 1, Wait);
            QVERIFY(harness("NOMO_NETNS_AVAHI_STOP"));
        }
        QTRY_VERIFY_WITH_TIMEOUT(notice(scan)->isVisible(), Wait);
        QCOMPARE(notice(scan)->text(), NotRunning);
        QVERIFY(scan->isScanning()); // the scan runs on

        press(scan);
        TabConfigureOneNomo *devices = m_wizard->devicePage();
        QVERIFY(devices->choiceButtons().isEmpty() && notice(devices)->isVisible());

        // With the daemon back, the next scan clears the notice and lists the camera.
        QVERIFY(harness("NOMO_NETNS_AVAHI_START"));
        QVERIFY(harness("NOMO_NETNS_PUBLISH",
                        {QStringLiteral("_http._tcp"), QStringLiteral("80"), Camera}));
        devices->rescanButton()->click();
        QVERIFY(!notice(scan)->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(scan->devices().size(), 1, Wait);
        press(scan);
        QCOMPARE(devices->choiceButtons().size(), 1);
        QVERIFY(!notice(devices)->isVisible());
    }

    void cameraWhoseNameCannotBeLookedUpIsListedWithTheFix()
    {
        TabScanNetwork *scan = m_wizard->scanPage();
        press(m_wizard->welcomePage());
        // An instance nobody announces: its resolve waits, and the test answers in its place.
        scan->updateRecords(
            {BonjourRecord(Camera, QStringLiteral("_http._tcp."), QStringLiteral("local."))});
        auto *resolver = scan->findChild<BonjourServiceResolver *>();
        QVERIFY(resolver);
        BonjourServiceResolver::bonjourResolveReply(nullptr, 0, 0, kDNSServiceErr_NoError, "",
                                                    "nomo-gone.invalid.", 80, 0, nullptr, resolver);
        QCOMPARE(scan->devices(), QStringList(Camera + QStringLiteral("@nomo-gone.invalid")));
        QVERIFY(notice(scan)->text().contains(QStringLiteral("nomo-gone.invalid")));
        // Shown on the device page although the list is not empty: it concerns a listed camera.
        press(scan);
        QVERIFY(notice(m_wizard->devicePage())->isVisible());
    }

    void typedAddressRunsTheSessionWithThatHost()
    {
        const QString address = QStringLiteral("127.0.0.7");
        SimulatedCamera camera(CameraScenario::named(QStringLiteral("password")));
        QVERIFY2(camera.listen(QHostAddress(address), 80), qPrintable(camera.errorString()));
        press(m_wizard->welcomePage());
        press(m_wizard->scanPage());
        TabConfigureOneNomo *devices = m_wizard->devicePage();

        ModalDialogHandler modal;
        modal.expect(answer("addressEdit", address));
        devices->addressButton()->click();

        modal.expect(answer("passwordEdit", QStringLiteral("Nomo-1234")));
        modal.expect(answer("keyEdit", QStringLiteral("home-key-1"))); // the first network
        devices->continueButton()->click();
        QCOMPARE(modal.handled(), 3);
        QCOMPARE(m_wizard->communicationPage()->host(), address);
        QCOMPARE(m_wizard->communicationPage()->result(), ComResultSuccess);
    }

private:
    std::unique_ptr<NomoWizard> m_wizard;
};

QTEST_MAIN(TestDiscoveryFailures)
#include "tst_discoveryfailures.moc"
