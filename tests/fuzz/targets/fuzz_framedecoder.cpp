// Fuzz target: the single-instance listener's frame decoder (DListner::read) on any byte stream
// a peer could send, up to 1 MiB. The stream is decoded twice: arriving all at once, and in
// pieces whose sizes a generator seeded by the mode picks (mostly a few bytes, now and then many).
// How the bytes are split must not matter: both deliver the same messages and leave the
// connection in the same state.
#include "fuzzsupport.h"

#include "singleapp/dlistner.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTcpSocket>

#include <cstring>

namespace {

const QString identifier = QStringLiteral("Nomo");

// A connected TCP socket without a connection: the bytes fed are what the peer has sent so far.
// abort() leaves it unconnected, as a real socket.
class StreamSocket : public QTcpSocket
{
public:
    StreamSocket()
    {
        setSocketState(ConnectedState);
        setOpenMode(ReadWrite | Unbuffered);
    }
    QByteArray received;
    qint64 position = 0;
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override
    {
        return state() == ConnectedState ? received.size() - position + QIODevice::bytesAvailable()
                                         : 0;
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (state() != ConnectedState)
            return -1;
        const qint64 n = std::min<qint64>(maxSize, received.size() - position);
        std::memcpy(data, received.constData() + position, size_t(n));
        position += n;
        return n;
    }
    qint64 writeData(const char *, qint64 size) override { return size; } // never answered
};

// The messages decoded, and whether the connection is still up at the end.
std::pair<QStringList, bool> decode(const QByteArray &stream, int seed)
{
    DListner listener(identifier, -1, nullptr);
    StreamSocket socket;
    QStringList messages;
    QObject::connect(&listener, &DListner::messageReceived,
                     [&](const QString &message) { messages.append(message); });
    unsigned state = unsigned(seed) * 2654435761u + 1u;
    for (qsizetype at = 0; at < stream.size() || at == 0;) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        const qsizetype piece = seed < 0             ? stream.size()
                                : (state & 0xf) == 0 ? qsizetype(state >> 8) % 4096 + 1
                                                     : (state >> 4) % 9 + 1;
        socket.received += stream.mid(at, piece);
        at += std::max<qsizetype>(piece, 1);
        listener.read(&socket);
    }
    return {messages, socket.state() == QAbstractSocket::ConnectedState};
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startQt<QCoreApplication>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzInput input(data, size);
    if (input.mode < 0)
        return 0;
    if (decode(input.payload, -1) != decode(input.payload, input.mode))
        fuzzFailure(
            QStringLiteral("messages or connection state depend on how the stream was split"));
    return 0;
}
