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

Result<std::string> LineTerminal::send(const std::string& cmd) {
    auto reply = exchange_.send(cmd);
    // A vanished device is closed, so that the next open starts afresh.
    if (!reply && reply.failure().outcome == Outcome::LineLost) connection_.close();
    return reply;
}

}  // namespace tarvelin
