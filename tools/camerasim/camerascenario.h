#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// How the simulated camera distorts the delivery of one reply. The camera still processes the
// request (a password change, for instance, takes effect); only what travels back changes.
enum class CameraFault {
    None,
    EmptyBody,         // "200 OK" with Content-Length 0
    CloseWithoutReply, // the connection is closed (TLS close, then FIN) without a byte of reply
    ResetMidBody,      // headers and half of the body, then a TCP reset
    StallMidBody,      // headers and half of the body, then silence for stallMs, then the rest
    SlowReply,         // the whole reply, but only after slowMs
    Redirect,          // "302 Found" to /WifiConfig/redirectTarget, the normal document as body
    HttpStatus500,     // "500 Internal Server Error" with the normal document as body
    GarbageWithZero,   // the normal document, a zero byte, "<Error>500</Error>", invalid UTF-8
    HugeBody,          // 16 MiB: the normal document padded with blanks (setupGetBackGroundImage:
                       // a valid 16 MiB BMP)
};

// Selects which requests get a fault. Tries count the requests of one command, from 1, since
// the scenario was set. Note that a session's port check is itself a setupVerify: the session's
// own setupVerify is then try 2.
struct CameraFaultRule
{
    CameraFault fault = CameraFault::None;
    QString command;  // e.g. "setupGetResults"; empty: every command
    int firstTry = 1; // the first try of that command affected
    int tries = 1;    // how many consecutive tries are affected; -1: every try from firstTry on
};

// One network block of the scan reply.
struct CameraNetwork
{
    QString ssid;
    QString securityType;
    bool hasSsid = true; // false: the block carries no "SSID" element at all
};

// Everything the simulated camera does, as one value. Copy a named one and adjust it:
//     CameraScenario s = CameraScenario::named("password");
//     s.faults.append({CameraFault::EmptyBody, "setupGetWIFIScan", 1, -1});
struct CameraScenario
{
    QString name;

    // Setup password. Without one, setupVerify hands out a session id at once and setupGetLogin
    // accepts only the empty password; with one, setupVerify answers error 500 and setupGetLogin
    // answers 501 to any other password. A successful setupSetPwd sets it.
    bool hasPassword = false;
    QString password;

    int refusePasswordTimes = 0; // the first N logins get 501 even with the right password
    int verifyError = 0;         // nonzero: every setupVerify answers this error number
    int loginError = 0;          // nonzero: every setupGetLogin answers this error number
    int versionErrorTimes = 0;   // the first K setupGetVersion answer error 502; -1: all of them
    int scanError = 0;           // nonzero: every setupGetWIFIScan answers this error number
    QString version = QStringLiteral("1.05.02.0031");
    QList<CameraNetwork> networks; // the default: "HomeNet", a block without SSID, "Café"

    // Answers to setupGetResults in order, the last one repeating: 0 is success, any other
    // number is answered as "<Error>N</Error>" ("<error>N</error>" with lowerCaseResultTag).
    QList<int> results{0};
    bool lowerCaseResultTag = false;

    // Commands other than setupVerify and setupGetLogin must carry the current session id
    // ("SessionId=" in the query); otherwise they are answered with error 502.
    bool requireSession = true;

    QList<CameraFaultRule> faults;
    int stallMs = 75000; // StallMidBody: longer than a minute by default
    int slowMs = 3000;   // SlowReply
    bool tls10Only = false; // the server then speaks TLS 1.0 and nothing else

    CameraScenario();

    // The built-in scenarios by name (see scenarioNames()); an unknown name gives a scenario
    // with an empty name.
    static CameraScenario named(const QString &name);
    static QStringList scenarioNames();
    // One line describing a built-in scenario, for --list-scenarios.
    static QString describe(const QString &name);
};
