// tarvelin-cli identify.
#include "clicommands.h"
#include "clisupport.h"
#include "serial/hostlink.h"

namespace tarvelin::cli {

int identifyCommand(Session& session) {
    if (!session.terminal().openCommPort()) return kPortNotOpen;
    StreamMessageLine messages(session.err(), {QStringLiteral("identify"), 1});
    MemoryAccess access(messages);
    access.setTerminal(session.terminal());
    const auto id = access.identifyStation();
    const auto version = id ? access.sendUnjudged("VM*") : Result<std::string>(id.failure());
    if (!version) {
        messages.finish(version.failure().outcome);
        explainLine(session.err(), version.failure().outcome);
        return kNoResponse;
    }
    print(session.out(), QStringLiteral("Station: %1\nFirmware: %2\n")
                             .arg(*id)
                             .arg(QString::fromLatin1(hostlink::firmwareOf(*version))));
    return kSuccess;
}

}  // namespace tarvelin::cli
