#include "fuzzinput.h"

FuzzInput::FuzzInput(const uint8_t *data, size_t size) : m_empty(size == 0)
{
    if (m_empty)
        return;
    m_control = data[0];
    m_raw = QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
}

QByteArray FuzzInput::payload() const
{
    if (!amplified() || m_raw.isEmpty())
        return m_raw;
    QByteArray out;
    out.reserve(AmplifiedSize);
    while (out.size() < AmplifiedSize)
        out.append(m_raw);
    out.truncate(AmplifiedSize);
    return out;
}
