// The simulated controller behind a scripted line: every write is fed to the
// controller, and its replies arrive a few milliseconds of fake time later.
#pragma once

#include "sim/controller.h"
#include "support/scriptedline.h"

namespace tarvelin::test {

class SimulatedLine {
public:
    explicit SimulatedLine(korvex::Config config = {});
    SimulatedLine(const SimulatedLine&) = delete;
    SimulatedLine& operator=(const SimulatedLine&) = delete;

    ScriptedLine& line() { return line_; }
    korvex::Controller& controller() { return controller_; }
    // How long after a write its replies arrive (2 ms unless told). A reply
    // that the controller's faults split into pieces comes 1 ms per piece.
    void setReplyDelay(int ms) { replyDelayMs_ = ms; }
    int replyDelay() const { return replyDelayMs_; }

private:
    ScriptedLine line_;
    korvex::Controller controller_;
    int replyDelayMs_ = 2;
};

}  // namespace tarvelin::test
