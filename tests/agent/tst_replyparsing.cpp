#include "agent/replyparsing.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

namespace {

// The element walk as the camera protocol describes it, copying the rest of the text on every
// pass. Slow, but the plainest statement of the rule; the real one must agree with it everywhere.
QStringList copyingExtractElements(const QString &text, const QString &tag)
{
    auto cut = [](const QString &s, qsizetype start, qsizetype count) {
        if (start < 0) {
            if (count >= 0)
                count = std::max<qsizetype>(0, count + start);
            start = 0;
        }
        if (start >= s.size())
            return QString();
        return count < 0 ? s.mid(start) : s.mid(start, count);
    };
    QStringList list;
    QString copy = text;
    const qsizetype length = tag.size();
    while (copy.contains(tag, Qt::CaseInsensitive)) {
        const qsizetype open = copy.indexOf(QLatin1Char('<') + tag + QLatin1Char('>'));
        const qsizetype close =
            open < 0 ? -1 : copy.indexOf(QLatin1String("</") + tag + QLatin1Char('>'), open);
        const qsizetype count = close - open + length + 3;
        list.append(cut(copy, open, count));
        if (open >= 0 && count < 0)
            break; // an unclosed block that runs to the end is the last one
        const qsizetype n = copy.size() - close - length - 3;
        copy = n < 0 ? QString() : copy.right(n);
    }
    return list;
}

} // namespace

class TestReplyParsing : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void elementValue_data();
    void elementValue();
    void elements_data();
    void elements();
    void elementsAgreeWithCopyingWalk();
    void elementsOfHugeReplyStayLinear();
    void knownVersion_data();
    void knownVersion();
};

void TestReplyParsing::elementValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("expected");

    QTest::newRow("simple") << "<SessionId>abc</SessionId>" << "SessionId" << "abc";
    QTest::newRow("empty element") << "<SSID></SSID>" << "SSID" << "";
    QTest::newRow("name absent") << "<Version>1</Version>" << "SessionId" << "";
    QTest::newRow("empty text") << "" << "SSID" << "";
    QTest::newRow("first element wins")
        << "<Version>1.2</Version><Version>3</Version>" << "Version" << "1.2";
    QTest::newRow("missing closing tag") << "<SSID>home" << "SSID" << "home";
    QTest::newRow("other letter case: rest from tag length + 1")
        << "<sessionid>abc</sessionid>xyz" << "SessionId" << ">abc</sessionid>xyz";
    QTest::newRow("name outside a tag") << "SSID is home" << "SSID" << "is home";
    QTest::newRow("name only, text too short") << "ssid" << "SSID" << "";
    QTest::newRow("opening tag with attribute does not match")
        << "<SSID x=\"1\">a</SSID>" << "SSID" << " x=\"1\">a</SSID>";
    QTest::newRow("nested: inner closing tag ends it") << "<a><a>x</a></a>" << "a" << "<a>x";
    QTest::newRow("closing tag before opening tag is skipped")
        << "</SSID><SSID>a</SSID>" << "SSID" << "a";
    QTest::newRow("content raw, not trimmed or decoded")
        << "<SSID> a &amp; b </SSID>" << "SSID" << " a &amp; b ";
    QTest::newRow("element inside a larger reply")
        << "<Reply><Error>501</Error><Detail>x</Detail></Reply>" << "Error" << "501";
    QTest::newRow("non-ASCII content") << "<SSID>Café</SSID>" << "SSID" << "Café";
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

    QTest::newRow("two blocks in order")
        << "<Network><SSID>a</SSID></Network><Network><SSID>b</SSID></Network>" << "Network"
        << QStringList{"<Network><SSID>a</SSID></Network>", "<Network><SSID>b</SSID></Network>"};
    QTest::newRow("name absent: empty list") << "<Error>500</Error>" << "Network" << QStringList{};
    QTest::newRow("empty text") << "" << "Network" << QStringList{};
    QTest::newRow("outer element named alike adds '</Network'")
        << "<Networks><Network><SSID>a</SSID></Network></Networks>" << "Network"
        << QStringList{"<Network><SSID>a</SSID></Network>", "</Network"};
    QTest::newRow("remainder exactly the name") << "Network" << "Network" << QStringList{"Network"};
    QTest::newRow("text between blocks skipped")
        << "x<Network>1</Network>yy<Network>2</Network>z" << "Network"
        << QStringList{"<Network>1</Network>", "<Network>2</Network>"};
    QTest::newRow("missing closing tag at start") << "<Network>abc" << "Network"
                                                  << QStringList{"<Network>"};
    QTest::newRow("missing closing tag after text")
        << "xx<Network>abcdefghijkl" << "Network" << QStringList{"<Networ"};
    QTest::newRow("unclosed block running to the end is the last")
        << "0123456789ab<Network>abc<Network>d" << "Network"
        << QStringList{"<Network>abc<Network>d"};
    QTest::newRow("lower-case blocks only")
        << "<network>a</network>" << "Network" << QStringList{"<network>", "a</networ"};
    QTest::newRow("empty tag gives nothing") << "<>abc</>" << "" << QStringList{};
}

