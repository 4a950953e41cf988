// nomo-camera-sim: a simulated Lumetra Nomo camera for demos and manual tests.
#include "tools/camerasim/simulatedcamera.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QRegularExpression>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe calls here; the event loop picks the byte up.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

QString faultName(CameraFault fault)
{
    switch (fault) {
    case CameraFault::None:
        return QString();
    case CameraFault::EmptyBody:
        return QStringLiteral("empty body");
    case CameraFault::CloseWithoutReply:
        return QStringLiteral("closed without reply");
    case CameraFault::ResetMidBody:
        return QStringLiteral("reset mid-body");
    case CameraFault::StallMidBody:
        return QStringLiteral("stalling mid-body");
    case CameraFault::SlowReply:
        return QStringLiteral("slow reply");
    case CameraFault::Redirect:
        return QStringLiteral("redirect");
    case CameraFault::HttpStatus500:
        return QStringLiteral("HTTP 500");
    case CameraFault::GarbageWithZero:
        return QStringLiteral("garbage with zero byte");
    case CameraFault::HugeBody:
        return QStringLiteral("16 MiB body");
    }
    return QString();
}

void printLine(const QString &line)
{
    std::fprintf(stderr, "%s\n", qPrintable(line));
    std::fflush(stderr);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("nomo-camera-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated Lumetra Nomo camera: an HTTPS server (self-signed certificate, CN "
        "nomo-camera.local) answering the camera's /WifiConfig/ requests from a scenario.\n"
        "Each request is logged to stderr (setup passwords and Wi-Fi keys masked).\n"
        "Stop it with Ctrl+C or SIGTERM.\n\n"
        "Example:\n"
        "  nomo-camera-sim --listen 127.0.0.42 --scenario password\n"
        "  curl -k https://127.0.0.42:80/WifiConfig/setupVerify"));
    parser.addHelpOption();
    const QCommandLineOption listenOption(
        QStringLiteral("listen"), QStringLiteral("Address to listen on (default 127.0.0.1)."),
        QStringLiteral("ADDR"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption portOption(
        QStringLiteral("port"), QStringLiteral("TCP port (default 80; below 1024 needs root)."),
        QStringLiteral("N"), QStringLiteral("80"));
    const QCommandLineOption scenarioOption(
        QStringLiteral("scenario"),
        QStringLiteral("Built-in scenario (default no-password); see --list-scenarios."),
        QStringLiteral("NAME"), QStringLiteral("no-password"));
    const QCommandLineOption listOption(QStringLiteral("list-scenarios"),
                                        QStringLiteral("List the built-in scenarios and exit."));
    const QCommandLineOption secretsOption(
        QStringLiteral("show-secrets"),
        QStringLiteral("Log passwords and Wi-Fi keys as received instead of masking them."));
    parser.addOptions({listenOption, portOption, scenarioOption, listOption, secretsOption});
    parser.process(app);

    if (parser.isSet(listOption)) {
        for (const QString &name : CameraScenario::scenarioNames())
            std::printf("%-24s %s\n", qPrintable(name), qPrintable(CameraScenario::describe(name)));
        return 0;
    }

    const QString scenarioName = parser.value(scenarioOption);
    if (!CameraScenario::scenarioNames().contains(scenarioName)) {
        printLine(
            QStringLiteral("Unknown scenario \"%1\"; try --list-scenarios.").arg(scenarioName));
        return 2;
    }
    const QHostAddress address(parser.value(listenOption));
    if (address.isNull()) {
        printLine(QStringLiteral("Not an IP address: %1").arg(parser.value(listenOption)));
        return 2;
    }
    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535) {
        printLine(QStringLiteral("Not a port number: %1").arg(parser.value(portOption)));
        return 2;
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        printLine(QStringLiteral("Cannot set up signal handling"));
        return 1;
    }
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] {
        printLine(QStringLiteral("Stopping."));
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    SimulatedCamera camera(CameraScenario::named(scenarioName));
    const bool showSecrets = parser.isSet(secretsOption);
    QObject::connect(&camera, &SimulatedCamera::requestFinished, &app,
                     [showSecrets](const CameraRequest &request) {
                         static const QRegularExpression secret(
                             QStringLiteral("((?:^|\\?)(?:Pass|netpass)=)[^?]*"),
                             QRegularExpression::CaseInsensitiveOption);
                         QString target = request.target;
                         if (!showSecrets)
                             target.replace(secret, QStringLiteral("\\1********"));
                         // Concatenated: the target's "%2F"-style escapes must not be read
                         // as place markers.
                         QString line = QDateTime::fromMSecsSinceEpoch(request.receivedMs)
                                            .toString(QStringLiteral("hh:mm:ss.zzz")) +
                                        QLatin1Char(' ') + request.method + QLatin1Char(' ') +
                                        target + QStringLiteral(" -> ") +
                                        QString::number(request.httpStatus) + QStringLiteral(" (") +
                                        QString::number(request.finishedMs - request.receivedMs) +
                                        QStringLiteral(" ms)");
                         const QString fault = faultName(request.fault);
                         if (!fault.isEmpty())
                             line += QStringLiteral(" [%1]").arg(fault);
                         printLine(line);
                     });
    if (!camera.listen(address, quint16(port))) {
        printLine(QStringLiteral("Cannot listen on %1:%2: %3")
                      .arg(address.toString())
                      .arg(port)
                      .arg(camera.errorString()));
        return 1;
    }
    printLine(QStringLiteral("Simulated camera \"%1\" listening on https://%2:%3/WifiConfig/")
                  .arg(scenarioName, address.toString())
                  .arg(port));

    const int result = app.exec();
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    return result;
}
