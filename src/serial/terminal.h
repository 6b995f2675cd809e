// The terminal's public operations: the only way anything talks to a controller.
#pragma once

#include <cstdint>
#include <string>

#include "frame.h"

namespace tarvelin {

class Terminal {
public:
    virtual ~Terminal() = default;
    // Opens the port with the current settings; true when it is open afterwards.
    virtual bool openCommPort() = 0;
    // The port name chosen, e.g. "COM5".
    virtual std::string getCommport() = 0;
    // One exchange; the reply without its line end, or empty when none came.
    virtual std::string sendCommand(const std::string& cmd) = 0;
    // True when the last exchange ended because the device went away.
    virtual bool linkLost() const = 0;
    // What has arrived on the line and waits to be read, taken without
    // waiting (empty when nothing has or the port is not open). Between the
    // commands of one operation, nothing but a stray line end may wait.
    virtual std::string takePending() = 0;

    std::string appendFCS(std::int16_t id, std::string& cmd) const { return tarvelin::appendFCS(id, cmd); }
};

}  // namespace tarvelin
