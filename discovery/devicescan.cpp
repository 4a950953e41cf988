#include "devicescan.h"

#include "discovery/bonjourservicebrowser.h"
#include "discovery/bonjourserviceresolver.h"

#include <QHostAddress>
#include <QHostInfo>

DeviceScan::DeviceScan(QObject *parent) : QObject(parent)
{
    m_browser = new BonjourServiceBrowser(this);
    connect(m_browser, &BonjourServiceBrowser::currentBonjourRecordsChanged, this,
            &DeviceScan::resolveRecords);
    connect(m_browser, &BonjourServiceBrowser::error, this, [this](DNSServiceErrorType error) {
        Q_EMIT browseError(error);
        Q_EMIT problem(DiscoveryProblem::fromError(error));
    });
}

DeviceScan::~DeviceScan() = default;

void DeviceScan::start()
{
    m_browser->browseForServiceType(QStringLiteral("_http._tcp"));
}

void DeviceScan::stop()
{
    m_browser->StopScan();
    releaseAllResolvers();
}

void DeviceScan::clear()
{
    m_devices.clear();
    m_resolvedRecords.clear();
    m_resolveCount = 0;
    releaseAllResolvers();
}

void DeviceScan::resolveRecords(const QList<BonjourRecord> &records)
{
    // Copied: starting a resolve may report an error synchronously, and nothing here may depend
    // on the browser's live list staying as it is meanwhile.
    const QList<BonjourRecord> snapshot = records;
    for (const BonjourRecord &record : snapshot) {
        if (m_resolvedRecords.contains(record) || m_pendingResolvers.contains(record))
            continue;
        auto *resolver = new BonjourServiceResolver;
        resolver->setParent(this);
        m_pendingResolvers.insert(record, resolver);
        ++m_resolveCount;
        connect(resolver, &BonjourServiceResolver::bonjourRecordResolved, this,
                [this, record](const QString &serviceName, QHostInfo &host) {
                    resolverReported(record, serviceName, host);
                });
        connect(resolver, &BonjourServiceResolver::error, this,
                [this, record](DNSServiceErrorType error) {
                    releaseResolver(record);
                    Q_EMIT problem(DiscoveryProblem::fromError(error));
                });
        resolver->resolveBonjourRecord(record);
    }
}

bool DeviceScan::addEntry(const QString &serviceName, const QHostInfo &host)
{
    if (!m_devices.add(serviceName, host.hostName()))
        return false;
    QStringList addresses;
    for (const QHostAddress &address : host.addresses())
        addresses << address.toString();
    Q_EMIT entryAdded(m_devices.entries().constLast(), addresses);
    return true;
}

void DeviceScan::resolverReported(const BonjourRecord &record, const QString &serviceName,
                                  const QHostInfo &host)
{
    if (!host.hostName().isEmpty())
        m_resolvedRecords.insert(record);
    addEntry(serviceName, host);
    releaseResolver(record);
    // Listed all the same, but the session could not reach it by that name.
    if (!host.hostName().isEmpty() && host.addresses().isEmpty() &&
        DeviceEntryList::carriesBrandWord(serviceName))
        Q_EMIT problem(DiscoveryProblem::nameNotLookedUp(host.hostName()));
}

void DeviceScan::releaseResolver(const BonjourRecord &record)
{
    BonjourServiceResolver *resolver = m_pendingResolvers.take(record);
    if (!resolver)
        return;
    // This may run inside the resolver's own emission: deferred, and deaf to further replies.
    disconnect(resolver, nullptr, this, nullptr);
    resolver->deleteLater();
}

void DeviceScan::releaseAllResolvers()
{
    const QList<BonjourRecord> records = m_pendingResolvers.keys();
    for (const BonjourRecord &record : records)
        releaseResolver(record);
}
