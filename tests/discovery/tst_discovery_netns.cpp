#include "discovery/bonjourrecord.h"
#include "discovery/bonjourservicebrowser.h"
#include "discovery/bonjourserviceresolver.h"
#include "discovery/tabscannetwork.h"

#include <QDir>
#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

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

QStringList expectedDevices()
{
    QStringList devices;
    for (const QString &name : {Camera, Camera2, Camera3})
        devices << name + '@' + hostName();
    devices.sort();
    return devices;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

int openDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size();
}

int threads()
{
    return QDir(QStringLiteral("/proc/self/task"))
        .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
        .size();
}

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Runs the event loop for a while and returns the CPU time spent meanwhile: an idle page costs
// next to nothing, one that spins on a dead socket costs all of it.
double cpuWhileIdle(int msec)
{
    const double before = cpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(msec, &loop, &QEventLoop::quit);
    loop.exec();
    return cpuSeconds() - before;
}

bool runHarnessCommand(const char *variable, const QStringList &arguments = {})
{
    const QString command = qEnvironmentVariable(variable);
    return !command.isEmpty() && QProcess::execute(command, arguments) == 0;
}

QStringList names(const QList<BonjourRecord> &records)
{
    QStringList list;
    for (const BonjourRecord &record : records)
        list << record.serviceName;
    return list;
}

QStringList s_hostTargets;
QtMessageHandler s_previousHandler = nullptr;

void countHostTargets(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtDebugMsg && text.startsWith(QLatin1String("Received hosttarget ")))
        s_hostTargets << text;
    else if (type != QtDebugMsg)
        s_previousHandler(type, context, text);
}
} // namespace

class TestDiscoveryNetns : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void browseListsEachServiceOnce();
    void withdrawnServiceIsRemoved();
    void resolveFindsTheHost();
    void scanListsEachCameraOnce();
    void scansLeaveNothingBehind();
    void serviceGoneMidScan();
};

void TestDiscoveryNetns::initTestCase()
{
    if (hostName().isEmpty())
        QSKIP("needs tests/netns/netns-run.sh around it");
    QCOMPARE(qEnvironmentVariableIntValue("NOMO_NETNS_SERVICE_COUNT"), 5);
    qRegisterMetaType<QList<BonjourRecord>>();
    TabScanNetwork::setScanDuration(120000);
}

void TestDiscoveryNetns::init()
{
    s_hostTargets.clear();
    s_previousHandler = qInstallMessageHandler(countHostTargets);
}

void TestDiscoveryNetns::cleanup()
{
    qInstallMessageHandler(s_previousHandler);
    QTRY_COMPARE(BonjourServiceResolver::instanceCount(), 0);
}

void TestDiscoveryNetns::browseListsEachServiceOnce()
{
    BonjourServiceBrowser browser(nullptr);
    QSignalSpy lists(&browser, &BonjourServiceBrowser::currentBonjourRecordsChanged);
    QSignalSpy errors(&browser, &BonjourServiceBrowser::error);
    browser.browseForServiceType(QStringLiteral("_http._tcp"));
    QVERIFY(browser.isBrowsing());
    // Four services on two interfaces: at least eight replies, four records.
    QTRY_VERIFY_WITH_TIMEOUT(lists.count() >= 8, Wait);
    QCOMPARE(browser.records().size(), 4);
    QStringList names;
    for (const BonjourRecord &record : browser.records()) {
        names << record.serviceName;
        QCOMPARE(record.serviceType, QStringLiteral("_http._tcp."));
        QCOMPARE(record.replyDomain, QStringLiteral("local."));
    }
    QCOMPARE(sorted(names), sorted({Camera, Camera2, Camera3, Printer}));
    QCOMPARE(errors.count(), 0);

    // Stopping twice is harmless and keeps the list; a new browse adds nothing twice.
    browser.StopScan();
    browser.StopScan();
    QCOMPARE(browser.records().size(), 4);
    lists.clear();
    browser.browseForServiceType(QStringLiteral("_http._tcp"));
    QTRY_VERIFY_WITH_TIMEOUT(lists.count() >= 8, Wait);
    QCOMPARE(browser.records().size(), 4);
}

void TestDiscoveryNetns::withdrawnServiceIsRemoved()
{
    BonjourServiceBrowser browser(nullptr);
    QSignalSpy lists(&browser, &BonjourServiceBrowser::currentBonjourRecordsChanged);
    browser.browseForServiceType(QStringLiteral("_http._tcp"));
    QTRY_VERIFY_WITH_TIMEOUT(lists.count() >= 8, Wait);

    // The goodbye comes once per interface; the first removes the record, the second finds none.
    QVERIFY(runHarnessCommand("NOMO_NETNS_WITHDRAW", {QStringLiteral("_http._tcp"), Camera2}));
    QTRY_VERIFY_WITH_TIMEOUT(!names(browser.records()).contains(Camera2), Wait);
    QCOMPARE(sorted(names(browser.records())), sorted({Camera, Camera3, Printer}));

    // Announced again, it is listed again, now at the end.
    QVERIFY(runHarnessCommand("NOMO_NETNS_PUBLISH",
                              {QStringLiteral("_http._tcp"), QStringLiteral("8080"), Camera2}));
    QTRY_VERIFY_WITH_TIMEOUT(names(browser.records()).contains(Camera2), Wait);
    QCOMPARE(browser.records().size(), 4);
    QCOMPARE(browser.records().last().serviceName, Camera2);
}

