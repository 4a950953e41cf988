// Fuzz target: how the real agent reads the camera's replies, command by command and through
// whole sessions, with the network replaced by canned bodies (CannedReplyAgent).
//
// Input: control byte (see FuzzInput), payload. Mode bits 0-2: 0 setupVerify, 1 setupGetLogin,
// 2 setupGetVersion, 3 setupGetWIFIScan, 4 setupGetResults (the payload is the reply, up to
// 1 MiB); 5 to 7 a whole session, the payload being the replies in order, separated by "\n--\n"
// (the port check is answered before them). Mode bit 4 makes the credentials form ask for a
// rescan, as the credentials dialog may.
//
// Checked besides the sanitizers: every command returns one of the statuses it documents, and a
// session ends with exactly one outcome, one the agent may emit.

#include "cannedreplyagent.h"
#include "fuzzinput.h"

#include "agent/agenttiming.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QSet>

#include <cstdio>
#include <cstdlib>

namespace {

const QByteArray portCheckReply = QByteArrayLiteral("<Response></Response>");
const QByteArray separator = QByteArrayLiteral("\n--\n");
constexpr int maxReplies = 64;
constexpr int maxForms = 16;

[[noreturn]] void fail(const char *what, int value)
{
    std::fprintf(stderr, "fuzz_agentreplies: %s: %d\n", what, value);
    std::abort();
}

void expectStatus(const char *command, AgentStatus status, const QSet<int> &allowed)
{
    if (!allowed.contains(status))
        fail(command, status);
}

void runCommand(int command, const QByteArray &reply)
{
    CannedReplyAgent agent({portCheckReply, reply});
    QString text;
    switch (command) {
    case 0:
        expectStatus("setupVerify", agent.setupVerify(text),
                     {StatusOk, StatusError500, StatusError509, StatusOtherError, StatusNoReply});
        break;
    case 1:
        expectStatus("setupGetLogin", agent.setupGetLogin(QStringLiteral("pa ss&?é"), text),
                     {StatusOk, StatusError500, StatusError509, StatusError501, StatusOtherError,
                      StatusNoReply});
        break;
    case 2:
        expectStatus("setupGetVersion", agent.setupGetVersion(text, QStringLiteral("sid")),
                     {StatusOk, StatusLoginAgain, StatusNoReply});
        break;
    case 3: {
        QList<WIFINetworkEntry> networks;
        expectStatus("setupGetWIFIScan", agent.setupGetWIFIScan(networks, QStringLiteral("sid")),
                     {StatusOk, StatusNoReply});
        if (networks.size() > reply.size())
            fail("more networks than reply bytes", int(networks.size()));
        break;
    }
    default: {
        // A "not ready" reply asks again; the next request finds the list used up and cancels.
        enmComResult outcome = ComResultNoReply;
        const AgentStatus status = agent.setupGetResults(QStringLiteral("sid"), outcome);
        expectStatus("setupGetResults", status,
                     {StatusOk, StatusLoginAgain, StatusError503, StatusError505, StatusCancelled,
                      StatusNoReply});
        if (status == StatusOk && outcome != ComResultSuccess && outcome != ComResultErrorReported)
            fail("setupGetResults outcome", outcome);
        break;
    }
    }
}

void runSession(const QByteArray &payload, bool rescan)
{
    QList<QByteArray> replies{portCheckReply};
    qsizetype from = 0;
    while (replies.size() <= maxReplies) {
        const qsizetype at = payload.indexOf(separator, from);
        replies.append(payload.mid(from, at < 0 ? -1 : at - from));
        if (at < 0)
            break;
        from = at + separator.size();
    }

    CannedReplyAgent agent(replies);
    int forms = 0;
    QList<enmComResult> outcomes;
    QObject::connect(&agent, &MyHttpsAgent::signalDeviceAuthenticationForm,
                     [&](const QString &, QString &password, bool &change, bool &cancel) {
                         if (++forms > maxForms) {
                             cancel = true;
                             return;
                         }
                         password = forms % 2 ? QStringLiteral("first") : QStringLiteral("zweit");
                         change = forms % 3 == 0;
                     });
    QObject::connect(&agent, &MyHttpsAgent::signalChangePasswordForm,
                     [&](const QString &, QString &newPassword, bool &cancel) {
                         cancel = ++forms > maxForms || forms % 2 == 0;
                         newPassword = QStringLiteral("neu wert");
                     });
    QObject::connect(&agent, &MyHttpsAgent::signalWifiCredentialsForm,
                     [&](const QList<WIFINetworkEntry> &networks, QString &ssid, QString &key,
                         QString &keyType, bool &cancel) {
                         if (++forms > maxForms) {
                             cancel = true;
                             return;
                         }
                         if (rescan)
                             agent.WIFI_Rescan();
                         ssid = networks.isEmpty() ? QStringLiteral("HomeNet")
                                                   : networks.constFirst().ssid;
                         key = QStringLiteral("k e y");
                         keyType = QStringLiteral("WPA2-AES");
                     });
    QObject::connect(&agent, &MyHttpsAgent::signalCommunicationResultsForm,
                     [&](enmComResult outcome, QPixmap &image) {
                         outcomes.append(outcome);
                         if (!image.isNull())
                             fail("outcome with an image", outcome);
                     });
    agent.Start();

    if (outcomes.size() != 1)
        fail("number of outcomes", int(outcomes.size()));
    static const QSet<int> emitted{
        ComResultFailed,     ComResultSuccess, ComResultErrorReported, ComResultCancelled,
        ComResultNoInternet, ComResultNoReply, ComResultError503,      ComResultWifiUnavailable};
    if (!emitted.contains(outcomes.constFirst()))
        fail("outcome", outcomes.constFirst());
}

void discardMessages(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(discardMessages);
    static int argc = 1;
    static char name[] = "fuzz_agentreplies";
    static char *argv[] = {name, nullptr};
    new QGuiApplication(argc, argv); // lives as long as the process
    // Every wait of a session as short as it can be; nothing here depends on the durations.
    AgentTiming::setPauseStepMs(1);
    AgentTiming::setResultWaitMs(1);
    AgentTiming::setResultPollMs(1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzInput input(data, size);
    if (input.isEmpty())
        return 0;
    const int mode = input.mode() & 0x7;
    if (mode < 5)
        runCommand(mode, input.payload());
    else
        runSession(input.payload(), input.mode() & 0x10);
    return 0;
}
