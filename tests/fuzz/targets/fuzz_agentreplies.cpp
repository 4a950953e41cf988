// Fuzz target: the real agent reading the camera's replies through whole sessions, the network
// replaced by canned bodies (CannedAgent). Payload: the replies in order (each up to 1 MiB, at
// most 64), separated by "\n--\n"; the port check is answered before them. Mode bit 0 makes the
// credentials form ask for a rescan, as the credentials dialog may.
//
// Checked besides the sanitizers: every session ends with exactly one outcome, one the agent
// emits, with a null image, and no form opened with its answers already set.
#include "cannedagent.h"
#include "formanswerer.h"
#include "fuzzsupport.h"

#include "agent/agenttiming.h"

#include <QGuiApplication>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startQt<QGuiApplication>();
    // Every wait of a session as short as it can be; nothing here depends on the durations.
    AgentTiming::setPauseStepMs(1);
    AgentTiming::setResultWaitMs(1);
    AgentTiming::setResultPollMs(1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzInput input(data, size);
    if (input.mode < 0)
        return 0;
    QList<QByteArray> replies{"<Response></Response>"};
    for (qsizetype from = 0; replies.size() <= 64;) {
        const qsizetype at = input.payload.indexOf("\n--\n", from);
        replies.append(input.payload.mid(from, at < 0 ? -1 : at - from));
        if (at < 0)
            break;
        from = at + 4;
    }
    CannedAgent agent(replies);
    FormAnswerer user(&agent, {"login=first|change", "change=neu wert",
                               input.mode & 1 ? "credentials=rescan" : "credentials", "login=zweit",
                               "change=<skip>", "credentials", "login=first|change"});
    agent.Start();

    static const QList<enmComResult> emitted{
        ComResultFailed,     ComResultSuccess, ComResultErrorReported, ComResultCancelled,
        ComResultNoInternet, ComResultNoReply, ComResultError503,      ComResultWifiUnavailable};
    if (user.results.size() != 1 || !emitted.contains(user.results.constFirst()) || !user.clean)
        fuzzFailure(QStringLiteral("session ended with %1 outcomes").arg(user.results.size()));
    return 0;
}
