#include "memoryaccess.h"

#include "codecs.h"
#include "serial/frame.h"
#include "serial/hostlink.h"
#include "serial/terminal.h"

namespace tarvelin {

MemoryAccess::MemoryAccess(MessageLine& line) : line_(line) {}

Failure MemoryAccess::failed(Outcome why) {
    show(why);
    return Failure{why, {}};
}

void MemoryAccess::progressMark() {
    line_.setAlignment(MessageLine::Alignment::Left);
    line_.setCaption(line_.caption() + QStringLiteral("* "));
    line_.processEvents();
}

Result<void> MemoryAccess::lineInStep() {
    // A late LF of a CR LF line end is harmless; anything else is an answer to
    // no command of ours, and every reply after it would belong to the
    // command before.
    // Everything that waits, not just the first read of it: an adapter may
    // hand a late LF over apart from a whole reply behind it.
    constexpr int kMostReads = 64;  // a line that babbles on is out of step all the same
    for (int read = 0; read < kMostReads; ++read) {
        const std::string waiting = terminal_->takePending();
        if (waiting.empty()) return {};
        if (waiting.find_first_not_of("\r\n") != std::string::npos) break;
    }
    return failed(Outcome::OutOfStep);
}

Result<std::int16_t> MemoryAccess::identifyStation() {
    // What waits from before this operation answers nothing of it.
    terminal_->takePending();
    Outcome answered = Outcome::NoResponse;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        const auto reply = terminal_->send("IR*");
        const hostlink::Identification ir = hostlink::identify(reply ? *reply : std::string());
        if (ir.outcome == Outcome::Success) return station_ = static_cast<std::int16_t>(ir.station);
        // An echo says more than a reply that is merely wrong.
        if (ir.outcome == Outcome::Echo || answered == Outcome::NoResponse) answered = ir.outcome;
        // A vanished port, or one that takes no command, will not come back
        // by asking again.
        if (!reply && reply.failure().outcome != Outcome::NoResponse) return failed(reply.failure().outcome);
    }
    // NoResponse, or something answered, but not a controller.
    return failed(answered);
}

Result<std::string> MemoryAccess::confirmed(const std::string& frame) {
    if (auto inStep = lineInStep(); !inStep) return inStep.failure();
    auto reply = terminal_->send(frame);
    if (!reply) return failed(reply.failure().outcome);
    if (reply->empty()) return failed(Outcome::NoResponse);
    if (const Outcome judged = hostlink::confirm(frame, *reply); judged != Outcome::Success)
        return failed(judged);
    return reply;
}

Result<std::string> MemoryAccess::sendUnjudged(const std::string& command) {
    if (auto inStep = lineInStep(); !inStep) return inStep.failure();
    return terminal_->sendCommand(command);
}

Result<int> MemoryAccess::read(std::int16_t id, std::int16_t address) {
    std::string command = "MR" + getHexString(address);
    const auto reply = confirmed(terminal_->appendFCS(id, command));
    if (!reply) return reply.failure();
    if (++readCounter_ == 5) {
        progressMark();
        readCounter_ = 0;
    }
    // Characters 6 and 7 carry the byte (two hex digits: confirmed() saw to that).
    return hostlink::dataByte(*reply);
}

Result<void> MemoryAccess::write(std::int16_t id, std::int16_t address, std::int16_t value) {
    std::string command = "MW" + getHexString(address) + getHexString2(value);
    const auto reply = confirmed(terminal_->appendFCS(id, command));
    // A failed write counts towards the next mark as well.
    if (++writeCounter_ == 5) {
        progressMark();
        writeCounter_ = 0;
    }
    if (!reply) return reply.failure();
    return {};
}

int MemoryAccess::readMemory(std::int16_t id, std::int16_t address) {
    const auto byte = read(id, address);
    return byte ? *byte : -1;
}

int MemoryAccess::writeMemory(std::int16_t id, std::int16_t address, std::int16_t value) {
    return write(id, address, value) ? 1 : 0;
}

}  // namespace tarvelin
