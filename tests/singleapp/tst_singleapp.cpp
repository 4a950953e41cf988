// The single-instance kit over real loopback sockets, in a network namespace of the test's own:
// the wire bytes, the probe and detection, and the listener threads.
#include "singleapp/dlistner.h"
#include "singleapp/dportchecker.h"
#include "singleapp/dsingleapplication.h"
#include "singleapp/dtalker.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QMutex>
#include <QPointer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QtEndian>

#include <memory>
#include <utility>
#include <vector>

namespace {

// The wire formats built by hand, byte by byte, so that the test does not share the encoder it
// checks.
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

// Byte count 2L, then the identifier's UTF-16 code units.
QByteArray greeting(const QString &id)
{
    return be32(quint32(2 * id.size())) + utf16be(id);
}

// Frame count N, the string's byte count 2N, then the text's UTF-16 code units.
QByteArray frame(const QString &text)
{
    return be32(quint32(text.size())) + be32(quint32(2 * text.size())) + utf16be(text);
}

constexpr int FirstPort = 23232;
constexpr int LastPort = 23242;
constexpr qint32 MaxTextLength = 524288;

// Other programs on the kit's ports: port -> the greeting bytes they send (none: they stay silent).
using Peers = QMap<int, QByteArray>;

Peers strangers(int from, int to, Peers peers = {})
{
    for (int port = from; port <= to; ++port)
        peers.insert(port, greeting(QStringLiteral("stranger")));
    return peers;
}

// Serves the peers on a thread of its own, so that they answer while the test's thread is blocked
// in a probe or a detection, and records what each of them receives.
class FakePeers : public QThread
{
public:
    explicit FakePeers(const Peers &peers) : m_peers(peers)
    {
        start();
        m_ready.acquire();
    }
    ~FakePeers() override
    {
        quit();
        wait();
    }
    bool listening() const { return m_listening; }
    QByteArray received(int port) const
    {
        QMutexLocker locker(&m_mutex);
        return m_received.value(port);
    }

protected:
    void run() override
    {
        std::vector<std::unique_ptr<QTcpServer>> servers;
        for (auto it = m_peers.cbegin(); it != m_peers.cend(); ++it) {
            QTcpServer *server = servers.emplace_back(std::make_unique<QTcpServer>()).get();
            const int port = it.key();
            m_listening &= server->listen(QHostAddress(QHostAddress::LocalHost), quint16(port));
            connect(server, &QTcpServer::newConnection, server, [this, server, port] {
                while (QTcpSocket *socket = server->nextPendingConnection()) {
                    socket->write(m_peers.value(port));
                    connect(socket, &QTcpSocket::readyRead, socket, [this, socket, port] {
                        QMutexLocker locker(&m_mutex);
                        m_received[port] += socket->readAll();
                    });
                }
            });
        }
        m_ready.release();
        exec();
    }

private:
    const Peers m_peers;
    QSemaphore m_ready;
    bool m_listening = true;
    mutable QMutex m_mutex;
    QHash<int, QByteArray> m_received;
};

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

class TestSingleApp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void greetingBytes_data();
    void greetingBytes();
    void probeStatus_data();
    void probeStatus();
    void detection_data();
    void detection();
    void secondInstanceDeliversMessages();
    void decodesFrames_data();
    void decodesFrames();
    void listenerThreads();
};

void TestSingleApp::init()
{
    // Thread misuse shows up as Qt warnings (sockets touched from a foreign thread, a thread
    // destroyed while running); none may appear.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
}

void TestSingleApp::greetingBytes_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("ascii") << QStringLiteral("app") << QByteArray::fromHex("00000006006100700070");
    QTest::newRow("empty") << QStringLiteral("") << QByteArray::fromHex("00000000");
    QTest::newRow("null") << QString() << QByteArray::fromHex("ffffffff");
    QTest::newRow("surrogate pair")
        << QString::fromUtf8("😀") << QByteArray::fromHex("00000004d83dde00");
}

void TestSingleApp::greetingBytes()
{
    QFETCH(QString, id);
    QFETCH(QByteArray, expected);

    // With every port free, the first instance serves the first one, on the loopback address.
    DSingleApplication app(id, true);
    QCOMPARE(app.port(), FirstPort);
    QCOMPARE(app.findChild<DTalker *>()->serverAddress(), QHostAddress(QHostAddress::LocalHost));
    QTcpSocket client;
    client.connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(FirstPort));
    QTRY_VERIFY(client.bytesAvailable() >= expected.size());
    QCOMPARE(client.readAll(), expected);
    // A peer that leaves ends its listener.
    QTRY_COMPARE(listenersOf(app).size(), 1);
    client.disconnectFromHost();
    QTRY_COMPARE(listenersOf(app).size(), 0);
}

