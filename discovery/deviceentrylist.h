#pragma once

#include <QCoreApplication>
#include <QStringList>

// The cameras a scan has found, as "service name@host name" entries in order of arrival: only
// services whose name carries the brand or maker word, each once, ignoring letter case. Shared by
// the scan page and the command line's scan, so that both list the same cameras.
class DeviceEntryList
{
    Q_DECLARE_TR_FUNCTIONS(DeviceEntryList)

public:
    // Adds the entry for one resolved service; false when it is ignored (no host name, no brand
    // or maker word in the name, or an entry equal to it ignoring case is already listed).
    bool add(const QString &serviceName, const QString &hostName);
    void clear() { m_entries.clear(); }

    const QStringList &entries() const { return m_entries; }
    qsizetype size() const { return m_entries.size(); }

    // The name carries "Lumetra" or "Dovrel", case ignored.
    static bool carriesBrandWord(const QString &serviceName);

private:
    QStringList m_entries;
};
