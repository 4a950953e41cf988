#include "tabconfigureonenomo.h"

#include "discovery/tabcameraaddress.h"
#include "discovery/tabscannetwork.h"
#include "resources/nomoresources.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QVBoxLayout>

void extractNameAndIp(QString entry, QString &name, QString &ip)
{
    const QStringList pieces = entry.split(QLatin1Char('@'), Qt::KeepEmptyParts);
    name = pieces.value(0);
    if (name.contains(QLatin1String("Nomo"), Qt::CaseInsensitive)) {
        static const QRegularExpression maker(QStringLiteral("Dovrel"));
        static const QRegularExpression leadingBlankOrUnderscore(QStringLiteral("^ |_"));
        static const QRegularExpression model(QStringLiteral("^Nomo"));
        name.remove(maker);
        name.remove(leadingBlankOrUnderscore);
        name.remove(model);
        name.prepend(QLatin1String("Lumetra IP Camera"));
    }
    ip = pieces.value(1);
}

TabConfigureOneNomo::TabConfigureOneNomo(QWidget *parent, int tabIndex)
    : QWidget(parent), m_tabIndex(tabIndex)
{
    nomoEnsureResources();

    m_textLabel = new QLabel;
    m_textLabel->setWordWrap(true);
    m_textLabel->setText(
        tr("<html ><body>The following Lumetra devices have been found on the network.<br/>  "
           "Please select the one you want to set up.  <br/>If there are multiple devices, set up "
           "one at a time. </body></html>"));

    m_logoLabel = new QLabel;
    m_logoLabel->setPixmap(QPixmap(tr(":/images/Lumetra_small.png")));
    m_logoLabel->setAlignment(Qt::AlignRight);
    m_logoLabel->setAccessibleName(tr("Lumetra logo"));

    m_rescanButton = new QPushButton(tr("Re-Scan"));
    m_rescanButton->setMinimumWidth(100);
    m_continueButton = new QPushButton(tr("Continue"));
    m_continueButton->setMinimumWidth(100);
    m_continueButton->setDefault(true);
    m_continueButton->setEnabled(false);
    m_buttonBox = new QDialogButtonBox;
    m_buttonBox->addButton(m_rescanButton, QDialogButtonBox::ActionRole);
    m_buttonBox->addButton(m_continueButton, QDialogButtonBox::ActionRole);

    m_scrollArea = new QScrollArea;
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scrollArea->setAccessibleName(tr("Detected Lumetra devices"));
    m_scrollArea->setAccessibleDescription(tr("Choose the camera to set up"));

    m_noticeLabel = TabScanNetwork::createNoticeLabel();

    // A link in looks, a button for the keyboard and for screen readers.
    m_addressButton = new QPushButton(tr("Camera not listed? Enter its address\u2026"));
    m_addressButton->setObjectName(QStringLiteral("addressButton"));
    m_addressButton->setAccessibleName(tr("Enter the address of a camera that is not listed"));
    m_addressButton->setFlat(true);
    m_addressButton->setCursor(Qt::PointingHandCursor);
    m_addressButton->setStyleSheet(QStringLiteral(
        "QPushButton { background: transparent; border: 1px solid transparent; color: "
        "palette(link); text-decoration: underline; text-align: left; padding: 2px; }"
        "QPushButton:focus { border: 1px dotted palette(link); }"));
    auto *addressRow = new QHBoxLayout;
    addressRow->addWidget(m_addressButton);
    addressRow->addStretch(1);

    m_topRowLayout = new QHBoxLayout;
    m_topRowLayout->addWidget(m_textLabel);
    m_topRowLayout->addWidget(m_logoLabel);

    m_pageLayout = new QVBoxLayout;
    m_pageLayout->addLayout(m_topRowLayout);
    m_pageLayout->addWidget(m_scrollArea);
    m_pageLayout->addWidget(m_noticeLabel);
    m_pageLayout->addLayout(addressRow);
    m_pageLayout->addWidget(m_buttonBox);
    setLayout(m_pageLayout);

    connect(m_continueButton, &QPushButton::clicked, this,
            &TabConfigureOneNomo::OnConfigureButtonClicked);
    connect(m_rescanButton, &QPushButton::clicked, this,
            &TabConfigureOneNomo::OnReScanButtonClicked);
    connect(m_addressButton, &QPushButton::clicked, this,
            &TabConfigureOneNomo::OnAddressButtonClicked);
}

