// The ways a line or a controller misbehaves, and the bench they are played
// on: both configuration windows without widgets (their forms with the
// windows' change rules, message lines and command layers) over the simulated
// controller on a scripted line, so that retrieve and store run as in the
// windows, on fake time.
#pragma once

#include "commissioning/headlessdirectory.h"
#include "config/memoryaccess.h"
#include "serial/lineterminal.h"
#include "support/messageline.h"
#include "support/simline.h"

namespace tarvelin::test {

enum class Op { RetrieveBasic, StoreBasic, RetrieveAdvanced, StoreAdvanced };
inline bool isBasic(Op op) {
    return op == Op::RetrieveBasic || op == Op::StoreBasic;
}
inline bool isStore(Op op) {
    return op == Op::StoreBasic || op == Op::StoreAdvanced;
}

// Each strikes at the byte `address` where it names one ("...At").
enum class Fault {
    None,
    Busy,            // another operation runs
    PortGone,        // the adapter went away while idle and is not back: the port cannot be opened
    Silent,          // the controller answers nothing, not even ENQ
    IdentifyTwice,   // "IR*" unanswered twice, then answered
    IdentifyThrice,  // "IR*" unanswered three times
    NoVersion,       // "VM*" unanswered
    NoEnable,        // "MENABLE" unanswered
    NoReboot,        // the reboot unanswered
    SilentAt,        // no reply to the read or write there (a write is carried out all the same)
    OtherStationAt,  // another station's reply there
    TwiceAt,         // the reply there comes twice
    LateAt,          // the reply there is held back until behind the next reply
    LostAt,          // the adapter is pulled as the command there goes out ("IR*" at -1)
    QuitAt,          // the program is asked to quit as the command there goes out
    IgnoreWriteAt,   // the write there is acknowledged but not stored
    Unfit,           // the box of that byte holds a value that does not fit
    CrLf,            // replies end in CR LF
    Split,           // every reply comes in three pieces
    Loopback,        // a loopback plug: the line sends back what it gets, nothing else
    Echo,            // an echoing converter in front of a working controller
    DamagedAt,       // the byte of the read reply there has a digit that is no hex digit
    BadFcsAt,        // the reply there carries a wrong check sum (nothing to see in replies without one)
};

class Bench final : public HeadlessDirectory {
public:
    // Station 1, its memory the distinctive image (support/oracle.h).
    Bench();

    Outcome run(Op op);
    // Puts the fault on the line, the controller or the form of `op`.
    void apply(Op op, Fault fault, int address);
    // Takes every fault away and lets whatever is still on its way arrive and go.
    void settle();

    HeadlessForm& form(Op op) { return isBasic(op) ? basic : advanced; }
    RecordingMessageLine& messages(Op op) { return isBasic(op) ? basicLine : advancedLine; }
    MemoryAccess& access(Op op) { return isBasic(op) ? basicAccess : advancedAccess; }
    korvex::Controller& controller() { return sim.controller(); }
    ScriptedLine& line() { return sim.line(); }

    SimulatedLine sim;
    LineTerminal lineTerminal;
    RecordingMessageLine basicLine;
    RecordingMessageLine advancedLine;
    MemoryAccess basicAccess{basicLine};
    MemoryAccess advancedAccess{advancedLine};

private:
    bool busy_ = false;
};

}  // namespace tarvelin::test
