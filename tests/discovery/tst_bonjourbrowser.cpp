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
    QByteArray type;
    QByteArray domain;
};
using Replies = QList<Reply>;
using Records = QList<BonjourRecord>;
Q_DECLARE_METATYPE(Replies)

namespace {
constexpr DNSServiceFlags Add = kDNSServiceFlagsAdd;
constexpr DNSServiceFlags More = kDNSServiceFlagsMoreComing;
constexpr DNSServiceFlags Remove = 0;
const QByteArray Http = "_http._tcp.";
const QByteArray Local = "local.";

Reply add(const QByteArray &name, quint32 iface = 2, DNSServiceFlags extra = 0)
{
    return {Add | extra, iface, kDNSServiceErr_NoError, name, Http, Local};
}
Reply removal(const QByteArray &name, quint32 iface = 2, DNSServiceFlags extra = 0)
{
    return {Remove | extra, iface, kDNSServiceErr_NoError, name, Http, Local};
}
BonjourRecord record(const QString &name, const QString &domain = QStringLiteral("local."))
{
    return BonjourRecord(name, QStringLiteral("_http._tcp."), domain);
}

void deliver(BonjourServiceBrowser &browser, const Reply &r)
{
    // Error replies come with null names, as Avahi sends them when its daemon goes away.
    const bool nulls = r.error != kDNSServiceErr_NoError;
    BonjourServiceBrowser::bonjourBrowseReply(
        nullptr, r.flags, r.interfaceIndex, r.error, nulls ? nullptr : r.name.constData(),
        nulls ? nullptr : r.type.constData(), nulls ? nullptr : r.domain.constData(), &browser);
}
} // namespace

class TestBonjourBrowser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void recordEquality_data();
    void recordEquality();
    void replySequences_data();
    void replySequences();
    void recordsSurviveStopScan();
    void browseWithoutServiceReportsError();
};

void TestBonjourBrowser::initTestCase()
{
    qRegisterMetaType<BonjourRecord>();
    qRegisterMetaType<QList<BonjourRecord>>();
}

void TestBonjourBrowser::recordEquality_data()
{
    QTest::addColumn<BonjourRecord>("a");
    QTest::addColumn<BonjourRecord>("b");
    QTest::addColumn<bool>("equal");
    const BonjourRecord cam(QStringLiteral("Dovrel Nomo 0123"), QStringLiteral("_http._tcp."),
                            QStringLiteral("local."));
    QTest::newRow("identical") << cam << cam << true;
    QTest::newRow("defaults") << BonjourRecord() << BonjourRecord() << true;
    QTest::newRow("name case") << cam
                               << BonjourRecord(QStringLiteral("dovrel nomo 0123"), cam.serviceType,
                                                cam.replyDomain)
                               << false;
    QTest::newRow("type differs") << cam
                                  << BonjourRecord(cam.serviceName, QStringLiteral("_https._tcp."),
                                                   cam.replyDomain)
                                  << false;
    QTest::newRow("domain differs")
        << cam << BonjourRecord(cam.serviceName, cam.serviceType, QStringLiteral("example.com."))
        << false;
    QTest::newRow("domain without dot")
        << cam << BonjourRecord(cam.serviceName, cam.serviceType, QStringLiteral("local")) << false;
    QTest::newRow("default vs filled") << BonjourRecord() << cam << false;
}

void TestBonjourBrowser::recordEquality()
{
    QFETCH(BonjourRecord, a);
    QFETCH(BonjourRecord, b);
    QFETCH(bool, equal);
    QCOMPARE(a == b, equal);
    QCOMPARE(b == a, equal);
    QCOMPARE(a != b, !equal);
    if (equal)
        QCOMPARE(qHash(a), qHash(b));
}

