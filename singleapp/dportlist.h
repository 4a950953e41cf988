#pragma once

#include "singleapp/dportinfo.h"

#include <QList>

// The probe results of one detection, in probe order (ascending ports).
class DPortList : public QList<DPortInfo>
{
public:
    // The port of the first free entry, or -1 when every probed port was taken.
    int firstFreePort() const;
    bool freePortAvailable() const;
};