void TabConfigureOneNomo::ClearDevices()
{
    if (m_choiceContainer) {
        const QObjectList children = m_choiceContainer->children();
        for (QObject *child : children)
            child->deleteLater();
        m_choiceContainer->deleteLater();
    }
    if (m_choiceLayout)
        m_choiceLayout->deleteLater();
    m_choiceButtons.clear();
    m_choiceHosts.clear();
}

void TabConfigureOneNomo::setDevices(const QStringList &devices)
{
    ClearDevices();

    m_choiceLayout = new QVBoxLayout;
    m_choiceContainer = new QWidget(m_scrollArea);
    m_choiceContainer->setLayout(m_choiceLayout);

    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    for (const QString &entry : devices) {
        QString name;
        QString host;
        extractNameAndIp(entry, name, host);
        addChoice(name, host);
    }
    m_foundCount = devices.size();

    // Takes the container over and deletes the one it showed before.
    m_scrollArea->setWidget(m_choiceContainer);
    m_continueButton->setEnabled(false);
    orderTabs();
    updateNotice();
    // Keyboard users start at the first camera: Space chooses it, Enter continues.
    if (!m_choiceButtons.isEmpty() && isVisible())
        m_choiceButtons.first()->setFocus(Qt::TabFocusReason);
}

QRadioButton *TabConfigureOneNomo::addChoice(const QString &label, const QString &host)
{
    auto *button = new QRadioButton(label, m_choiceContainer);
    button->setChecked(false);
    m_choiceLayout->addWidget(button);
    m_choiceButtons.append(button);
    m_choiceHosts.append(host);
    connect(button, &QRadioButton::toggled, this, &TabConfigureOneNomo::OnDetectedNomosChecked);
    return button;
}

void TabConfigureOneNomo::orderTabs()
{
    // Made after the page's own widgets, the choices would come last in the Tab order: they go
    // where they stand, between the list and the link under it.
    QWidget *previous = m_scrollArea;
    for (QRadioButton *button : std::as_const(m_choiceButtons)) {
        QWidget::setTabOrder(previous, button);
        previous = button;
    }
    QWidget::setTabOrder(previous, m_addressButton);
    QWidget::setTabOrder(m_addressButton, m_rescanButton);
    QWidget::setTabOrder(m_rescanButton, m_continueButton);
}

void TabConfigureOneNomo::addAddressChoice(const QString &address)
{
    if (!m_choiceContainer)
        setDevices(QStringList());
    // The host text is the address itself, so the session talks to exactly what was typed.
    QRadioButton *button = addChoice(address, address);
    orderTabs();
    button->setChecked(true);
    button->setFocus(Qt::OtherFocusReason);
}

void TabConfigureOneNomo::OnAddressButtonClicked()
{
    TabCameraAddress dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        addAddressChoice(dialog.address());
}

void TabConfigureOneNomo::setProblem(const DiscoveryProblem &problem)
{
    m_problem = problem;
    updateNotice();
}

void TabConfigureOneNomo::updateNotice()
{
    // A dead search explains an empty list; a name that cannot be looked up concerns a camera
    // that is listed.
    const bool relevant = m_problem.cause() == DiscoveryProblem::NameNotLookedUp ||
                          (m_problem.isProblem() && m_foundCount == 0);
    m_noticeLabel->setText(relevant ? m_problem.text() : QString());
    m_noticeLabel->setVisible(relevant);
}

void TabConfigureOneNomo::OnDetectedNomosChecked()
{
    for (int i = 0; i < m_choiceButtons.size(); ++i) {
        if (!m_choiceButtons.at(i)->isChecked())
            continue;
        m_selectedDevice = m_choiceHosts.at(i);
        if (!m_continueButton->isEnabled())
            m_continueButton->setEnabled(true);
        return;
    }
}

void TabConfigureOneNomo::OnConfigureButtonClicked()
{
    Q_EMIT MoveWidgetSignal(m_tabIndex);
}

void TabConfigureOneNomo::OnReScanButtonClicked()
{
    Q_EMIT MoveWidgetSignal(0);
}