void TestReplyParsing::elements()
{
    QFETCH(QString, text);
    QFETCH(QString, tag);
    QFETCH(QStringList, expected);
    const QList<QString> blocks = Helper_ExtractElements(text, tag);
    QCOMPARE(blocks, expected);
    if (!tag.isEmpty())
        QCOMPARE(blocks, copyingExtractElements(text, tag));
}

void TestReplyParsing::elementsAgreeWithCopyingWalk()
{
    // Random texts from pieces that provoke every branch: whole, unclosed and stray tags, the
    // name in other letter cases and outside tags.
    const QStringList pieces = {"<Network>", "</Network>", "<Networks>", "</Networks>",
                                "Network",   "network",    "<network>",  "</network>",
                                "<SSID>",    "a",          "bc",         "<",
                                "/",         ">",          "Net",        "work>"};
    auto *random = QRandomGenerator::global();
    for (int round = 0; round < 3000; ++round) {
        QString text;
        const int count = random->bounded(0, 14);
        for (int i = 0; i < count; ++i)
            text += pieces.at(random->bounded(pieces.size()));
        QCOMPARE(Helper_ExtractElements(text, QStringLiteral("Network")),
                 copyingExtractElements(text, QStringLiteral("Network")));
    }
}

void TestReplyParsing::elementsOfHugeReplyStayLinear()
{
    // A device sending 1 MiB of the bare name makes over a hundred thousand passes; copying the
    // rest on each pass would freeze the window for minutes.
    const QString text = QStringLiteral("network").repeated(1024 * 1024 / 7);
    QElapsedTimer clock;
    clock.start();
    const QList<QString> blocks = Helper_ExtractElements(text, QStringLiteral("Network"));
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed < 5000, qPrintable(QString::number(elapsed) + " ms"));
    // Every pass without an opening tag takes the first name length + 2 characters.
    QCOMPARE(blocks.size(), (text.size() + 8) / 9);
    QCOMPARE(blocks.first(), QStringLiteral("networkne"));
    QCOMPARE(blocks.at(1), QStringLiteral("tworknetw"));
}

void TestReplyParsing::knownVersion_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("known");

    QTest::newRow("older minor") << "1.03.01.0082" << true;
    QTest::newRow("bound itself, any build") << "1.05.02.9999" << true;
    QTest::newRow("third above bound") << "1.05.03.0000" << false;
    QTest::newRow("major above bound") << "2.00.00.0000" << false;
    QTest::newRow("minor above bound") << "1.06.00.0000" << false;
    QTest::newRow("two parts") << "1.05" << false;
    QTest::newRow("three parts") << "1.05.02" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("major below bound ignores the rest") << "0.99.99.1" << true;
    QTest::newRow("non-number reads as 0") << "x.1.1.1" << true;
    QTest::newRow("empty fourth part counts") << "1.5.2." << true;
    QTest::newRow("only dots") << "..." << true;
    QTest::newRow("high third with lower minor") << "1.4.99.0" << true;
    QTest::newRow("five parts") << "1.5.3.0.0" << false;
}

void TestReplyParsing::knownVersion()
{
    QFETCH(QString, version);
    QFETCH(bool, known);
    QCOMPARE(isKnownVersion(version), known);
}

QTEST_GUILESS_MAIN(TestReplyParsing)
#include "tst_replyparsing.moc"
