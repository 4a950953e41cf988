// Start-up benchmark: time from process start to the first frame on screen, for the tool's wizard
// (startupwizard: the tool's own start-up) and for a bare dialog with one label (startupbaseline),
// run alternately, each the given number of times, on the platform of QT_QPA_PLATFORM.
//
// Usage: startupbench [runs]   (default 20)
// Prints one line: bench=startup platform=... runs=... wizard_ms=... baseline_ms=...
// startup_ratio=... (medians; the ratio is wizard over baseline).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <cstdio>

namespace {

// Milliseconds from starting the program to its "frame" line; -1 on failure.
double timeToFirstFrame(const QString &program, const QByteArray &expectedClass)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(program, {});
    QByteArray out;
    double ms = -1;
    while (process.waitForReadyRead(30000)) {
        out += process.readAllStandardOutput();
        if (out.contains('\n')) {
            ms = clock.nsecsElapsed() / 1e6;
            break;
        }
    }
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
    }
    if (ms < 0 || !out.startsWith("frame " + expectedClass)) {
        std::fprintf(stderr, "startupbench: %s reported \"%s\"\n", qPrintable(program),
                     out.trimmed().constData());
        return -1;
    }
    return ms;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const QString dir = QCoreApplication::applicationDirPath();
    const QString wizard = dir + QStringLiteral("/startupwizard");
    const QString baseline = dir + QStringLiteral("/startupbaseline");

    // One unmeasured run of each: the first start reads fonts and libraries from disk.
    if (timeToFirstFrame(baseline, "QDialog") < 0 || timeToFirstFrame(wizard, "NomoWizard") < 0)
        return 1;

    QList<double> wizardMs;
    QList<double> baselineMs;
    for (int i = 0; i < runs; ++i) {
        const double b = timeToFirstFrame(baseline, "QDialog");
        const double w = timeToFirstFrame(wizard, "NomoWizard");
        if (b < 0 || w < 0)
            return 1;
        baselineMs.append(b);
        wizardMs.append(w);
    }
    const double w = median(wizardMs);
    const double b = median(baselineMs);
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    std::printf("bench=startup platform=%s runs=%d wizard_ms=%.1f baseline_ms=%.1f "
                "wizard_min_ms=%.1f baseline_min_ms=%.1f startup_ratio=%.2f\n",
                platform.isEmpty() ? "default" : platform.constData(), runs, w, b,
                *std::min_element(wizardMs.begin(), wizardMs.end()),
                *std::min_element(baselineMs.begin(), baselineMs.end()), w / b);
    return 0;
}
