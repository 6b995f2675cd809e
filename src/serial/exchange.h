// One command sent and one reply collected on the open line.
#pragma once

#include <string>

#include "hostlink.h"
#include "serialline.h"

namespace tarvelin {

// How long an exchange waits, in milliseconds: for the controller's ENQ
// after the ENQ call, and for the reply after the command.
struct ExchangeTimes {
    int enqMs = 500;
    int replyMs = 500;
    bool operator==(const ExchangeTimes&) const = default;
};

class Exchange {
public:
    Exchange(SerialLine& line, const Clock& clock, ExchangeTimes times = {});

    // The waits of the exchanges from now on.
    void setTimes(ExchangeTimes times) { times_ = times; }
    const ExchangeTimes& times() const { return times_; }

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

private:
    bool waitForENQ();
    void readResponse();
    // Blocks until data may have arrived or the deadline; false when the
    // line went away meanwhile.
    bool waitUntil(std::int64_t deadline);

    SerialLine& line_;
    const Clock& clock_;
    ExchangeTimes times_;
    std::string lastResponse_;
    std::string rxBuffer_;
    bool linkLost_ = false;
};

}  // namespace tarvelin
