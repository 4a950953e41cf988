#pragma once

#include "modaldialoghandler.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWidget>

// What a test saw of one message box before it answered it.
struct BoxSeen
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QWidget *parent = nullptr;
    bool isMessageBox = false;
};

// Answers the next modal widget as a message box: records it and presses its OK button. Something
// else (a dialog where a box was expected) is recorded as such and rejected, so the test fails on
// its comparisons instead of hanging.
inline ModalDialogHandler::Action answerBox(QList<BoxSeen> *seen)
{
    return [seen](QWidget *w) {
        BoxSeen s;
        if (QMessageBox *box = ModalDialogHandler::messageBox(w)) {
            s = {box->windowTitle(),     box->text(),         box->icon(),
                 box->standardButtons(), box->parentWidget(), true};
            ModalDialogHandler::clickButton(w, QMessageBox::Ok);
        } else {
            s.title = w->windowTitle();
            if (auto *dialog = qobject_cast<QDialog *>(w))
                dialog->reject();
        }
        seen->append(s);
    };
}

// Presses a button from the event loop rather than from inside the handler's timer callback, so the
// modal loop that the press may open (a message box) does not block that callback.
inline void clickLater(QAbstractButton *button)
{
    QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
}

inline QAbstractButton *buttonWithText(QWidget *parent, const QString &text)
{
    const auto buttons = parent->findChildren<QAbstractButton *>();
    for (QAbstractButton *b : buttons) {
        if (b->text() == text)
            return b;
    }
    return nullptr;
}

// Rejects whatever modal dialog is still open after a generous delay, so that a test whose
// expectations were not met fails on its checks rather than on the CTest timeout.
class ModalWatchdog : public QObject
{
public:
    explicit ModalWatchdog(int ms = 15000)
    {
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_fired = true;
            const auto windows = QApplication::topLevelWidgets();
            for (QWidget *w : windows) {
                auto *dialog = qobject_cast<QDialog *>(w);
                if (dialog && dialog->isVisible())
                    dialog->reject();
            }
        });
        m_timer.start(ms);
    }
    bool fired() const { return m_fired; }

private:
    QTimer m_timer;
    bool m_fired = false;
};

// Receives the links a page or dialog hands to QDesktopServices instead of a browser.
class LinkRecorder : public QObject
{
    Q_OBJECT

public:
    explicit LinkRecorder(const QString &scheme = QStringLiteral("https")) : m_scheme(scheme)
    {
        QDesktopServices::setUrlHandler(m_scheme, this, "openUrl");
    }
    ~LinkRecorder() override { QDesktopServices::unsetUrlHandler(m_scheme); }

    QList<QUrl> urls;

public Q_SLOTS:
    void openUrl(const QUrl &url) { urls.append(url); }

private:
    QString m_scheme;
};
