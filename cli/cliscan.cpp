#include "cliscan.h"

#include "cli/clioutcome.h"
#include "discovery/devicescan.h"
#include "discovery/discoveryproblem.h"
#include "discovery/tabconfigureonenomo.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <QTimer>

CliScan::CliScan(int seconds, bool json, QTextStream &out, QTextStream &err)
    : m_seconds(seconds), m_json(json), m_out(out), m_err(err)
{
    m_scan = new DeviceScan(this);
    connect(m_scan, &DeviceScan::entryAdded, this,
            [this](const QString &entry, const QStringList &addresses) {
                m_addresses.insert(entry, addresses);
            });
    connect(m_scan, &DeviceScan::browseError, this, [this](DNSServiceErrorType error) {
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
    m_scan->start();
    if (!m_failed) {
        connect(m_scan, &DeviceScan::browseError, &loop, &QEventLoop::quit, Qt::QueuedConnection);
        timer.start(m_seconds * 1000);
        loop.exec();
    }
    m_scan->stop();

    if (m_failed) {
        m_err << DiscoveryProblem::fromError(m_error).text() << Qt::endl;
        return CliOutcome::ExitDnsSdUnusable;
    }
    printDevices();
    return CliOutcome::ExitSuccess;
}

void CliScan::printDevices()
{
    for (const QString &entry : m_scan->devices().entries()) {
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
