#include "tabconfigureonenomo.h"

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

    m_topRowLayout = new QHBoxLayout;
    m_topRowLayout->addWidget(m_textLabel);
    m_topRowLayout->addWidget(m_logoLabel);

    m_pageLayout = new QVBoxLayout;
    m_pageLayout->addLayout(m_topRowLayout);
    m_pageLayout->addWidget(m_scrollArea);
    m_pageLayout->addWidget(m_buttonBox);
    setLayout(m_pageLayout);

    connect(m_continueButton, &QPushButton::clicked, this,
            &TabConfigureOneNomo::OnConfigureButtonClicked);
    connect(m_rescanButton, &QPushButton::clicked, this,
            &TabConfigureOneNomo::OnReScanButtonClicked);
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
        auto *button = new QRadioButton(name, m_choiceContainer);
        button->setChecked(false);
        m_choiceLayout->addWidget(button);
        m_choiceButtons.append(button);
        m_choiceHosts.append(host);
        connect(button, &QRadioButton::toggled, this, &TabConfigureOneNomo::OnDetectedNomosChecked);
    }

    // Takes the container over and deletes the one it showed before.
    m_scrollArea->setWidget(m_choiceContainer);
    m_continueButton->setEnabled(false);
    // Made after the page's own widgets, the choices would come last in the Tab order: they go
    // where they stand, between the list and the buttons.
    QWidget *previous = m_scrollArea;
    for (QRadioButton *button : std::as_const(m_choiceButtons)) {
        QWidget::setTabOrder(previous, button);
        previous = button;
    }
    QWidget::setTabOrder(previous, m_rescanButton);
    QWidget::setTabOrder(m_rescanButton, m_continueButton);
    // Keyboard users start at the first camera: Space chooses it, Enter continues.
    if (!m_choiceButtons.isEmpty() && isVisible())
        m_choiceButtons.first()->setFocus(Qt::TabFocusReason);
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
