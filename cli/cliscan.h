#pragma once

#include "discovery/bonjourrecord.h"
#include "discovery/deviceentrylist.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>

#include <dns_sd.h>

class BonjourServiceBrowser;
class BonjourServiceResolver;
class QHostInfo;
class QTextStream;

// The scan from the command line: browses for "_http._tcp" and resolves each instance once, as
// the scan page does, keeps the cameras the page would list, and prints them when the time is up.
class CliScan : public QObject
{
    Q_OBJECT

public:
    CliScan(int seconds, bool json, QTextStream &out, QTextStream &err);
    ~CliScan() override;

    // Scans, prints one line per camera and returns the exit status: 0, or ExitDnsSdUnusable
    // with a message on err when the DNS-SD service cannot be used.
    int run();

private:
    void updateRecords(const QList<BonjourRecord> &records);
    void resolved(const BonjourRecord &record, const QString &serviceName, const QHostInfo &host);
    void release(const BonjourRecord &record);
    void printDevices();

    int m_seconds;
    bool m_json;
    QTextStream &m_out;
    QTextStream &m_err;
    BonjourServiceBrowser *m_browser = nullptr; // child
    QHash<BonjourRecord, BonjourServiceResolver *> m_pending; // children
    QSet<BonjourRecord> m_resolved;
    DeviceEntryList m_devices;
    QHash<QString, QStringList> m_addresses; // entry to its addresses
    bool m_failed = false;
    DNSServiceErrorType m_error = kDNSServiceErr_NoError;
};