void TestDiscoveryNetns::resolveFindsTheHost()
{
    const int descriptors = openDescriptors();
    auto resolver = std::make_unique<BonjourServiceResolver>();
    QString reportedName;
    QHostInfo reported;
    int reports = 0;
    connect(resolver.get(), &BonjourServiceResolver::bonjourRecordResolved, this,
            [&](const QString &name, QHostInfo &info) {
                reportedName = name;
                reported = info;
                ++reports;
            });
    QSignalSpy errors(resolver.get(), &BonjourServiceResolver::error);
    const BonjourRecord camera(Camera3, QStringLiteral("_http._tcp."), QStringLiteral("local."));
    resolver->resolveBonjourRecord(camera);
    QVERIFY(resolver->isResolving());

    QTRY_VERIFY_WITH_TIMEOUT(reports >= 1, Wait);
    QCOMPARE(reportedName, Camera3);
    QCOMPARE(reported.hostName(), hostName());
    const QList<QHostAddress> addresses = reported.addresses();
    QVERIFY(!addresses.isEmpty());
    for (const QHostAddress &address : addresses)
        QVERIFY2(address.isInSubnet(QHostAddress(QStringLiteral("10.77.0.0")), 24),
                 qPrintable(address.toString()));
    QCOMPARE(s_hostTargets.first(), "Received hosttarget " + hostName() + '.');

    // A second start, even for another record, is refused and disturbs nothing.
    QTest::ignoreMessage(QtWarningMsg, "resolve in process, aborting");
    resolver->resolveBonjourRecord(
        BonjourRecord(Printer, QStringLiteral("_http._tcp."), QStringLiteral("local.")));
    QVERIFY(resolver->isResolving());
    QCOMPARE(errors.count(), 0);

    // Deleting it while it resolves gives its connection and socket back.
    resolver.reset();
    QCOMPARE(openDescriptors(), descriptors);
}

void TestDiscoveryNetns::scanListsEachCameraOnce()
{
    TabScanNetwork page(nullptr, 1);
    QSignalSpy updates(page.browser(), &BonjourServiceBrowser::currentBonjourRecordsChanged);
    QSignalSpy moves(&page, &TabScanNetwork::MoveTabSignal);
    page.ClearDevices();
    page.startNetworkScan();
    QTRY_COMPARE_WITH_TIMEOUT(sorted(page.devices()), expectedDevices(), Wait);
    QTRY_VERIFY_WITH_TIMEOUT(updates.count() >= 8, Wait);
    QTRY_COMPARE_WITH_TIMEOUT(page.pendingResolverCount(), 0, Wait);
    QCOMPARE(page.findChild<QLabel *>(QStringLiteral("statusLabel"))->text(),
             QStringLiteral("Scanning the network for Lumetra devices ... ,3 Lumetra devices have "
                            "been detected."));
    // Every list signal carries all four services, yet each is resolved (and its host looked up)
    // once in the scan, not once per signal.
    QCOMPARE(page.resolveCount(), 4);
    QVERIFY2(s_hostTargets.size() >= 4, qPrintable(s_hostTargets.join(QLatin1Char('\n'))));

    page.findChild<QPushButton *>()->click();
    QCOMPARE(moves.count(), 1);
    QVERIFY(!page.isScanning());
    QCOMPARE(page.pendingResolverCount(), 0);
    QCOMPARE(sorted(page.devices()), expectedDevices());
}

void TestDiscoveryNetns::scansLeaveNothingBehind()
{
    TabScanNetwork page(nullptr, 1);
    int descriptors = -1;
    int threadCount = -1;
    for (int round = 0; round < 4; ++round) {
        page.ClearDevices();
        page.startNetworkScan();
        QTRY_COMPARE_WITH_TIMEOUT(page.devices().size(), 3, Wait);
        page.stopNetworkScan();
        QCOMPARE(page.pendingResolverCount(), 0);
        QTRY_COMPARE(BonjourServiceResolver::instanceCount(), 0);
        if (round == 0) {
            // Measured after one full scan, so that one-time library state is not counted.
            descriptors = openDescriptors();
            threadCount = threads();
        } else {
            QCOMPARE(openDescriptors(), descriptors);
            QCOMPARE(threads(), threadCount);
        }
    }
}

void TestDiscoveryNetns::serviceGoneMidScan()
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
    // Nothing spins on the dead connection and the error came once.
    const double cpu = cpuWhileIdle(1500);
    QVERIFY2(cpu < 0.5, qPrintable(QStringLiteral("%1 s of CPU while idle").arg(cpu)));
    QCOMPARE(browseErrors.count(), 1);
    QCOMPARE(page.devices().size(), 3);

    // The page still answers its button.
    page.findChild<QPushButton *>()->click();
    QCOMPARE(moves.count(), 1);
    QVERIFY(!page.isScanning());

    // Back at page 1 while the service is down: the browse fails, nothing else happens.
    page.ClearDevices();
    page.startNetworkScan();
    QCOMPARE(browseErrors.count(), 2);
    QVERIFY(!page.browser()->isBrowsing());
    page.stopNetworkScan();

    // Once the daemon is back, the next arrival at page 1 finds the cameras again.
    QVERIFY(runHarnessCommand("NOMO_NETNS_AVAHI_START"));
    page.ClearDevices();
    page.startNetworkScan();
    QTRY_COMPARE_WITH_TIMEOUT(sorted(page.devices()), expectedDevices(), Wait);
    page.stopNetworkScan();
}

QTEST_MAIN(TestDiscoveryNetns)
#include "tst_discovery_netns.moc"
