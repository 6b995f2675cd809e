// tarvelin-cli send: one exchange as the terminal does it.
#include "clicommands.h"
#include "clisupport.h"
#include "serial/replytext.h"

namespace tarvelin::cli {

int sendCommand(Session& session, const SendOptions& options) {
    std::string cmd = options.text.toLatin1().toStdString();
    if (options.frame) session.terminal().appendFCS(static_cast<std::int16_t>(*options.frame), cmd);
    if (!session.terminal().openCommPort()) return kPortNotOpen;
    const std::string reply = session.terminal().sendCommand(cmd);
    if (reply.empty()) {
        print(session.err(), QStringLiteral("(Warning: No Response from PLC)\n"));
        return kNoResponse;
    }
    print(session.out(), readableReply(reply) + "\n");
    return kSuccess;
}

}  // namespace tarvelin::cli
