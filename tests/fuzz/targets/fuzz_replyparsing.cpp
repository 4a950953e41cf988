// Fuzz target: the reply text functions (Helper_ExtractElementValue, Helper_ExtractElements,
// isKnownVersion) on any text, up to 1 MiB.
//
// Input: control byte (see FuzzInput), payload. Mode bits 0-2 choose the tag: one of the five the
// agent asks for, or (5 to 7) the payload's first line, the rest being the text. Mode bit 3 reads
// the text as UTF-8 instead of one character per byte.
//
// Besides the sanitizers, texts up to 16 KiB are checked against a plain, copying
// implementation of the documented algorithm (with its one mended rule: an unclosed block that
// runs to the end of the text is the last): the library's search-once version must give the
// same blocks, in the same order, on every text.

#include "fuzzinput.h"

#include "agent/replyparsing.h"

#include <QList>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace {

const char *const agentTags[] = {"SessionId", "Version", "Network", "SSID", "SecurityType"};
constexpr qsizetype referenceLimit = 16 * 1024;

// Substring as the camera protocol defines it (the classic QString::mid of Qt 4).
QString classicMid(const QString &s, qsizetype position, qsizetype n)
{
    if (position >= s.size())
        return QString();
    if (n < 0)
        n = s.size() - position;
    if (position < 0) {
        n += position;
        position = 0;
    }
    if (n + position > s.size())
        n = s.size() - position;
    if (n <= 0)
        return QString();
    return s.mid(position, n);
}

QString classicRight(const QString &s, qsizetype n)
{
    if (n >= s.size())
        return s;
    if (n <= 0)
        return QString();
    return s.right(n);
}

// The documented algorithm, step by step, copying the rest of the text on every pass.
QList<QString> referenceElements(const QString &text, const QString &tag)
{
    QList<QString> blocks;
    if (tag.isEmpty())
        return blocks; // an empty name would be found for ever
    const QString open = QLatin1Char('<') + tag + QLatin1Char('>');
    const QString close = QLatin1String("</") + tag + QLatin1Char('>');
    QString copy = text;
    while (copy.contains(tag, Qt::CaseInsensitive)) {
        const qsizetype openPos = copy.indexOf(open);
        const qsizetype closePos = openPos < 0 ? -1 : copy.indexOf(close, openPos);
        const qsizetype count = closePos - openPos + tag.size() + 3;
        blocks.append(classicMid(copy, openPos, count));
        // An unclosed block that runs to the end of the text is the last one (otherwise every
        // pass hands out that end again: quadratic output).
        if (openPos >= 0 && count < 0)
            break;
        const qsizetype n = copy.size() - closePos - tag.size() - 3;
        copy = n < 0 ? QString() : classicRight(copy, n);
    }
    return blocks;
}

[[noreturn]] void fail(const char *what, const QString &tag)
{
    std::fprintf(stderr, "fuzz_replyparsing: %s (tag \"%s\")\n", what, qPrintable(tag));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzInput input(data, size);
    if (input.isEmpty())
        return 0;
    QByteArray bytes = input.payload();

    const int tagChoice = input.mode() & 0x7;
    QString tag;
    if (tagChoice < 5) {
        tag = QLatin1String(agentTags[tagChoice]);
    } else {
        const qsizetype lineEnd = bytes.indexOf('\n');
        const QByteArray line = lineEnd < 0 ? bytes : bytes.left(lineEnd);
        tag = QString::fromUtf8(line.left(64));
        bytes = lineEnd < 0 ? QByteArray() : bytes.mid(lineEnd + 1);
    }
    const QString text =
        (input.mode() & 0x8) ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);

    const QString value = Helper_ExtractElementValue(text, tag);
    if (value.size() > text.size())
        fail("element value longer than the text", tag);

    const QList<QString> blocks = Helper_ExtractElements(text, tag);
    qsizetype total = 0;
    for (const QString &block : blocks)
        total += block.size();
    // Every pass consumes at least the name's length of the text, and no block reaches back.
    if (!tag.isEmpty() && blocks.size() > text.size() / tag.size() + 1)
        fail("more blocks than the text can hold", tag);
    if (total > text.size())
        fail("blocks longer than the text", tag);

    if (text.size() <= referenceLimit && blocks != referenceElements(text, tag))
        fail("blocks differ from the documented algorithm", tag);

    isKnownVersion(text.left(256));
    isKnownVersion(value.left(256));
    return 0;
}