void TestSingleApp::probeStatus_data()
{
    QTest::addColumn<QByteArray>("greetingBytes"); // of a peer at the first port
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("status");

    const QString app = QStringLiteral("app");
    QTest::newRow("literal greeting bytes")
        << QByteArray::fromHex("00000006006100700070") << app << 1;
    QTest::newRow("greeting extends identifier") << greeting("application") << app << 1;
    QTest::newRow("identifier extends greeting") << greeting(app) << "application" << 1;
    QTest::newRow("other identifier") << greeting("other") << app << 2;
    QTest::newRow("one character greeting, same identifier") << greeting("a") << "a" << 2;
    QTest::newRow("one character greeting, empty identifier") << greeting("x") << "" << 2;
    QTest::newRow("two character greeting, empty identifier") << greeting("xy") << "" << 1;
    QTest::newRow("empty greeting") << QByteArray::fromHex("00000000") << app << 2;
    QTest::newRow("null greeting") << QByteArray::fromHex("ffffffff") << app << 2;
    QTest::newRow("odd byte count") << QByteArray::fromHex("00000005006100700070") << app << 2;
    QTest::newRow("oversized greeting") << QByteArray::fromHex("7ffffffe00610070") << app << 2;
    QTest::newRow("silent") << QByteArray() << app << 2;
}

void TestSingleApp::probeStatus()
{
    QFETCH(QByteArray, greetingBytes);
    QFETCH(QString, id);
    QFETCH(int, status);

    FakePeers fake(Peers{{FirstPort, greetingBytes}});
    QVERIFY(fake.listening());
    DPortChecker checker(id, FirstPort, nullptr);
    QElapsedTimer elapsed;
    elapsed.start();
    checker.check(FirstPort);
    QVERIFY(checker.wait(10000));
    const qint64 ms = elapsed.elapsed();
    QCOMPARE(checker.status(), status);
    // A silent program costs the whole greeting wait, and no more; anything else is decided at
    // once.
    QVERIFY2(greetingBytes.isEmpty() ? ms >= 950 && ms < 3000 : ms < 900,
             qPrintable(QString::number(ms)));

    std::unique_ptr<QTcpSocket> socket(checker.transferSocketOwnership());
    QCOMPARE(bool(socket), status == 1);
    if (socket) {
        // The connection to the instance now belongs to this thread and works here.
        QCOMPARE(socket->thread(), QThread::currentThread());
        socket->write(frame(QStringLiteral("ping")));
        QTRY_COMPARE(fake.received(FirstPort), frame(QStringLiteral("ping")));
    }
}

void TestSingleApp::detection_data()
{
    QTest::addColumn<Peers>("peers");
    QTest::addColumn<bool>("running");
    QTest::addColumn<int>("port");

    const QByteArray app = greeting(QStringLiteral("app"));
    QTest::newRow("all ports free") << Peers{} << false << FirstPort;
    QTest::newRow("instance behind strangers")
        << strangers(FirstPort, FirstPort + 2, {{FirstPort + 3, app}}) << true << FirstPort + 3;
    QTest::newRow("stranger at first port")
        << strangers(FirstPort, FirstPort) << false << FirstPort + 1;
    QTest::newRow("silent program at first port")
        << Peers{{FirstPort, {}}} << false << FirstPort + 1;
    QTest::newRow("only the last port free")
        << strangers(FirstPort, LastPort - 1) << false << LastPort;
    QTest::newRow("all eleven ports taken") << strangers(FirstPort, LastPort) << false << -1;
}

void TestSingleApp::detection()
{
    QFETCH(Peers, peers);
    QFETCH(bool, running);
    QFETCH(int, port);

    FakePeers fake(peers);
    QVERIFY(fake.listening());
    DSingleApplication app(QStringLiteral("app"), true);
    QCOMPARE(app.isRunning(), running);
    QCOMPARE(app.port(), port);

    auto *talker = app.findChild<DTalker *>();
    const bool served = !running && port != -1;
    QCOMPARE(talker->isListening(), served);
    if (served)
        QCOMPARE(talker->serverPort(), quint16(port));
    // Only a second instance sends, and only to the instance it found.
    QCOMPARE(app.sendMessage(QStringLiteral("hi")), running);
    if (running)
        QTRY_COMPARE(fake.received(port), frame(QStringLiteral("app:hi")));
}

void TestSingleApp::secondInstanceDeliversMessages()
{
    // The first instance lives on a thread of its own, whose event loop stays free to greet the
    // probes of the second while they block this thread. It is created and destroyed there.
    QThread thread;
    QObject onThread;
    onThread.moveToThread(&thread);
    thread.start();
    DSingleApplication *first = nullptr;
    const auto endFirst = [&] {
        QMetaObject::invokeMethod(
            &onThread, [&] { delete std::exchange(first, nullptr); }, Qt::BlockingQueuedConnection);
    };
    const auto cleanup = qScopeGuard([&] {
        endFirst();
        thread.quit();
        thread.wait();
    });
    QMetaObject::invokeMethod(
        &onThread, [&] { first = new DSingleApplication(QStringLiteral("app"), true); },
        Qt::BlockingQueuedConnection);
    QStringList received;
    connect(first, &DSingleApplication::messageReceived, this,
            [&received](const QString &message) { received << message; });

    // All arrive whole and in order: only the identifier and the first ":" are taken off.
    const QStringList messages{"one", "a:b::c:", "", "app:x", QString::fromUtf8("Grüße € 😀")};
    DSingleApplication second(QStringLiteral("app"), true);
    QVERIFY(second.isRunning());
    QCOMPARE(second.port(), FirstPort);
    for (const QString &message : messages)
        QVERIFY(second.sendMessage(message));
    QTRY_COMPARE(received, messages);

    // The first instance goes away while the second still holds its connection: its listener
    // thread must end with it, promptly.
    QElapsedTimer elapsed;
    elapsed.start();
    endFirst();
    QVERIFY2(elapsed.elapsed() < 2000, qPrintable(QString::number(elapsed.elapsed())));
}

