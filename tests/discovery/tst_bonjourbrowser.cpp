#include "discovery/bonjourrecord.h"
#include "discovery/bonjourservicebrowser.h"

#include <QSignalSpy>
#include <QTest>

// One crafted browse reply: what the DNS-SD library would hand the callback.
struct Reply
{
    DNSServiceFlags flags;
    quint32 interfaceIndex;
    DNSServiceErrorType error;
    QByteArray name;
    QByteArray domain;
};
using Replies = QList<Reply>;
using Records = QList<BonjourRecord>;
Q_DECLARE_METATYPE(Replies)

namespace {
constexpr DNSServiceFlags Add = kDNSServiceFlagsAdd;
constexpr DNSServiceFlags More = kDNSServiceFlagsMoreComing;
constexpr DNSServiceFlags Remove = 0;

Reply reply(DNSServiceFlags flags, const QByteArray &name, quint32 iface = 2,
            const QByteArray &domain = "local.")
{
    return {flags, iface, kDNSServiceErr_NoError, name, domain};
}

BonjourRecord record(const QString &name, const QString &domain = QStringLiteral("local."))
{
    return BonjourRecord(name, QStringLiteral("_http._tcp."), domain);
}

void deliver(BonjourServiceBrowser &browser, const Reply &r)
{
    // Error replies come with null names, as Avahi sends them when its daemon goes away.
    const bool ok = r.error == kDNSServiceErr_NoError;
    BonjourServiceBrowser::bonjourBrowseReply(
        nullptr, r.flags, r.interfaceIndex, r.error, ok ? r.name.constData() : nullptr,
        ok ? "_http._tcp." : nullptr, ok ? r.domain.constData() : nullptr, &browser);
}
} // namespace

class TestBonjourBrowser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void replySequences_data()
    {
        QTest::addColumn<Replies>("replies");
        QTest::addColumn<Records>("expected");
        QTest::addColumn<int>("listSignals");
        QTest::addColumn<int>("errors");
        const QByteArray cam = "Dovrel Nomo 0123";
        const BonjourRecord a = record(cam), b = record("Lumetra-5"), p = record("Office Printer");

        QTest::newRow("order of first announcement")
            << Replies{reply(Add, "Lumetra-5"), reply(Add, cam), reply(Add, "Office Printer")}
            << Records{b, a, p} << 3 << 0;
        QTest::newRow("one instance on two interfaces listed once")
            << Replies{reply(Add, cam, 2), reply(Add, cam, 3)} << Records{a} << 2 << 0;
        QTest::newRow("removal from one interface removes it, the rest keep their order")
            << Replies{reply(Add, "Lumetra-5"), reply(Add, cam, 2), reply(Add, cam, 3),
                       reply(Add, "Office Printer"), reply(Remove, cam, 2)}
            << Records{b, p} << 5 << 0;
        QTest::newRow("removal differing in case or domain keeps the record")
            << Replies{reply(Add, cam), reply(Remove, "dovrel nomo 0123"),
                       reply(Remove, cam, 2, "example.com.")}
            << Records{a} << 3 << 0;
        QTest::newRow("case and domain variants are distinct records")
            << Replies{reply(Add, cam), reply(Add, "dovrel nomo 0123"),
                       reply(Add, cam, 2, "example.com.")}
            << Records{a, record("dovrel nomo 0123"), record(cam, "example.com.")} << 3 << 0;
        QTest::newRow("more-coming batch signals once at its end")
            << Replies{reply(Add | More, "Lumetra-5"), reply(Add | More, cam),
                       reply(Remove | More, "Lumetra-5"), reply(Add, "Office Printer")}
            << Records{a, p} << 1 << 0;
        QTest::newRow("batch ended by an error: no list signal, later replies served")
            << Replies{reply(Add | More, "Lumetra-5"),
                       {0, 0, kDNSServiceErr_Unknown, {}, {}},
                       reply(Add, cam)}
            << Records{b, a} << 1 << 1;
        QTest::newRow("non-ASCII name decoded from UTF-8")
            << Replies{reply(Add, QStringLiteral("Lumetra Caf\u00e9 \u00dcberwachung").toUtf8())}
            << Records{record(QStringLiteral("Lumetra Caf\u00e9 \u00dcberwachung"))} << 1 << 0;
    }

    void replySequences()
    {
        QFETCH(Replies, replies);
        QFETCH(Records, expected);
        QFETCH(int, listSignals);
        QFETCH(int, errors);
        BonjourServiceBrowser browser(nullptr);
        QSignalSpy lists(&browser, &BonjourServiceBrowser::currentBonjourRecordsChanged);
        QSignalSpy errorSpy(&browser, &BonjourServiceBrowser::error);
        for (const Reply &r : replies)
            deliver(browser, r);

        QCOMPARE(browser.records(), expected);
        QCOMPARE(lists.count(), listSignals);
        QCOMPARE(errorSpy.count(), errors);
        if (listSignals > 0)
            QCOMPARE(lists.last().first().value<Records>(), expected);
        if (errors > 0)
            QCOMPARE(errorSpy.last().first().toInt(), int(kDNSServiceErr_Unknown));
    }

    void recordsSurviveStopAndFailedBrowse()
    {
        // This test's system bus address leads nowhere, so no DNS-SD service can be reached.
        QVERIFY(qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS").contains(QLatin1String("nowhere")));
        BonjourServiceBrowser browser(nullptr);
        deliver(browser, reply(Add, "Lumetra-5"));
        deliver(browser, reply(Add, "Dovrel Nomo 0123"));
        QSignalSpy lists(&browser, &BonjourServiceBrowser::currentBonjourRecordsChanged);
        QSignalSpy errors(&browser, &BonjourServiceBrowser::error);
        browser.browseForServiceType(QStringLiteral("_http._tcp"));
        QCOMPARE(errors.count(), 1);
        QVERIFY(errors.first().first().toInt() != kDNSServiceErr_NoError);
        QVERIFY(!browser.isBrowsing());
        browser.StopScan();
        browser.StopScan();
        QCOMPARE(lists.count(), 0);
        // A later browse adds to the list rather than starting over.
        deliver(browser, reply(Add, "Lumetra-5"));
        deliver(browser, reply(Add, "Office Printer"));
        QCOMPARE(browser.records(), (Records{record("Lumetra-5"), record("Dovrel Nomo 0123"),
                                             record("Office Printer")}));
    }
};

QTEST_GUILESS_MAIN(TestBonjourBrowser)
#include "tst_bonjourbrowser.moc"
