#pragma once

#include <QObject>

class QSocketNotifier;

// Turns the first SIGINT or SIGTERM into a Qt signal, so that running sessions end as cancelled
// and their outcomes are still reported. A second one of the same kind ends the program at once.
// One object at a time per process; the previous handlers come back when it is destroyed.
class CliInterrupt : public QObject
{
    Q_OBJECT

public:
    explicit CliInterrupt(QObject *parent = nullptr);
    ~CliInterrupt() override;

    bool isInterrupted() const { return m_interrupted; }

Q_SIGNALS:
    void interrupted();

private:
    void onSignal();

    QSocketNotifier *m_notifier = nullptr; // child
    bool m_interrupted = false;
};
