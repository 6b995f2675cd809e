// One command sent and one reply collected on the open line.
#pragma once

#include <functional>
#include <string>

#include "hostlink.h"
#include "serialline.h"

namespace tarvelin {

class Exchange {
public:
    // `timeoutText` gives the text of the time-out box; it is read afresh at
    // the start of every wait.
    Exchange(SerialLine& line, const Clock& clock, std::function<std::string()> timeoutText);

    // Sends `cmd` (after the ENQ call unless it starts with "@" or ":"),
    // followed by CR, and returns the reply without its line end, or the empty
    // text when none came. Frames nothing.
    std::string sendCommand(const std::string& cmd);

    // Whatever has arrived and was not read, taken without waiting; empty
    // when nothing has, or the line is closed or gone.
    std::string takePending();

    const std::string& lastResponse() const { return lastResponse_; }
    // True when the last exchange ended because the device went away.
    bool linkLost() const { return linkLost_; }

    // The time-out box text read as milliseconds; values below 1 (and texts
    // that are not a number) select `fallbackMs`.
    static int timeoutMs(const std::string& text, int fallbackMs);

    static constexpr int kEnqDefaultMs = 1000;
    static constexpr int kReplyDefaultMs = 500;

private:
    bool waitForENQ();
    void readResponse();
    // Blocks until data may have arrived or the deadline; false when the
    // line went away meanwhile.
    bool waitUntil(std::int64_t deadline);

    SerialLine& line_;
    const Clock& clock_;
    std::function<std::string()> timeoutText_;
    std::string lastResponse_;
    std::string rxBuffer_;
    bool linkLost_ = false;
};

}  // namespace tarvelin
