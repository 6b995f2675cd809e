// The simulated controller behind a scripted line: every write is fed to the
// controller, and its replies arrive 2 ms of fake time later (a reply that the
// controller's faults split into pieces, 1 ms more per piece). Each reply
// comes in a read of its own, and so does the LF of a CR LF line end, as an
// adapter hands over what arrived just after a read.
#pragma once

#include <functional>

#include "sim/controller.h"
#include "support/scriptedline.h"

namespace tarvelin::test {

class SimulatedLine {
public:
    // Sees every write before the controller does; false keeps it from the
    // controller (the adapter was pulled as it went out, say).
    using Hook = std::function<bool(ScriptedLine&, const std::string& written)>;

    explicit SimulatedLine(korvex::Config config = {});
    SimulatedLine(const SimulatedLine&) = delete;
    SimulatedLine& operator=(const SimulatedLine&) = delete;

    ScriptedLine& line() { return line_; }
    korvex::Controller& controller() { return controller_; }
    const korvex::Controller& controller() const { return controller_; }
    void setHook(Hook hook) { hook_ = std::move(hook); }

private:
    ScriptedLine line_;
    korvex::Controller controller_;
    Hook hook_;
};

}  // namespace tarvelin::test
