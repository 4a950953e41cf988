#include "cliscan.h"

#include "discovery/bonjourservicebrowser.h"
#include "discovery/bonjourserviceresolver.h"
#include "discovery/discoveryproblem.h"
#include "discovery/tabconfigureonenomo.h"
#include "cli/clioutcome.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <QTimer>

CliScan::CliScan(int seconds, bool json, QTextStream &out, QTextStream &err)
    : m_seconds(seconds), m_json(json), m_out(out), m_err(err)
{
    m_browser = new BonjourServiceBrowser(this);
    connect(m_browser, &BonjourServiceBrowser::currentBonjourRecordsChanged, this,
            &CliScan::updateRecords);
    connect(m_browser, &BonjourServiceBrowser::error, this, [this](DNSServiceErrorType error) {
        m_failed = true;
        m_error = error;
    });
}

CliScan::~CliScan() = default;

int CliScan::run()
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    // A browse that cannot start reports its error from inside this call.
    m_browser->browseForServiceType(QStringLiteral("_http._tcp"));
    if (!m_failed) {
        connect(m_browser, &BonjourServiceBrowser::error, &loop, &QEventLoop::quit,
                Qt::QueuedConnection);
        timer.start(m_seconds * 1000);
        loop.exec();
    }
    m_browser->StopScan();
    const QList<BonjourRecord> pending = m_pending.keys();
    for (const BonjourRecord &record : pending)
        release(record);

    if (m_failed) {
        m_err << DiscoveryProblem::fromError(m_error).text() << Qt::endl;
        return CliOutcome::ExitDnsSdUnusable;
    }
    printDevices();
    return CliOutcome::ExitSuccess;
}

void CliScan::updateRecords(const QList<BonjourRecord> &records)
{
    // The browse hands out the whole list after every batch: each record is resolved once.
    const QList<BonjourRecord> snapshot = records;
    for (const BonjourRecord &record : snapshot) {
        if (m_resolved.contains(record) || m_pending.contains(record))
            continue;
        auto *resolver = new BonjourServiceResolver;
        resolver->setParent(this);
        m_pending.insert(record, resolver);
        connect(resolver, &BonjourServiceResolver::bonjourRecordResolved, this,
                [this, record](const QString &serviceName, QHostInfo &host) {
                    resolved(record, serviceName, host);
                });
        connect(resolver, &BonjourServiceResolver::error, this,
                [this, record] { release(record); });
        resolver->resolveBonjourRecord(record);
    }
}

void CliScan::resolved(const BonjourRecord &record, const QString &serviceName,
                       const QHostInfo &host)
{
    if (!host.hostName().isEmpty())
        m_resolved.insert(record);
    if (m_devices.add(serviceName, host.hostName())) {
        QStringList addresses;
        for (const QHostAddress &address : host.addresses())
            addresses << address.toString();
        m_addresses.insert(m_devices.entries().constLast(), addresses);
    }
    release(record);
}

void CliScan::release(const BonjourRecord &record)
{
    BonjourServiceResolver *resolver = m_pending.take(record);
    if (!resolver)
        return;
    // May run inside the resolver's own emission: deferred, and deaf to further replies.
    disconnect(resolver, nullptr, this, nullptr);
    resolver->deleteLater();
}

void CliScan::printDevices()
{
    for (const QString &entry : m_devices.entries()) {
        QString name;
        QString host;
        extractNameAndIp(entry, name, host);
        const QStringList addresses = m_addresses.value(entry);
        if (m_json) {
            QJsonObject object;
            object.insert(QStringLiteral("name"), name);
            object.insert(QStringLiteral("host"), host);
            object.insert(QStringLiteral("addresses"), QJsonArray::fromStringList(addresses));
            m_out << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact))
                  << Qt::endl;
        } else {
            m_out << name << '\t' << host << '\t' << addresses.join(QLatin1Char(' ')) << Qt::endl;
        }
    }
}
