// Fuzz target: the single-instance listener's frame decoder (DListner::read) on any byte stream
// a peer could send, up to 1 MiB.
//
// Input: control byte (see FuzzInput), payload: the bytes the peer sends. The stream is decoded
// twice: once arriving all at once, once in pieces whose sizes a generator seeded by the control
// byte picks (mostly a few bytes, now and then many). How the bytes are split must not matter:
// both must deliver the same messages and end with the connection in the same state.

#include "fuzzinput.h"
#include "streamsocket.h"

#include "singleapp/dlistner.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

namespace {

const QString identifier = QStringLiteral("Nomo");

struct Decoded
{
    QStringList messages;
    bool connected = true;
};

class PieceSizes
{
public:
    explicit PieceSizes(unsigned seed) : m_state(seed * 2654435761u + 1u) {}
    qsizetype next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return (m_state & 0xf) == 0 ? qsizetype(m_state >> 8) % 4096 + 1 : (m_state >> 4) % 9 + 1;
    }

private:
    unsigned m_state;
};

Decoded decode(const QByteArray &stream, int seed)
{
    DListner listener(identifier, -1, nullptr);
    StreamSocket socket;
    Decoded result;
    QObject::connect(&listener, &DListner::messageReceived,
                     [&](const QString &message) { result.messages.append(message); });
    if (seed < 0) {
        socket.feed(stream);
        listener.read(&socket);
    } else {
        PieceSizes sizes{unsigned(seed)};
        for (qsizetype at = 0; at < stream.size();) {
            const qsizetype n = std::min(sizes.next(), stream.size() - at);
            socket.feed(stream.mid(at, n));
            at += n;
            listener.read(&socket);
        }
    }
    result.connected = socket.state() == QAbstractSocket::ConnectedState;
    return result;
}

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_framedecoder: %s\n", what);
    std::abort();
}

void discardMessages(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(discardMessages);
    static int argc = 1;
    static char name[] = "fuzz_framedecoder";
    static char *argv[] = {name, nullptr};
    new QCoreApplication(argc, argv); // lives as long as the process
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzInput input(data, size);
    if (input.isEmpty())
        return 0;
    const QByteArray stream = input.payload();

    const Decoded whole = decode(stream, -1);
    const Decoded pieces = decode(stream, input.mode());
    if (whole.messages != pieces.messages)
        fail("messages depend on how the stream was split");
    if (whole.connected != pieces.connected)
        fail("connection state depends on how the stream was split");
    qsizetype total = 0;
    for (const QString &message : whole.messages)
        total += 2 * (message.size() + identifier.size() + 1) + 8;
    if (total > stream.size())
        fail("messages hold more than the stream carried");
    return 0;
}
