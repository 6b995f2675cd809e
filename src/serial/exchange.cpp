#include "exchange.h"

#include <algorithm>

#include "hostlink.h"

namespace tarvelin {

Exchange::Exchange(SerialLine& line, const Clock& clock, ExchangeTimes times)
    : line_(line), clock_(clock), times_(times) {}

Failure Exchange::ended(Outcome why) {
    lastResponse_.clear();
    rxBuffer_.clear();
    return Failure{why, {}};
}

Result<std::string> Exchange::send(const std::string& cmd) {
    lastResponse_.clear();
    rxBuffer_.clear();
    stopSeen_ = false;
    // Nothing can be sent on a closed or vanished port: no reply, at once.
    if (line_.lost()) return ended(Outcome::LineLost);
    if (!line_.isOpen()) return ended(Outcome::NoResponse);
    const char first = cmd.empty() ? '\0' : cmd.front();
    if (first != '@' && first != ':') {
        if (auto sent = put(std::string(1, kENQ)); !sent) return sent.failure();
        if (auto answered = waitForENQ(); !answered) return answered.failure();
    }
    if (auto sent = put(cmd + kCR); !sent) return sent.failure();
    return readResponse();
}

std::string Exchange::sendCommand(const std::string& cmd) {
    auto reply = send(cmd);
    return reply ? std::move(*reply) : std::string();
}

std::string Exchange::takePending() {
    return line_.isOpen() && !line_.lost() ? line_.takeAll() : std::string();
}

Result<void> Exchange::put(const std::string& bytes) {
    // Bytes the line did not take will not be answered: no wait for a reply
    // to what never went out.
    const bool written = line_.write(bytes);
    if (line_.lost()) return ended(Outcome::LineLost);
    if (!written) return ended(Outcome::SendFailed);
    return {};
}

bool Exchange::waitUntil(std::int64_t& deadline) {
    if (line_.lost()) return false;
    const std::int64_t now = clock_.nowMs();
    if (!stopSeen_ && stopToken_ && stopToken_()) {
        stopSeen_ = true;
        deadline = std::min(deadline, now + kStopGraceMs);
    }
    std::int64_t left = deadline - now;
    if (stopToken_ && !stopSeen_) left = std::min<std::int64_t>(left, kStopPollMs);
    if (left > 0) line_.waitForData(static_cast<int>(left));
    return !line_.lost();
}

Failure Exchange::timedOut(Outcome why) {
    return ended(stopSeen_ ? Outcome::Interrupted : why);
}

Result<void> Exchange::waitForENQ() {
    std::int64_t deadline = clock_.nowMs() + times_.enqMs;
    for (;;) {
        const std::string got = line_.takeAll();
        // Only a read of ENQ alone counts; anything else is thrown away.
        if (hostlink::answersEnq(got)) return {};
        if (clock_.nowMs() >= deadline) return timedOut(Outcome::NoResponse);
        if (!waitUntil(deadline)) return ended(Outcome::LineLost);
    }
}

Result<std::string> Exchange::readResponse() {
    std::int64_t deadline = clock_.nowMs() + times_.replyMs;
    for (;;) {
        std::string got = line_.takeAll();
        if (!got.empty()) {
            // An LF left over from an earlier CR LF line end can only come
            // before anything of this reply: drop it there, and only there (an
            // LF after the reply's text ends the reply).
            if (rxBuffer_.empty() && got.front() == kLF) got.erase(0, 1);
            rxBuffer_ += got;
            if (!rxBuffer_.empty() && (rxBuffer_.back() == kCR || rxBuffer_.back() == kLF)) {
                // Drop the line end: an LF and a CR right before it, or a CR;
                // never a data character.
                if (rxBuffer_.back() == kLF) rxBuffer_.pop_back();
                if (!rxBuffer_.empty() && rxBuffer_.back() == kCR) rxBuffer_.pop_back();
                // An empty line answers nothing.
                if (rxBuffer_.empty()) return ended(Outcome::NoResponse);
                lastResponse_ = std::move(rxBuffer_);
                rxBuffer_.clear();
                return lastResponse_;
            }
        }
        if (clock_.nowMs() >= deadline) return timedOut(Outcome::NoResponse);
        if (!waitUntil(deadline)) return ended(Outcome::LineLost);
    }
}

}  // namespace tarvelin
