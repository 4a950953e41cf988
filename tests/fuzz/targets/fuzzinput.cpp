#include "fuzzinput.h"

#include <algorithm>

FuzzInput::FuzzInput(const uint8_t *data, size_t size) : m_empty(size == 0)
{
    if (m_empty)
        return;
    m_control = data[0];
    m_raw = QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
}

namespace {

qsizetype amplifiedSize()
{
    static const qsizetype size = [] {
        bool ok = false;
        const qsizetype wanted = qEnvironmentVariableIntValue("NOMO_FUZZ_AMPLIFIED_BYTES", &ok);
        return ok && wanted > 0 ? std::min(wanted, FuzzInput::AmplifiedSize)
                                : FuzzInput::AmplifiedSize;
    }();
    return size;
}

} // namespace

QByteArray FuzzInput::payload() const
{
    if (!amplified() || m_raw.isEmpty())
        return m_raw;
    const qsizetype size = amplifiedSize();
    QByteArray out;
    out.reserve(size);
    while (out.size() < size)
        out.append(m_raw);
    out.truncate(size);
    return out;
}
