#pragma once

#include "modaldialoghandler.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <functional>

// Answers the next modal widget as a message box: records it as "title|text|icon|buttons|parent's
// class" and presses OK. Something else (a dialog where a box was expected) is recorded by its
// title and rejected, so the test fails on its comparisons instead of hanging.
inline ModalDialogHandler::Action answerBox(QStringList *seen)
{
    return [seen](QWidget *w) {
        QMessageBox *box = ModalDialogHandler::messageBox(w);
        if (!box) {
            seen->append(w->windowTitle());
            if (auto *dialog = qobject_cast<QDialog *>(w))
                dialog->reject();
            return;
        }
        const char *icons[] = {"no icon", "information", "warning", "critical", "question"};
        QWidget *parent = box->parentWidget();
        seen->append(QStringList{box->windowTitle(), box->text(), QLatin1String(icons[box->icon()]),
                                 box->standardButtons() == QMessageBox::Ok ? "Ok" : "other buttons",
                                 parent ? parent->metaObject()->className() : "no parent"}
                         .join(QLatin1Char('|')));
        ModalDialogHandler::clickButton(w, QMessageBox::Ok);
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

// A layout's content in order, one entry per widget as a user reads it: a label's text or
// "[picture]", "edit <name>" ("*" added when masked), "combo <name>", "[ ] text" or "[x] text" for
// a check box, "bar <min>..<max>", "(text)" for each button of a button box, "~" for a stretch.
inline QStringList describe(QLayout *layout)
{
    QList<QLayoutItem *> items;
    if (auto *form = qobject_cast<QFormLayout *>(layout)) {
        for (int r = 0; r < form->rowCount(); ++r) {
            for (auto role : {QFormLayout::LabelRole, QFormLayout::FieldRole}) {
                QLayoutItem *item = form->itemAt(r, role); // a full-width one answers for both
                if (item && !items.contains(item))
                    items << item;
            }
        }
    } else {
        for (int i = 0; i < layout->count(); ++i)
            items << layout->itemAt(i);
    }
    QStringList out;
    for (QLayoutItem *item : std::as_const(items)) {
        QWidget *w = item->widget();
        if (item->spacerItem())
            out << QStringLiteral("~");
        else if (auto *l = qobject_cast<QLabel *>(w))
            out << (l->pixmap().isNull() ? l->text() : QStringLiteral("[picture]"));
        else if (auto *e = qobject_cast<QLineEdit *>(w))
            out << "edit " + e->objectName() + (e->echoMode() == QLineEdit::Password ? "*" : "");
        else if (auto *c = qobject_cast<QComboBox *>(w))
            out << "combo " + c->objectName();
        else if (auto *c = qobject_cast<QCheckBox *>(w))
            out << (c->isChecked() ? "[x] " : "[ ] ") + c->text();
        else if (auto *b = qobject_cast<QProgressBar *>(w))
            out << QStringLiteral("bar %1..%2").arg(b->minimum()).arg(b->maximum());
        else if (auto *box = qobject_cast<QDialogButtonBox *>(w))
            for (QAbstractButton *b : box->buttons())
                out << "(" + b->text() + ")";
        else
            out << QLatin1String(w ? w->metaObject()->className() : "?");
    }
    return out;
}

// Fills a dialog in as a user would, from pairs of child name and text: a line edit gets the text
// typed, a combo box the item of that text chosen, a check box ticked when the text is "tick".
inline void fillIn(QWidget *dialog, const QStringList &fields)
{
    for (int i = 0; i + 1 < fields.size(); i += 2) {
        auto *child = dialog->findChild<QWidget *>(fields[i]);
        if (auto *edit = qobject_cast<QLineEdit *>(child))
            QTest::keyClicks(edit, fields[i + 1]);
        else if (auto *combo = qobject_cast<QComboBox *>(child))
            combo->setCurrentIndex(combo->findText(fields[i + 1]));
        else if (auto *check = qobject_cast<QCheckBox *>(child))
            check->setChecked(fields[i + 1] == QLatin1String("tick"));
        else
            QFAIL(qPrintable("no field " + fields[i]));
    }
}

// Ends a dialog the way a user can: a button by its text ("OK" also finds the standard Ok button)
// or the window's close button ("close").
inline void endDialog(QDialog *dialog, const QString &how)
{
    auto *box = dialog->findChild<QDialogButtonBox *>();
    if (how == QLatin1String("close"))
        QMetaObject::invokeMethod(dialog, &QWidget::close, Qt::QueuedConnection);
    else if (QAbstractButton *button = buttonWithText(dialog, how))
        clickLater(button);
    else if (how == QLatin1String("OK") && box && box->button(QDialogButtonBox::Ok))
        clickLater(box->button(QDialogButtonBox::Ok));
    else
        dialog->done(-1); // the test names a button that does not exist
}

// A dialog window whose only button in the title bar is the close button.
inline bool onlyCloseHint(Qt::WindowFlags flags)
{
    const Qt::WindowFlags others = Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                   Qt::WindowContextHelpButtonHint | Qt::WindowStaysOnTopHint |
                                   Qt::FramelessWindowHint;
    return (flags & Qt::WindowType_Mask) == Qt::Dialog && (flags & Qt::WindowCloseButtonHint) &&
           !(flags & others);
}

// Every dialog lives on the test's stack; none may be left open behind a test function.
inline void verifyNoWindowOpen()
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows)
        QVERIFY2(!w->isVisible(), qPrintable(w->windowTitle()));
}

// Receives the links a page or dialog hands to QDesktopServices instead of a browser.
class LinkRecorder : public QObject
{
    Q_OBJECT

public:
    LinkRecorder() { QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl"); }
    ~LinkRecorder() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }

    QList<QUrl> urls;

public Q_SLOTS:
    void openUrl(const QUrl &url) { urls.append(url); }
};

// Calls `run`, which opens a modal dialog, while `fill` handles that dialog; each message box that
// then comes up is recorded (see answerBox) and answered, after which `then` ends the dialog.
// Returns the boxes seen.
inline QStringList runModal(const std::function<void()> &run, ModalDialogHandler::Action fill,
                            ModalDialogHandler::Action then = {})
{
    QStringList boxes;
    ModalDialogHandler modal;
    modal.expect(std::move(fill));
    modal.expect(answerBox(&boxes));
    if (then)
        modal.expect(std::move(then));
    run();
    return boxes;
}
