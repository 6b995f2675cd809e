#include "exchange.h"

#include "hostlink.h"

namespace tarvelin {

Exchange::Exchange(SerialLine& line, const Clock& clock, ExchangeTimes times)
    : line_(line), clock_(clock), times_(times) {}

std::string Exchange::sendCommand(const std::string& cmd) {
    linkLost_ = false;
    lastResponse_.clear();
    rxBuffer_.clear();
    if (!line_.isOpen() || line_.lost()) {
        // Nothing can be sent on a closed or vanished port: no reply, at once.
        linkLost_ = line_.lost();
        return lastResponse_;
    }
    const char first = cmd.empty() ? '\0' : cmd.front();
    if (first != '@' && first != ':') {
        line_.write(std::string(1, kENQ));
        if (!waitForENQ()) {
            lastResponse_.clear();
            return lastResponse_;
        }
    }
    line_.write(cmd + kCR);
    readResponse();
    return lastResponse_;
}

std::string Exchange::takePending() {
    return line_.isOpen() && !line_.lost() ? line_.takeAll() : std::string();
}

bool Exchange::waitUntil(std::int64_t deadline) {
    if (line_.lost()) {
        linkLost_ = true;
        return false;
    }
    const std::int64_t left = deadline - clock_.nowMs();
    if (left > 0) line_.waitForData(static_cast<int>(left));
    if (line_.lost()) {
        linkLost_ = true;
        return false;
    }
    return true;
}

bool Exchange::waitForENQ() {
    const std::int64_t deadline = clock_.nowMs() + times_.enqMs;
    for (;;) {
        const std::string got = line_.takeAll();
        // Only a read of ENQ alone counts; anything else is thrown away.
        if (hostlink::answersEnq(got)) return true;
        if (clock_.nowMs() >= deadline) return false;
        if (!waitUntil(deadline)) return false;
    }
}

void Exchange::readResponse() {
    const std::int64_t deadline = clock_.nowMs() + times_.replyMs;
    rxBuffer_.clear();
    for (;;) {
        std::string got = line_.takeAll();
        if (!got.empty()) {
            // An LF left over from an earlier CR LF line end can only come
            // before anything of this reply: drop it there, and only there (an
            // LF after the reply's text ends the reply).
            if (rxBuffer_.empty() && got.front() == kLF) got.erase(0, 1);
            rxBuffer_ += got;
            if (!rxBuffer_.empty() && rxBuffer_.back() == kCR) {
                rxBuffer_.pop_back();
                lastResponse_ = std::move(rxBuffer_);
                rxBuffer_.clear();
                return;
            }
            if (!rxBuffer_.empty() && rxBuffer_.back() == kLF) {
                // Drop the LF and a CR right before it, never a data character.
                rxBuffer_.pop_back();
                if (!rxBuffer_.empty() && rxBuffer_.back() == kCR) rxBuffer_.pop_back();
                lastResponse_ = std::move(rxBuffer_);
                rxBuffer_.clear();
                return;
            }
        }
        if (clock_.nowMs() >= deadline || !waitUntil(deadline)) {
            lastResponse_.clear();
            rxBuffer_.clear();
            return;
        }
    }
}

}  // namespace tarvelin
