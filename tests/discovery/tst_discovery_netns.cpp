#include "app/nomowizard.h"
#include "app/tabwelcome.h"
#include "discovery/bonjourrecord.h"
#include "discovery/bonjourservicebrowser.h"
#include "discovery/bonjourserviceresolver.h"
#include "discovery/tabconfigureonenomo.h"
#include "discovery/tabscannetwork.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHostInfo>
#include <QLabel>
#include <QLoggingCategory>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

// Runs inside tests/netns/netns-run.sh: a private network namespace whose own avahi-daemon
// announces the services given on the harness's command line (see CMakeLists.txt), each seen on
// two interfaces. Everything here is the real DNS-SD service, client library and host lookup.
namespace {
constexpr int Wait = 20000;
const QString Camera = QStringLiteral("Lumetra Caf\u00e9 \u00dcberwachung");

BonjourRecord record(const QString &name)
{
    return BonjourRecord(name, QStringLiteral("_http._tcp."), QStringLiteral("local."));
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

QStringList expectedDevices()
{
    const QString at = '@' + qEnvironmentVariable("NOMO_NETNS_HOSTNAME");
    return sorted({"Dovrel Nomo 0123" + at, "Lumetra-5" + at, Camera + at});
}

int entries(const char *procDir)
{
    return QDir(procDir).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size();
}
} // namespace

class TestDiscoveryNetns : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("NOMO_NETNS_HOSTNAME"))
            QSKIP("needs tests/netns/netns-run.sh around it");
        QLoggingCategory::setFilterRules(QStringLiteral("lumetra.discovery.debug=false"));
    }

    void init() { QCOMPARE(TabScanNetwork::scanDuration(), 10000); }

    void cleanup() { QTRY_COMPARE(BonjourServiceResolver::instanceCount(), 0); }

    void resolverLifecycle()
    {
        const int descriptors = entries("/proc/self/fd");
        // Released by its receiver with the first report, as the scan page does: the resolve
        // ends then, although the instance's second interface still has a reply to give.
        BonjourServiceResolver released;
        QObject receiver;
        QList<QHostInfo> reports;
        connect(&released, &BonjourServiceResolver::bonjourRecordResolved, &receiver,
                [&](const QString &name, QHostInfo &host) {
                    QCOMPARE(name, Camera);
                    reports << host;
                    disconnect(&released, nullptr, &receiver, nullptr);
                });
        released.resolveBonjourRecord(record(Camera));
        QTRY_COMPARE_WITH_TIMEOUT(reports.size(), 1, Wait);
        QCOMPARE(reports.first().hostName(), qEnvironmentVariable("NOMO_NETNS_HOSTNAME"));
        QVERIFY(!reports.first().addresses().isEmpty());
        QTRY_VERIFY(!released.isResolving());

        // A second start, even for another record, is refused and disturbs nothing; deleting
        // the resolver while it resolves gives its connection and socket back.
        auto resolver = std::make_unique<BonjourServiceResolver>();
        resolver->resolveBonjourRecord(record(Camera));
        QTest::ignoreMessage(QtWarningMsg, "resolve in process, aborting");
        resolver->resolveBonjourRecord(record(QStringLiteral("Office Printer")));
        QVERIFY(resolver->isResolving());
        resolver.reset();
        QCOMPARE(entries("/proc/self/fd"), descriptors);

        // A host that cannot be looked up is still reported, once, without an address.
        BonjourServiceResolver lookup;
        connect(&lookup, &BonjourServiceResolver::bonjourRecordResolved, &receiver,
                [&](const QString &, QHostInfo &host) { reports << host; });
        BonjourServiceResolver::bonjourResolveReply(nullptr, 0, 2, 0, "x._http._tcp.local.",
                                                    "nomo-gone.local.", 80, 0, nullptr, &lookup);
        QCOMPARE(reports.size(), 2);
        QCOMPARE(reports.last().hostName(), QStringLiteral("nomo-gone.local"));
        QCOMPARE(reports.last().addresses(), QList<QHostAddress>());
        QVERIFY(reports.last().error() != QHostInfo::NoError);
    }

    void scansListEachCameraOnceAndLeaveNothingBehind()
    {
        TabScanNetwork page(nullptr, 1);
        QSignalSpy updates(page.browser(), &BonjourServiceBrowser::currentBonjourRecordsChanged);
        int descriptors = -1, threads = -1;
        for (int round = 0; round < 3; ++round) {
            updates.clear();
            page.ClearDevices();
            page.startNetworkScan();
            QTRY_COMPARE_WITH_TIMEOUT(sorted(page.devices()), expectedDevices(), Wait);
            // Full scans run until the browse has reported all four services on both interfaces;
            // each is still resolved once in the scan, not once per report. The other stops at
            // once, so resolvers that still wait are released by the stop.
            if (round != 1) {
                QTRY_VERIFY_WITH_TIMEOUT(updates.count() >= 8, Wait);
                QCOMPARE(page.browser()->records().size(), 4);
                QTRY_COMPARE_WITH_TIMEOUT(page.pendingResolverCount(), 0, Wait);
                QCOMPARE(page.resolveCount(), 4);
            }
            page.stopNetworkScan();
            QCOMPARE(page.pendingResolverCount(), 0);
            QTRY_COMPARE(BonjourServiceResolver::instanceCount(), 0);
            // Counted after one full scan, so that one-time library state is not counted.
            if (round == 0) {
                descriptors = entries("/proc/self/fd");
                threads = entries("/proc/self/task");
            }
            QCOMPARE(entries("/proc/self/fd"), descriptors);
            QCOMPARE(entries("/proc/self/task"), threads);
        }
    }

    // Last, as it withdraws the cameras: with only a printer on the network the count stays 0,
    // and page 2 follows at the end of the scan time with nothing to choose. The scan time is
    // shortened here and restored for the next test.
    void noCamera()
    {
        for (const QString &name :
             {QStringLiteral("Dovrel Nomo 0123"), QStringLiteral("Lumetra-5"), Camera})
            QCOMPARE(QProcess::execute(qEnvironmentVariable("NOMO_NETNS_WITHDRAW"),
                                       {"_http._tcp", name}),
                     0);
        const auto restore = qScopeGuard([] { TabScanNetwork::setScanDuration(10000); });
        TabScanNetwork::setScanDuration(3000);
        NomoWizard wizard(nullptr);
        TabScanNetwork *scan = wizard.scanPage();
        TabConfigureOneNomo *devices = wizard.devicePage();
        const QString none = QStringLiteral("Scanning the network for Lumetra devices ... ,0 "
                                            "Lumetra devices have been detected.");
        QElapsedTimer elapsed;
        elapsed.start();
        wizard.welcomePage()->findChild<QPushButton *>()->click();
        QCOMPARE(wizard.currentPageIndex(), 1);
        QCOMPARE(scan->findChild<QLabel *>("statusLabel")->text(), none);
        QTRY_COMPARE_WITH_TIMEOUT(wizard.currentPageIndex(), 2, Wait);
        QVERIFY2(elapsed.elapsed() >= 2700, qPrintable(QString::number(elapsed.elapsed())));
        QCOMPARE(scan->browser()->records().size(), 1); // the printer: seen, not listed
        QCOMPARE(scan->findChild<QLabel *>("statusLabel")->text(), none);
        // Re-Scan, and on at once by the button or by a move value of 4 or more: page 2 again,
        // nothing to choose, and no scan goes on behind it.
        for (int move : {1, 4}) {
            QVERIFY(devices->choiceButtons().isEmpty());
            QVERIFY(!devices->continueButton()->isEnabled());
            // Each page's own default button answers Enter again when the page is shown.
            QVERIFY(devices->continueButton()->isDefault());
            devices->rescanButton()->click();
            QCOMPARE(wizard.currentPageIndex(), 1);
            QVERIFY(scan->isScanning());
            QVERIFY(scan->findChild<QPushButton *>()->isDefault());
            if (move == 1)
                scan->findChild<QPushButton *>()->click();
            else
                wizard.MoveWidgetSlot(move);
            QCOMPARE(wizard.currentPageIndex(), 2);
            QVERIFY(!scan->isScanning() && !scan->browser()->isBrowsing());
            QCOMPARE(scan->pendingResolverCount(), 0);
        }
    }
};

QTEST_MAIN(TestDiscoveryNetns)
#include "tst_discovery_netns.moc"
