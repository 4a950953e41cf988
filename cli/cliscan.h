#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>

#include <dns_sd.h>

class DeviceScan;
class QTextStream;

// The scan from the command line: browses for "_http._tcp" and resolves each instance once, as
// the scan page does (both through DeviceScan), keeps the cameras the page would list, and prints
// them when the time is up.
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
    void printDevices();

    int m_seconds;
    bool m_json;
    QTextStream &m_out;
    QTextStream &m_err;
    DeviceScan *m_scan = nullptr;            // child
    QHash<QString, QStringList> m_addresses; // entry to its addresses
    bool m_failed = false;
    DNSServiceErrorType m_error = kDNSServiceErr_NoError;
};
