#pragma once

#include "discovery/bonjourrecord.h"
#include "discovery/devicescan.h"
#include "discovery/discoveryproblem.h"

#include <QList>
#include <QStringList>
#include <QWidget>

class BonjourServiceBrowser;
class QHostInfo;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

// Page 1: browses the network for web services, resolves each and lists those whose name carries
// the brand or maker word as "service name@host name", with a busy indicator and a running count.
// It asks to move on when the user presses "Continue to Next Step" or the scan time has passed.
// The search itself, shared with the command line, is a DeviceScan.
//
// When the search cannot run (no DNS-SD service) or a camera's name cannot be looked up, a notice
// under the status text names the cause and the fix; the next scan starts without it.
class TabScanNetwork : public QWidget
{
    Q_OBJECT

public:
    TabScanNetwork(QWidget *parent, int tabIndex);
    ~TabScanNetwork() override;

    void startNetworkScan();
    void stopNetworkScan();
    void ClearDevices();

    // The entries found since the last ClearDevices, in order of arrival.
    const QStringList &devices() const { return m_devices.entries(); }
    bool isScanning() const;
    // Resolvers started and not yet released.
    int pendingResolverCount() const { return m_scan->pendingResolverCount(); }
    // Resolves started since the last ClearDevices.
    int resolveCount() const { return m_scan->resolveCount(); }
    BonjourServiceBrowser *browser() const { return m_browser; }
    // The problem of the latest scan, if any.
    DiscoveryProblem problem() const { return m_problem; }

    // How long a scan runs before the page moves on by itself; 10000 ms unless a test shortens it.
    static void setScanDuration(int msec);
    static int scanDuration();
    // The notice under the status text, shared with the device page: hidden until a problem.
    static QLabel *createNoticeLabel();

Q_SIGNALS:
    void MoveTabSignal(int tabIndex);
    void problemChanged(const DiscoveryProblem &problem);

public Q_SLOTS:
    void OnCancelButtonClicked();
    void RecordResolved(QString serviceName, QHostInfo &host);
    void updateRecords(const QList<BonjourRecord> &records);

private:
    void reportProblem(const DiscoveryProblem &problem);
    void showCount();

    // The search, a child of the page; its browser and resolvers are children of it.
    DeviceScan *m_scan;
    // The scan's list.
    const DeviceEntryList &m_devices;
    QPushButton *m_continueButton = nullptr;
    QLabel *m_logoLabel = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QLabel *m_statusLabel = nullptr;
    QLabel *m_noticeLabel = nullptr;
    int m_tabIndex;
    // The scan's browser.
    BonjourServiceBrowser *m_browser;
    QTimer *m_scanTimer = nullptr;
    DiscoveryProblem m_problem;
};
