#include "deviceentrylist.h"

bool DeviceEntryList::add(const QString &serviceName, const QString &hostName)
{
    if (hostName.isEmpty() || !carriesBrandWord(serviceName))
        return false;
    // Both substituted in one step, so a "%1" inside a service name stays literal text.
    const QString entry = tr("%1@%2").arg(serviceName, hostName);
    if (m_entries.contains(entry, Qt::CaseInsensitive))
        return false;
    m_entries.append(entry);
    return true;
}

bool DeviceEntryList::carriesBrandWord(const QString &serviceName)
{
    return serviceName.contains(QLatin1String("Lumetra"), Qt::CaseInsensitive) ||
           serviceName.contains(QLatin1String("Dovrel"), Qt::CaseInsensitive);
}
