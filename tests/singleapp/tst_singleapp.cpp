// The single-instance kit over real loopback sockets, in a network namespace of the test's own:
// the wire bytes, detection, and the listener threads.
#include "singleapp/dlistner.h"
#include "singleapp/dsingleapplication.h"
#include "singleapp/dtalker.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QtEndian>

#include <atomic>

namespace {
// The wire formats built by hand, so that the test does not share the encoder it checks.
QByteArray be32(quint32 value)
{
    const quint32 big = qToBigEndian(value);
    return QByteArray(reinterpret_cast<const char *>(&big), sizeof big);
}

QByteArray utf16be(const QString &text)
{
    QByteArray bytes;
    for (const QChar c : text)
        bytes += be32(c.unicode()).right(2);
    return bytes;
}

QByteArray greeting(const QString &id) // byte count 2L, then the identifier in UTF-16
{
    return be32(quint32(2 * id.size())) + utf16be(id);
}

QByteArray frame(const QString &text) // count N, byte count 2N, then the text in UTF-16
{
    return be32(quint32(text.size())) + be32(quint32(2 * text.size())) + utf16be(text);
}

constexpr int FirstPort = 23232, LastPort = 23242;
using Peers = QMap<int, QByteArray>; // other programs on the kit's ports: port -> their greeting

Peers strangers(int from, int to, Peers peers = {})
{
    for (int port = from; port <= to; ++port)
        peers.insert(port, greeting(QStringLiteral("stranger")));
    return peers;
}

// Serves the peers on a thread of its own, so that they answer while a detection blocks the
// test's thread.
class FakePeers
{
public:
    explicit FakePeers(const Peers &peers)
    {
        for (auto it = peers.cbegin(); it != peers.cend(); ++it) {
            auto *server = new QTcpServer(&m_servers);
            listening &= server->listen(QHostAddress(QHostAddress::LocalHost), quint16(it.key()));
            const QByteArray bytes = it.value();
            QObject::connect(server, &QTcpServer::newConnection, server, [server, bytes] {
                while (QTcpSocket *socket = server->nextPendingConnection())
                    socket->write(bytes);
            });
        }
        m_servers.moveToThread(&m_thread);
        m_thread.start();
    }
    ~FakePeers()
    {
        m_thread.quit();
        m_thread.wait();
    }
    bool listening = true;

private:
    QThread m_thread;
    QObject m_servers; // deleted after its thread has ended
};

int listenerCount(const DSingleApplication &app)
{
    return app.findChild<DTalker *>()->findChildren<DListner *>().size();
}
} // namespace

