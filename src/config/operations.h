// The frame shared by every retrieve and store of both windows: open the
// port, clear the message line, identify the controller; for a store, enable
// the memory, write the block, optionally read it back, optionally reboot.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "memorymap.h"

namespace tarvelin {

class Form;
class MemoryAccess;
class Terminal;

inline constexpr const char* kVerifyControl = "VerifyAfterSave";

// How a retrieve or store ended (the message line says it to the user; a
// command line turns it into its exit code).
enum class Outcome {
    Done,            // "Successfully Retrieved Setup Data" / "Setup Data Stored to Device"
    Busy,            // another operation is running; nothing was done
    PortNotOpen,     // the port could not be opened; nothing was sent
    NoResponse,      // no reply (or the port went away)
    InvalidResponse, // a reply that does not belong to the command
    OutOfStep,       // stray replies, or the command echoed: "Invalid response from Device!"
    Refused,         // a value does not fit; nothing was sent
    VerifyMismatch,  // the read-back differs from what was written
};
inline constexpr const char* kResetControl = "ResetPLC";

// Opens the port, clears the message line, lets events through once and
// identifies the controller: its station ID, or empty when the operation ends
// here (whatever went wrong is shown already; `failed` says what).
std::optional<std::int16_t> beginOperation(MemoryAccess& access, Terminal& terminal, Outcome& failed);

// The outcome of the exchange that just failed.
Outcome failureOf(const MemoryAccess& access);

struct StoreSteps {
    // Runs after the identification, before "MENABLE"; false ends the store.
    std::function<bool(std::int16_t id)> beforeEnable;
    // The flag byte when its row comes.
    std::function<int()> flagByte;
};

// The whole store of one block. Values that do not fit are refused before
// the port is opened. Reads the block back after the last write when the
// form's "Verify after save" box is ticked, and reboots the controller when
// "Reboot PLC After Save." is ticked (after a good verify only).
Outcome storeBlock(Form& form, MemoryAccess& access, Terminal& terminal, const MemoryMap& map,
                   const StoreSteps& steps);

// What one written row holds, for the read-back.
struct WrittenRow {
    const Field* field;
    std::vector<int> bytes;
};

// Reads every written row back. Empty when all match; otherwise the message
// ("Verify failed: Node Name reads 'Press 7', wrote 'Press 8'"), or an empty
// message when a read failed (its failure is on the message line).
std::optional<QString> verifyRows(const std::vector<WrittenRow>& rows, MemoryAccess& access, std::int16_t id);

}  // namespace tarvelin
