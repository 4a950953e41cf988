// Fuzz target: the reply text functions (Helper_ExtractElementValue, Helper_ExtractElements,
// isKnownVersion) on any text, up to 1 MiB. Mode bits 0-2 choose the tag: one of the five the
// agent asks for, or (5 to 7) the payload's first line, the rest being the text. Mode bit 3 reads
// the text as UTF-8 instead of one character per byte.
//
// Besides the sanitizers: texts up to 16 KiB give the blocks of a plain, copying implementation
// of the documented algorithm (with the same bound on the total output), and no output goes past
// that bound by more than one text.
#include "fuzzsupport.h"

#include "agent/replyparsing.h"

namespace {

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
    return n <= 0 ? QString() : s.mid(position, std::min(n, s.size() - position));
}

// The documented algorithm, step by step, copying the rest of the text on every pass.
QList<QString> referenceElements(const QString &text, const QString &tag)
{
    QList<QString> blocks;
    qsizetype total = 0;
    QString copy = tag.isEmpty() ? QString() : text; // an empty name would be found for ever
    while (!copy.isEmpty() && copy.contains(tag, Qt::CaseInsensitive) &&
           total < ExtractedBlocksLimit) {
        const qsizetype open = copy.indexOf('<' + tag + '>');
        const qsizetype close = open < 0 ? -1 : copy.indexOf("</" + tag + '>', open);
        blocks.append(classicMid(copy, open, close - open + tag.size() + 3));
        total += blocks.last().size();
        const qsizetype n = copy.size() - close - tag.size() - 3;
        copy = n <= 0 ? QString() : copy.right(n);
    }
    return blocks;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzInput input(data, size);
    if (input.mode < 0)
        return 0;
    static const char *const agentTags[] = {"SessionId", "Version", "Network", "SSID",
                                            "SecurityType"};
    QByteArray bytes = input.payload;
    QString tag;
    if ((input.mode & 7) < 5) {
        tag = QLatin1String(agentTags[input.mode & 7]);
    } else {
        const qsizetype end = bytes.indexOf('\n');
        tag = QString::fromUtf8(bytes.left(end < 0 ? 64 : std::min<qsizetype>(end, 64)));
        bytes = end < 0 ? QByteArray() : bytes.mid(end + 1);
    }
    const QString text = input.mode & 8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);

    if (Helper_ExtractElementValue(text, tag).size() > text.size())
        fuzzFailure("element value longer than the text, tag " + tag);
    const QList<QString> blocks = Helper_ExtractElements(text, tag);
    qsizetype total = 0;
    for (const QString &block : blocks)
        total += block.size();
    if (total >= ExtractedBlocksLimit + text.size())
        fuzzFailure("blocks beyond the bound, tag " + tag);
    if (text.size() <= 16 * 1024 && blocks != referenceElements(text, tag))
        fuzzFailure("blocks differ from the documented algorithm, tag " + tag);
    isKnownVersion(text.left(256));
    return 0;
}
