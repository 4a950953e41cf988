#pragma once

#include <QtGlobal>

// Counts the QObjects alive in the process, from every thread, through Qt's object hooks (the
// ones debugging tools use). One counter at a time; it starts at 0 when installed.
class LiveObjectCounter
{
public:
    LiveObjectCounter();
    ~LiveObjectCounter();
    LiveObjectCounter(const LiveObjectCounter &) = delete;
    LiveObjectCounter &operator=(const LiveObjectCounter &) = delete;

    // False when this Qt offers no object hooks.
    bool isInstalled() const { return m_installed; }
    qint64 live() const;

private:
    bool m_installed = false;
};
