#pragma once

#include "discovery/bonjourrecord.h"

#include <QList>
#include <QObject>

#include <dns_sd.h>

class QSocketNotifier;

// One DNS-SD browse as a Qt object. It keeps the list of instances currently announced (in the
// order they were first announced, each instance once) and hands the whole list out after every
// batch of replies. The list belongs to the browser, not to one browse: it survives StopScan and a
// later browse adds to it.
//
// Replies are served from the event loop through a socket notifier, and both signals are emitted
// from inside DNSServiceProcessResult: a receiver must not call StopScan or delete the browser
// directly, it defers that until the emission has returned.
class BonjourServiceBrowser : public QObject
{
    Q_OBJECT

public:
    explicit BonjourServiceBrowser(QObject *parent);
    ~BonjourServiceBrowser() override;

    // Starts browsing for one service type in the default domains. A browse that is still running
    // is ended first. Failures are reported through error().
    void browseForServiceType(const QString &serviceType);
    // Ends the running browse, if any; the record list is kept.
    void StopScan();

    const QList<BonjourRecord> &records() const { return m_records; }
    bool isBrowsing() const { return m_dnssref != nullptr; }

    // The browse callback; public so that tests can feed it crafted replies.
    static void DNSSD_API bonjourBrowseReply(DNSServiceRef, DNSServiceFlags flags,
                                             quint32 interfaceIndex, DNSServiceErrorType errorCode,
                                             const char *serviceName, const char *regtype,
                                             const char *replyDomain, void *context);

Q_SIGNALS:
    // The live member list, after a batch of replies; copy what you keep.
    void currentBonjourRecordsChanged(const QList<BonjourRecord> &list);
    void error(DNSServiceErrorType err);

private Q_SLOTS:
    void bonjourSocketReadyRead();

private:
    DNSServiceRef m_dnssref = nullptr;
    QSocketNotifier *m_bonjourSocket = nullptr; // child of the browser, lives as long as m_dnssref
    QList<BonjourRecord> m_records;
};
