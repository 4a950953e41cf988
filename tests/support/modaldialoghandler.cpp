#include "modaldialoghandler.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

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

QMessageBox *ModalDialogHandler::messageBox(QWidget *modal)
{
    return qobject_cast<QMessageBox *>(modal);
}

void ModalDialogHandler::clickButton(QWidget *modal, int standardButton)
{
    auto *box = messageBox(modal);
    if (!box)
        return;
    QAbstractButton *button = box->button(QMessageBox::StandardButton(standardButton));
    if (!button)
        button = box->defaultButton() ? static_cast<QAbstractButton *>(box->defaultButton())
                                      : box->escapeButton();
    if (button)
        button->click();
}
