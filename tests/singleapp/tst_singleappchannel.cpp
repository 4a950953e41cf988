#include "singleapp/dlistner.h"
#include "singleapp/dsingleapplication.h"
#include "singleapp/dtalker.h"

#include "wirebytes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

using namespace WireBytes;

namespace {

constexpr int FirstPort = 23232;
constexpr qint32 MaxTextLength = 524288;

QList<DListner *> listenersOf(const DSingleApplication &app)
{
    return app.findChild<DTalker *>()->findChildren<DListner *>();
}

// A client connected to the first instance (identifier "app") that has read its greeting.
std::unique_ptr<QTcpSocket> greetedClient()
{
    auto client = std::make_unique<QTcpSocket>();
    client->connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(FirstPort));
    const QByteArray expected = greeting(QStringLiteral("app"));
    if (!QTest::qWaitFor([&] { return client->bytesAvailable() >= expected.size(); }, 5000))
        return nullptr;
    return client->readAll() == expected ? std::move(client) : nullptr;
}

} // namespace

class TestSingleAppChannel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void greetingBytes_data();
    void greetingBytes();
    void decodesFrames_data();
    void decodesFrames();
    void listenerThreadsFeedTheApplicationThread();
    void floodOfSmallFrames_data();
    void floodOfSmallFrames();
    void destructionEndsListenerThreads();
};

void TestSingleAppChannel::init()
{
    // Thread misuse shows up as Qt warnings (sockets touched from a foreign thread, a thread
    // destroyed while running); none may appear.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
}

void TestSingleAppChannel::greetingBytes_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("ascii") << QStringLiteral("app") << QByteArray::fromHex("00000006006100700070");
    QTest::newRow("empty") << QStringLiteral("") << QByteArray::fromHex("00000000");
    QTest::newRow("null") << QString() << QByteArray::fromHex("ffffffff");
    QTest::newRow("surrogate pair")
        << QString::fromUtf8("😀") << QByteArray::fromHex("00000004d83dde00");
}

void TestSingleAppChannel::greetingBytes()
{
    QFETCH(QString, id);
    QFETCH(QByteArray, expected);

    DTalker talker(id, nullptr);
    QVERIFY(talker.listen(QHostAddress(QHostAddress::LocalHost), quint16(FirstPort)));
    QTcpSocket client;
    client.connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(FirstPort));
    QTRY_VERIFY(client.bytesAvailable() >= expected.size());
    QCOMPARE(client.readAll(), expected);
    // A peer that leaves ends its listener.
    QTRY_COMPARE(talker.findChildren<DListner *>().size(), 1);
    client.disconnectFromHost();
    QTRY_COMPARE(talker.findChildren<DListner *>().size(), 0);
}

void TestSingleAppChannel::decodesFrames_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("closed");

    using Chunks = QList<QByteArray>;
    const QString app = QStringLiteral("app");
    const QByteArray hello = frame(QStringLiteral("app:hello"));
    const QByteArray two = frame(QStringLiteral("app:two"));
    Chunks bytes;
    for (char c : two)
        bytes.append(QByteArray(1, c));
    const QString longest = QStringLiteral("app:") + QString(MaxTextLength - 4, QLatin1Char('x'));

    // "app:x": count 5, byte count 10, then a p p : x in UTF-16.
    QTest::newRow("literal frame bytes")
        << app << Chunks{QByteArray::fromHex("000000050000000a006100700070003a0078")}
        << QStringList{"x"} << false;
    QTest::newRow("colons kept") << app << Chunks{frame(QStringLiteral("app:a:b::c:"))}
                                 << QStringList{"a:b::c:"} << false;
    QTest::newRow("empty message")
        << app << Chunks{frame(QStringLiteral("app:")) + two} << QStringList{"", "two"} << false;
    QTest::newRow("other identifiers dropped, next kept")
        << app
        << Chunks{frame("other:x") + frame("app") + frame("appx:m") + frame("ap:m") +
                  frame("App:m") + two}
        << QStringList{"two"} << false;
    QTest::newRow("empty identifier takes the colon prefix")
        << QStringLiteral("") << Chunks{frame("app:m") + frame("::m")} << QStringList{":m"}
        << false;
    QTest::newRow("byte by byte") << app << bytes << QStringList{"two"} << false;
    QTest::newRow("second frame split")
        << app << Chunks{hello + two.left(3), two.mid(3)} << QStringList{"hello", "two"} << false;
    QTest::newRow("incomplete frame waits")
        << app << Chunks{hello + two.left(9)} << QStringList{"hello"} << false;
    QTest::newRow("zero count frame dropped")
        << app << Chunks{be32(0) + be32(0) + two} << QStringList{"two"} << false;
    QTest::newRow("longest frame accepted")
        << app << Chunks{frame(longest)} << QStringList{longest.mid(4)} << false;

    QTest::newRow("count -1 closes") << app << Chunks{be32(0xffffffff)} << QStringList{} << true;
    QTest::newRow("count above the limit closes")
        << app << Chunks{be32(quint32(MaxTextLength) + 1)} << QStringList{} << true;
    QTest::newRow("largest count closes")
        << app << Chunks{be32(0x7fffffff)} << QStringList{} << true;
    QTest::newRow("text byte count disagrees")
        << app << Chunks{be32(3) + be32(0xfffffff0) + utf16be(QStringLiteral("app"))}
        << QStringList{} << true;
    QTest::newRow("hostile count after a message")
        << app << Chunks{hello + be32(0xfffffffb) + two} << QStringList{"hello"} << true;
}

