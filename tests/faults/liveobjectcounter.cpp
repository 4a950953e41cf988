#include "liveobjectcounter.h"

#include <QObject>

#include <atomic>

// Qt's hook table (qhooks_p.h): version, size, Qt version, then the object callbacks.
extern Q_DECL_IMPORT quintptr qtHookData[];

namespace {

constexpr int hookDataSize = 1;
constexpr int addQObject = 3;
constexpr int removeQObject = 4;

std::atomic<qint64> s_live{0};

void objectAdded(QObject *)
{
    ++s_live;
}

void objectRemoved(QObject *)
{
    --s_live;
}

} // namespace

LiveObjectCounter::LiveObjectCounter()
{
    if (qtHookData[hookDataSize] <= quintptr(removeQObject) || qtHookData[addQObject] ||
        qtHookData[removeQObject])
        return;
    s_live = 0;
    qtHookData[addQObject] = reinterpret_cast<quintptr>(&objectAdded);
    qtHookData[removeQObject] = reinterpret_cast<quintptr>(&objectRemoved);
    m_installed = true;
}

LiveObjectCounter::~LiveObjectCounter()
{
    if (!m_installed)
        return;
    qtHookData[addQObject] = 0;
    qtHookData[removeQObject] = 0;
}

qint64 LiveObjectCounter::live() const
{
    return s_live;
}
