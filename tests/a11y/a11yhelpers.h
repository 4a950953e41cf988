#pragma once

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QStringList>
#include <QTest>
#include <QWidget>

// The name a screen reader gets for a widget: the one given to it, else the one Qt derives from
// its own text (a button's label, for instance). A combo box on Linux reports its current value
// as its name and its label through a relation, so the given name is asked for first.
inline QString spokenName(QWidget *w)
{
    if (!w)
        return QString();
    if (!w->accessibleName().isEmpty())
        return w->accessibleName();
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name) : QString();
}

inline QString describe(QWidget *w)
{
    return QStringLiteral("%1 \"%2\"")
        .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName());
}

// A control a keyboard user can land on with Tab.
inline bool takesTabFocus(QWidget *w)
{
    return (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && !w->focusProxy();
}

// Controls below `root` (as far as they are shown within it) that a screen reader cannot name:
// every Tab stop, every progress bar and every label that shows a picture.
inline QStringList unnamedControls(QWidget *root)
{
    QStringList unnamed;
    const auto widgets = root->findChildren<QWidget *>();
    for (QWidget *w : widgets) {
        if (!w->isVisibleTo(root))
            continue;
        const auto *label = qobject_cast<QLabel *>(w);
        const bool picture = label && label->text().isEmpty() && !label->pixmap().isNull();
        const bool needsName = takesTabFocus(w) || qobject_cast<QProgressBar *>(w) || picture;
        if (needsName && spokenName(w).trimmed().isEmpty())
            unnamed << describe(w);
    }
    return unnamed;
}

// A key as the user types it: to the widget that has the keyboard focus (or the active window).
inline bool pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *target = QApplication::focusWidget();
    if (!target)
        target = QApplication::activeWindow();
    if (!target)
        return false;
    QTest::keyClick(target, key, modifiers);
    return true;
}

inline bool typeText(const QString &text)
{
    QWidget *target = QApplication::focusWidget();
    if (!target)
        return false;
    QTest::keyClicks(target, text);
    return true;
}
