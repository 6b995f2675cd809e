// The terminal's public operations: the only way anything talks to a controller.
#pragma once

#include <cstdint>
#include <string>

#include "base/outcome.h"
#include "frame.h"

namespace tarvelin {

class Terminal {
public:
    virtual ~Terminal() = default;
    // Opens the port with the current settings; true when it is open afterwards.
    virtual bool openCommPort() = 0;
    // The port name chosen, e.g. "COM5".
    virtual std::string getCommport() = 0;
    // One exchange: the reply without its line end, or why none came
    // (NoResponse, LineLost, SendFailed). A port whose device went away is
    // closed, so that the next open starts afresh.
    virtual Result<std::string> send(const std::string& cmd) = 0;
    // The same as the terminal lists it: the reply, or empty when none came.
    std::string sendCommand(const std::string& cmd) {
        auto reply = send(cmd);
        return reply ? std::move(*reply) : std::string();
    }
    // What has arrived on the line and waits to be read, taken without
    // waiting (empty when nothing has or the port is not open). Between the
    // commands of one operation, nothing but a stray line end may wait.
    virtual std::string takePending() = 0;

    std::string appendFCS(std::int16_t id, std::string& cmd) const { return tarvelin::appendFCS(id, cmd); }
};

}  // namespace tarvelin
