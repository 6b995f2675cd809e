// Shared by the reliability tests and the soak tool: the edits they make in
// the two windows, and what a store of them should write.
#pragma once

#include <QString>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "app/blockplan.h"

namespace korvex {
class PtySimulator;
}

namespace tarvelin {
class Form;
}

namespace tarvelin::test {

// Fills the basic or advanced window with values that differ from the
// distinctive image and from the initial texts, ticks "Reboot PLC After Save."
void editBasic(Form& form);
void editAdvanced(Form& form);

// One write of a store: the address and the byte.
struct Write {
    int address;
    int value;
    bool operator==(const Write&) const = default;
};

// The writes of a complete store of `block`, in order, from the form's texts
// and the flag byte; empty when a text is not a plain number.
std::vector<Write> storeWrites(Block block, const Form& form, int flagByte);

// What the flag byte of a store of `block` will be: from PLCconfig (when
// `held` is given) or from the controller's byte, and the window's switches.
int storeFlagByte(Block block, const Form& form, int held);

// The number PLCconfig holds ("00", " 22").
int heldFlagByte(const Form& advancedForm);

// Pulls the adapter (closes the simulator's side of its pseudo-terminal) from
// a thread of its own when told to: the simulator's reader, which sees the
// command to pull it at, cannot stop itself.
class Puller {
public:
    // `removeName`: the adapter's name (a link made by makeLink) goes too.
    explicit Puller(korvex::PtySimulator& sim, bool removeName = false);
    ~Puller();
    Puller(const Puller&) = delete;
    Puller& operator=(const Puller&) = delete;

    // Asks for the pull; returns at once (safe on the simulator's reader).
    void pull();
    // Waits until the pull asked for is done; at once when none was asked.
    void waitPulled();
    bool pulled();

private:
    korvex::PtySimulator& sim_;
    const bool removeName_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool go_ = false;
    bool quit_ = false;
    bool pulled_ = false;
    std::thread thread_;
};

}  // namespace tarvelin::test
