#include "line_floor.h"

#include "constants.h"

#include <algorithm>

namespace bench {

LineFloor line_floor(const std::vector<LineStep>& steps, double sent_byte_seconds) {
    LineFloor floor;
    double t = 0;
    for (const LineStep& step : steps) {
        const double waits_before = (step.follow_up ? limits::kFollowUpWait : 0.0) + limits::kPreFrameWait;
        t += waits_before;
        floor.wait_seconds += waits_before;
        const qsizetype n = step.frame.size();
        const qsizetype bursts = n / limits::kBurstLength;
        const qsizetype rest = n % limits::kBurstLength;
        double last_byte = t;
        double free_at = t;
        if (n > 0 && rest > 0) {
            last_byte = t + double(bursts) * limits::kBurstWait + double(rest) * sent_byte_seconds;
            free_at = t + double(bursts) * limits::kBurstWait;
        } else if (n > 0) {
            last_byte =
                t + double(bursts - 1) * limits::kBurstWait + limits::kBurstLength * sent_byte_seconds;
            free_at = t + double(bursts) * limits::kBurstWait;
        }
        floor.wait_seconds += double(bursts) * limits::kBurstWait;
        const double reply_end = last_byte + double(step.reply_bytes) * kByteSeconds;
        t = std::max(free_at, reply_end);
        floor.sent_bytes += n;
        floor.received_bytes += step.reply_bytes;
    }
    floor.seconds = t;
    return floor;
}

} // namespace bench
