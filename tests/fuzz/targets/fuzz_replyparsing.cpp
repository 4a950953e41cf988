// Fuzz target: the reply text functions (Helper_ExtractElementValue, Helper_ExtractElements,
// isKnownVersion) on any text, up to 1 MiB. Mode bits 0-2 choose the tag: one of the five the
// agent asks for, or (5 to 7) the payload's first line, the rest being the text. Mode bit 3 reads
// the text as UTF-8 instead of one character per byte.
//
// Besides the sanitizers: no value longer than the text, and no output past the blocks' bound by
// more than one text.
#include "fuzzsupport.h"

#include "agent/replyparsing.h"

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
    isKnownVersion(text.left(256));
    return 0;
}
