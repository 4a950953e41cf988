#include "discovery/bonjourrecord.h"
#include "discovery/bonjourservicebrowser.h"
#include "discovery/bonjourserviceresolver.h"
#include "discovery/tabscannetwork.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QHostInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using Reports = QList<QPair<QString, QString>>; // service name, host name
Q_DECLARE_METATYPE(Reports)

namespace {
QString countText(int n)
{
    return QStringLiteral("Scanning the network for Lumetra devices ... ,%1 Lumetra devices have "
                          "been detected.")
        .arg(n);
}

void report(TabScanNetwork &page, const QString &serviceName, const QString &hostName)
{
    QHostInfo info;
    info.setHostName(hostName);
    page.RecordResolved(serviceName, info);
}

int openDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size();
}
} // namespace

// The page without a DNS-SD service: its system bus address leads nowhere, resolutions are fed to
// RecordResolved directly. The real browse and resolve run in tst_discovery_netns.
class TestTabScanNetwork : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void layoutAndTexts();
    void reportsMakeEntries_data();
    void reportsMakeEntries();
    void clearStartsFromZero();
    void continueStopsAndMovesOn();
    void scanTimeMovesOnOnce();
    void failedResolvesLeaveNothingBehind();
};

void TestTabScanNetwork::init()
{
    TabScanNetwork::setScanDuration(10000);
}

void TestTabScanNetwork::layoutAndTexts()
{
    QCOMPARE(TabScanNetwork::scanDuration(), 10000);
    TabScanNetwork page(nullptr, 1);
    auto *status = page.findChild<QLabel *>(QStringLiteral("statusLabel"));
    auto *logo = page.findChild<QLabel *>(QStringLiteral("logoLabel"));
    auto *busy = page.findChild<QProgressBar *>();
    auto *box = page.findChild<QDialogButtonBox *>();
    QVERIFY(status && logo && busy && box);
    QCOMPARE(status->text(), QString());
    QVERIFY(!logo->pixmap().isNull());
    QCOMPARE(logo->alignment(), Qt::AlignRight);
    QCOMPARE(busy->minimum(), 0);
    QCOMPARE(busy->maximum(), 0);
    QCOMPARE(box->buttons().size(), 1);
    auto *button = qobject_cast<QPushButton *>(box->buttons().first());
    QCOMPARE(button->text(), QStringLiteral("Continue to Next Step"));
    QVERIFY(button->isDefault());
    QCOMPARE(box->buttonRole(button), QDialogButtonBox::ActionRole);
    QVERIFY(!page.isScanning());
    QVERIFY(page.devices().isEmpty());
}

void TestTabScanNetwork::reportsMakeEntries_data()
{
    QTest::addColumn<Reports>("reports");
    QTest::addColumn<QStringList>("devices");

    QTest::newRow("maker word") << Reports{{"Dovrel Nomo 0123", "nomocam.local"}}
                                << QStringList{"Dovrel Nomo 0123@nomocam.local"};
    QTest::newRow("brand word anywhere, any case")
        << Reports{{"my lUMETRA cam", "a.local"}, {"xxDOVRELxx", "b.local"}}
        << QStringList{"my lUMETRA cam@a.local", "xxDOVRELxx@b.local"};
    QTest::newRow("printer never listed")
        << Reports{{"Office Printer", "printer.local"}, {"Nomo 0123", "cam.local"}}
        << QStringList{};
    QTest::newRow("empty host ignored") << Reports{{"Dovrel Nomo 0123", ""}} << QStringList{};
    QTest::newRow("repeated report listed once")
        << Reports{{"Lumetra-5", "h.local"}, {"Lumetra-5", "h.local"}, {"Lumetra-5", "h.local"}}
        << QStringList{"Lumetra-5@h.local"};
    QTest::newRow("case variants listed once") << Reports{{"Dovrel Nomo 0123", "nomocam.local"},
                                                          {"dovrel nomo 0123", "nomocam.local"},
                                                          {"Dovrel Nomo 0123", "NOMOCAM.LOCAL"}}
                                               << QStringList{"Dovrel Nomo 0123@nomocam.local"};
    QTest::newRow("same name on two hosts")
        << Reports{{"Lumetra-5", "a.local"}, {"Lumetra-5", "b.local"}}
        << QStringList{"Lumetra-5@a.local", "Lumetra-5@b.local"};
    QTest::newRow("order of arrival")
        << Reports{{"Lumetra-9", "z.local"}, {"Dovrel Nomo 1", "a.local"}}
        << QStringList{"Lumetra-9@z.local", "Dovrel Nomo 1@a.local"};
    QTest::newRow("percent placeholders stay literal")
        << Reports{{"Dovrel %2 cam %1", "h.local"}, {"Lumetra 100%", "g.local"}}
        << QStringList{"Dovrel %2 cam %1@h.local", "Lumetra 100%@g.local"};
    QTest::newRow("non-ASCII name") << Reports{{QString::fromUtf8("Lumetra Caf\u00e9 \u00dc"), "h"}}
                                    << QStringList{QString::fromUtf8("Lumetra Caf\u00e9 \u00dc@h")};
}