class TestSingleApp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Thread misuse shows up as Qt warnings (a socket touched from a foreign thread, a thread
    // destroyed while running); none may appear. The kit's debug trace runs along.
    void initTestCase() { QLoggingCategory::setFilterRules("lumetra.singleapp.debug=true"); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void detection_data()
    {
        QTest::addColumn<Peers>("peers");
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("running");
        QTest::addColumn<int>("port"); // found running there, or served
        const auto row = [](const char *name, const Peers &peers, const QString &id, int port,
                            bool running = false) {
            QTest::newRow(name) << peers << id << running << port;
        };
        const auto first = [](const QByteArray &bytes) { return Peers{{FirstPort, bytes}}; };
        row("all ports free", {}, "app", FirstPort);
        row("literal greeting bytes", first(QByteArray::fromHex("00000006006100700070")), "app",
            FirstPort, true);
        row("greeting extends identifier", first(greeting("application")), "app", FirstPort, true);
        row("identifier extends greeting", first(greeting("app")), "application", FirstPort, true);
        row("other identifier", first(greeting("other")), "app", FirstPort + 1);
        row("one character greeting", first(greeting("a")), "a", FirstPort + 1);
        row("two characters, empty identifier", first(greeting("xy")), "", FirstPort, true);
        row("silent program", first(QByteArray()), "app", FirstPort + 1);
        row("greeting longer than any frame", first(be32(2 * 524288 + 2)), "app", FirstPort + 1);
        row("greeting of an odd byte count", first(be32(3) + "app"), "app", FirstPort + 1);
        row("instance behind strangers",
            strangers(FirstPort, FirstPort + 2, {{FirstPort + 3, greeting("app")}}), "app",
            FirstPort + 3, true);
        row("only the last port free", strangers(FirstPort, LastPort - 1), "app", LastPort);
        row("all eleven ports taken", strangers(FirstPort, LastPort), "app", -1);
    }

    void detection()
    {
        QFETCH(Peers, peers);
        QFETCH(QString, id);
        QFETCH(bool, running);
        QFETCH(int, port);
        FakePeers fake(peers);
        QVERIFY(fake.listening);
        QElapsedTimer elapsed;
        elapsed.start();
        DSingleApplication app(id, true);
        // A silent program costs the whole greeting wait.
        QVERIFY(!peers.contains(FirstPort) || !peers.value(FirstPort).isEmpty() ||
                elapsed.elapsed() >= 950);
        QCOMPARE(app.isRunning(), running);
        QCOMPARE(app.port(), port);
        // Only a second instance sends, and only to the instance it found.
        QCOMPARE(app.sendMessage(QStringLiteral("hi")), running);
        auto *talker = app.findChild<DTalker *>();
        QCOMPARE(talker->isListening(), !running && port != -1);
        if (!talker->isListening())
            return;
        // A first instance serves its port on the loopback address, greets every peer with its
        // identifier, and ends the peer's listener when the peer leaves.
        QCOMPARE(talker->serverAddress(), QHostAddress(QHostAddress::LocalHost));
        QTcpSocket client;
        client.connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(port));
        QTRY_COMPARE(client.bytesAvailable(), greeting(id).size());
        QCOMPARE(client.readAll(), greeting(id));
        QTRY_COMPARE(listenerCount(app), 1);
        client.disconnectFromHost();
        QTRY_COMPARE(listenerCount(app), 0);
    }

    void secondInstanceDeliversMessages()
    {
        // The first instance lives on a thread of its own, whose event loop stays free to greet
        // the probes of the second while they block this thread. It is created and deleted there.
        QThread thread;
        QObject onThread;
        onThread.moveToThread(&thread);
        thread.start();
        DSingleApplication *first = nullptr;
        QMetaObject::invokeMethod(
            &onThread, [&] { first = new DSingleApplication("app", true); },
            Qt::BlockingQueuedConnection);
        QStringList received;
        connect(first, &DSingleApplication::messageReceived, this,
                [&received](const QString &message) { received << message; });
        std::atomic<int> onItsThread{0}; // delivered on the first instance's thread
        connect(
            first, &DSingleApplication::messageReceived, first,
            [&onItsThread, first] { onItsThread += QThread::currentThread() == first->thread(); },
            Qt::DirectConnection);
        // All arrive whole and in order: only the identifier and the first ":" are taken off.
        // The longest frame text, identifier and ":" included, is 524288 code units.
        const QStringList messages{"one",
                                   "a:b::c:",
                                   "",
                                   "app:x",
                                   QString::fromUtf8("Grüße € 😀"),
                                   QString(524288 - 4, 'x')};
        DSingleApplication second(QStringLiteral("app"), true);
        QVERIFY(second.isRunning());
        for (const QString &message : messages)
            QVERIFY(second.sendMessage(message));
        QVERIFY(!second.sendMessage(QString(524288 - 3, 'x'))); // would close the connection
        QTRY_VERIFY(received == messages);
        // Some hundred kilobytes of empty messages at once: decoded one after another (not one
        // call deeper per frame) by the listener's thread.
        QTcpSocket flood;
        flood.connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(FirstPort));
        flood.write(frame("app:").repeated(100000));
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), messages.size() + 100000, 30000);
        QCOMPARE(received.count(QString()), 100001);
        QCOMPARE(onItsThread.load(), received.size());
        // The first instance goes away while the second still holds its connection: its listener
        // thread must end with it, promptly.
        QElapsedTimer elapsed;
        elapsed.start();
        QMetaObject::invokeMethod(
            &onThread, [&] { delete first; }, Qt::BlockingQueuedConnection);
        QVERIFY2(elapsed.elapsed() < 2000, qPrintable(QString::number(elapsed.elapsed())));
        QTRY_VERIFY(!second.sendMessage(QStringLiteral("too late")));
        thread.quit();
        thread.wait();
    }

    void decodesFrames_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("closed");
        using Chunks = QList<QByteArray>;
        const QByteArray hello = frame("app:hello"), two = frame("app:two");
        const auto row = [](const char *name, const Chunks &chunks, const QStringList &messages,
                            bool closed = false) {
            QTest::newRow(name) << chunks << messages << closed;
        };
        // "app:x": count 5, byte count 10, then a p p : x in UTF-16.
        row("literal frame bytes", {QByteArray::fromHex("000000050000000a006100700070003a0078")},
            {"x"});
        row("other identifiers dropped, next kept",
            {frame("other:x") + frame("app") + frame("appx:m") + frame("App:m") + two}, {"two"});
        row("second frame split", {hello + two.left(3), two.mid(3)}, {"hello", "two"});
        row("count above the limit closes", {be32(524288 + 1)}, {}, true);
        row("text byte count disagrees", {be32(3) + be32(0xfffffff0) + utf16be("app")}, {}, true);
        row("hostile count after a message", {hello + be32(0xfffffffb) + two}, {"hello"}, true);
    }

    void decodesFrames()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QStringList, messages);
        QFETCH(bool, closed);
        // The listener's decoder driven directly on a socket of this thread, so that every chunk
        // is known to have arrived before it decodes: the splits are exact.
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress(QHostAddress::LocalHost)));
        QTcpSocket client;
        client.connectToHost(QHostAddress(QHostAddress::LocalHost), server.serverPort());
        QTRY_VERIFY(server.hasPendingConnections());
        QTcpSocket *peer = server.nextPendingConnection();
        DListner listener(QStringLiteral("app"), -1, nullptr);
        QStringList received;
        connect(&listener, &DListner::messageReceived, this,
                [&received](const QString &message) { received << message; });
        for (const QByteArray &chunk : chunks) {
            const qint64 before = peer->bytesAvailable();
            client.write(chunk);
            QTRY_COMPARE(peer->bytesAvailable(), before + chunk.size());
            listener.read(peer);
        }
        QCOMPARE(received, messages);
        QCOMPARE(peer->state() != QAbstractSocket::ConnectedState, closed);
        if (closed)
            QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
    }
};

QTEST_GUILESS_MAIN(TestSingleApp)
#include "tst_singleapp.moc"
