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
constexpr int FloodFrames = 100000;

QList<DListner *> listenersOf(const DSingleApplication &app)
{
    return app.findChild<DTalker *>()->findChildren<DListner *>();
}

int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
}

// A client connected to the first instance's port that has read its greeting.
std::unique_ptr<QTcpSocket> greetedClient(const QString &id)
{
    auto client = std::make_unique<QTcpSocket>();
    client->connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(FirstPort));
    const qint64 size = greeting(id).size();
    if (!QTest::qWaitFor([&] { return client->bytesAvailable() >= size; }, 5000))
        return nullptr;
    if (client->readAll() != greeting(id))
        return nullptr;
    return client;
}

QStringList messagesOf(const QSignalSpy &spy)
{
    QStringList messages;
    for (const QList<QVariant> &arguments : spy)
        messages.append(arguments.at(0).toString());
    return messages;
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

    void messagesCrossToTheApplicationThread();

    void hostileCountClosesOnlyThatConnection();

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
    QTest::newRow("non-latin") << QString::fromUtf8("Ñ€")
                               << QByteArray::fromHex("0000000400d120ac");
    QTest::newRow("surrogate pair")
        << QString::fromUtf8("😀") << QByteArray::fromHex("00000004d83dde00");
}

void TestSingleAppChannel::greetingBytes()
{
    QFETCH(QString, id);
    QFETCH(QByteArray, expected);

    DTalker talker(id, nullptr);
    QSignalSpy messages(&talker, &DTalker::messageReceived);
    QVERIFY(talker.listen(QHostAddress(QHostAddress::LocalHost), quint16(FirstPort)));

    // Every connection is greeted, once; a peer that reads and leaves ends its listener.
    for (int round = 0; round < 2; ++round) {
        QTcpSocket client;
        client.connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(FirstPort));
        QTRY_VERIFY(client.bytesAvailable() >= expected.size());
        QCOMPARE(client.readAll(), expected);
        QTRY_COMPARE(talker.findChildren<DListner *>().size(), 1);
        client.disconnectFromHost();
        QTRY_COMPARE(talker.findChildren<DListner *>().size(), 0);
        QCOMPARE(client.bytesAvailable(), qint64(0));
    }
    QCOMPARE(messages.size(), 0);
    QVERIFY(!talker.hasPendingConnections());
}

