#include "discovery/bonjourrecord.h"
#include "discovery/bonjourservicebrowser.h"
#include "discovery/bonjourserviceresolver.h"
#include "discovery/tabscannetwork.h"

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
    void initTestCase() { QCOMPARE(TabScanNetwork::scanDuration(), 10000); }

    void reportsMakeEntries_data()
    {
        QTest::addColumn<Reports>("reports");
        QTest::addColumn<QStringList>("devices");
        QTest::newRow("brand word anywhere, any case, in order of arrival")
            << Reports{{"my lUMETRA cam", "z.local"}, {"xxDOVRELxx", "a.local"}}
            << QStringList{"my lUMETRA cam@z.local", "xxDOVRELxx@a.local"};
        QTest::newRow("printer never listed")
            << Reports{{"Office Printer", "printer.local"}, {"Nomo 0123", "cam.local"}}
            << QStringList{};
        QTest::newRow("empty host ignored") << Reports{{"Dovrel Nomo 0123", ""}} << QStringList{};
        QTest::newRow("repeats and case variants listed once")
            << Reports{{"Dovrel Nomo 0123", "nomocam.local"},
                       {"Dovrel Nomo 0123", "nomocam.local"},
                       {"dovrel nomo 0123", "nomocam.local"},
                       {"Dovrel Nomo 0123", "NOMOCAM.LOCAL"}}
            << QStringList{"Dovrel Nomo 0123@nomocam.local"};
        QTest::newRow("same name on two hosts")
            << Reports{{"Lumetra-5", "a.local"}, {"Lumetra-5", "b.local"}}
            << QStringList{"Lumetra-5@a.local", "Lumetra-5@b.local"};
        QTest::newRow("percent placeholders stay literal")
            << Reports{{"Dovrel %2 cam %1", "h.local"}, {"Lumetra 100%", "g.local"}}
            << QStringList{"Dovrel %2 cam %1@h.local", "Lumetra 100%@g.local"};
    }

    void reportsMakeEntries()
    {
        QFETCH(Reports, reports);
        QFETCH(QStringList, devices);
        TabScanNetwork page(nullptr, 1);
        auto *status = page.findChild<QLabel *>(QStringLiteral("statusLabel"));
        QCOMPARE(status->text(), QString());
        for (int round = 0; round < 2; ++round) {
            // Every arrival at the page starts from zero, and finds the same cameras again.
            page.ClearDevices();
            QCOMPARE(status->text(), countText(0));
            for (const auto &r : std::as_const(reports))
                report(page, r.first, r.second);
            QCOMPARE(page.devices(), devices);
            QCOMPARE(status->text(), countText(devices.size()));
        }
    }

    void movesOnOnce_data()
    {
        QTest::addColumn<bool>("pressButton");
        QTest::newRow("button pressed") << true;
        QTest::newRow("scan time over") << false;
    }

    void movesOnOnce()
    {
        QFETCH(bool, pressButton);
        TabScanNetwork::setScanDuration(pressButton ? 10000 : 50);
        TabScanNetwork page(nullptr, 7);
        QSignalSpy moves(&page, &TabScanNetwork::MoveTabSignal);
        auto *busy = page.findChild<QProgressBar *>();
        QCOMPARE(busy->minimum(), 0);
        QCOMPARE(busy->maximum(), 0);
        auto *button = page.findChild<QPushButton *>();
        QCOMPARE(button->text(), QStringLiteral("Continue to Next Step"));
        QVERIFY(button->isDefault());
        for (int scan = 1; scan <= 2; ++scan) {
            page.ClearDevices();
            page.startNetworkScan(); // the browse fails here; the scan time still runs
            QVERIFY(page.isScanning());
            report(page, QStringLiteral("Dovrel Nomo 0123"), QStringLiteral("nomocam.local"));
            if (pressButton)
                button->click();
            else
                QVERIFY(moves.wait(5000));
            QCOMPARE(moves.count(), scan);
            QCOMPARE(moves.last().first().toInt(), 7);
            // The timer repeats: only stopping it on the first timeout keeps it from firing again.
            QVERIFY(!page.isScanning());
            QVERIFY(!page.browser()->isBrowsing());
            page.stopNetworkScan();
            page.stopNetworkScan();
            // What was found so far stays for the next page.
            QCOMPARE(page.devices().size(), 1);
        }
    }

    void failedResolvesLeaveNothingBehind()
    {
        QVERIFY(qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS").contains(QLatin1String("nowhere")));
        const int resolversBefore = BonjourServiceResolver::instanceCount();
        const int descriptorsBefore = openDescriptors();
        TabScanNetwork page(nullptr, 1);
        const QString type = QStringLiteral("_http._tcp."), local = QStringLiteral("local.");
        const QList<BonjourRecord> records{{QStringLiteral("Dovrel Nomo 0123"), type, local},
                                           {QStringLiteral("Office Printer"), type, local}};
        for (int i = 0; i < 20; ++i)
            page.updateRecords(records);
        // Each resolve fails at once and its resolver is released.
        QCOMPARE(page.pendingResolverCount(), 0);
        QTRY_COMPARE(BonjourServiceResolver::instanceCount(), resolversBefore);
        QCOMPARE(openDescriptors(), descriptorsBefore);
        QVERIFY(page.devices().isEmpty());
    }
};

QTEST_MAIN(TestTabScanNetwork)
#include "tst_tabscannetwork.moc"
