#include "nomowizard.h"

#include "app/tabwelcome.h"

#include <QKeyEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

NomoWizard::NomoWizard(QWidget *parent)
    : QDialog(parent)
{
    m_pageStack = new QStackedWidget;

    m_welcomePage = new TabWelcome(this, 0);
    connect(m_welcomePage, &TabWelcome::MoveTabSignal, this, &NomoWizard::MoveWidgetSlot);
    m_pageStack->addWidget(m_welcomePage);

    auto *layout = new QVBoxLayout;
    layout->addWidget(m_pageStack);
    setLayout(layout);
}

int NomoWizard::currentPageIndex() const
{
    return m_pageStack->currentIndex();
}

void NomoWizard::MoveWidgetSlot(int tabindex)
{
    m_pageStack->setCurrentIndex(tabindex < 4 ? tabindex + 1 : 2);
}

void NomoWizard::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}
