#pragma once

#include <QByteArray>
#include <QString>

// The kit's wire formats built by hand, byte by byte, so that the tests do not share the
// encoder they check.
namespace WireBytes {

inline QByteArray be32(quint32 value)
{
    QByteArray bytes;
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.append(char((value >> shift) & 0xff));
    return bytes;
}

inline QByteArray utf16be(const QString &text)
{
    QByteArray bytes;
    for (const QChar c : text) {
        bytes.append(char(c.unicode() >> 8));
        bytes.append(char(c.unicode() & 0xff));
    }
    return bytes;
}

// Byte count 2L, then the identifier's UTF-16 code units.
inline QByteArray greeting(const QString &id)
{
    return be32(quint32(2 * id.size())) + utf16be(id);
}

// Frame count N, the string's byte count 2N, then the text's UTF-16 code units.
inline QByteArray frame(const QString &text)
{
    return be32(quint32(text.size())) + be32(quint32(2 * text.size())) + utf16be(text);
}

} // namespace WireBytes
