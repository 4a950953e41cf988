#pragma once

#include <QMetaType>
#include <QString>

// One DNS-SD service instance as the browse reported it. Two records are the same instance only
// when all three fields match exactly: DNS-SD itself decides spelling and domain, so "Nomo" and
// "nomo", or "local." and another domain, are different instances here.
class BonjourRecord
{
public:
    BonjourRecord() = default;
    BonjourRecord(const QString &name, const QString &regType, const QString &domain)
        : serviceName(name), serviceType(regType), replyDomain(domain)
    {}

    bool operator==(const BonjourRecord &other) const
    {
        return serviceName == other.serviceName && serviceType == other.serviceType &&
               replyDomain == other.replyDomain;
    }
    bool operator!=(const BonjourRecord &other) const { return !(*this == other); }

    QString serviceName;
    QString serviceType;
    QString replyDomain;
};

size_t qHash(const BonjourRecord &record, size_t seed = 0) noexcept;

Q_DECLARE_METATYPE(BonjourRecord)
