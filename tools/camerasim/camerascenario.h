#pragma once

#include "tools/camerasim/camerafault.h"
#include "tools/camerasim/cameranetwork.h"

#include <QList>
#include <QString>
#include <QStringList>

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
    bool latin1Scan = false;       // the scan reply's texts in ISO-8859-1 instead of UTF-8

    // Answers to setupGetResults in order, the last one repeating: 0 is success, any other
    // number is answered as "<Error>N</Error>" ("<error>N</error>" with lowerCaseResultTag).
    QList<int> results{0};
    bool lowerCaseResultTag = false;

    // Commands other than setupVerify and setupGetLogin must carry the current session id
    // ("SessionId=" in the query); otherwise they are answered with error 502.
    bool requireSession = true;

    QList<CameraFaultRule> faults;
    int stallMs = 75000;    // StallMidBody: longer than a minute by default
    int slowMs = 3000;      // SlowReply
    bool tls10Only = false; // the server then speaks TLS 1.0 and nothing else

    CameraScenario();

    // The built-in scenarios by name (see scenarioNames()); an unknown name gives a scenario
    // with an empty name.
    static CameraScenario named(const QString &name);
    static QStringList scenarioNames();
    // One line describing a built-in scenario, for --list-scenarios.
    static QString describe(const QString &name);
};
