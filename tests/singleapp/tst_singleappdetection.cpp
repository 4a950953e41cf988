#include "singleapp/dportchecker.h"
#include "singleapp/dsingleapplication.h"
#include "singleapp/dtalker.h"

#include "fakepeerthread.h"
#include "wirebytes.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QSemaphore>
#include <QTcpSocket>
#include <QTest>

#include <memory>

using namespace WireBytes;

namespace {

constexpr int FirstPort = 23232;
constexpr int LastPort = 23242;

FakePeer greeter(int port, const QByteArray &greetingBytes)
{
    return FakePeer{port, FakePeer::Greet, greetingBytes};
}

FakePeers strangers(int from, int to)
{
    FakePeers peers;
    for (int port = from; port <= to; ++port)
        peers.append(greeter(port, greeting(QStringLiteral("stranger"))));
    return peers;
}

// A first instance on a thread of its own, whose event loop stays free to greet probes while the
// test thread runs a second instance's detection. Collects the messages it receives.
class InstanceThread : public QThread
{
public:
    explicit InstanceThread(const QString &id) : m_id(id) {}
    ~InstanceThread() override
    {
        quit();
        wait();
    }

    void startInstance()
    {
        start();
        m_ready.acquire();
    }

    // Read after startInstance(), which orders them after the writes on the instance's thread.
    bool running() const { return m_running; }
    int port() const { return m_port; }
    bool sendMessageResult() const { return m_sendMessageResult; }

    QStringList messages() const
    {
        QMutexLocker locker(&m_mutex);
        return m_messages;
    }

protected:
    void run() override
    {
        DSingleApplication app(m_id, true);
        m_running = app.isRunning();
        m_port = app.port();
        m_sendMessageResult = app.sendMessage(QStringLiteral("nobody listens"));
        connect(&app, &DSingleApplication::messageReceived, &app, [this](const QString &message) {
            QMutexLocker locker(&m_mutex);
            m_messages.append(message);
        });
        m_ready.release();
        exec();
        // The instance is destroyed here, on its own thread.
    }

private:
    const QString m_id;
    QSemaphore m_ready;
    bool m_running = false;
    int m_port = 0;
    bool m_sendMessageResult = true;
    mutable QMutex m_mutex;
    QStringList m_messages;
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

    void secondInstanceDeliversMessages_data();
    void secondInstanceDeliversMessages();

