#include "lineterminal.h"

namespace tarvelin {

LineTerminal::LineTerminal(SerialLine& line, const Clock& clock, PortChoice choice, EnvLookup env)
    : choice_(std::move(choice)), connection_(line, std::move(env)), exchange_(line, clock) {}

bool LineTerminal::openCommPort() {
    const auto attempt = connection_.open(choice_);
    if (attempt.kind == PortConnection::OpenAttempt::Refused) {
        lastOpenMessage_ = attempt.message;
        if (onOpenFailure_) onOpenFailure_(attempt.message);
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
