#pragma once

#include <QDataStream>

// What both ends of the single-instance channel must agree on: the loopback port range, the
// stream encoding of the greeting and the message frame, and the largest frame a listener accepts.
namespace DWire {

// Strings and 32-bit integers have been encoded the same way since Qt 4; pinning the version keeps
// the bytes on the wire fixed even if a later Qt changes its default.
constexpr QDataStream::Version StreamVersion = QDataStream::Qt_4_6;

constexpr int FirstPort = 23232;
constexpr int LastPort = 23242;

// Probe timings: a free loopback port refuses at once, a running instance greets at once.
constexpr int ConnectTimeoutMs = 10;
constexpr int GreetingTimeoutMs = 1000;

// Longest frame text (identifier, ":" and message) in UTF-16 code units: 1 MiB of text. A count
// above it, or below zero, is hostile and closes the connection instead of being waited for.
constexpr qint32 MaxTextLength = 524288;

} // namespace DWire
