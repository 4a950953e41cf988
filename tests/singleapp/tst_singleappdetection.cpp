#include "singleapp/dportchecker.h"
#include "singleapp/dsingleapplication.h"
#include "singleapp/dtalker.h"

#include "wirebytes.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QMutex>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>
#include <utility>
#include <vector>

using namespace WireBytes;

namespace {

constexpr int FirstPort = 23232;
constexpr int LastPort = 23242;

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

} // namespace

class TestSingleAppDetection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void probeStatus_data();
    void probeStatus();
    void detection_data();
    void detection();
    void secondInstanceDeliversMessages();
};

void TestSingleAppDetection::init()
{
    // Thread misuse shows up as Qt warnings (sockets touched from a foreign thread, a thread
    // destroyed while running); none may appear.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
}

void TestSingleAppDetection::probeStatus_data()
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

void TestSingleAppDetection::probeStatus()
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
    const bool silent = greetingBytes.isEmpty();
    QVERIFY2(silent ? ms >= 950 && ms < 3000 : ms < 900, qPrintable(QString::number(ms)));

    std::unique_ptr<QTcpSocket> socket(checker.transferSocketOwnership());
    QCOMPARE(bool(socket), status == 1);
    if (socket) {
        // The connection to the instance now belongs to this thread and works here.
        QCOMPARE(socket->thread(), QThread::currentThread());
        socket->write(frame(QStringLiteral("ping")));
        QTRY_COMPARE(fake.received(FirstPort), frame(QStringLiteral("ping")));
    }
}

void TestSingleAppDetection::detection_data()
{
    QTest::addColumn<Peers>("peers");
    QTest::addColumn<bool>("running");
    QTest::addColumn<int>("port");

    const QByteArray app = greeting(QStringLiteral("app"));
    QTest::newRow("all ports free") << Peers{} << false << FirstPort;
    QTest::newRow("instance behind strangers")
        << strangers(FirstPort, FirstPort + 2, {{FirstPort + 3, app}}) << true << FirstPort + 3;
    QTest::newRow("instance at last port")
        << strangers(FirstPort, LastPort - 1, {{LastPort, app}}) << true << LastPort;
    QTest::newRow("stranger at first port")
        << strangers(FirstPort, FirstPort) << false << FirstPort + 1;
    QTest::newRow("silent program at first port")
        << Peers{{FirstPort, {}}} << false << FirstPort + 1;
    QTest::newRow("only the last port free")
        << strangers(FirstPort, LastPort - 1) << false << LastPort;
    QTest::newRow("all eleven ports taken") << strangers(FirstPort, LastPort) << false << -1;
}

void TestSingleAppDetection::detection()
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
    if (served) {
        QCOMPARE(talker->serverAddress(), QHostAddress(QHostAddress::LocalHost));
        QTcpSocket client;
        client.connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(port));
        QTRY_COMPARE(client.bytesAvailable(), qint64(greeting(QStringLiteral("app")).size()));
        QCOMPARE(client.readAll(), greeting(QStringLiteral("app")));
    }
    // Only a second instance sends, and only to the instance it found.
    QCOMPARE(app.sendMessage(QStringLiteral("hi")), running);
    if (running)
        QTRY_COMPARE(fake.received(port), frame(QStringLiteral("app:hi")));
}

void TestSingleAppDetection::secondInstanceDeliversMessages()
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
    QVERIFY(!first->isRunning());
    QCOMPARE(first->port(), FirstPort);
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

QTEST_GUILESS_MAIN(TestSingleAppDetection)
#include "tst_singleappdetection.moc"
