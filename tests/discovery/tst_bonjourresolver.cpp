#include "discovery/bonjourrecord.h"
#include "discovery/bonjourserviceresolver.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QSignalSpy>
#include <QTest>

namespace {
QStringList s_debugLines;

void collectDebugLines(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtDebugMsg)
        s_debugLines << text;
}

void deliver(BonjourServiceResolver &resolver, const char *hosttarget,
             DNSServiceErrorType error = kDNSServiceErr_NoError)
{
    BonjourServiceResolver::bonjourResolveReply(nullptr, 0, 2, error,
                                                error ? nullptr : "x._http._tcp.local.", hosttarget,
                                                80, 0, nullptr, &resolver);
}
} // namespace

// Host targets stay on this machine: "localhost" from the hosts file and numeric addresses, which
// need no lookup at all. Anything else is looked up in the network namespace tests only.
class TestBonjourResolver : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyReplyLooksUpTheHost_data()
    {
        QTest::addColumn<QByteArray>("hosttarget");
        QTest::addColumn<QString>("hostName");
        QTest::addColumn<QString>("mustHaveAddress");
        // A numeric name comes back with the name the hosts file gives it (a reverse lookup), so
        // only the address is pinned for those; the cut shows in it ("127.0.0.12" is another host).
        QTest::newRow("numeric with closing dot")
            << QByteArray("127.0.0.1.") << QString() << "127.0.0.1";
        QTest::newRow("last character cut even without a dot")
            << QByteArray("127.0.0.12") << QString() << "127.0.0.1";
        QTest::newRow("localhost") << QByteArray("localhost.") << "localhost"
                                   << "127.0.0.1";
        QTest::newRow("only the dot: nothing to look up") << QByteArray(".") << "" << QString();
        QTest::newRow("null target") << QByteArray() << "" << QString();
    }

    void everyReplyLooksUpTheHost()
    {
        QFETCH(QByteArray, hosttarget);
        QFETCH(QString, hostName);
        QFETCH(QString, mustHaveAddress);
        BonjourServiceResolver resolver;
        QList<QHostInfo> reports;
        connect(&resolver, &BonjourServiceResolver::bonjourRecordResolved, this,
                [&reports](const QString &, QHostInfo &info) { reports.append(info); });
        QSignalSpy errors(&resolver, &BonjourServiceResolver::error);

        s_debugLines.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collectDebugLines);
        // The resolve keeps running after a report: each reply is reported again.
        for (int i = 0; i < 2; ++i)
            deliver(resolver, hosttarget.isNull() ? nullptr : hosttarget.constData());
        qInstallMessageHandler(previous);

        QCOMPARE(reports.size(), 2);
        QCOMPARE(errors.count(), 0);
        const QHostInfo &report = reports.first();
        if (!hostName.isNull())
            QCOMPARE(report.hostName(), hostName);
        if (mustHaveAddress.isEmpty())
            QVERIFY(report.addresses().isEmpty());
        else
            QVERIFY(report.addresses().contains(QHostAddress(mustHaveAddress)));
        // One line for the target as received, then one per address in the order of the result.
        QStringList expected{"Received hosttarget " + QString::fromUtf8(hosttarget)};
        for (const QHostAddress &address : report.addresses())
            expected << '"' + address.toString() + "\" Was detected";
        QCOMPARE(s_debugLines, expected + expected);
    }

    void errorsReportNothingElse()
    {
        QVERIFY(qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS").contains(QLatin1String("nowhere")));
        BonjourServiceResolver resolver;
        QSignalSpy errors(&resolver, &BonjourServiceResolver::error);
        int reports = 0;
        connect(&resolver, &BonjourServiceResolver::bonjourRecordResolved, this,
                [&reports](const QString &, QHostInfo &) { ++reports; });
        const BonjourRecord cam(QStringLiteral("Dovrel Nomo 0123"), QStringLiteral("_http._tcp."),
                                QStringLiteral("local."));
        resolver.resolveBonjourRecord(cam);
        QCOMPARE(errors.count(), 1);
        QVERIFY(errors.first().first().toInt() != kDNSServiceErr_NoError);
        QVERIFY(!resolver.isResolving());
        // Nothing runs, so a second start is tried again instead of being refused.
        resolver.resolveBonjourRecord(cam);
        QCOMPARE(errors.count(), 2);
        // Avahi's reply when its daemon goes away: an error code and null pointers throughout.
        deliver(resolver, nullptr, kDNSServiceErr_Unknown);
        QCOMPARE(errors.count(), 3);
        QCOMPARE(errors.last().first().toInt(), int(kDNSServiceErr_Unknown));
        QCOMPARE(reports, 0);
    }
};

QTEST_GUILESS_MAIN(TestBonjourResolver)
#include "tst_bonjourresolver.moc"