void TestSingleAppChannel::decodesFrames_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("closed");

    const QString app = QStringLiteral("app");
    const QByteArray hello = frame(QStringLiteral("app:hello"));
    const QByteArray two = frame(QStringLiteral("app:two"));
    using Chunks = QList<QByteArray>;

    QTest::newRow("one message") << app << Chunks{hello} << QStringList{"hello"} << false;
    // "app:x": count 5, byte count 10, then a p p : x in UTF-16.
    const QByteArray literal = QByteArray::fromHex("000000050000000a006100700070003a0078");
    QTest::newRow("literal frame bytes") << app << Chunks{literal} << QStringList{"x"} << false;
    QTest::newRow("colons kept") << app << Chunks{frame(QStringLiteral("app:a:b::c:"))}
                                 << QStringList{"a:b::c:"} << false;
    QTest::newRow("empty message")
        << app << Chunks{frame(QStringLiteral("app:"))} << QStringList{""} << false;
    QTest::newRow("two frames in one piece")
        << app << Chunks{hello + two} << QStringList{"hello", "two"} << false;
    QTest::newRow("other identifier dropped, next kept")
        << app << Chunks{frame(QStringLiteral("other:x")) + two} << QStringList{"two"} << false;
    QTest::newRow("identifier without colon dropped")
        << app << Chunks{frame(QStringLiteral("app")) + two} << QStringList{"two"} << false;
    QTest::newRow("longer identifier dropped")
        << app << Chunks{frame(QStringLiteral("appx:m")) + two} << QStringList{"two"} << false;
    QTest::newRow("shorter identifier dropped")
        << app << Chunks{frame(QStringLiteral("ap:m")) + two} << QStringList{"two"} << false;
    QTest::newRow("case differs dropped")
        << app << Chunks{frame(QStringLiteral("App:m")) + two} << QStringList{"two"} << false;
    QTest::newRow("empty identifier takes the colon prefix")
        << QStringLiteral("")
        << Chunks{frame(QStringLiteral("app:m")) + frame(QStringLiteral("::m"))}
        << QStringList{":m"} << false;
    QTest::newRow("null identifier takes the colon prefix")
        << QString() << Chunks{frame(QStringLiteral(":m"))} << QStringList{"m"} << false;

    QTest::newRow("split inside count")
        << app << Chunks{hello.left(2), hello.mid(2)} << QStringList{"hello"} << false;
    QTest::newRow("split after count")
        << app << Chunks{hello.left(4), hello.mid(4)} << QStringList{"hello"} << false;
    QTest::newRow("split inside text byte count")
        << app << Chunks{hello.left(6), hello.mid(6)} << QStringList{"hello"} << false;
    QTest::newRow("split after text byte count")
        << app << Chunks{hello.left(8), hello.mid(8)} << QStringList{"hello"} << false;
    QTest::newRow("split inside text")
        << app << Chunks{hello.left(11), hello.mid(11)} << QStringList{"hello"} << false;
    QTest::newRow("one byte short")
        << app << Chunks{hello.chopped(1), hello.right(1)} << QStringList{"hello"} << false;
    QTest::newRow("second frame split")
        << app << Chunks{hello + two.left(3), two.mid(3)} << QStringList{"hello", "two"} << false;
    Chunks bytes;
    for (char c : two)
        bytes.append(QByteArray(1, c));
    QTest::newRow("byte by byte") << app << bytes << QStringList{"two"} << false;
    QTest::newRow("incomplete frame waits")
        << app << Chunks{hello + two.left(9)} << QStringList{"hello"} << false;

    const QByteArray zeroFrame = be32(0) + be32(0);
    QTest::newRow("zero count frame dropped")
        << app << Chunks{zeroFrame + two} << QStringList{"two"} << false;
    QTest::newRow("zero count frame split after count")
        << app << Chunks{be32(0), be32(0) + two} << QStringList{"two"} << false;
    QTest::newRow("null text dropped")
        << app << Chunks{be32(0) + be32(0xffffffff) + two} << QStringList{"two"} << false;

    const QString longest = QStringLiteral("app:") + QString(MaxTextLength - 4, QLatin1Char('x'));
    QTest::newRow("longest frame accepted")
        << app << Chunks{frame(longest)} << QStringList{longest.mid(4)} << false;

    QTest::newRow("count -1 closes") << app << Chunks{be32(0xffffffff)} << QStringList{} << true;
    QTest::newRow("most negative count closes")
        << app << Chunks{be32(0x80000000)} << QStringList{} << true;
    QTest::newRow("count above the limit closes")
        << app << Chunks{be32(quint32(MaxTextLength) + 1)} << QStringList{} << true;
    QTest::newRow("largest count closes")
        << app << Chunks{be32(0x7fffffff)} << QStringList{} << true;
    QTest::newRow("text byte count disagrees")
        << app << Chunks{be32(3) + be32(0xfffffff0) + utf16be(QStringLiteral("app"))}
        << QStringList{} << true;
    QTest::newRow("odd text byte count")
        << app << Chunks{be32(3) + be32(5) + utf16be(QStringLiteral("app"))} << QStringList{}
        << true;
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
    QTRY_COMPARE(client.state(), QAbstractSocket::ConnectedState);

    DListner listener(id, -1, nullptr);
    QSignalSpy spy(&listener, &DListner::messageReceived);
    for (const QByteArray &chunk : chunks) {
        if (peer->state() != QAbstractSocket::ConnectedState)
            break;
        const qint64 before = peer->bytesAvailable();
        client.write(chunk);
        QTRY_COMPARE(peer->bytesAvailable(), before + chunk.size());
        listener.read(peer);
    }

    QCOMPARE(messagesOf(spy), messages);
    QCOMPARE(peer->state() != QAbstractSocket::ConnectedState, closed);
    if (closed)
        QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
}

