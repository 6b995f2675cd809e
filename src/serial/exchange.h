// One command sent and one reply collected on the open line.
#pragma once

#include <functional>
#include <string>

#include "base/outcome.h"
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
    // followed by CR, and returns the reply without its line end. Frames
    // nothing. Without a reply, why: NoResponse (nothing, or an empty line,
    // within the wait; also on a closed port), LineLost (the device went
    // away before or during the exchange), SendFailed (the line did not take
    // a write: the exchange ends there, without waiting for a reply).
    Result<std::string> send(const std::string& cmd);
    // The same as the terminal lists it: the reply, or the empty text when
    // none came.
    std::string sendCommand(const std::string& cmd);

    // Whatever has arrived and was not read, taken without waiting; empty
    // when nothing has, or the line is closed or gone.
    std::string takePending();

    const std::string& lastResponse() const { return lastResponse_; }

    // Asked while waiting (at least every kStopPollMs): once it says stop, a
    // wait lasts at most kStopGraceMs more (a controller that answers does so
    // well within it, so the command on the line is finished), then the
    // exchange ends as Interrupted.
    void setStopToken(std::function<bool()> token) { stopToken_ = std::move(token); }
    static constexpr int kStopPollMs = 20;
    static constexpr int kStopGraceMs = 60;

private:
    // Writes `bytes`: the failure when the line did not take them or went
    // away meanwhile.
    Result<void> put(const std::string& bytes);
    Result<void> waitForENQ();
    Result<std::string> readResponse();
    // Blocks until data may have arrived or the deadline (brought forward to
    // the grace once a stop is asked); false when the line went away meanwhile.
    bool waitUntil(std::int64_t& deadline);
    // At the deadline: Interrupted when a stop cut it short, else `why`.
    Failure timedOut(Outcome why);
    // Ends the exchange without a reply.
    Failure ended(Outcome why);

    SerialLine& line_;
    const Clock& clock_;
    ExchangeTimes times_;
    std::function<bool()> stopToken_;
    bool stopSeen_ = false;
    std::string lastResponse_;
    std::string rxBuffer_;
};

}  // namespace tarvelin
