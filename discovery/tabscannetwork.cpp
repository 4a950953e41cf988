#include "tabscannetwork.h"

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
    : QWidget(parent), m_scan(new DeviceScan(this)), m_devices(m_scan->devices()),
      m_tabIndex(tabIndex), m_browser(m_scan->browser())
{
    nomoEnsureResources();

    m_logoLabel = new QLabel;
    m_logoLabel->setObjectName(QStringLiteral("logoLabel"));
    m_logoLabel->setPixmap(QPixmap(tr(":/images/Lumetra_small.png")));
    m_logoLabel->setAlignment(Qt::AlignRight);
    m_logoLabel->setAccessibleName(tr("Lumetra logo"));

    m_statusLabel = new QLabel;
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));

    m_noticeLabel = createNoticeLabel();

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

    connect(m_scan, &DeviceScan::entryAdded, this, &TabScanNetwork::showCount);
    connect(m_scan, &DeviceScan::problem, this, &TabScanNetwork::reportProblem);

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
    m_scan->start();
    m_scanTimer->start(s_scanDuration);
}

void TabScanNetwork::stopNetworkScan()
{
    m_scanTimer->stop();
    m_scan->stop();
}

void TabScanNetwork::OnCancelButtonClicked()
{
    stopNetworkScan();
    Q_EMIT MoveTabSignal(m_tabIndex);
}

void TabScanNetwork::ClearDevices()
{
    m_scan->clear();
    showCount();
}

void TabScanNetwork::updateRecords(const QList<BonjourRecord> &records)
{
    m_scan->resolveRecords(records);
}

void TabScanNetwork::RecordResolved(QString serviceName, QHostInfo &host)
{
    m_scan->addEntry(serviceName, host);
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

void TabScanNetwork::showCount()
{
    m_statusLabel->setText(tr("Scanning the network for Lumetra devices ... ,%1 Lumetra devices "
                              "have been detected.")
                               .arg(m_devices.size()));
}

QLabel *TabScanNetwork::createNoticeLabel()
{
    auto *label = new QLabel;
    label->setObjectName(QStringLiteral("noticeLabel"));
    label->setWordWrap(true);
    // So that the command in it can be copied.
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setAccessibleName(tr("Network search problem"));
    label->hide();
    return label;
}
