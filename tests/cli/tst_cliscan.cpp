#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

// Runs inside tests/netns/netns-run.sh: a private network namespace whose own avahi-daemon
// announces two cameras and a printer (see CMakeLists.txt). The real program scans there.
namespace {
struct Run
{
    int status = -1;
    QString out;
    QString err;
};

// The program's scan, without a display.
Run scan(const QStringList &options)
{
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(variable);
    cli.setProcessEnvironment(environment);
    cli.start(QStringLiteral(NOMO_CLI_PROGRAM), QStringList{QStringLiteral("scan")} << options);
    cli.waitForFinished(30000);
    return {cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1,
            QString::fromUtf8(cli.readAllStandardOutput()),
            QString::fromUtf8(cli.readAllStandardError())};
}
} // namespace

class TestCliScan : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listsTheCamerasOnly();
    void daemonStopped();
};

void TestCliScan::listsTheCamerasOnly()
{
    const QString host = qEnvironmentVariable("NOMO_NETNS_HOSTNAME");
    const Run text = scan({QStringLiteral("--time"), QStringLiteral("3")});
    QCOMPARE(text.status, 0);
    QStringList lines = text.out.split('\n', Qt::SkipEmptyParts);
    lines.sort();
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.at(0).startsWith("Lumetra IP Camera 0001\t" + host + "\t10.77.0."),
             qPrintable(text.out + text.err));
    QVERIFY(lines.at(1).startsWith("Lumetra IP Camera0002\t" + host + "\t10.77.0."));

    const Run json = scan({QStringLiteral("--time"), QStringLiteral("3"), QStringLiteral("--json")});
    QCOMPARE(json.status, 0);
    const QStringList objects = json.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(objects.size(), 2);
    for (const QString &line : objects) {
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
        QVERIFY(object.value("name").toString().startsWith("Lumetra IP Camera"));
        QCOMPARE(object.value("host").toString(), host);
        QVERIFY(!object.value("addresses").toArray().isEmpty());
    }
}

void TestCliScan::daemonStopped()
{
    QCOMPARE(QProcess::execute(qEnvironmentVariable("NOMO_NETNS_AVAHI_STOP"), {}), 0);
    const Run run = scan({QStringLiteral("--time"), QStringLiteral("3")});
    QCOMPARE(QProcess::execute(qEnvironmentVariable("NOMO_NETNS_AVAHI_START"), {}), 0);
    QCOMPARE(run.status, 4);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains("avahi-daemon") &&
                 run.err.contains("sudo systemctl enable --now avahi-daemon"),
             qPrintable(run.err));
}

QTEST_GUILESS_MAIN(TestCliScan)
#include "tst_cliscan.moc"
