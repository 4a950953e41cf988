// Fleet benchmark: configuring many cameras at once against configuring one, through the
// command-line companion at the timings users get (15 s wait for the result, then a "not ready"
// reply, 5 s, success). The simulated cameras run in this process, the companion in its own.
//
// Usage: fleetbench [cameras]   (default 20; port 80 of 127.0.0.100 and up, so root)
// Prints one line: bench=fleet cameras=N jobs=N wall_one_ms=... wall_fleet_ms=...
// fleet_ratio=... succeeded=... (fleet_ratio is the fleet's wall time over one camera's).
#include "tools/camerasim/simulatedcamera.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

// One configure run of the companion for the given hosts; -1 when it did not finish.
qint64 configure(const QStringList &hosts, const QString &keyFile, int &succeeded)
{
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LUMETRA_SETUP_PASSWORD"), QStringLiteral("Nomo-1234"));
    cli.setProcessEnvironment(environment);
    QStringList arguments{QStringLiteral("configure"), QStringLiteral("--ssid"),
                          QStringLiteral("HomeNet"), QStringLiteral("--key-type"),
                          QStringLiteral("WPA2-AES"), QStringLiteral("--key-file"), keyFile,
                          QStringLiteral("--json"), QStringLiteral("--jobs"),
                          QString::number(hosts.size())};
    arguments << hosts;

    QElapsedTimer wall;
    wall.start();
    bool done = false;
    QObject::connect(&cli, &QProcess::finished, [&done] { done = true; });
    cli.start(QStringLiteral(NOMO_CLI_PROGRAM), arguments);
    // The cameras live on this thread: keep serving them until the companion is done.
    while (!done && wall.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    const qint64 ms = wall.elapsed();
    if (!done) {
        cli.kill();
        cli.waitForFinished();
        return -1;
    }
    succeeded = QString::fromUtf8(cli.readAllStandardOutput())
                    .count(QStringLiteral("\"outcome\":\"ComResultSuccess\""));
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 20;
    if (count < 2) {
        std::fprintf(stderr, "fleetbench: at least 2 cameras\n");
        return 2;
    }

    CameraScenario scenario = CameraScenario::named(QStringLiteral("password"));
    scenario.results = {508, 0};
    std::vector<std::unique_ptr<SimulatedCamera>> cameras;
    QStringList hosts;
    for (int i = 0; i < count; ++i) {
        const QString address = QStringLiteral("127.0.0.%1").arg(100 + i);
        cameras.push_back(std::make_unique<SimulatedCamera>(scenario));
        if (!cameras.back()->listen(QHostAddress(address))) {
            std::fprintf(stderr, "fleetbench: %s: %s\n", qPrintable(address),
                         qPrintable(cameras.back()->errorString()));
            return 1;
        }
        hosts << address;
    }
    QTemporaryDir dir;
    const QString keyFile = dir.filePath(QStringLiteral("key"));
    QFile file(keyFile);
    if (!file.open(QIODevice::WriteOnly) || file.write("Sesame-Key-77\n") < 0)
        return 1;
    file.close();

    int oneSucceeded = 0;
    int fleetSucceeded = 0;
    const qint64 one = configure(hosts.mid(0, 1), keyFile, oneSucceeded);
    for (auto &camera : cameras)
        camera->setScenario(scenario);
    const qint64 fleet = configure(hosts, keyFile, fleetSucceeded);
    if (one <= 0 || fleet <= 0) {
        std::fprintf(stderr, "fleetbench: a run did not finish\n");
        return 1;
    }
    std::printf("bench=fleet cameras=%d jobs=%d wall_one_ms=%lld wall_fleet_ms=%lld "
                "fleet_ratio=%.2f succeeded=%d/%d\n",
                count, count, static_cast<long long>(one), static_cast<long long>(fleet),
                double(fleet) / double(one), oneSucceeded + fleetSucceeded, count + 1);
    return oneSucceeded + fleetSucceeded == count + 1 ? 0 : 1;
}