void TestSingleApp::decodesFrames_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("closed");

    using Chunks = QList<QByteArray>;
    const QByteArray hello = frame(QStringLiteral("app:hello"));
    const QByteArray two = frame(QStringLiteral("app:two"));
    Chunks bytes;
    for (char c : two)
        bytes.append(QByteArray(1, c));
    const QString longest = QStringLiteral("app:") + QString(MaxTextLength - 4, QLatin1Char('x'));

    const auto row = [](const char *name, const Chunks &chunks, const QStringList &messages,
                        bool closed = false, const QString &id = QStringLiteral("app")) {
        QTest::newRow(name) << id << chunks << messages << closed;
    };
    // "app:x": count 5, byte count 10, then a p p : x in UTF-16.
    row("literal frame bytes", {QByteArray::fromHex("000000050000000a006100700070003a0078")},
        {"x"});
    row("colons kept", {frame("app:a:b::c:")}, {"a:b::c:"});
    row("empty message", {frame("app:") + two}, {"", "two"});
    row("other identifiers dropped, next kept",
        {frame("other:x") + frame("app") + frame("appx:m") + frame("ap:m") + frame("App:m") + two},
        {"two"});
    row("empty identifier takes the colon prefix", {frame("app:m") + frame("::m")}, {":m"}, false,
        QStringLiteral(""));
    row("byte by byte", bytes, {"two"});
    row("second frame split", {hello + two.left(3), two.mid(3)}, {"hello", "two"});
    row("incomplete frame waits", {hello + two.left(9)}, {"hello"});
    row("zero count frame dropped", {be32(0) + be32(0) + two}, {"two"});
    row("longest frame accepted", {frame(longest)}, {longest.mid(4)});

    row("count -1 closes", {be32(0xffffffff)}, {}, true);
    row("count above the limit closes", {be32(quint32(MaxTextLength) + 1)}, {}, true);
    row("largest count closes", {be32(0x7fffffff)}, {}, true);
    row("text byte count disagrees", {be32(3) + be32(0xfffffff0) + utf16be("app")}, {}, true);
    row("hostile count after a message", {hello + be32(0xfffffffb) + two}, {"hello"}, true);
}

void TestSingleApp::decodesFrames()
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

void TestSingleApp::listenerThreads()
{
    const auto threadCount = [] {
        return QDir(QStringLiteral("/proc/self/task"))
            .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
            .size();
    };
    const qsizetype threadsBefore = threadCount();
    auto app = std::make_unique<DSingleApplication>(QStringLiteral("app"), true);
    QStringList messages;
    QSet<QThread *> emittedOn;
    connect(app.get(), &DSingleApplication::messageReceived, this, [&](const QString &message) {
        messages << message;
        emittedOn << QThread::currentThread();
    });
    std::unique_ptr<QTcpSocket> clients[] = {greetedClient(), greetedClient(), greetedClient()};
    QVERIFY(clients[0] && clients[1] && clients[2]);
    QTRY_COMPARE(listenersOf(*app).size(), 3);

    // A hostile count closes its connection at once, not waited for, and no other.
    clients[0]->write(be32(0x7fffffff));
    QTRY_COMPARE(clients[0]->state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE(listenersOf(*app).size(), 2);

    // Some hundred kilobytes of empty messages at once: decoded one after another, not one call
    // deeper per frame, and all delivered on the application's thread.
    const int flood = 100000;
    clients[1]->write(frame(QStringLiteral("app:")).repeated(flood) +
                      frame(QStringLiteral("app:end")));
    QTRY_COMPARE_WITH_TIMEOUT(messages.size(), flood + 1, 30000);
    QCOMPARE(messages.count(QString()), flood);
    QCOMPARE(messages.last(), QStringLiteral("end"));
    QCOMPARE(emittedOn, QSet<QThread *>{QThread::currentThread()});

    // Destruction ends every listener promptly, also one waiting for the rest of a frame.
    clients[2]->write(frame(QStringLiteral("app:half")).left(9));
    QVERIFY(clients[2]->flush());
    QList<QPointer<DListner>> listeners;
    for (DListner *listener : listenersOf(*app))
        listeners << listener;
    QCOMPARE(listeners.size(), 2);
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

QTEST_GUILESS_MAIN(TestSingleApp)
#include "tst_singleapp.moc"
