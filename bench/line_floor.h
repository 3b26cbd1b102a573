#pragma once

#include <QByteArray>

#include <vector>

// The shortest time an exchange can take on a real 9600-baud line with the transmitter's fixed pauses.
namespace bench {

inline constexpr double kByteSeconds = 10.0 / 9600.0; // start bit, 8 data bits, stop bit

// One frame the program sends and the reply the controller gives to it (empty when none).
struct LineStep {
    QByteArray frame;
    bool follow_up = false; // the exchange's 0.1 s wait comes before it
    qsizetype reply_bytes = 0;
};

struct LineFloor {
    double seconds = 0;      // the floor itself
    double wait_seconds = 0; // of which the program's pauses
    qint64 sent_bytes = 0;
    qint64 received_bytes = 0;
};

// Each frame: the follow-up wait, 0.02 s, then its characters, handed over at once in bursts of 20 with
// 0.1 s after every 20th; the line carries a burst while the transmitter pauses. The controller answers
// once the frame's last byte has reached it, and the program goes on when both its own pause and the
// reply's last byte are over.
// `sent_byte_seconds` is what one byte the program sends takes to reach the controller: kByteSeconds on a
// serial line, 0 on a pseudo-terminal, which carries the program's bytes at once.
LineFloor line_floor(const std::vector<LineStep>& steps, double sent_byte_seconds = kByteSeconds);

} // namespace bench
