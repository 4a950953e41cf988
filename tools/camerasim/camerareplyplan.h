#pragma once

#include "tools/camerasim/camerafault.h"

#include <QByteArray>

// What the camera sends back for one request and how it travels.
struct CameraReplyPlan
{
    QByteArray head; // status line and headers, up to and including the blank line
    QByteArray body;
    CameraFault fault = CameraFault::None;
    int delayMs = 0; // SlowReply: before anything; StallMidBody: after the first half of the body
};
