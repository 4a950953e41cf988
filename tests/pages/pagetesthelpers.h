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
#include <QUrl>

// Answers the next modal widget as a message box, recorded as "title|text|icon|parent's class",
// with OK. A dialog where a box was expected is recorded by its title and rejected.
inline ModalDialogHandler::Action answerBox(QStringList *seen)
{
    return [seen](QWidget *w) {
        QMessageBox *box = ModalDialogHandler::messageBox(w);
        if (!box) {
            seen->append(w->windowTitle());
            qobject_cast<QDialog *>(w)->reject();
            return;
        }
        const char *icons[] = {"no icon", "information", "warning", "critical", "question"};
        QWidget *parent = box->parentWidget();
        seen->append(QStringList{box->windowTitle(), box->text(), icons[box->icon()],
                                 box->standardButtons() == QMessageBox::Ok ? "Ok" : "others",
                                 parent ? parent->metaObject()->className() : "no parent"}
                         .join(QLatin1Char('|')));
        ModalDialogHandler::clickButton(w, QMessageBox::Ok);
    };
}

// Presses from the event loop, so that a modal loop the press opens does not block the caller.
inline void clickLater(QAbstractButton *button)
{
    QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
}

inline QAbstractButton *buttonWithText(QWidget *parent, const QString &text)
{
    for (QAbstractButton *b : parent->findChildren<QAbstractButton *>())
        if (b->text() == text)
            return b;
    return nullptr;
}

// A layout's content as a user reads it: a label's text or "[picture]", "edit <name>" ("*" when
// masked, "-" when disabled), "combo <name>", "[ ] text" / "[x] text" for a check box, "bar
// <min>..<max>", "(text)" per button of a button box, "~" for a stretch; "hidden " before a widget
// that is not shown.
inline QStringList describe(QWidget *parent)
{
    QLayout *layout = parent->layout();
    QList<QLayoutItem *> items;
    auto *form = qobject_cast<QFormLayout *>(layout);
    for (int r = 0; form && r < form->rowCount(); ++r)
        for (auto role : {QFormLayout::LabelRole, QFormLayout::FieldRole})
            if (QLayoutItem *item = form->itemAt(r, role); item && !items.contains(item))
                items << item; // a full-width item answers for both roles
    for (int i = 0; !form && i < layout->count(); ++i)
        items << layout->itemAt(i);
    QStringList out;
    for (QLayoutItem *item : std::as_const(items)) {
        QWidget *w = item->widget();
        QString s = w && !w->isVisibleTo(parent) ? QStringLiteral("hidden ") : QString();
        if (item->spacerItem())
            s += QStringLiteral("~");
        else if (auto *l = qobject_cast<QLabel *>(w))
            s += l->pixmap().isNull() ? l->text() : QStringLiteral("[picture]");
        else if (auto *e = qobject_cast<QLineEdit *>(w))
            s += "edit " + e->objectName() + (e->echoMode() == QLineEdit::Password ? "*" : "") +
                 (e->isEnabled() ? "" : "-");
        else if (auto *c = qobject_cast<QComboBox *>(w))
            s += "combo " + c->objectName();
        else if (auto *c = qobject_cast<QCheckBox *>(w))
            s += (c->isChecked() ? "[x] " : "[ ] ") + c->text();
        else if (auto *b = qobject_cast<QProgressBar *>(w))
            s += QStringLiteral("bar %1..%2").arg(b->minimum()).arg(b->maximum());
        else if (auto *box = qobject_cast<QDialogButtonBox *>(w))
            for (QAbstractButton *b : box->buttons())
                out << (b->isVisibleTo(parent) ? "(" : "hidden (") + b->text() + ")";
        if (!qobject_cast<QDialogButtonBox *>(w))
            out << s;
    }
    return out;
}

// Fills a dialog in from pairs of child name and text: a line edit gets the text, a combo box the
// item of that text chosen (typed when there is none), a check box ticked when the text is "tick".
inline void fillIn(QWidget *dialog, const QStringList &fields)
{
    for (int i = 0; i + 1 < fields.size(); i += 2) {
        auto *child = dialog->findChild<QWidget *>(fields[i]);
        if (auto *edit = qobject_cast<QLineEdit *>(child)) {
            edit->setText(fields[i + 1]);
            edit->setFocus(); // a combo box keeps none: leaving it would match its text to an item
        } else if (auto *combo = qobject_cast<QComboBox *>(child); combo && fields[i + 1] != "")
            combo->findText(fields[i + 1]) < 0 ? combo->setEditText(fields[i + 1])
                                               : combo->setCurrentIndex(combo->findText(fields[i + 1]));
        else if (combo)
            combo->setEditText(QString());
        else if (auto *check = qobject_cast<QCheckBox *>(child))
            check->setChecked(fields[i + 1] == QLatin1String("tick"));
    }
}

// The fields' values as fillIn() takes them; without a dialog, the texts of the pairs.
inline QStringList valuesOf(QWidget *dialog, const QStringList &fields)
{
    QStringList values;
    for (int i = 0; i + 1 < fields.size(); i += 2) {
        QWidget *child = dialog ? dialog->findChild<QWidget *>(fields[i]) : nullptr;
        if (auto *edit = qobject_cast<QLineEdit *>(child))
            values << edit->text();
        else if (auto *combo = qobject_cast<QComboBox *>(child))
            values << combo->currentText();
        else if (auto *check = qobject_cast<QCheckBox *>(child))
            values << (check->isChecked() ? "tick" : "");
        else
            values << fields[i + 1];
    }
    return values;
}

// Ends a dialog by a button's text ("OK" finds the standard Ok button too) or "close", its window's
// close button.
inline void endDialog(QWidget *dialog, const QString &how)
{
    auto *box = dialog->findChild<QDialogButtonBox *>();
    if (how == QLatin1String("close"))
        QMetaObject::invokeMethod(dialog, &QWidget::close, Qt::QueuedConnection);
    else if (QAbstractButton *button = buttonWithText(dialog, how))
        clickLater(button);
    else if (box && how == QLatin1String("OK"))
        clickLater(box->button(QDialogButtonBox::Ok));
}

// Receives the links handed to QDesktopServices instead of a browser.
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

// Follows the link in `label` as a user does: clicks across it until a link answers ("mouse"), or
// ("keyboard") Tab from the focused widget until the label's first link has it, then Enter.
inline void followLink(QLabel *label, const QString &how, const LinkRecorder &links)
{
    const QRect area = label->contentsRect();
    for (int y = area.top() + 2; how == "mouse" && y < area.bottom() && links.urls.isEmpty(); y += 6)
        for (int x = area.left() + 2; x < area.right() && links.urls.isEmpty(); x += 12)
            QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(x, y));
    if (how == "mouse" || !QTest::qWaitForWindowActive(label->window()))
        return;
    for (int i = 0; i < 8 && QApplication::focusWidget() != label; ++i) {
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : label->window(), Qt::Key_Tab);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // on to the label's first link
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
}

// Runs `run`, which opens a modal dialog handled by `fill`; each message box that comes up is
// recorded (see answerBox) and answered, and `then` ends the dialog. Returns the boxes seen.
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
