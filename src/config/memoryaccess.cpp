#include "memoryaccess.h"

#include "codecs.h"
#include "serial/exchange.h"
#include "serial/frame.h"
#include "serial/hexdigits.h"
#include "serial/terminal.h"

namespace tarvelin {

MemoryAccess::MemoryAccess(MessageLine& line) : line_(line) {}

void MemoryAccess::showNoResponse() {
    line_.setColor(kRed);
    line_.setCaption(QString::fromLatin1(outcome_ == Outcome::LineLost ? kLinkLostText : kNoResponseText));
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

namespace {

// The reply is the command itself (after any ENQ that answered our own ENQ
// call): the line sends back what it gets, a loopback plug or an echoing
// converter.
bool isEcho(std::string_view reply, std::string_view command) {
    while (!reply.empty() && reply.front() == kENQ) reply.remove_prefix(1);
    return reply == command;
}

bool isHex(char c) {
    return hexDigitValue(c) >= 0;
}

// Whether `reply` answers `frame`. Every reply begins with the frame's first
// four characters ("@", the station ID, "M"). An "MR" or "MW" reply also
// repeats the command's second letter, an "MR" reply carries two hex digits
// of data, and where such a reply ends in two hex digits and "*" after its
// data, they are the check sum of everything before them. "MENABLE" and the
// reboot are judged by the first four characters alone.
bool answers(const std::string& reply, const std::string& frame) {
    if (reply.size() < 4 || frame.size() < 5 || reply.compare(0, 4, frame, 0, 4) != 0) return false;
    const char letter = frame[4];
    if (frame[3] != 'M' || (letter != 'R' && letter != 'W')) return true;
    if (reply.size() < 5 || reply[4] != letter) return false;
    std::size_t dataEnd = 5;
    if (letter == 'R') {
        if (reply.size() < 7 || !isHex(reply[5]) || !isHex(reply[6])) return false;
        dataEnd = 7;
    }
    const std::size_t n = reply.size();
    if (n >= dataEnd + 3 && reply[n - 1] == '*' && isHex(reply[n - 3]) && isHex(reply[n - 2]))
        return parseHexDigits(std::string_view(reply).substr(n - 3, 2)) == computeFCS(reply.substr(0, n - 3));
    return true;
}

}  // namespace

void MemoryAccess::showInvalid(Outcome why) {
    outcome_ = why;
    line_.setCaption(QString::fromLatin1(kInvalidResponseText));
}

bool MemoryAccess::lineInStep() {
    // A late LF of a CR LF line end is harmless; anything else is an answer to
    // no command of ours, and every reply after it would belong to the
    // command before.
    const std::string waiting = terminal_->takePending();
    if (waiting.find_first_not_of("\r\n") == std::string::npos) return true;
    showInvalid(Outcome::OutOfStep);
    return false;
}

std::optional<std::int16_t> MemoryAccess::identifyStation() {
    outcome_ = Outcome::Success;
    // What waits from before this operation answers nothing of it.
    terminal_->takePending();
    bool echoed = false;
    bool invalid = false;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        const std::string reply = terminal_->sendCommand("IR*");
        // "IR" and the station ID in two hex digits.
        if (reply.size() >= 4 && reply.compare(0, 2, "IR") == 0 && isHex(reply[2]) && isHex(reply[3]))
            return static_cast<std::int16_t>(hexToValue(std::string_view(reply).substr(2, 2)));
        echoed = echoed || isEcho(reply, "IR*");
        invalid = invalid || reply.compare(0, 2, "IR") == 0;
        if (terminal_->linkLost()) {
            // A vanished port will not come back by asking again.
            outcome_ = Outcome::LineLost;
            showNoResponse();
            return std::nullopt;
        }
    }
    if (echoed || invalid) {
        // Something answered, but not a controller.
        showInvalid(echoed ? Outcome::Echo : Outcome::InvalidResponse);
        return std::nullopt;
    }
    outcome_ = Outcome::NoResponse;
    showNoResponse();
    return std::nullopt;
}

std::string MemoryAccess::checkResponse(const std::string& frame) {
    outcome_ = Outcome::Success;
    if (!lineInStep()) return {};
    const std::string reply = terminal_->sendCommand(frame);
    if (reply.empty()) {
        outcome_ = terminal_->linkLost() ? Outcome::LineLost : Outcome::NoResponse;
        showNoResponse();
        return {};
    }
    if (isEcho(reply, frame)) {
        showInvalid(Outcome::Echo);
        return {};
    }
    if (reply.find_first_of("\r\n") != std::string::npos) {
        // Two replies gathered as one: the controller answered twice.
        showInvalid(Outcome::OutOfStep);
        return {};
    }
    if (!answers(reply, frame)) {
        showInvalid(Outcome::InvalidResponse);
        return {};
    }
    return reply;
}

std::optional<std::string> MemoryAccess::sendUnjudged(const std::string& command) {
    outcome_ = Outcome::Success;
    if (!lineInStep()) return std::nullopt;
    std::string reply = terminal_->sendCommand(command);
    if (isEcho(reply, command)) {
        showInvalid(Outcome::Echo);
        return std::nullopt;
    }
    return reply;
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
    return hexToValue(std::string_view(reply).substr(5, 2));
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
