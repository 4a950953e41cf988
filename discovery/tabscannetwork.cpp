#include "tabscannetwork.h"

#include "discovery/bonjourservicebrowser.h"
#include "discovery/bonjourserviceresolver.h"
#include "resources/nomoresources.h"

#include <QDialogButtonBox>
#include <QHostInfo>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
int s_scanDuration = 10000;
} // namespace

TabScanNetwork::TabScanNetwork(QWidget *parent, int tabIndex)
    : QWidget(parent), m_tabIndex(tabIndex)
{
    nomoEnsureResources();

    m_logoLabel = new QLabel;
    m_logoLabel->setObjectName(QStringLiteral("logoLabel"));
    m_logoLabel->setPixmap(QPixmap(tr(":/images/Lumetra_small.png")));
    m_logoLabel->setAlignment(Qt::AlignRight);
    m_logoLabel->setAccessibleName(tr("Lumetra logo"));

    m_statusLabel = new QLabel;
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));

    m_noticeLabel = new QLabel;
    m_noticeLabel->setObjectName(QStringLiteral("noticeLabel"));
    m_noticeLabel->setWordWrap(true);
    // So that the command in it can be copied.
    m_noticeLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_noticeLabel->setAccessibleName(tr("Network search problem"));
    m_noticeLabel->hide();

    m_progressBar = new QProgressBar;
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_progressBar->setMaximum(0);
    m_progressBar->setMinimum(0);
    m_progressBar->setAccessibleName(tr("Scan progress"));
    m_progressBar->setAccessibleDescription(tr("Busy while the network is searched for cameras"));

    m_continueButton = new QPushButton(tr("Continue to Next Step"));
    m_continueButton->setObjectName(QStringLiteral("continueButton"));
    m_continueButton->setDefault(true);
    auto *buttonBox = new QDialogButtonBox(Qt::Horizontal);
    buttonBox->addButton(m_continueButton, QDialogButtonBox::ActionRole);

    auto *layout = new QVBoxLayout;
    layout->addWidget(m_logoLabel);
    layout->addStretch(1);
    layout->addWidget(m_statusLabel);
    layout->addWidget(m_noticeLabel);
    layout->addStretch(1);
    layout->addWidget(m_progressBar);
    layout->addStretch(1);
    layout->addWidget(buttonBox);
    setLayout(layout);

    connect(m_continueButton, &QPushButton::clicked, this, &TabScanNetwork::OnCancelButtonClicked);

    m_browser = new BonjourServiceBrowser(this);
    connect(m_browser, &BonjourServiceBrowser::currentBonjourRecordsChanged, this,
            &TabScanNetwork::updateRecords);
    connect(m_browser, &BonjourServiceBrowser::error, this, [this](DNSServiceErrorType error) {
        reportProblem(DiscoveryProblem::fromError(error));
    });

    m_scanTimer = new QTimer(this);
    connect(m_scanTimer, &QTimer::timeout, this, &TabScanNetwork::OnCancelButtonClicked);
}

TabScanNetwork::~TabScanNetwork()
{
    stopNetworkScan();
}

void TabScanNetwork::setScanDuration(int msec)
{
    s_scanDuration = msec;
}

int TabScanNetwork::scanDuration()
{
    return s_scanDuration;
}

bool TabScanNetwork::isScanning() const
{
    return m_scanTimer->isActive();
}

void TabScanNetwork::startNetworkScan()
{
    // Each scan tells its own story: a service that is back clears the notice, one that is still
    // missing brings it back at once, since the browse then fails as it starts.
    reportProblem(DiscoveryProblem());
    m_browser->browseForServiceType(QStringLiteral("_http._tcp"));
    m_scanTimer->start(s_scanDuration);
}

void TabScanNetwork::stopNetworkScan()
{
    m_scanTimer->stop();
    m_browser->StopScan();
    releaseAllResolvers();
}

void TabScanNetwork::OnCancelButtonClicked()
{
    stopNetworkScan();
    Q_EMIT MoveTabSignal(m_tabIndex);
}

void TabScanNetwork::ClearDevices()
{
    m_devices.clear();
    m_resolvedRecords.clear();
    m_resolveCount = 0;
    releaseAllResolvers();
    showCount();
}

void TabScanNetwork::updateRecords(const QList<BonjourRecord> &records)
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
                &TabScanNetwork::RecordResolved);
        connect(resolver, &BonjourServiceResolver::bonjourRecordResolved, this,
                [this, record](const QString &serviceName, QHostInfo &host) {
                    resolverReported(record, serviceName, host);
                });
        connect(resolver, &BonjourServiceResolver::error, this,
                [this, record](DNSServiceErrorType error) {
                    releaseResolver(record);
                    reportProblem(DiscoveryProblem::fromError(error));
                });
        resolver->resolveBonjourRecord(record);
    }
}

void TabScanNetwork::RecordResolved(QString serviceName, QHostInfo &host)
{
    if (m_devices.add(serviceName, host.hostName()))
        showCount();
}

void TabScanNetwork::resolverReported(const BonjourRecord &record, const QString &serviceName,
                                      const QHostInfo &host)
{
    if (!host.hostName().isEmpty())
        m_resolvedRecords.insert(record);
    releaseResolver(record);
    // Listed all the same, but the session could not reach it by that name.
    if (!host.hostName().isEmpty() && host.addresses().isEmpty() && DeviceEntryList::carriesBrandWord(serviceName))
        reportProblem(DiscoveryProblem::nameNotLookedUp(host.hostName()));
}

void TabScanNetwork::reportProblem(const DiscoveryProblem &problem)
{
    if (problem.isProblem() && !problem.outranks(m_problem))
        return;
    m_problem = problem;
    m_noticeLabel->setText(m_problem.text());
    m_noticeLabel->setVisible(m_problem.isProblem());
    Q_EMIT problemChanged(m_problem);
}

void TabScanNetwork::releaseResolver(const BonjourRecord &record)
{
    BonjourServiceResolver *resolver = m_pendingResolvers.take(record);
    if (!resolver)
        return;
    // This may run inside the resolver's own emission: deferred, and deaf to further replies.
    disconnect(resolver, nullptr, this, nullptr);
    resolver->deleteLater();
}

void TabScanNetwork::releaseAllResolvers()
{
    const QList<BonjourRecord> records = m_pendingResolvers.keys();
    for (const BonjourRecord &record : records)
        releaseResolver(record);
}

void TabScanNetwork::showCount()
{
    m_statusLabel->setText(tr("Scanning the network for Lumetra devices ... ,%1 Lumetra devices "
                              "have been detected.")
                               .arg(m_devices.size()));
}