    void busyFirstInstanceIsTakenForStranger();
    void undecidedObjectServesNothing();
};

void TestSingleAppDetection::init()
{
    // Thread misuse shows up as Qt warnings (sockets touched from a foreign thread, a thread
    // destroyed while running); none may appear.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
}

void TestSingleAppDetection::probeStatus_data()
{
    QTest::addColumn<FakePeers>("peers");
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("slow");

    const QString app = QStringLiteral("app");
    auto at = [](FakePeer::Behaviour behaviour, const QByteArray &bytes = {}) {
        return FakePeers{FakePeer{FirstPort, behaviour, bytes}};
    };

    QTest::newRow("nothing listening") << FakePeers{} << app << 0 << false;
    QTest::newRow("same identifier") << at(FakePeer::Greet, greeting(app)) << app << 1 << false;
    QTest::newRow("literal greeting bytes")
        << at(FakePeer::Greet, QByteArray::fromHex("00000006006100700070")) << app << 1 << false;
    QTest::newRow("greeting extends identifier")
        << at(FakePeer::Greet, greeting(QStringLiteral("application"))) << app << 1 << false;
    QTest::newRow("identifier extends greeting")
        << at(FakePeer::Greet, greeting(app)) << QStringLiteral("application") << 1 << false;
    QTest::newRow("other identifier")
        << at(FakePeer::Greet, greeting(QStringLiteral("other"))) << app << 2 << false;
    QTest::newRow("case differs") << at(FakePeer::Greet, greeting(QStringLiteral("App"))) << app
                                  << 2 << false;
    QTest::newRow("one character greeting, same identifier")
        << at(FakePeer::Greet, greeting(QStringLiteral("a"))) << QStringLiteral("a") << 2 << false;
    QTest::newRow("one character greeting, empty identifier")
        << at(FakePeer::Greet, greeting(QStringLiteral("x"))) << QString() << 2 << false;
    QTest::newRow("two character greeting, empty identifier")
        << at(FakePeer::Greet, greeting(QStringLiteral("xy"))) << QStringLiteral("") << 1 << false;
    QTest::newRow("empty greeting")
        << at(FakePeer::Greet, QByteArray::fromHex("00000000")) << app << 2 << false;
    QTest::newRow("null greeting")
        << at(FakePeer::Greet, QByteArray::fromHex("ffffffff")) << app << 2 << false;
    QTest::newRow("null greeting, empty identifier")
        << at(FakePeer::Greet, QByteArray::fromHex("ffffffff")) << QString() << 2 << false;
    QTest::newRow("odd byte count")
        << at(FakePeer::Greet, QByteArray::fromHex("00000005006100700070")) << app << 2 << false;
    QTest::newRow("oversized greeting")
        << at(FakePeer::Greet, QByteArray::fromHex("7ffffffe00610070")) << app << 2 << false;
    QTest::newRow("greeting in two parts")
        << at(FakePeer::GreetInParts, greeting(app)) << app << 1 << false;
    QTest::newRow("closes at once") << at(FakePeer::CloseAtOnce) << app << 2 << false;
    QTest::newRow("silent") << at(FakePeer::Silent) << app << 2 << true;
}

void TestSingleAppDetection::probeStatus()
{
    QFETCH(FakePeers, peers);
    QFETCH(QString, id);
    QFETCH(int, status);
    QFETCH(bool, slow);

    FakePeerThread fake(peers);
    QVERIFY(fake.startServing());

    DPortChecker checker(id, FirstPort, nullptr);
    QElapsedTimer elapsed;
    elapsed.start();
    checker.check(FirstPort);
    QVERIFY(checker.wait(10000));
    const qint64 ms = elapsed.elapsed();

    QCOMPARE(checker.status(), status);
    if (slow) {
        // A silent program costs the whole greeting wait, and no more.
        QVERIFY2(ms >= 950 && ms < 3000, qPrintable(QString::number(ms)));
    } else {
        QVERIFY2(ms < 900, qPrintable(QString::number(ms)));
    }

    std::unique_ptr<QTcpSocket> socket(checker.transferSocketOwnership());
    QVERIFY(!checker.transferSocketOwnership());
    if (status != 1) {
        QVERIFY(!socket);
        return;
    }
    // The connection to the instance now belongs to this thread and works here.
    QVERIFY(socket);
    QCOMPARE(socket->thread(), QThread::currentThread());
    QCOMPARE(socket->state(), QAbstractSocket::ConnectedState);
    QCOMPARE(socket->peerPort(), quint16(FirstPort));
    socket->write(frame(QStringLiteral("ping")));
    QVERIFY(socket->waitForBytesWritten(5000) || socket->bytesToWrite() == 0);
    QTRY_COMPARE(fake.received(FirstPort), frame(QStringLiteral("ping")));
}

void TestSingleAppDetection::detection_data()
{
    QTest::addColumn<FakePeers>("peers");
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("running");
    QTest::addColumn<int>("port");

    const QString app = QStringLiteral("app");
    const QByteArray appGreeting = greeting(app);

    QTest::newRow("all ports free") << FakePeers{} << app << false << FirstPort;
    QTest::newRow("instance at first port")
        << FakePeers{greeter(FirstPort, appGreeting)} << app << true << FirstPort;
    QTest::newRow("instance behind strangers")
        << (strangers(FirstPort, FirstPort + 2) << greeter(FirstPort + 3, appGreeting)) << app
        << true << FirstPort + 3;
    QTest::newRow("instance at last port")
        << (strangers(FirstPort, LastPort - 1) << greeter(LastPort, appGreeting)) << app << true
        << LastPort;
    QTest::newRow("stranger at first port")
        << strangers(FirstPort, FirstPort) << app << false << FirstPort + 1;
    QTest::newRow("silent program at first port")
        << FakePeers{FakePeer{FirstPort, FakePeer::Silent, {}}} << app << false << FirstPort + 1;
    QTest::newRow("first free port after a gap")
        << (strangers(FirstPort, FirstPort) + strangers(FirstPort + 2, FirstPort + 2)) << app
        << false << FirstPort + 1;
    QTest::newRow("only the last port free")
        << strangers(FirstPort, LastPort - 1) << app << false << LastPort;
    QTest::newRow("all eleven ports taken") << strangers(FirstPort, LastPort) << app << false << -1;
}

void TestSingleAppDetection::detection()
{
    QFETCH(FakePeers, peers);
    QFETCH(QString, id);
    QFETCH(bool, running);
    QFETCH(int, port);

    FakePeerThread fake(peers);
    QVERIFY(fake.startServing());

    DSingleApplication app(id, true);
    QCOMPARE(app.isRunning(), running);
    QCOMPARE(app.port(), port);

    auto *talker = app.findChild<DTalker *>();
    QVERIFY(talker);
    const bool served = !running && port != -1;
    QCOMPARE(talker->isListening(), served);
    if (served) {
        QCOMPARE(int(talker->serverPort()), port);
        QCOMPARE(talker->serverAddress(), QHostAddress(QHostAddress::LocalHost));
        QTcpSocket client;
        client.connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(port));
        QTRY_COMPARE(client.bytesAvailable(), qint64(greeting(id).size()));
        QCOMPARE(client.readAll(), greeting(id));
    }

