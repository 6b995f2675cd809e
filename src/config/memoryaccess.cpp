#include "memoryaccess.h"

#include "codecs.h"
#include "serial/notifier.h"
#include "serial/terminal.h"

namespace tarvelin {

MemoryAccess::MemoryAccess(MessageLine& line) : line_(line) {}

void MemoryAccess::showNoResponse() {
    line_.setColor(kRed);
    line_.setCaption(QString::fromLatin1(linkLost_ ? kLinkLostText : kNoResponseText));
    Notifier::current().beep();
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
    Notifier::current().beep();
}

void MemoryAccess::progressMark() {
    line_.setAlignment(MessageLine::Alignment::Left);
    line_.setCaption(line_.caption() + QStringLiteral("* "));
    line_.processEvents();
}

std::optional<std::int16_t> MemoryAccess::identifyStation() {
    linkLost_ = false;
    invalid_ = false;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        const std::string reply = terminal_->sendCommand("IR*");
        if (reply.size() >= 2 && reply.compare(0, 2, "IR") == 0)
            return static_cast<std::int16_t>(hexToValue(std::string_view(reply).substr(2, 2)));
        if (terminal_->linkLost()) {
            // A vanished port will not come back by asking again.
            linkLost_ = true;
            break;
        }
    }
    showNoResponse();
    return std::nullopt;
}

std::string MemoryAccess::checkResponse(const std::string& frame) {
    linkLost_ = false;
    invalid_ = false;
    const std::string reply = terminal_->sendCommand(frame);
    if (reply.empty()) {
        linkLost_ = terminal_->linkLost();
        showNoResponse();
        return {};
    }
    if (reply.size() < 4 || frame.size() < 4 || reply.compare(0, 4, frame, 0, 4) != 0) {
        line_.setCaption(QString::fromLatin1(kInvalidResponseText));
        invalid_ = true;
        return {};
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
    // Characters 6 and 7 carry the byte; a short reply gives what stands there.
    return reply.size() > 5 ? hexToValue(std::string_view(reply).substr(5, 2)) : 0;
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
