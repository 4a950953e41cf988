#include "dnssdsupport.h"

#include <QtGlobal>

Q_LOGGING_CATEGORY(lcDiscovery, "lumetra.discovery")

void nomoPrepareDnsSd()
{
    if (!qEnvironmentVariableIsSet("AVAHI_COMPAT_NOWARN"))
        qputenv("AVAHI_COMPAT_NOWARN", "1");
}
