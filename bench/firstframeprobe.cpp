#include "firstframeprobe.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdio>

FirstFrameProbe::FirstFrameProbe(QObject *parent) : QObject(parent)
{
    qApp->installEventFilter(this);
}

bool FirstFrameProbe::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_seen && event->type() == QEvent::Expose) {
        auto *window = qobject_cast<QWindow *>(watched);
        if (window && window->isExposed()) {
            m_seen = true;
            // The expose event paints and flushes the first frame; report right after it.
            QTimer::singleShot(0, this, [this, window] { report(window); });
        }
    }
    return QObject::eventFilter(watched, event);
}

void FirstFrameProbe::report(QWindow *window)
{
    QByteArray name = "unknown";
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->windowHandle() == window)
            name = widget->metaObject()->className();
    }
    std::printf("frame %s\n", name.constData());
    std::fflush(stdout);
    // Closing every window ends the tool's own event loop the way a user would, so that its
    // one-instance guard is released before the next run.
    QTimer::singleShot(0, qApp, [] {
        QApplication::closeAllWindows();
        QApplication::quit();
    });
}
