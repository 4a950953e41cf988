// Session cost benchmark: one whole configuration session at the timings users get (15 s wait
// for the result, then a "not ready" reply (508), 5 s, success) against the simulated camera in
// a process of its own, so that only the tool's side is measured: wall time, and the CPU time
// (user + system, all threads) of this process during the session.
//
// Usage: sessionbench [address]   (default 127.0.0.91; port 80, so root)
// Prints one line: bench=session wall_ms=... cpu_ms=... user_ms=... sys_ms=... cpu_percent=...
// outcome=... (cpu_percent is CPU time as a percentage of wall time; outcome 2 is success).
#include "agent/agenttiming.h"
#include "agent/myhttpsagent.h"
#include "tools/camerasim/simulatedcamera.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHostAddress>
#include <QPixmap>
#include <QProcess>

#include <sys/resource.h>

#include <cstdio>
#include <cstring>

namespace {

const char cameraPassword[] = "Nomo-1234";

double cpuMs(const timeval &t)
{
    return t.tv_sec * 1000.0 + t.tv_usec / 1000.0;
}

// The camera side: listens, says so on standard output, runs until it is terminated.
int runCamera(QGuiApplication &app, const QString &address)
{
    CameraScenario scenario = CameraScenario::named(QStringLiteral("password"));
    scenario.results = {508, 0};
    SimulatedCamera camera(scenario);
    if (!camera.listen(QHostAddress(address))) {
        std::fprintf(stderr, "sessionbench: camera: %s\n", qPrintable(camera.errorString()));
        return 1;
    }
    std::printf("listening\n");
    std::fflush(stdout);
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const bool cameraSide = argc > 1 && std::strcmp(argv[1], "--camera") == 0;
    const QString address =
        QString::fromLocal8Bit(argc > 1 + cameraSide ? argv[1 + cameraSide] : "127.0.0.91");
    if (cameraSide)
        return runCamera(app, address);

    QProcess camera;
    camera.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    camera.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--camera"), address});
    if (!camera.waitForReadyRead(10000) || !camera.readLine().startsWith("listening")) {
        std::fprintf(stderr, "sessionbench: the camera did not start\n");
        return 1;
    }

    AgentTiming::setScale(1.0);
    MyHttpsAgent agent(address, nullptr);
    QObject::connect(&agent, &MyHttpsAgent::signalDeviceAuthenticationForm,
                     [](const QString &, QString &password, bool &change, bool &) {
                         password = QLatin1String(cameraPassword);
                         change = false;
                     });
    QObject::connect(&agent, &MyHttpsAgent::signalChangePasswordForm,
                     [](const QString &, QString &, bool &cancel) { cancel = true; });
    QObject::connect(
        &agent, &MyHttpsAgent::signalWifiCredentialsForm,
        [](const QList<WIFINetworkEntry> &, QString &ssid, QString &key, QString &keyType, bool &) {
            ssid = QStringLiteral("HomeNet");
            key = QStringLiteral("home-key-1");
            keyType = QStringLiteral("WPA2-AES");
        });
    int outcome = -1;
    QObject::connect(&agent, &MyHttpsAgent::signalCommunicationResultsForm,
                     [&outcome](enmComResult result, QPixmap &) { outcome = result; });

    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    QElapsedTimer clock;
    clock.start();
    agent.Start();
    const double wallMs = clock.nsecsElapsed() / 1e6;
    rusage after{};
    getrusage(RUSAGE_SELF, &after);

    camera.terminate();
    camera.waitForFinished(5000);

    const double userMs = cpuMs(after.ru_utime) - cpuMs(before.ru_utime);
    const double sysMs = cpuMs(after.ru_stime) - cpuMs(before.ru_stime);
    std::printf("bench=session wall_ms=%.0f cpu_ms=%.1f user_ms=%.1f sys_ms=%.1f "
                "cpu_percent=%.3f outcome=%d\n",
                wallMs, userMs + sysMs, userMs, sysMs, 100.0 * (userMs + sysMs) / wallMs, outcome);
    return outcome == ComResultSuccess ? 0 : 1;
}
