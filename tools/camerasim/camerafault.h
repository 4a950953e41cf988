#pragma once

#include <QMetaType>
#include <QString>

// How the simulated camera distorts the delivery of one reply. The camera still processes the
// request (a password change, for instance, takes effect); only what travels back changes.
enum class CameraFault {
    None,
    EmptyBody,         // "200 OK" with Content-Length 0
    CloseWithoutReply, // the connection is closed (TLS close, then FIN) without a byte of reply.
                       // QNetworkAccessManager silently sends the request once more on a new
                       // connection: fault two consecutive tries to make one request fail.
    ResetMidBody,      // headers and half of the body, then a TCP reset
    StallMidBody,      // headers and half of the body, then silence for stallMs, then the rest
    SlowReply,         // the whole reply, but only after slowMs
    Redirect,          // "302 Found" to /WifiConfig/redirectTarget, the normal document as body
    HttpStatus500,     // "500 Internal Server Error" with the normal document as body
    GarbageWithZero,   // the normal document, a zero byte, "<Error>500</Error>", invalid UTF-8
    HugeBody,          // 16 MiB: the normal document padded with blanks (setupGetBackGroundImage:
                       // a valid 16 MiB BMP)
};

Q_DECLARE_METATYPE(CameraFault)

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
