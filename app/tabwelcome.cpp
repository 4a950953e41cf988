#include "tabwelcome.h"

#include "resources/nomoresources.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

TabWelcome::TabWelcome(QWidget *parent, int tabIndex) : QWidget(parent), m_tabIndex(tabIndex)
{
    nomoEnsureResources();

    m_logoLabel = new QLabel;
    m_logoLabel->setPixmap(QPixmap(tr(":/images/Lumetra.png")));
    m_logoLabel->setAlignment(Qt::AlignCenter);
    m_logoLabel->setAccessibleName(tr("Lumetra logo"));

    m_textLabel = new QLabel;
    m_textLabel->setWordWrap(true);
    m_textLabel->setText(tr(
        "<html ><body><p>Welcome to the Lumetra\u00AE - Wi-Fi Setup Tool. <br/>Simply follow the "
        "instructions on each screen to set up Lumetra  on the wireless network. <br/> For "
        "detailed information, refer to the Lumetra Installation Guide.<br/><br/>Before you "
        "start, make sure the Lumetra camera is powered up and connected to the network router "
        "by its Ethernet cable.</body></html>"));

    m_startButton = new QPushButton(tr("Start"));
    m_startButton->setMinimumWidth(100);
    m_startButton->setDefault(true);
    auto *buttons = new QDialogButtonBox;
    buttons->addButton(m_startButton, QDialogButtonBox::ActionRole);

    auto *layout = new QVBoxLayout;
    layout->addWidget(m_logoLabel);
    layout->addWidget(m_textLabel);
    layout->addWidget(buttons);
    setLayout(layout);

    connect(m_textLabel, &QLabel::linkActivated, this, &TabWelcome::OpenUrl);
    connect(m_startButton, &QPushButton::clicked, this, &TabWelcome::OnStartButtonClicked);
}

void TabWelcome::OnStartButtonClicked()
{
    Q_EMIT MoveTabSignal(m_tabIndex);
}

void TabWelcome::OpenUrl(const QString &link)
{
    QDesktopServices::openUrl(QUrl(link));
}
