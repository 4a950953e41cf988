#include "bonjourserviceresolver.h"

#include "discovery/bonjourrecord.h"
#include "discovery/dnssdsupport.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QMetaMethod>
#include <QSocketNotifier>

namespace {
int s_instances = 0;
}

BonjourServiceResolver::BonjourServiceResolver()
{
    ++s_instances;
}

BonjourServiceResolver::~BonjourServiceResolver()
{
    cleanupResolve();
    --s_instances;
}

int BonjourServiceResolver::instanceCount()
{
    return s_instances;
}

void BonjourServiceResolver::resolveBonjourRecord(const BonjourRecord &record)
{
    if (m_dnssref) {
        qCWarning(lcDiscovery, "resolve in process, aborting");
        return;
    }

    const QByteArray name = record.serviceName.toUtf8();
    const QByteArray type = record.serviceType.toUtf8();
    const QByteArray domain = record.replyDomain.toUtf8();
    const DNSServiceErrorType err =
        DNSServiceResolve(&m_dnssref, 0, 0, name.constData(), type.constData(), domain.constData(),
                          bonjourResolveReply, this);
    if (err != kDNSServiceErr_NoError) {
        m_dnssref = nullptr;
        Q_EMIT error(err);
        return;
    }

    const int sockfd = DNSServiceRefSockFD(m_dnssref);
    if (sockfd == -1) {
        // The reference stays until cleanupResolve: without a socket no reply is ever served.
        Q_EMIT error(kDNSServiceErr_Invalid);
        return;
    }
    m_bonjourSocket = new QSocketNotifier(sockfd, QSocketNotifier::Read, this);
    m_serviceName = record.serviceName;
    connect(m_bonjourSocket, &QSocketNotifier::activated, this,
            &BonjourServiceResolver::bonjourSocketReadyRead);
}

void BonjourServiceResolver::bonjourSocketReadyRead()
{
    if (isReleased()) {
        cleanupResolve();
        return;
    }
    const DNSServiceErrorType err = DNSServiceProcessResult(m_dnssref);
    if (err != kDNSServiceErr_NoError) {
        // A broken connection leaves its socket readable: stop watching it rather than spin.
        m_bonjourSocket->setEnabled(false);
        Q_EMIT error(err);
    }
    // Released by the receiver of the report just made: stop before the next reply is queued.
    if (isReleased())
        cleanupResolve();
}

bool BonjourServiceResolver::isReleased() const
{
    const QMetaMethod report =
        QMetaMethod::fromSignal(&BonjourServiceResolver::bonjourRecordResolved);
    return !isSignalConnected(report);
}

void BonjourServiceResolver::cleanupResolve()
{
    if (!m_dnssref)
        return;
    // The notifier goes first: it must never watch a descriptor the library has closed.
    delete m_bonjourSocket;
    m_bonjourSocket = nullptr;
    DNSServiceRefDeallocate(m_dnssref);
    m_dnssref = nullptr;
}

void BonjourServiceResolver::bonjourResolveReply(DNSServiceRef, DNSServiceFlags flags,
                                                 quint32 interfaceIndex,
                                                 DNSServiceErrorType errorCode,
                                                 const char *fullname, const char *hosttarget,
                                                 quint16 port, quint16 txtLen,
                                                 const unsigned char *txtRecord, void *context)
{
    Q_UNUSED(flags);
    Q_UNUSED(interfaceIndex);
    Q_UNUSED(fullname);
    Q_UNUSED(port);
    Q_UNUSED(txtLen);
    Q_UNUSED(txtRecord);
    auto *resolver = static_cast<BonjourServiceResolver *>(context);
    // An error reply (for example when the DNS-SD service goes away) carries null names.
    if (errorCode != kDNSServiceErr_NoError) {
        Q_EMIT resolver->error(errorCode);
        return;
    }
    // Nobody takes the report any more: no blocking host lookup for it.
    if (resolver->isReleased())
        return;

    const QString target = QString::fromUtf8(hosttarget);
    qCDebug(lcDiscovery).noquote() << "Received hosttarget " + target;
    // The service reports a fully qualified name; its last character is the closing dot.
    const QString hostName = target.chopped(qMin<qsizetype>(1, target.size()));

    QHostInfo info = QHostInfo::fromName(hostName);
    const QList<QHostAddress> addresses = info.addresses();
    for (const QHostAddress &address : addresses)
        qCDebug(lcDiscovery).noquote() << '"' + address.toString() + "\" Was detected";
    Q_EMIT resolver->bonjourRecordResolved(resolver->m_serviceName, info);
}