void TestTabScanNetwork::reportsMakeEntries()
{
    QFETCH(Reports, reports);
    QFETCH(QStringList, devices);
    TabScanNetwork page(nullptr, 1);
    auto *status = page.findChild<QLabel *>(QStringLiteral("statusLabel"));
    page.ClearDevices();
    QCOMPARE(status->text(), countText(0));
    for (const auto &r : std::as_const(reports))
        report(page, r.first, r.second);
    QCOMPARE(page.devices(), devices);
    QCOMPARE(status->text(), countText(devices.size()));
}

void TestTabScanNetwork::clearStartsFromZero()
{
    TabScanNetwork page(nullptr, 1);
    auto *status = page.findChild<QLabel *>(QStringLiteral("statusLabel"));
    report(page, QStringLiteral("Lumetra-5"), QStringLiteral("a.local"));
    report(page, QStringLiteral("Lumetra-6"), QStringLiteral("a.local"));
    QCOMPARE(status->text(), countText(2));
    page.ClearDevices();
    QVERIFY(page.devices().isEmpty());
    QCOMPARE(status->text(), countText(0));
    // A camera listed before the clear is listed again after it.
    report(page, QStringLiteral("Lumetra-5"), QStringLiteral("a.local"));
    QCOMPARE(page.devices(), QStringList{QStringLiteral("Lumetra-5@a.local")});
}

void TestTabScanNetwork::continueStopsAndMovesOn()
{
    TabScanNetwork page(nullptr, 1);
    QSignalSpy moves(&page, &TabScanNetwork::MoveTabSignal);
    page.ClearDevices();
    page.startNetworkScan(); // the browse fails here; the scan time still runs
    QVERIFY(page.isScanning());
    report(page, QStringLiteral("Dovrel Nomo 0123"), QStringLiteral("nomocam.local"));
    page.findChild<QPushButton *>()->click();
    QCOMPARE(moves.count(), 1);
    QCOMPARE(moves.first().first().toInt(), 1);
    QVERIFY(!page.isScanning());
    QVERIFY(!page.browser()->isBrowsing());
    // What was found so far stays for the next page; stopping again is harmless.
    QCOMPARE(page.devices().size(), 1);
    page.stopNetworkScan();
    page.stopNetworkScan();
    QCOMPARE(moves.count(), 1);
}

void TestTabScanNetwork::scanTimeMovesOnOnce()
{
    TabScanNetwork::setScanDuration(50);
    TabScanNetwork page(nullptr, 7);
    QSignalSpy moves(&page, &TabScanNetwork::MoveTabSignal);
    page.ClearDevices();
    page.startNetworkScan();
    QVERIFY(moves.wait(5000));
    QCOMPARE(moves.count(), 1);
    QCOMPARE(moves.first().first().toInt(), 7);
    // The timer repeats, so only stopping it on the first timeout keeps it from firing again.
    QVERIFY(!page.isScanning());
    // A new scan runs the full time again.
    page.startNetworkScan();
    QVERIFY(page.isScanning());
    QVERIFY(moves.wait(5000));
    QCOMPARE(moves.count(), 2);
}

void TestTabScanNetwork::failedResolvesLeaveNothingBehind()
{
    QVERIFY(qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS").contains(QLatin1String("nowhere")));
    const int resolversBefore = BonjourServiceResolver::instanceCount();
    const int descriptorsBefore = openDescriptors();
    TabScanNetwork page(nullptr, 1);
    page.ClearDevices();
    const QList<BonjourRecord> records{{QStringLiteral("Dovrel Nomo 0123"),
                                        QStringLiteral("_http._tcp."), QStringLiteral("local.")},
                                       {QStringLiteral("Office Printer"),
                                        QStringLiteral("_http._tcp."), QStringLiteral("local.")}};
    for (int i = 0; i < 20; ++i)
        page.updateRecords(records);
    // Each resolve fails at once and its resolver is released.
    QCOMPARE(page.pendingResolverCount(), 0);
    QTRY_COMPARE(BonjourServiceResolver::instanceCount(), resolversBefore);
    QCOMPARE(openDescriptors(), descriptorsBefore);
    QVERIFY(page.devices().isEmpty());
}

QTEST_MAIN(TestTabScanNetwork)
#include "tst_tabscannetwork.moc"
