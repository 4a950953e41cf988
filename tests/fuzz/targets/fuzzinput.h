#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// The shape in which every fuzz target reads its input: one control byte, then the payload.
// The control byte's low five bits choose what the target does with the payload; its top three
// bits, all set, ask for the payload repeated (and cut) to exactly 1 MiB. Cost that grows faster
// than the text shows only at that size, and the fuzzer would rarely grow an input that far by
// itself. Three bits rather than one keep the slow 1 MiB runs to about one input in eight.
class FuzzInput
{
public:
    static constexpr qsizetype AmplifiedSize = 1024 * 1024;

    FuzzInput(const uint8_t *data, size_t size);

    bool isEmpty() const { return m_empty; }
    // Low five bits of the control byte.
    int mode() const { return m_control & 0x1f; }
    bool amplified() const { return (m_control & 0xe0) == 0xe0; }
    // The payload as given, or repeated to AmplifiedSize bytes when amplified (an empty payload
    // stays empty). A long campaign may ask for a smaller size through the environment variable
    // NOMO_FUZZ_AMPLIFIED_BYTES: a 1 MiB run costs milliseconds, and millions of runs add up.
    QByteArray payload() const;

private:
    bool m_empty;
    unsigned char m_control = 0;
    QByteArray m_raw;
};