void TestSingleAppChannel::decodesFrames()
{
    QFETCH(QString, id);
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QStringList, messages);
    QFETCH(bool, closed);

    // The listener's decoder driven directly on a socket of this thread, so that every chunk is
    // known to have arrived before it decodes: the splits are exact.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress(QHostAddress::LocalHost)));
    QTcpSocket client;
    client.connectToHost(QHostAddress(QHostAddress::LocalHost), server.serverPort());
    QTRY_VERIFY(server.hasPendingConnections());
    QTcpSocket *peer = server.nextPendingConnection();

    DListner listener(id, -1, nullptr);
    QSignalSpy spy(&listener, &DListner::messageReceived);
    for (const QByteArray &chunk : chunks) {
        const qint64 before = peer->bytesAvailable();
        client.write(chunk);
        QTRY_COMPARE(peer->bytesAvailable(), before + chunk.size());
        listener.read(peer);
    }

    QStringList received;
    for (const QList<QVariant> &arguments : spy)
        received << arguments.at(0).toString();
    QCOMPARE(received, messages);
    QCOMPARE(peer->state() != QAbstractSocket::ConnectedState, closed);
    if (closed)
        QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
}

void TestSingleAppChannel::listenerThreadsFeedTheApplicationThread()
{
    DSingleApplication app(QStringLiteral("app"), true);
    QStringList messages;
    QList<QThread *> emittedOn;
    connect(&app, &DSingleApplication::messageReceived, this, [&](const QString &message) {
        messages << message;
        emittedOn << QThread::currentThread();
    });

    auto good = greetedClient();
    auto bad = greetedClient();
    QVERIFY(good && bad);
    QTRY_COMPARE(listenersOf(app).size(), 2);

    // A hostile count closes its connection at once, not waited for, and no other.
    bad->write(be32(0x7fffffff));
    QTRY_COMPARE(bad->state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE(listenersOf(app).size(), 1);

    good->write(frame(QStringLiteral("app:one")) + frame(QStringLiteral("other:no")) +
                frame(QStringLiteral("app:")));
    QTRY_COMPARE(messages, (QStringList{"one", ""}));
    QCOMPARE(emittedOn, QList<QThread *>(2, QThread::currentThread()));
    QCOMPARE(good->state(), QAbstractSocket::ConnectedState);
}

void TestSingleAppChannel::floodOfSmallFrames_data()
{
    QTest::addColumn<QByteArray>("smallFrame");
    QTest::addColumn<bool>("delivered");

    QTest::newRow("empty messages") << frame(QStringLiteral("app:")) << true;
    QTest::newRow("zero count frames") << be32(0) + be32(0) << false;
}

void TestSingleAppChannel::floodOfSmallFrames()
{
    QFETCH(QByteArray, smallFrame);
    QFETCH(bool, delivered);

    DSingleApplication app(QStringLiteral("app"), true);
    QSignalSpy spy(&app, &DSingleApplication::messageReceived);
    auto client = greetedClient();
    QVERIFY(client);

    // Some hundred kilobytes of frames at once: decoded one after another, not one call deeper
    // per frame.
    const int count = 100000;
    client->write(smallFrame.repeated(count) + frame(QStringLiteral("app:end")));
    QTRY_COMPARE_WITH_TIMEOUT(spy.size(), (delivered ? count : 0) + 1, 30000);
    QCOMPARE(spy.first().at(0).toString(), delivered ? QString() : QStringLiteral("end"));
    QCOMPARE(spy.last().at(0).toString(), QStringLiteral("end"));
    QCOMPARE(client->state(), QAbstractSocket::ConnectedState);
}

void TestSingleAppChannel::destructionEndsListenerThreads()
{
    const auto threadCount = [] {
        return QDir(QStringLiteral("/proc/self/task"))
            .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
            .size();
    };
    const qsizetype threadsBefore = threadCount();
    auto app = std::make_unique<DSingleApplication>(QStringLiteral("app"), true);

    // Peers that keep their connections open, one of them in the middle of a frame.
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(greetedClient());
        QVERIFY(clients.back());
    }
    clients.back()->write(frame(QStringLiteral("app:half")).left(9));
    QTRY_COMPARE(listenersOf(*app).size(), 3);
    QList<QPointer<DListner>> listeners;
    for (DListner *listener : listenersOf(*app)) {
        QVERIFY(listener->isRunning());
        listeners.append(listener);
    }

    QElapsedTimer elapsed;
    elapsed.start();
    app.reset();
    QVERIFY2(elapsed.elapsed() < 2000, qPrintable(QString::number(elapsed.elapsed())));
    for (const QPointer<DListner> &listener : listeners)
        QVERIFY(listener.isNull());
    for (const auto &client : clients)
        QTRY_COMPARE(client->state(), QAbstractSocket::UnconnectedState);
    QTRY_VERIFY(threadCount() <= threadsBefore);
}

QTEST_GUILESS_MAIN(TestSingleAppChannel)
#include "tst_singleappchannel.moc"
