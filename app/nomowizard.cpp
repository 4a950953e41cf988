#include "nomowizard.h"

#include "app/tabwelcome.h"
#include "discovery/tabconfigureonenomo.h"
#include "discovery/tabscannetwork.h"
#include "pages/tabcommunicationresults.h"
#include "pages/tabnomocommunication.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

NomoWizard::NomoWizard(QWidget *parent) : QDialog(parent)
{
    m_pageStack = new QStackedWidget;

    m_welcomePage = new TabWelcome(this, 0);
    connect(m_welcomePage, &TabWelcome::MoveTabSignal, this, &NomoWizard::MoveWidgetSlot);
    m_pageStack->addWidget(m_welcomePage);

    m_scanPage = new TabScanNetwork(this, 1);
    connect(m_scanPage, &TabScanNetwork::MoveTabSignal, this, &NomoWizard::MoveWidgetSlot);
    m_pageStack->addWidget(m_scanPage);

    m_devicePage = new TabConfigureOneNomo(this, 2);
    connect(m_devicePage, &TabConfigureOneNomo::MoveWidgetSignal, this,
            &NomoWizard::MoveWidgetSlot);
    m_pageStack->addWidget(m_devicePage);
    // Page 2 keeps telling why its list may be empty.
    connect(m_scanPage, &TabScanNetwork::problemChanged, m_devicePage,
            &TabConfigureOneNomo::setProblem);

    m_communicationPage = new TabNomoCommunication(this, 3);
    connect(m_communicationPage, &TabNomoCommunication::MoveTabSignal, this,
            &NomoWizard::MoveWidgetSlot);
    m_pageStack->addWidget(m_communicationPage);

    m_resultsPage = new TabCommunicationResults(this, 4);
    connect(m_resultsPage, &TabCommunicationResults::MoveTabSignal, this,
            &NomoWizard::MoveWidgetSlot);
    m_pageStack->addWidget(m_resultsPage);

    // Connected only now, so that adding page 0 above started no page work.
    connect(m_pageStack, &QStackedWidget::currentChanged, this,
            &NomoWizard::OnCurrentWidgetChanged);

    auto *layout = new QVBoxLayout;
    layout->addWidget(m_pageStack);
    setLayout(layout);

    for (int i = 0; i < m_pageStack->count(); ++i) {
        QPushButton *pageDefault = nullptr;
        const auto buttons = m_pageStack->widget(i)->findChildren<QPushButton *>();
        for (QPushButton *button : buttons) {
            if (button->isDefault())
                pageDefault = button;
        }
        m_defaultButtons.append(pageDefault);
    }
}

int NomoWizard::currentPageIndex() const
{
    return m_pageStack->currentIndex();
}

void NomoWizard::MoveWidgetSlot(int tabindex)
{
    m_pageStack->setCurrentIndex(tabindex < 4 ? tabindex + 1 : 2);
}

void NomoWizard::OnCurrentWidgetChanged(int widgetIndex)
{
    // Before the page's work: on page 3 that work is the whole session.
    restoreDefaultButton(widgetIndex);
    switch (widgetIndex) {
    case 1:
        m_scanPage->ClearDevices();
        m_scanPage->startNetworkScan();
        break;
    case 2:
        // Also when page 1 already stopped it: the scan must not outlive the page.
        m_scanPage->stopNetworkScan();
        m_devicePage->setDevices(m_scanPage->devices());
        break;
    case 3: {
        // A copy: the session runs for minutes and page 2 may not be trusted to keep its text.
        const QString device = m_devicePage->selectedDevice();
        m_communicationPage->Connect(device);
        break;
    }
    case 4:
        m_resultsPage->setTextAndImage(m_communicationPage->result(),
                                       m_communicationPage->backgroundImage());
        break;
    default:
        break;
    }
}

void NomoWizard::restoreDefaultButton(int pageIndex)
{
    QPushButton *button = m_defaultButtons.value(pageIndex);
    if (!button)
        return;
    // Off first: setting a flag that is still set would not reclaim the role from the others.
    button->setDefault(false);
    button->setDefault(true);
}

void NomoWizard::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}
