// Fuzz target: the device list from resolved services to radio buttons. Resolutions go into the
// scan page (TabScanNetwork::RecordResolved), its list goes through extractNameAndIp and into the
// selection page (TabConfigureOneNomo::setDevices), and each button is chosen once.
//
// Input: control byte (see FuzzInput), payload: one resolution per line, "service name<TAB>host
// name" (a line without a tab reports an empty host). At most 64 lines; names are cut to what
// DNS-SD carries (63 bytes for a service name, 255 for a host name).
//
// Checked besides the sanitizers: the list holds only entries with a brand word, no two equal
// without regard to case; each entry's host text is the piece after its first "@"; one button per
// entry, and choosing a button selects the host text of that button's own entry.

#include "fuzzinput.h"

#include "discovery/tabconfigureonenomo.h"
#include "discovery/tabscannetwork.h"

#include <QApplication>
#include <QHostInfo>
#include <QPushButton>
#include <QRadioButton>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int maxLines = 64;
constexpr int serviceNameBytes = 63;
constexpr int hostNameBytes = 255;

TabScanNetwork *scanPage = nullptr;
TabConfigureOneNomo *selectionPage = nullptr;

[[noreturn]] void fail(const char *what, const QString &detail)
{
    std::fprintf(stderr, "fuzz_devicelist: %s: %s\n", what, qPrintable(detail));
    std::abort();
}

void discardMessages(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(discardMessages);
    static int argc = 1;
    static char name[] = "fuzz_devicelist";
    static char *argv[] = {name, nullptr};
    new QApplication(argc, argv); // lives as long as the process, as do the pages
    scanPage = new TabScanNetwork(nullptr, 1);
    selectionPage = new TabConfigureOneNomo(nullptr, 2);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzInput input(data, size);
    if (input.isEmpty())
        return 0;
    const QList<QByteArray> lines = input.payload().split('\n');

    scanPage->ClearDevices();
    for (int i = 0; i < lines.size() && i < maxLines; ++i) {
        const QByteArray &line = lines.at(i);
        const qsizetype tab = line.indexOf('\t');
        const QByteArray serviceBytes = tab < 0 ? line : line.left(tab);
        const QString service = QString::fromUtf8(serviceBytes.left(serviceNameBytes));
        QHostInfo host;
        if (tab >= 0)
            host.setHostName(QString::fromUtf8(line.mid(tab + 1).left(hostNameBytes)));
        scanPage->RecordResolved(service, host);
    }

    const QStringList devices = scanPage->devices();
    for (int i = 0; i < devices.size(); ++i) {
        const QString &entry = devices.at(i);
        if (!entry.contains(QLatin1String("lumetra"), Qt::CaseInsensitive) &&
            !entry.contains(QLatin1String("dovrel"), Qt::CaseInsensitive))
            fail("entry without a brand word", entry);
        for (int j = 0; j < i; ++j) {
            if (devices.at(j).compare(entry, Qt::CaseInsensitive) == 0)
                fail("entry listed twice", entry);
        }
        QString name;
        QString ip;
        extractNameAndIp(entry, name, ip);
        if (ip != entry.section(QLatin1Char('@'), 1, 1))
            fail("host text is not the piece after the first @", entry);
    }

    selectionPage->setDevices(devices);
    const QList<QRadioButton *> buttons = selectionPage->choiceButtons();
    if (buttons.size() != devices.size())
        fail("buttons for entries", QString::number(buttons.size()));
    if (selectionPage->continueButton()->isEnabled())
        fail("continue enabled before a choice", QString());
    for (int i = 0; i < buttons.size(); ++i) {
        buttons.at(i)->setChecked(true);
        QString name;
        QString ip;
        extractNameAndIp(devices.at(i), name, ip);
        if (selectionPage->selectedDevice() != ip)
            fail("button chose another entry's host", devices.at(i));
    }
    // The replaced radio buttons are deleted later; let that happen now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
