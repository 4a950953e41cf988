#include "modaldialoghandler.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

ModalDialogHandler::ModalDialogHandler(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(20);
    connect(&m_timer, &QTimer::timeout, this, &ModalDialogHandler::poll);
    m_timer.start();
}

void ModalDialogHandler::expect(Action action)
{
    m_actions.enqueue(std::move(action));
}

void ModalDialogHandler::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || modal == m_last || !modal->isVisible() || m_actions.isEmpty())
        return;
    m_last = modal;
    Action action = m_actions.dequeue();
    ++m_handled;
    action(modal);
}

void ModalDialogHandler::clickButton(QWidget *modal, int standardButton)
{
    // Anything else stays open: the test then fails on its own expectations.
    auto *box = qobject_cast<QMessageBox *>(modal);
    if (QAbstractButton *button =
            box ? box->button(QMessageBox::StandardButton(standardButton)) : nullptr)
        button->click();
}
