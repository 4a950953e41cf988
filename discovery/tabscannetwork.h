#pragma once

#include "discovery/bonjourrecord.h"
#include "discovery/deviceentrylist.h"
#include "discovery/discoveryproblem.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>
#include <QWidget>

class BonjourServiceBrowser;
class BonjourServiceResolver;
class QHostInfo;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

// Page 1: browses the network for web services, resolves each and lists those whose name carries
// the brand or maker word as "service name@host name", with a busy indicator and a running count.
// It asks to move on when the user presses "Continue to Next Step" or the scan time has passed.
//
// Each browsed instance is resolved at most once per scan: a resolve costs a DNS-SD connection,
// a socket and a blocking host lookup on the GUI thread, and the browse reports the whole list
// again after every reply (once per interface with Avahi), so resolving on every report grows
// without bound on a busy network. Resolvers are released once they have reported, and all that
// are still waiting when the scan stops or the list is cleared.
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
    int pendingResolverCount() const { return m_pendingResolvers.size(); }
    // Resolves started since the last ClearDevices.
    int resolveCount() const { return m_resolveCount; }
    BonjourServiceBrowser *browser() const { return m_browser; }
    // The problem of the latest scan, if any.
    DiscoveryProblem problem() const { return m_problem; }

    // How long a scan runs before the page moves on by itself; 10000 ms unless a test shortens it.
    static void setScanDuration(int msec);
    static int scanDuration();

Q_SIGNALS:
    void MoveTabSignal(int tabIndex);
    void problemChanged(const DiscoveryProblem &problem);

public Q_SLOTS:
    void OnCancelButtonClicked();
    void RecordResolved(QString serviceName, QHostInfo &host);
    void updateRecords(const QList<BonjourRecord> &records);

private:
    void resolverReported(const BonjourRecord &record, const QString &serviceName,
                          const QHostInfo &host);
    void reportProblem(const DiscoveryProblem &problem);
    void releaseResolver(const BonjourRecord &record);
    void releaseAllResolvers();
    void showCount();

    DeviceEntryList m_devices;
    QPushButton *m_continueButton = nullptr;
    QLabel *m_logoLabel = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QLabel *m_statusLabel = nullptr;
    QLabel *m_noticeLabel = nullptr;
    int m_tabIndex;
    BonjourServiceBrowser *m_browser = nullptr;
    QTimer *m_scanTimer = nullptr;

    // Resolvers are children of the page; an entry leaves this table when its resolver is
    // scheduled for deletion.
    QHash<BonjourRecord, BonjourServiceResolver *> m_pendingResolvers;
    // Records that reported a host since the last ClearDevices; they are not resolved again.
    QSet<BonjourRecord> m_resolvedRecords;
    int m_resolveCount = 0;
    DiscoveryProblem m_problem;
};
