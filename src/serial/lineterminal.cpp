#include "lineterminal.h"

namespace tarvelin {

LineTerminal::LineTerminal(SerialLine& line, const Clock& clock, PortChoice choice, EnvLookup env)
    : choice_(std::move(choice)), connection_(line, std::move(env)), exchange_(line, clock) {}

bool LineTerminal::openCommPort() {
    const auto outcome = connection_.open(choice_);
    if (outcome.kind == PortConnection::Outcome::Opened) lastStatusLine_ = outcome.statusLine;
    if (outcome.kind == PortConnection::Outcome::Refused) {
        lastOpenMessage_ = outcome.message;
        if (onOpenFailure_) onOpenFailure_(outcome.message);
    }
    return connection_.isOpen();
}

std::string LineTerminal::sendCommand(const std::string& cmd) {
    std::string reply = exchange_.sendCommand(cmd);
    // A vanished device is closed, so that the next open starts afresh.
    if (exchange_.linkLost()) connection_.close();
    return reply;
}

}  // namespace tarvelin
