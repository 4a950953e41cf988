#pragma once

#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QTimer>

#include <functional>

class QWidget;

// Answers the modal dialogs and message boxes a test provokes. Each expected dialog is an action
// queued in order; the handler polls QApplication::activeModalWidget() on a short timer and runs
// the next action each time another modal widget becomes the active one (a dialog that is active
// again after its own message box closed counts again). The action checks the widget and closes it.
//
//     ModalDialogHandler modal;
//     modal.expect([](QWidget *w) { ...; ModalDialogHandler::clickButton(w, QMessageBox::Ok); });
//     wizard.startSomething();   // blocks in exec() until the action has closed the box
//     QTRY_COMPARE(modal.handled(), 1);
class ModalDialogHandler : public QObject
{
    Q_OBJECT

public:
    using Action = std::function<void(QWidget *modal)>;

    explicit ModalDialogHandler(QObject *parent = nullptr);

    void expect(Action action);
    int handled() const { return m_handled; }

    // Closes a message box with the given standard button.
    static void clickButton(QWidget *modal, int standardButton);

private:
    void poll();

    QQueue<Action> m_actions;
    QPointer<QWidget> m_last;
    QTimer m_timer;
    int m_handled = 0;
};
