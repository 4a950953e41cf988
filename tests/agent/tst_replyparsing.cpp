#include "agent/replyparsing.h"

#include <QtTest>

class TestReplyParsing : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void elementValue_data();
    void elementValue();
    void elements_data();
    void elements();
    void knownVersion_data();
    void knownVersion();
};

void TestReplyParsing::elementValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("expected");
    auto row = [](const char *name, const char *text, const char *tag, const char *expected) {
        QTest::newRow(name) << QString::fromUtf8(text) << QString(tag) << QString(expected);
    };

    row("simple", "<SessionId>abc</SessionId>", "SessionId", "abc");
    row("name absent", "<Version>1</Version>", "SessionId", "");
    row("first element wins", "<Version>1.2</Version><Version>3</Version>", "Version", "1.2");
    row("missing closing tag", "<SSID>home", "SSID", "home");
    row("other letter case: rest from tag length + 1", "<sessionid>abc</sessionid>xyz", "SessionId",
        ">abc</sessionid>xyz");
    row("name only, text too short", "ssid", "SSID", "");
    row("nested: inner closing tag ends it", "<a><a>x</a></a>", "a", "<a>x");
    row("closing tag before opening tag is skipped", "</SSID><SSID>a</SSID>", "SSID", "a");
    row("content raw, not trimmed or decoded", "<SSID> a &amp; b </SSID>", "SSID", " a &amp; b ");
}

void TestReplyParsing::elementValue()
{
    QFETCH(QString, text);
    QFETCH(QString, tag);
    QFETCH(QString, expected);
    QCOMPARE(Helper_ExtractElementValue(text, tag), expected);
}

void TestReplyParsing::elements_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QStringList>("expected");
    auto row = [](const char *name, const char *text, const char *tag, const QStringList &list) {
        QTest::newRow(name) << QString(text) << QString(tag) << list;
    };

    row("name absent: empty list", "<Error>500</Error>", "Network", {});
    row("outer element named alike adds '</Network'",
        "<Networks><Network><SSID>a</SSID></Network></Networks>", "Network",
        {"<Network><SSID>a</SSID></Network>", "</Network"});
    row("remainder exactly the name", "Network", "Network", {"Network"});
    row("text between blocks skipped", "x<Network>1</Network>yy<Network>2</Network>z", "Network",
        {"<Network>1</Network>", "<Network>2</Network>"});
    row("unclosed block far in: the rest, then shorter pieces",
        "0123456789ab<Network>abc<Network>d", "Network",
        {"<Network>abc<Network>d", "<Netwo", "<Ne"});
    row("truncated scan reply", "<Response><Network><SSID>HomeNet</SSID>", "Network",
        {"<Network><SSID>HomeNet</SSID>", "<Network"});
    row("lower-case blocks only", "<network>a</network>", "Network", {"<network>", "a</networ"});
    row("empty tag gives nothing", "<>abc</>", "", {});
    // An unclosed block far into a long text: each pass hands out the rest again, until the
    // blocks returned reach the bound.
    const QString rest = "<a>" + QString(40000, 'y');
    QTest::newRow("runaway output bounded")
        << QString(40000, 'x') + rest << QString("a")
        << QStringList((ExtractedBlocksLimit + rest.size() - 1) / rest.size(), rest);
}

void TestReplyParsing::elements()
{
    QFETCH(QString, text);
    QFETCH(QString, tag);
    QFETCH(QStringList, expected);
    QCOMPARE(Helper_ExtractElements(text, tag), expected);
}

void TestReplyParsing::knownVersion_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("known");

    QTest::newRow("bound itself, any build") << "1.05.02.9999" << true;
    QTest::newRow("third above bound") << "1.05.03.0000" << false;
    QTest::newRow("major above bound") << "2.00.00.0000" << false;
    QTest::newRow("minor above bound") << "1.06.00.0000" << false;
    QTest::newRow("three parts") << "1.05.02" << false;
    QTest::newRow("non-number reads as 0") << "x.1.1.1" << true;
    QTest::newRow("empty fourth part counts") << "1.5.2." << true;
    QTest::newRow("high third with lower minor") << "1.4.99.0" << true;
}

void TestReplyParsing::knownVersion()
{
    QFETCH(QString, version);
    QFETCH(bool, known);
    QCOMPARE(isKnownVersion(version), known);
}

QTEST_GUILESS_MAIN(TestReplyParsing)
#include "tst_replyparsing.moc"
