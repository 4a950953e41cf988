#pragma once

#include <QObject>
#include <QString>

#include <dns_sd.h>

class BonjourRecord;
class QHostInfo;
class QSocketNotifier;

// One DNS-SD resolve as a Qt object: finds the host that offers a browsed instance, looks that host
// name up and reports the instance's name with the lookup result. The resolve keeps running after
// a report (every further reply for the instance is reported again) until cleanupResolve() or
// destruction.
//
// The host lookup is blocking: each reply stalls the calling thread until the system resolver
// answers. Both signals are emitted from inside DNSServiceProcessResult; a receiver that wants the
// resolver gone uses deleteLater(), never delete, from its slot.
//
// Releasing a resolver means disconnecting from bonjourRecordResolved (before deleteLater): a
// resolver that nobody receives reports from looks nothing up and ends its resolve at the next
// turn of its socket, so a reply queued meanwhile cannot block the thread for nobody.
class BonjourServiceResolver : public QObject
{
    Q_OBJECT

public:
    BonjourServiceResolver();
    ~BonjourServiceResolver() override;

    // Starts resolving; refused with the warning "resolve in process, aborting" while one runs.
    void resolveBonjourRecord(const BonjourRecord &record);

    bool isResolving() const { return m_dnssref != nullptr; }
    // Resolvers alive in this process, so that a leak of them (each holds a connection to the
    // DNS-SD service and a socket) can be seen.
    static int instanceCount();

    // The resolve callback; public so that tests can feed it crafted replies.
    static void DNSSD_API bonjourResolveReply(DNSServiceRef, DNSServiceFlags flags,
                                              quint32 interfaceIndex, DNSServiceErrorType errorCode,
                                              const char *fullname, const char *hosttarget,
                                              quint16 port, quint16 txtLen,
                                              const unsigned char *txtRecord, void *context);

Q_SIGNALS:
    // hostInfo lives only for the emission; copy what you keep.
    void bonjourRecordResolved(QString serviceName, QHostInfo &hostInfo);
    void error(DNSServiceErrorType error);

private Q_SLOTS:
    void bonjourSocketReadyRead();
    void cleanupResolve();

private:
    bool isReleased() const;

    QString m_serviceName;
    DNSServiceRef m_dnssref = nullptr;
    QSocketNotifier *m_bonjourSocket = nullptr; // child of the resolver, lives as long as m_dnssref
};
