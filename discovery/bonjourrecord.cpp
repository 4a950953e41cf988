#include "bonjourrecord.h"

#include <QHashFunctions>

size_t qHash(const BonjourRecord &record, size_t seed) noexcept
{
    return qHashMulti(seed, record.serviceName, record.serviceType, record.replyDomain);
}
