#pragma once

#include "tools/camerasim/camerafault.h"

#include <QMetaType>
#include <QString>

// One request as the simulated camera received it, for tests to assert on.
struct CameraRequest
{
    QString method;    // "GET"
    QString target;    // the request target exactly as on the request line, e.g.
                       // "/WifiConfig/setupGetLogin?Pass=a%20b"
    QString path;      // the target up to its first "?"
    QString query;     // everything after the first "?", undecoded ("" when there is none)
    QString command;   // the segment after "/WifiConfig/", e.g. "setupGetLogin"; "" otherwise
    int tryNumber = 0; // this request is the tryNumber-th of its command since the scenario was set
    CameraFault fault = CameraFault::None; // the fault its reply got
    int httpStatus = 0;                    // the status sent, 0 when no status line went out
    qint64 receivedMs = 0;                 // ms since the epoch when its headers had arrived
    qint64 finishedMs = -1; // when the reply's last byte went out or the connection closed;
                            // -1 while the connection is still open
};

Q_DECLARE_METATYPE(CameraRequest)
