#include "memoryaccess.h"

#include "codecs.h"
#include "serial/exchange.h"
#include "serial/frame.h"
#include "serial/hostlink.h"
#include "serial/terminal.h"

namespace tarvelin {

MemoryAccess::MemoryAccess(MessageLine& line) : line_(line) {}

void MemoryAccess::showNoResponse() {
    line_.setColor(kRed);
    line_.setCaption(QString::fromLatin1(outcome_ == Outcome::LineLost     ? kLinkLostText
                                         : outcome_ == Outcome::SendFailed ? kSendFailedText
                                                                           : kNoResponseText));
    line_.beep();
}

void MemoryAccess::clearMessage() {
    line_.setColor(kBlue);
    line_.setCaption(QStringLiteral("        "));
}

void MemoryAccess::showMessage(const QString& text) {
    line_.setColor(kBlue);
    line_.setAlignment(MessageLine::Alignment::Center);
    line_.setCaption(text);
}

void MemoryAccess::showError(const QString& text) {
    line_.setColor(kRed);
    line_.setAlignment(MessageLine::Alignment::Center);
    line_.setCaption(text);
    line_.beep();
}

void MemoryAccess::progressMark() {
    line_.setAlignment(MessageLine::Alignment::Left);
    line_.setCaption(line_.caption() + QStringLiteral("* "));
    line_.processEvents();
}

void MemoryAccess::showInvalid(Outcome why) {
    outcome_ = why;
    line_.setCaption(QString::fromLatin1(kInvalidResponseText));
}

bool MemoryAccess::lineInStep() {
    // A late LF of a CR LF line end is harmless; anything else is an answer to
    // no command of ours, and every reply after it would belong to the
    // command before.
    // Everything that waits, not just the first read of it: an adapter may
    // hand a late LF over apart from a whole reply behind it.
    constexpr int kMostReads = 64;  // a line that babbles on is out of step all the same
    for (int read = 0; read < kMostReads; ++read) {
        const std::string waiting = terminal_->takePending();
        if (waiting.empty()) return true;
        if (waiting.find_first_not_of("\r\n") != std::string::npos) break;
    }
    showInvalid(Outcome::OutOfStep);
    return false;
}

std::optional<std::int16_t> MemoryAccess::identifyStation() {
    outcome_ = Outcome::Success;
    // What waits from before this operation answers nothing of it.
    terminal_->takePending();
    Outcome answered = Outcome::NoResponse;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        const auto reply = terminal_->send("IR*");
        const hostlink::Identification ir = hostlink::identify(reply ? *reply : std::string());
        if (ir.outcome == Outcome::Success) return static_cast<std::int16_t>(ir.station);
        // An echo says more than a reply that is merely wrong.
        if (ir.outcome == Outcome::Echo || answered == Outcome::NoResponse) answered = ir.outcome;
        if (!reply && reply.failure().outcome != Outcome::NoResponse) {
            // A vanished port, or one that takes no command, will not come
            // back by asking again.
            outcome_ = reply.failure().outcome;
            showNoResponse();
            return std::nullopt;
        }
    }
    if (answered != Outcome::NoResponse) {
        // Something answered, but not a controller.
        showInvalid(answered);
        return std::nullopt;
    }
    outcome_ = Outcome::NoResponse;
    showNoResponse();
    return std::nullopt;
}

std::string MemoryAccess::checkResponse(const std::string& frame) {
    outcome_ = Outcome::Success;
    if (!lineInStep()) return {};
    auto reply = terminal_->send(frame);
    if (!reply || reply->empty()) {
        outcome_ = reply ? Outcome::NoResponse : reply.failure().outcome;
        showNoResponse();
        return {};
    }
    const Outcome judged = hostlink::confirm(frame, *reply);
    if (judged != Outcome::Success) {
        showInvalid(judged);
        return {};
    }
    return std::move(*reply);
}

std::optional<std::string> MemoryAccess::sendUnjudged(const std::string& command) {
    outcome_ = Outcome::Success;
    if (!lineInStep()) return std::nullopt;
    return terminal_->sendCommand(command);
}

int MemoryAccess::readMemory(std::int16_t id, std::int16_t address) {
    std::string command = "MR" + getHexString(address);
    const std::string reply = checkResponse(terminal_->appendFCS(id, command));
    if (reply.empty()) return -1;
    if (++readCounter_ == 5) {
        progressMark();
        readCounter_ = 0;
    }
    // Characters 6 and 7 carry the byte (two hex digits: checkResponse saw to that).
    return hostlink::dataByte(reply);
}

int MemoryAccess::writeMemory(std::int16_t id, std::int16_t address, std::int16_t value) {
    std::string command = "MW" + getHexString(address) + getHexString2(value);
    const std::string reply = checkResponse(terminal_->appendFCS(id, command));
    const int result = reply.empty() ? 0 : 1;
    // A failed write counts towards the next mark as well.
    if (++writeCounter_ == 5) {
        progressMark();
        writeCounter_ = 0;
    }
    return result;
}

}  // namespace tarvelin
