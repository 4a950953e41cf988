#include "dportlist.h"

int DPortList::firstFreePort() const
{
    for (const DPortInfo &info : *this) {
        if (info.isFree)
            return info.port;
    }
    return -1;
}

bool DPortList::freePortAvailable() const
{
    return firstFreePort() != -1;
}
