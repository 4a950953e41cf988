// One scan of the scan page on a busy network, with figures for what it costs. Run it inside the
// namespace harness with many published web services (bench/discovery.sh does), for example:
//   tests/netns/netns-run.sh --publish-file services.txt -- discoverybench --expect 20
// Prints one line of name=value pairs and exits 0 when the expected number of cameras was found
// and no resolver was left behind.
#include "discovery/bonjourservicebrowser.h"
#include "discovery/bonjourserviceresolver.h"
#include "discovery/dnssdsupport.h"
#include "discovery/tabscannetwork.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTextStream>
#include <QTimer>

#include <ctime>
#include <sys/resource.h>

namespace {
int openDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size();
}

qint64 cpuMsec()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
} // namespace

int main(int argc, char **argv)
{
    nomoPrepareDnsSd(); // before the application object and its threads
    QApplication app(argc, argv);
    // Two debug lines per resolve would drown the figures.
    QLoggingCategory::setFilterRules(QStringLiteral("lumetra.discovery.debug=false"));
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("expect"), QStringLiteral("cameras to be found"),
                      QStringLiteral("n"), QStringLiteral("20")});
    parser.addOption(
        {QStringLiteral("services"),
         QStringLiteral("services published in all (default: $NOMO_NETNS_SERVICE_COUNT)"),
         QStringLiteral("n")});
    parser.process(app);
    const int expected = parser.value(QStringLiteral("expect")).toInt();
    const int services = parser.isSet(QStringLiteral("services"))
                             ? parser.value(QStringLiteral("services")).toInt()
                             : qEnvironmentVariableIntValue("NOMO_NETNS_SERVICE_COUNT");

    TabScanNetwork page(nullptr, 1);
    int listSignals = 0;
    int peakFds = openDescriptors();
    // Sampled right after the page has handled each list (it starts its resolves there), and on
    // every tick of the stall probe.
    QObject::connect(page.browser(), &BonjourServiceBrowser::currentBonjourRecordsChanged, &page,
                     [&] {
                         ++listSignals;
                         peakFds = qMax(peakFds, openDescriptors());
                     });

    // The stall probe: a 5 ms timer on the GUI thread; the longest gap between two ticks is the
    // longest time the window could not have repainted or answered a click.
    constexpr int Tick = 5;
    QElapsedTimer sinceTick;
    qint64 longestStall = 0;
    QTimer probe;
    probe.setInterval(Tick);
    QObject::connect(&probe, &QTimer::timeout, &page, [&] {
        longestStall = qMax(longestStall, sinceTick.restart() - Tick);
        peakFds = qMax(peakFds, openDescriptors());
    });

    QElapsedTimer wall;
    qint64 scanMs = -1;
    qint64 cpuAtStart = 0;
    qint64 cpuMs = 0;
    auto finish = [&] {
        if (scanMs >= 0)
            return;
        scanMs = wall.elapsed();
        cpuMs = cpuMsec() - cpuAtStart;
        page.stopNetworkScan();
        probe.stop();
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    };
    // The page moves on by itself after its scan time, as in the tool.
    QObject::connect(&page, &TabScanNetwork::MoveTabSignal, &page, finish);
    // Settled: every service browsed and resolved once, nothing waiting.
    QTimer settle;
    settle.setInterval(20);
    QObject::connect(&settle, &QTimer::timeout, &page, [&] {
        if (page.browser()->records().size() >= services && page.pendingResolverCount() == 0 &&
            page.resolveCount() >= services)
            finish();
    });

    QTimer::singleShot(0, &page, [&] {
        page.ClearDevices();
        cpuAtStart = cpuMsec();
        wall.start();
        sinceTick.start();
        probe.start();
        settle.start();
        page.startNetworkScan();
    });
    app.exec();

    // Released resolvers go with the deferred deletions.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const int alive = BonjourServiceResolver::instanceCount();
    const int found = page.devices().size();

    QTextStream(stdout) << "found=" << found << " resolvers_alive=" << alive
                        << " services=" << page.browser()->records().size()
                        << " list_signals=" << listSignals << " resolves=" << page.resolveCount()
                        << " scan_ms=" << scanMs << " cpu_ms=" << cpuMs << " peak_fds=" << peakFds
                        << " peak_rss_kb=" << peakRssKb() << " longest_stall_ms=" << longestStall
                        << '\n';
    return found == expected && alive == 0 ? 0 : 1;
}
