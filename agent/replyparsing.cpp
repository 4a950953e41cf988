#include "agent/replyparsing.h"

#include <QStringList>
#include <QStringView>

#include <algorithm>

namespace {

// The camera protocol's substring rule: a start at or past the end gives nothing, a negative count
// runs to the end, a negative start is moved to 0 and shortens the count by as much.
QStringView cut(QStringView s, qsizetype start, qsizetype count)
{
    if (start < 0) {
        if (count >= 0)
            count = std::max<qsizetype>(0, count + start);
        start = 0;
    }
    if (start >= s.size())
        return {};
    if (count < 0 || count > s.size() - start)
        count = s.size() - start;
    return s.mid(start, count);
}

// First occurrence of needle at or after from, remembered across calls: the callers only ever
// move forward, so every character is searched once.
class ForwardSearch
{
public:
    ForwardSearch(QStringView text, const QString &needle, Qt::CaseSensitivity cs)
        : m_text(text), m_needle(needle), m_cs(cs)
    {}

    qsizetype from(qsizetype start)
    {
        if (m_exhausted)
            return -1;
        if (m_found >= start)
            return m_found;
        m_found = m_text.indexOf(m_needle, start, m_cs);
        if (m_found < 0)
            m_exhausted = true;
        return m_found;
    }

private:
    QStringView m_text;
    QString m_needle;
    Qt::CaseSensitivity m_cs;
    qsizetype m_found = -1;
    bool m_exhausted = false;
};

QString openingTag(const QString &tag)
{
    return QLatin1Char('<') + tag + QLatin1Char('>');
}

QString closingTag(const QString &tag)
{
    return QLatin1String("</") + tag + QLatin1Char('>');
}

} // namespace

QString Helper_ExtractElementValue(const QString &text, const QString &tag)
{
    if (!text.contains(tag, Qt::CaseInsensitive))
        return QString();
    const qsizetype open = text.indexOf(openingTag(tag));
    const qsizetype close = open < 0 ? -1 : text.indexOf(closingTag(tag), open);
    const qsizetype start = open + tag.size() + 2;
    return cut(text, start, close - start).toString();
}

QList<QString> Helper_ExtractElements(const QString &text, const QString &tag)
{
    QList<QString> blocks;
    // An empty name is "contained" even in an empty rest: the loop would never end.
    if (tag.isEmpty())
        return blocks;

    // The rest of the text still to be searched is text[pos..]; positions below are relative to
    // that rest, as if it had been copied out, but nothing is copied but the blocks themselves.
    const QStringView all(text);
    ForwardSearch name(all, tag, Qt::CaseInsensitive);
    ForwardSearch opening(all, openingTag(tag), Qt::CaseSensitive);
    ForwardSearch closing(all, closingTag(tag), Qt::CaseSensitive);
    const qsizetype tagLength = tag.size();
    qsizetype pos = 0;
    qsizetype total = 0;

    while (pos < all.size() && name.from(pos) >= 0) {
        const QStringView rest = all.mid(pos);
        const qsizetype openAbs = opening.from(pos);
        const qsizetype open = openAbs < 0 ? -1 : openAbs - pos;
        const qsizetype closeAbs = open < 0 ? -1 : closing.from(openAbs);
        const qsizetype close = closeAbs < 0 ? -1 : closeAbs - pos;

        const QStringView block = cut(rest, open, close - open + tagLength + 3);
        blocks.append(block.toString());
        // An unclosed block far into the text runs to its end, and every further pass hands out
        // that end again, a few characters shorter: text that could turn one reply into
        // gigabytes. Balanced blocks never add up to more than the text.
        total += block.size();
        if (total >= ExtractedBlocksLimit)
            break;

        const qsizetype remaining = rest.size() - close - tagLength - 3;
        if (remaining <= 0)
            break;
        pos += rest.size() - std::min(remaining, rest.size());
    }
    return blocks;
}

bool isKnownVersion(const QString &version)
{
    const QStringList parts = version.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    if (parts.size() < 4)
        return false;
    const int major = parts.at(0).toInt();
    if (major > 1)
        return false;
    if (major < 1)
        return true;
    const int minor = parts.at(1).toInt();
    if (minor > 5)
        return false;
    if (minor < 5)
        return true;
    return parts.at(2).toInt() <= 2;
}
