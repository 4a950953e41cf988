#include "bonjourservicebrowser.h"

#include <QSocketNotifier>

BonjourServiceBrowser::BonjourServiceBrowser(QObject *parent) : QObject(parent) {}

BonjourServiceBrowser::~BonjourServiceBrowser()
{
    StopScan();
}

void BonjourServiceBrowser::browseForServiceType(const QString &serviceType)
{
    // A second start would otherwise overwrite, and so leak, the reference and its socket.
    StopScan();

    const QByteArray type = serviceType.toUtf8();
    const DNSServiceErrorType err =
        DNSServiceBrowse(&m_dnssref, 0, 0, type.constData(), nullptr, bonjourBrowseReply, this);
    if (err != kDNSServiceErr_NoError) {
        m_dnssref = nullptr;
        Q_EMIT error(err);
        return;
    }

    const int sockfd = DNSServiceRefSockFD(m_dnssref);
    if (sockfd == -1) {
        // The reference stays until StopScan: without a socket no reply is ever served.
        Q_EMIT error(kDNSServiceErr_Invalid);
        return;
    }
    m_bonjourSocket = new QSocketNotifier(sockfd, QSocketNotifier::Read, this);
    connect(m_bonjourSocket, &QSocketNotifier::activated, this,
            &BonjourServiceBrowser::bonjourSocketReadyRead);
}

void BonjourServiceBrowser::StopScan()
{
    if (!m_dnssref)
        return;
    // The notifier goes first: it must never watch a descriptor the library has closed.
    delete m_bonjourSocket;
    m_bonjourSocket = nullptr;
    DNSServiceRefDeallocate(m_dnssref);
    m_dnssref = nullptr;
}

void BonjourServiceBrowser::bonjourSocketReadyRead()
{
    const DNSServiceErrorType err = DNSServiceProcessResult(m_dnssref);
    if (err != kDNSServiceErr_NoError) {
        // The connection to the DNS-SD service is broken and its socket would stay readable:
        // stop watching it, or the event loop would spin on the same failure.
        m_bonjourSocket->setEnabled(false);
        Q_EMIT error(err);
    }
}

void BonjourServiceBrowser::bonjourBrowseReply(DNSServiceRef, DNSServiceFlags flags,
                                               quint32 interfaceIndex,
                                               DNSServiceErrorType errorCode,
                                               const char *serviceName, const char *regtype,
                                               const char *replyDomain, void *context)
{
    Q_UNUSED(interfaceIndex);
    auto *browser = static_cast<BonjourServiceBrowser *>(context);
    // An error reply (for example when the DNS-SD service goes away) carries null names.
    if (errorCode != kDNSServiceErr_NoError) {
        Q_EMIT browser->error(errorCode);
        return;
    }

    const BonjourRecord record(QString::fromUtf8(serviceName), QString::fromUtf8(regtype),
                               QString::fromUtf8(replyDomain));
    if (flags & kDNSServiceFlagsAdd) {
        if (!browser->m_records.contains(record))
            browser->m_records.append(record);
    } else {
        browser->m_records.removeAll(record);
    }
    if (!(flags & kDNSServiceFlagsMoreComing))
        Q_EMIT browser->currentBonjourRecordsChanged(browser->m_records);
}
