#include "nomoresources.h"

#include <QtGlobal>

static void registerNomoResources()
{
    Q_INIT_RESOURCE(nomo);
}

void nomoEnsureResources()
{
    static const bool registered = (registerNomoResources(), true);
    Q_UNUSED(registered);
}
