#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

// What every fuzz target shares. An input is one control byte, then the payload. The control
// byte's low five bits choose what the target does with the payload; its three top bits, all
// set, ask for the payload repeated (and cut) to 1 MiB: a cost that grows faster than the text
// shows at that size, which the fuzzer would rarely reach by itself. A long campaign may ask for
// less through NOMO_FUZZ_AMPLIFIED_BYTES (a 1 MiB run costs milliseconds; millions add up).
struct FuzzInput
{
    int mode = -1; // -1: an empty input
    QByteArray payload;

    FuzzInput(const uint8_t *data, size_t size)
    {
        if (size == 0)
            return;
        mode = data[0] & 0x1f;
        payload = QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
        const int wanted = qEnvironmentVariableIntValue("NOMO_FUZZ_AMPLIFIED_BYTES");
        const qsizetype amplified = wanted > 0 && wanted < (1 << 20) ? wanted : 1 << 20;
        if ((data[0] & 0xe0) == 0xe0 && !payload.isEmpty())
            payload = payload.repeated(amplified / payload.size() + 1).left(amplified);
    }
};

// Starts Qt once for the process (App: QCoreApplication, QGuiApplication or QApplication), on
// the offscreen platform, with every message discarded.
template <typename App> void startQt()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    new App(argc, argv); // lives as long as the process
}

[[noreturn]] inline void fuzzFailure(const QString &what)
{
    std::fprintf(stderr, "finding: %s\n", qPrintable(what));
    std::abort();
}
