// Fuzz target: the device list from resolved services to radio buttons. Payload: one resolution
// per line, "service name<TAB>host name" (no tab: an empty host), at most 64, names cut to what
// DNS-SD carries (63 bytes, 255 for a host). They go into the scan page, its list through
// extractNameAndIp into the selection page, and each button is chosen once.
//
// Checked besides the sanitizers: one button per entry, and choosing a button selects the host
// text extractNameAndIp gives for its entry.
#include "fuzzsupport.h"

#include "discovery/tabconfigureonenomo.h"
#include "discovery/tabscannetwork.h"

#include <QApplication>
#include <QHostInfo>
#include <QPushButton>
#include <QRadioButton>

namespace {
TabScanNetwork *scanPage = nullptr; // both live as long as the process
TabConfigureOneNomo *selectionPage = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startQt<QApplication>();
    scanPage = new TabScanNetwork(nullptr, 1);
    selectionPage = new TabConfigureOneNomo(nullptr, 2);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzInput input(data, size);
    if (input.mode < 0)
        return 0;
    scanPage->ClearDevices();
    for (const QByteArray &line : input.payload.split('\n').mid(0, 64)) {
        const qsizetype tab = line.indexOf('\t');
        QHostInfo host;
        if (tab >= 0)
            host.setHostName(QString::fromUtf8(line.mid(tab + 1).left(255)));
        scanPage->RecordResolved(
            QString::fromUtf8(line.left(tab < 0 ? 63 : std::min<qsizetype>(tab, 63))), host);
    }

    const QStringList devices = scanPage->devices();
    selectionPage->setDevices(devices);
    const QList<QRadioButton *> buttons = selectionPage->choiceButtons();
    if (buttons.size() != devices.size() || selectionPage->continueButton()->isEnabled())
        fuzzFailure(QStringLiteral("%1 buttons for %2 entries, or continue enabled before a choice")
                        .arg(buttons.size())
                        .arg(devices.size()));
    for (int i = 0; i < devices.size(); ++i) {
        QString name;
        QString ip;
        extractNameAndIp(devices.at(i), name, ip);
        buttons.at(i)->setChecked(true);
        if (selectionPage->selectedDevice() != ip)
            fuzzFailure("choosing a button selects another host: " + devices.at(i));
    }
    // The replaced radio buttons are deleted later; let that happen now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