void TestBonjourBrowser::replySequences_data()
{
    QTest::addColumn<Replies>("replies");
    QTest::addColumn<Records>("expected");
    QTest::addColumn<int>("listSignals");
    QTest::addColumn<int>("errors");

    const BonjourRecord a = record(QStringLiteral("Dovrel Nomo 0123"));
    const BonjourRecord b = record(QStringLiteral("Lumetra-5"));
    const BonjourRecord p = record(QStringLiteral("Office Printer"));

    QTest::newRow("one add") << Replies{add("Dovrel Nomo 0123")} << Records{a} << 1 << 0;
    QTest::newRow("order of first announcement")
        << Replies{add("Lumetra-5"), add("Dovrel Nomo 0123"), add("Office Printer")}
        << Records{b, a, p} << 3 << 0;
    QTest::newRow("same instance on two interfaces")
        << Replies{add("Dovrel Nomo 0123", 2), add("Dovrel Nomo 0123", 3)} << Records{a} << 2 << 0;
    QTest::newRow("repeated add still signals")
        << Replies{add("Lumetra-5"), add("Lumetra-5"), add("Lumetra-5")} << Records{b} << 3 << 0;
    QTest::newRow("removal from one interface removes it")
        << Replies{add("Dovrel Nomo 0123", 2), add("Dovrel Nomo 0123", 3),
                   removal("Dovrel Nomo 0123", 2)}
        << Records{} << 3 << 0;
    QTest::newRow("removal keeps the others in order")
        << Replies{add("Lumetra-5"), add("Dovrel Nomo 0123"), add("Office Printer"),
                   removal("Dovrel Nomo 0123")}
        << Records{b, p} << 4 << 0;
    QTest::newRow("removal of unknown record changes nothing")
        << Replies{add("Lumetra-5"), removal("Nobody")} << Records{b} << 2 << 0;
    QTest::newRow("removal differing in case keeps the record")
        << Replies{add("Dovrel Nomo 0123"), removal("dovrel nomo 0123")} << Records{a} << 2 << 0;
    Reply otherDomain = removal("Dovrel Nomo 0123");
    otherDomain.domain = "example.com.";
    QTest::newRow("removal in another domain keeps the record")
        << Replies{add("Dovrel Nomo 0123"), otherDomain} << Records{a} << 2 << 0;
    QTest::newRow("case variants are two records")
        << Replies{add("Dovrel Nomo 0123"), add("dovrel nomo 0123")}
        << Records{a, record(QStringLiteral("dovrel nomo 0123"))} << 2 << 0;
    Reply wideArea = add("Dovrel Nomo 0123");
    wideArea.domain = "example.com.";
    QTest::newRow("domain variants are two records")
        << Replies{add("Dovrel Nomo 0123"), wideArea}
        << Records{a, record(QStringLiteral("Dovrel Nomo 0123"), QStringLiteral("example.com."))}
        << 2 << 0;
    QTest::newRow("more-coming batch signals once at its end")
        << Replies{add("Lumetra-5", 2, More), add("Dovrel Nomo 0123", 2, More),
                   removal("Lumetra-5", 2, More), add("Office Printer")}
        << Records{a, p} << 1 << 0;
    QTest::newRow("batch still open: no signal")
        << Replies{add("Lumetra-5", 2, More), add("Dovrel Nomo 0123", 2, More)} << Records{b, a}
        << 0 << 0;
    QTest::newRow("batch ending in an error: no list signal")
        << Replies{add("Lumetra-5", 2, More),
                   {0, 0, kDNSServiceErr_Unknown, QByteArray(), QByteArray(), QByteArray()}}
        << Records{b} << 0 << 1;
    QTest::newRow("error between batches") << Replies{add("Lumetra-5"),
                                                      {0, 0, kDNSServiceErr_NoMemory, {}, {}, {}},
                                                      add("Dovrel Nomo 0123")}
                                           << Records{b, a} << 2 << 1;
    QTest::newRow("non-ASCII name decoded from UTF-8")
        << Replies{add(QStringLiteral("Lumetra Caf\u00e9 \u00dcberwachung \u65e5").toUtf8())}
        << Records{record(QStringLiteral("Lumetra Caf\u00e9 \u00dcberwachung \u65e5"))} << 1 << 0;
}

void TestBonjourBrowser::replySequences()
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
    if (listSignals > 0) {
        // Every signal carries the whole list as it stood; the last one the final list.
        QCOMPARE(lists.last().first().value<Records>(), expected);
    }
    for (const QList<QVariant> &e : std::as_const(errorSpy))
        QVERIFY(e.first().toInt() != kDNSServiceErr_NoError);
}

void TestBonjourBrowser::recordsSurviveStopScan()
{
    BonjourServiceBrowser browser(nullptr);
    deliver(browser, add("Lumetra-5"));
    deliver(browser, add("Dovrel Nomo 0123"));
    const Records before = browser.records();
    QSignalSpy lists(&browser, &BonjourServiceBrowser::currentBonjourRecordsChanged);
    browser.StopScan();
    browser.StopScan();
    QCOMPARE(browser.records(), before);
    QCOMPARE(lists.count(), 0);
    // A later browse adds to the list rather than starting over.
    deliver(browser, add("Lumetra-5"));
    deliver(browser, add("Office Printer"));
    QCOMPARE(browser.records(), (Records{record(QStringLiteral("Lumetra-5")),
                                         record(QStringLiteral("Dovrel Nomo 0123")),
                                         record(QStringLiteral("Office Printer"))}));
}

void TestBonjourBrowser::browseWithoutServiceReportsError()
{
    // This test's system bus address leads nowhere, so no DNS-SD service can be reached.
    QVERIFY(qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS").contains(QLatin1String("nowhere")));
    BonjourServiceBrowser browser(nullptr);
    deliver(browser, add("Lumetra-5"));
    QSignalSpy errors(&browser, &BonjourServiceBrowser::error);
    QSignalSpy lists(&browser, &BonjourServiceBrowser::currentBonjourRecordsChanged);
    browser.browseForServiceType(QStringLiteral("_http._tcp"));
    QCOMPARE(errors.count(), 1);
    QVERIFY(errors.first().first().toInt() != kDNSServiceErr_NoError);
    QVERIFY(!browser.isBrowsing());
    QCOMPARE(browser.records().size(), 1);
    browser.StopScan();
    QCOMPARE(lists.count(), 0);
}

QTEST_GUILESS_MAIN(TestBonjourBrowser)
#include "tst_bonjourbrowser.moc"
