#include "discovery/bonjourrecord.h"
#include "discovery/bonjourservicebrowser.h"
#include "discovery/bonjourserviceresolver.h"
#include "discovery/tabscannetwork.h"

#include <QDir>
#include <QLoggingCategory>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <ctime>

// Runs inside tests/netns/netns-run.sh: a private network namespace whose own avahi-daemon
// announces the services given on the harness's command line (see CMakeLists.txt), each seen on
// two interfaces. Everything here is the real DNS-SD service, client library and host lookup.
namespace {
constexpr int Wait = 20000;
const QString Camera = QStringLiteral("Dovrel Nomo 0123");
const QString Camera2 = QStringLiteral("Lumetra-5");
const QString Camera3 = QStringLiteral("Lumetra Caf\u00e9 \u00dcberwachung");
const QString Printer = QStringLiteral("Office Printer");

QString hostName()
{
    return qEnvironmentVariable("NOMO_NETNS_HOSTNAME");
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

QStringList expectedDevices()
{
    return sorted(
        {Camera + '@' + hostName(), Camera2 + '@' + hostName(), Camera3 + '@' + hostName()});
}

QStringList names(const QList<BonjourRecord> &records)
{
    QStringList list;
    for (const BonjourRecord &record : records)
        list << record.serviceName;
    return list;
}

int entries(const char *procDir)
{
    return QDir(QLatin1String(procDir))
        .entryList(QDir::Files | QDir::System | QDir::Dirs | QDir::NoDotAndDotDot)
        .size();
}

bool runHarnessCommand(const char *variable, const QStringList &arguments = {})
{
    const QString command = qEnvironmentVariable(variable);
    return !command.isEmpty() && QProcess::execute(command, arguments) == 0;
}
} // namespace

class TestDiscoveryNetns : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (hostName().isEmpty())
            QSKIP("needs tests/netns/netns-run.sh around it");
        QCOMPARE(qEnvironmentVariableIntValue("NOMO_NETNS_SERVICE_COUNT"), 5);
        QLoggingCategory::setFilterRules(QStringLiteral("lumetra.discovery.debug=false"));
        TabScanNetwork::setScanDuration(120000);
    }

    void cleanup() { QTRY_COMPARE(BonjourServiceResolver::instanceCount(), 0); }

    void browseFollowsTheAnnouncements()
    {
        BonjourServiceBrowser browser(nullptr);
        QSignalSpy lists(&browser, &BonjourServiceBrowser::currentBonjourRecordsChanged);
        QSignalSpy errors(&browser, &BonjourServiceBrowser::error);
        browser.browseForServiceType(QStringLiteral("_http._tcp"));
        // Four services on two interfaces: at least eight replies, four records.
        QTRY_VERIFY_WITH_TIMEOUT(lists.count() >= 8, Wait);
        QCOMPARE(sorted(names(browser.records())), sorted({Camera, Camera2, Camera3, Printer}));

        // The goodbye comes once per interface; the first removes the record, the second finds
        // none.
        QVERIFY(runHarnessCommand("NOMO_NETNS_WITHDRAW", {QStringLiteral("_http._tcp"), Camera2}));
        QTRY_VERIFY_WITH_TIMEOUT(!names(browser.records()).contains(Camera2), Wait);
        QCOMPARE(sorted(names(browser.records())), sorted({Camera, Camera3, Printer}));
        // Announced again, it is listed again, now at the end.
        QVERIFY(runHarnessCommand("NOMO_NETNS_PUBLISH",
                                  {QStringLiteral("_http._tcp"), QStringLiteral("8080"), Camera2}));
        QTRY_VERIFY_WITH_TIMEOUT(names(browser.records()).contains(Camera2), Wait);
        QCOMPARE(browser.records().size(), 4);
        QCOMPARE(browser.records().last().serviceName, Camera2);

        // Stopping twice is harmless and keeps the list; a new browse adds nothing twice.
        browser.StopScan();
        browser.StopScan();
        QCOMPARE(browser.records().size(), 4);
        lists.clear();
        browser.browseForServiceType(QStringLiteral("_http._tcp"));
        QTRY_VERIFY_WITH_TIMEOUT(lists.count() >= 8, Wait);
        QCOMPARE(browser.records().size(), 4);
        QCOMPARE(errors.count(), 0);
    }

    void secondResolveRefused()
    {
        const int descriptors = entries("/proc/self/fd");
        auto resolver = std::make_unique<BonjourServiceResolver>();
        QSignalSpy errors(resolver.get(), &BonjourServiceResolver::error);
        resolver->resolveBonjourRecord(
            BonjourRecord(Camera3, QStringLiteral("_http._tcp."), QStringLiteral("local.")));
        QVERIFY(resolver->isResolving());
        // A second start, even for another record, is refused and disturbs nothing.
        QTest::ignoreMessage(QtWarningMsg, "resolve in process, aborting");
        resolver->resolveBonjourRecord(
            BonjourRecord(Printer, QStringLiteral("_http._tcp."), QStringLiteral("local.")));
        QVERIFY(resolver->isResolving());
        QCOMPARE(errors.count(), 0);
        // Deleting it while it resolves gives its connection and socket back.
        resolver.reset();
        QCOMPARE(entries("/proc/self/fd"), descriptors);
    }

    void scansListEachCameraOnceAndLeaveNothingBehind()
    {
        TabScanNetwork page(nullptr, 1);
        QSignalSpy updates(page.browser(), &BonjourServiceBrowser::currentBonjourRecordsChanged);
        int descriptors = -1;
        int threads = -1;
        for (int round = 0; round < 4; ++round) {
            updates.clear();
            page.ClearDevices();
            page.startNetworkScan();
            QTRY_COMPARE_WITH_TIMEOUT(sorted(page.devices()), expectedDevices(), Wait);
            // Every other scan runs until each list signal carries all four services; each is
            // still resolved (and its host looked up) once in the scan, not once per signal. The
            // others stop at once, so resolvers that still wait are released by the stop.
            if (round % 2 == 0) {
                QTRY_VERIFY_WITH_TIMEOUT(updates.count() >= 8, Wait);
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

    void serviceGoneMidScan()
    {
        TabScanNetwork page(nullptr, 1);
        QSignalSpy browseErrors(page.browser(), &BonjourServiceBrowser::error);
        QSignalSpy moves(&page, &TabScanNetwork::MoveTabSignal);
        page.ClearDevices();
        page.startNetworkScan();
        QTRY_COMPARE_WITH_TIMEOUT(page.devices().size(), 3, Wait);

        QVERIFY(runHarnessCommand("NOMO_NETNS_AVAHI_STOP"));
        QTRY_COMPARE_WITH_TIMEOUT(browseErrors.count(), 1, Wait);
        QCOMPARE(browseErrors.first().first().toInt(), int(kDNSServiceErr_Unknown));
        // The error comes once, and nothing spins on the dead connection meanwhile.
        const std::clock_t cpuBefore = std::clock();
        QVERIFY(!browseErrors.wait(1500));
        const double cpu = double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
        QVERIFY2(cpu < 0.5, qPrintable(QStringLiteral("%1 s of CPU while idle").arg(cpu)));
        QCOMPARE(page.devices().size(), 3);
        // The page still answers its button.
        page.findChild<QPushButton *>()->click();
        QCOMPARE(moves.count(), 1);
        QVERIFY(!page.isScanning());

        // Once the daemon is back, the next arrival at page 1 finds the cameras again.
        QVERIFY(runHarnessCommand("NOMO_NETNS_AVAHI_START"));
        page.ClearDevices();
        page.startNetworkScan();
        QTRY_COMPARE_WITH_TIMEOUT(sorted(page.devices()), expectedDevices(), Wait);
        page.stopNetworkScan();
    }
};

QTEST_MAIN(TestDiscoveryNetns)
#include "tst_discovery_netns.moc"
