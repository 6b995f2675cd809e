#include "timeoutbox.h"

#include <cmath>

#include "base/leadingnumber.h"

namespace tarvelin {

int timeoutBoxMs(const std::string& text, int fallbackMs) {
    double value = std::nearbyint(leadingNumber(text));  // whole milliseconds, half to even
    if (!(value >= 1)) return fallbackMs;                // also catches NaN
    constexpr double kLongest = 24.0 * 3600 * 1000;      // a day is more than anyone means
    return static_cast<int>(value > kLongest ? kLongest : value);
}

ExchangeTimes timesFromBox(const std::string& text) {
    return {timeoutBoxMs(text, kEnqDefaultMs), timeoutBoxMs(text, kReplyDefaultMs)};
}

}  // namespace tarvelin