void TestSingleAppChannel::messagesCrossToTheApplicationThread()
{
    const QString id = QStringLiteral("app");
    DSingleApplication app(id, true);
    QCOMPARE(app.port(), FirstPort);

    QList<QThread *> emittedOn;
    connect(&app, &DSingleApplication::messageReceived, this,
            [&emittedOn] { emittedOn.append(QThread::currentThread()); });
    QSignalSpy spy(&app, &DSingleApplication::messageReceived);

    auto client = greetedClient(id);
    QVERIFY(client);
    const QByteArray two = frame(QStringLiteral("app:two"));
    client->write(frame(QStringLiteral("app:one")) + two.left(5));
    client->write(two.mid(5) + frame(QStringLiteral("other:no")) + frame(QStringLiteral("app:")));
    client->write(frame(QStringLiteral("app:x:y")));
    QTRY_COMPARE(spy.size(), 4);
    QCOMPARE(messagesOf(spy), (QStringList{"one", "two", "", "x:y"}));
    QCOMPARE(emittedOn, QList<QThread *>(4, QThread::currentThread()));
}

void TestSingleAppChannel::hostileCountClosesOnlyThatConnection()
{
    // Each hostile shape is in the decoding table; here one of them on a live listener thread.
    const QString id = QStringLiteral("app");
    DSingleApplication app(id, true);
    QSignalSpy spy(&app, &DSingleApplication::messageReceived);

    auto good = greetedClient(id);
    auto bad = greetedClient(id);
    QVERIFY(good && bad);
    QTRY_COMPARE(listenersOf(app).size(), 2);

    // Closed at once, not waited for.
    bad->write(be32(0x7fffffff));
    QTRY_COMPARE(bad->state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE(listenersOf(app).size(), 1);

    good->write(frame(QStringLiteral("app:still here")));
    QTRY_COMPARE(spy.size(), 1);
    QCOMPARE(messagesOf(spy), QStringList{"still here"});
    QCOMPARE(good->state(), QAbstractSocket::ConnectedState);
}

void TestSingleAppChannel::floodOfSmallFrames_data()
{
    QTest::addColumn<QByteArray>("smallFrame");
    QTest::addColumn<int>("delivered");

    QTest::newRow("empty messages") << frame(QStringLiteral("app:")) << FloodFrames;
    QTest::newRow("zero count frames") << be32(0) + be32(0) << 0;
}

void TestSingleAppChannel::floodOfSmallFrames()
{
    QFETCH(QByteArray, smallFrame);
    QFETCH(int, delivered);

    const QString id = QStringLiteral("app");
    DSingleApplication app(id, true);
    QSignalSpy spy(&app, &DSingleApplication::messageReceived);
    auto client = greetedClient(id);
    QVERIFY(client);

    // Some hundred kilobytes of frames at once: decoded one after another, not one call deeper
    // per frame.
    client->write(smallFrame.repeated(FloodFrames) + frame(QStringLiteral("app:end")));
    QTRY_COMPARE_WITH_TIMEOUT(spy.size(), delivered + 1, 30000);
    QCOMPARE(spy.last().at(0).toString(), QStringLiteral("end"));
    QCOMPARE(spy.first().at(0).toString(), delivered ? QString() : QStringLiteral("end"));
    QCOMPARE(client->state(), QAbstractSocket::ConnectedState);
}

void TestSingleAppChannel::destructionEndsListenerThreads()
{
    const QString id = QStringLiteral("app");
    const int threadsBefore = threadCount();

    auto app = std::make_unique<DSingleApplication>(id, true);
    QCOMPARE(app->port(), FirstPort);

    // Peers that keep their connections open, one of them in the middle of a frame.
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(greetedClient(id));
        QVERIFY(clients.back());
    }
    clients.back()->write(frame(QStringLiteral("app:half")).left(9));
    QVERIFY(clients.back()->waitForBytesWritten(5000) || clients.back()->bytesToWrite() == 0);
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
