#pragma once

#include <QObject>

class QWindow;

// Start-up benchmarks: watches the application for its first window that is exposed on screen,
// and once that window's first frame is out prints one line "frame <class of the widget>" on
// standard output and quits the event loop.
class FirstFrameProbe : public QObject
{
    Q_OBJECT

public:
    explicit FirstFrameProbe(QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void report(QWindow *window);

    bool m_seen = false;
};
