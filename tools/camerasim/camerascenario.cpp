#include "tools/camerasim/camerascenario.h"

#include <functional>

namespace {

struct NamedScenario
{
    const char *name;
    const char *description;
    std::function<void(CameraScenario &)> adjust;
};

void setPassword(CameraScenario &s)
{
    s.hasPassword = true;
    s.password = QStringLiteral("Nomo-1234");
}

// Applies one fault to every request of every command.
std::function<void(CameraScenario &)> everyRequest(CameraFault fault)
{
    return [fault](CameraScenario &s) { s.faults.append({fault, QString(), 1, -1}); };
}

const QList<NamedScenario> &namedScenarios()
{
    static const QList<NamedScenario> table = {
        {"no-password", "no setup password; verify hands out a session id; Wi-Fi joins at once",
         [](CameraScenario &) {}},
        {"password", "setup password \"Nomo-1234\"; Wi-Fi joins at once", setPassword},
        {"refuse-password", "password \"Nomo-1234\", the first 2 logins refused (501) anyway",
         [](CameraScenario &s) {
             setPassword(s);
             s.refusePasswordTimes = 2;
         }},
        {"verify-509", "setupVerify answers error 509",
         [](CameraScenario &s) { s.verifyError = 509; }},
        {"verify-other", "setupVerify answers error 511; no session id is checked",
         [](CameraScenario &s) {
             s.verifyError = 511;
             s.requireSession = false;
         }},
        {"login-500", "password; every login answers error 500",
         [](CameraScenario &s) {
             setPassword(s);
             s.loginError = 500;
         }},
        {"login-501", "password; every login answers error 501 (wrong password)",
         [](CameraScenario &s) {
             setPassword(s);
             s.loginError = 501;
         }},
        {"login-509", "password; every login answers error 509",
         [](CameraScenario &s) {
             setPassword(s);
             s.loginError = 509;
         }},
        {"version-error", "the first 2 setupGetVersion answer error 502",
         [](CameraScenario &s) { s.versionErrorTimes = 2; }},
        {"version-error-always", "every setupGetVersion answers error 502",
         [](CameraScenario &s) { s.versionErrorTimes = -1; }},
        {"version-0081", "firmware version 1.03.01.0081 (before the key type change)",
         [](CameraScenario &s) { s.version = QStringLiteral("1.03.01.0081"); }},
        {"version-0082", "firmware version 1.03.01.0082 (the first with CCMP key types)",
         [](CameraScenario &s) { s.version = QStringLiteral("1.03.01.0082"); }},
        {"scan-empty", "the scan lists no network", [](CameraScenario &s) { s.networks.clear(); }},
        {"scan-error", "setupGetWIFIScan answers error 502",
         [](CameraScenario &s) { s.scanError = 502; }},
        {"scan-no-reply", "setupGetWIFIScan always answers with an empty body",
         [](CameraScenario &s) {
             s.faults.append({CameraFault::EmptyBody, QStringLiteral("setupGetWIFIScan"), 1, -1});
         }},
        {"scan-latin1", "the scan reply is in ISO-8859-1, so \"Café\" is not UTF-8",
         [](CameraScenario &s) { s.latin1Scan = true; }},
        {"verify-no-reply", "setupVerify always answers with an empty body",
         [](CameraScenario &s) {
             s.faults.append({CameraFault::EmptyBody, QStringLiteral("setupVerify"), 1, -1});
         }},
        {"login-no-reply", "password; setupGetLogin always answers with an empty body",
         [](CameraScenario &s) {
             setPassword(s);
             s.faults.append({CameraFault::EmptyBody, QStringLiteral("setupGetLogin"), 1, -1});
         }},
        {"version-no-reply", "setupGetVersion always answers with an empty body",
         [](CameraScenario &s) {
             s.faults.append({CameraFault::EmptyBody, QStringLiteral("setupGetVersion"), 1, -1});
         }},
        {"results-no-reply", "setupGetResults always answers with an empty body",
         [](CameraScenario &s) {
             s.faults.append({CameraFault::EmptyBody, QStringLiteral("setupGetResults"), 1, -1});
         }},
        {"result-508-then-success", "results: not ready (508) twice, then success",
         [](CameraScenario &s) {
             s.results = {508, 508, 0};
         }},
        {"result-508-always", "results: never ready (508 on every poll, so 11 and more)",
         [](CameraScenario &s) { s.results = {508}; }},
        {"result-502-once", "results: 502 (log in again) once, then success",
         [](CameraScenario &s) {
             s.results = {502, 0};
         }},
        {"result-503", "results: error 503", [](CameraScenario &s) { s.results = {503}; }},
        {"result-505", "results: error 505 (no Internet)",
         [](CameraScenario &s) { s.results = {505}; }},
        {"result-505-lowercase", "results: \"<error>505</error>\" in lower case",
         [](CameraScenario &s) {
             s.results = {505};
             s.lowerCaseResultTag = true;
         }},
        {"result-unknown-error", "results: error 514, a number the tool does not know",
         [](CameraScenario &s) { s.results = {514}; }},
        {"fault-empty-body", "every reply has an empty body", everyRequest(CameraFault::EmptyBody)},
        {"fault-close", "every connection is closed without a reply",
         everyRequest(CameraFault::CloseWithoutReply)},
        {"fault-reset", "every reply is reset in the middle of its body",
         everyRequest(CameraFault::ResetMidBody)},
        {"fault-stall", "every reply stalls in the middle of its body for 75 s",
         everyRequest(CameraFault::StallMidBody)},
        {"fault-slow", "every reply comes after 3 s", everyRequest(CameraFault::SlowReply)},
        {"fault-redirect", "every reply is a 302 redirect (with the normal document as body)",
         everyRequest(CameraFault::Redirect)},
        {"fault-http-500", "every reply has HTTP status 500 (with the normal document as body)",
         everyRequest(CameraFault::HttpStatus500)},
        {"fault-garbage", "every reply: document, zero byte, \"<Error>500</Error>\", invalid UTF-8",
         everyRequest(CameraFault::GarbageWithZero)},
        {"fault-huge-body", "every reply is 16 MiB long", everyRequest(CameraFault::HugeBody)},
        {"tls10-only",
         "no password; TLS 1.0 only (curl: --tlsv1.0 --tls-max 1.0 --ciphers "
         "DEFAULT:@SECLEVEL=0)",
         [](CameraScenario &s) { s.tls10Only = true; }},
    };
    return table;
}

const NamedScenario *find(const QString &name)
{
    for (const NamedScenario &n : namedScenarios()) {
        if (name == QLatin1String(n.name))
            return &n;
    }
    return nullptr;
}

} // namespace

CameraScenario::CameraScenario()
{
    networks = {
        {QStringLiteral("HomeNet"), QStringLiteral("WPA2-AES"), true},
        {QString(), QStringLiteral("WPA-TKIP"), false},
        {QStringLiteral("Café"), QStringLiteral("WPA2-AES"), true},
    };
}

CameraScenario CameraScenario::named(const QString &name)
{
    CameraScenario scenario;
    const NamedScenario *n = find(name);
    if (!n)
        return scenario;
    scenario.name = name;
    n->adjust(scenario);
    return scenario;
}

QStringList CameraScenario::scenarioNames()
{
    QStringList names;
    for (const NamedScenario &n : namedScenarios())
        names.append(QLatin1String(n.name));
    return names;
}

QString CameraScenario::describe(const QString &name)
{
    const NamedScenario *n = find(name);
    return n ? QString::fromUtf8(n->description) : QString();
}
