#pragma once

#include "discovery/bonjourrecord.h"
#include "discovery/deviceentrylist.h"
#include "discovery/discoveryproblem.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>

#include <dns_sd.h>

class BonjourServiceBrowser;
class BonjourServiceResolver;
class QHostInfo;

// One network search for cameras, shared by the scan page and the command line's scan: browses
// for "_http._tcp", resolves each instance and keeps the cameras as "service name@host name".
//
// Each browsed instance is resolved at most once per scan: a resolve costs a DNS-SD connection,
// a socket and a blocking host lookup on the calling thread, and the browse reports the whole list
// again after every reply (once per interface with Avahi), so resolving on every report grows
// without bound on a busy network. Resolvers are released once they have reported, and all that
// are still waiting when the scan stops or the list is cleared.
class DeviceScan : public QObject
{
    Q_OBJECT

public:
    explicit DeviceScan(QObject *parent = nullptr);
    ~DeviceScan() override;

    void start();
    // Stops the browse and releases the resolvers still waiting; found cameras stay listed.
    void stop();
    // Empties the list and forgets what was resolved, so that the next scan starts afresh.
    void clear();

    // Starts a resolve for each record neither resolved nor being resolved.
    void resolveRecords(const QList<BonjourRecord> &records);
    // Lists one resolved service; false when the list ignores it.
    bool addEntry(const QString &serviceName, const QHostInfo &host);

    // The entries found since the last clear, in order of arrival.
    const DeviceEntryList &devices() const { return m_devices; }
    BonjourServiceBrowser *browser() const { return m_browser; }
    // Resolvers started and not yet released.
    int pendingResolverCount() const { return m_pendingResolvers.size(); }
    // Resolves started since the last clear.
    int resolveCount() const { return m_resolveCount; }

Q_SIGNALS:
    // A camera was listed; addresses are those its host name was looked up to, maybe none.
    void entryAdded(const QString &entry, const QStringList &addresses);
    // The search cannot run, or a listed camera cannot be reached by its name.
    void problem(const DiscoveryProblem &problem);
    // The browse failed; problem() follows with its cause.
    void browseError(DNSServiceErrorType error);

private:
    void resolverReported(const BonjourRecord &record, const QString &serviceName,
                          const QHostInfo &host);
    void releaseResolver(const BonjourRecord &record);
    void releaseAllResolvers();

    BonjourServiceBrowser *m_browser = nullptr; // child
    DeviceEntryList m_devices;
    // Resolvers are children of the scan; an entry leaves this table when its resolver is
    // scheduled for deletion.
    QHash<BonjourRecord, BonjourServiceResolver *> m_pendingResolvers;
    // Records that reported a host since the last clear; they are not resolved again.
    QSet<BonjourRecord> m_resolvedRecords;
    int m_resolveCount = 0;
};