    if (running) {
        QVERIFY(app.sendMessage(QStringLiteral("hi")));
        QTRY_COMPARE(fake.received(port), frame(id + QStringLiteral(":hi")));
    } else {
        QVERIFY(!app.sendMessage(QStringLiteral("hi")));
    }
}

void TestSingleAppDetection::secondInstanceDeliversMessages_data()
{
    // Each arrives whole: only the identifier and the first ":" are taken off.
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("several, in order") << QStringList{"one", "two", "three", "four"};
    QTest::newRow("colons kept") << QStringList{"a:b::c:"};
    QTest::newRow("identifier inside the message") << QStringList{"app:x"};
    QTest::newRow("empty message") << QStringList{"", "after"};
    QTest::newRow("non-latin text") << QStringList{QString::fromUtf8("Grüße € 😀")};
}

void TestSingleAppDetection::secondInstanceDeliversMessages()
{
    QFETCH(QStringList, messages);
    const QString id = QStringLiteral("app");

    InstanceThread first(id);
    first.startInstance();
    QCOMPARE(first.running(), false);
    QCOMPARE(first.port(), FirstPort);
    QCOMPARE(first.sendMessageResult(), false);

    {
        DSingleApplication second(id, true);
        QVERIFY(second.isRunning());
        QCOMPARE(second.port(), FirstPort);
        QVERIFY(!second.findChild<DTalker *>()->isListening());
        for (const QString &message : messages)
            QVERIFY(second.sendMessage(message));
        QTRY_COMPARE(first.messages(), messages);

        // The first instance goes away while the second still holds its connection: its
        // listener thread must end with it, promptly.
        QElapsedTimer elapsed;
        elapsed.start();
        first.quit();
        QVERIFY(first.wait(5000));
        QVERIFY2(elapsed.elapsed() < 2000, qPrintable(QString::number(elapsed.elapsed())));
    }
    QCOMPARE(first.messages(), messages);
}

void TestSingleAppDetection::busyFirstInstanceIsTakenForStranger()
{
    // Both on this thread: the first cannot greet while the second's detection blocks the thread.
    DSingleApplication first(QStringLiteral("app"), true);
    QCOMPARE(first.port(), FirstPort);

    QElapsedTimer elapsed;
    elapsed.start();
    DSingleApplication second(QStringLiteral("app"), true);
    QVERIFY(elapsed.elapsed() >= 950);
    QVERIFY(!second.isRunning());
    QCOMPARE(second.port(), FirstPort + 1);
    QVERIFY(!second.sendMessage(QStringLiteral("lost")));
}

void TestSingleAppDetection::undecidedObjectServesNothing()
{
    DSingleApplication app(QStringLiteral("app"), false);
    QVERIFY(!app.isRunning());
    QVERIFY(!app.findChild<DTalker *>()->isListening());
    QVERIFY(!app.sendMessage(QStringLiteral("nowhere")));

    QTcpSocket client;
    client.connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(FirstPort));
    QVERIFY(!client.waitForConnected(1000));
    QCOMPARE(client.error(), QAbstractSocket::ConnectionRefusedError);

    app.initialize();
    QVERIFY(!app.isRunning());
    QCOMPARE(app.port(), FirstPort);
    QVERIFY(app.findChild<DTalker *>()->isListening());

    // Detection runs once per object.
    app.initialize();
    QCOMPARE(app.port(), FirstPort);
    QVERIFY(app.findChild<DTalker *>()->isListening());
}

QTEST_GUILESS_MAIN(TestSingleAppDetection)
#include "tst_singleappdetection.moc"
