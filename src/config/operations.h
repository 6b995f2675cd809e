// The frame shared by every retrieve and store of both windows: open the
// port, clear the message line, identify the controller; for a store, enable
// the memory, write the block, optionally read it back, optionally reboot.
#pragma once

#include <cstdint>
#include <functional>

#include "base/outcome.h"
#include "memorymap.h"

namespace tarvelin {

class Directory;
class FlagByteHolder;
class Form;
class MemoryAccess;
class OperationContext;
class Terminal;

inline constexpr const char* kVerifyControl = "VerifyAfterSave";
inline constexpr const char* kResetControl = "ResetPLC";
// The question every store is confirmed with, in the windows and on the command line.
inline constexpr const char* kConfirmQuestion =
    "Are you sure you want to overwrite existing Tarvelin configurations?";

// Opens the port, clears the message line, lets events through once and
// identifies the controller: its station ID, or why the operation ends here
// (PortNotOpened, or a failure of the identification, shown already).
Result<std::int16_t> beginOperation(MemoryAccess& access, Terminal& terminal);

struct StoreSteps {
    // Runs after the identification, before "MENABLE"; a failure ends the store.
    std::function<Result<void>(std::int16_t id)> beforeEnable;
    // The flag byte when its row comes.
    std::function<int()> flagByte;
};

// The whole store of one block, on the directory's terminal and in its
// context. Values that do not fit are refused before the port is opened. Reads the block back after the last
// write when the form's "Verify after save" box is ticked, and reboots the controller when "Reboot PLC After
// Save." is ticked (after a good verify only). The reboot's reply does not stop the store, but a line out of
// step at the reboot ends it as out of step: the reboot did not go out, or into replies of no command.
Outcome storeBlock(Form& form, MemoryAccess& access, Directory& directory, const MemoryMap& map,
                   const StoreSteps& steps);

// The reboot after a store. Its reply does not matter, but a line out of
// step does: the reboot did not go out, or went into replies of no command.
Outcome rebootAfterStore(MemoryAccess& access, Terminal& terminal, std::int16_t id);

// The flag byte at 566 is shared by both windows, and each store writes all
// of it. Until the holder has had it from the controller, it holds neither
// the other window's bits nor those nobody owns: read it first, hand it to
// `keep`, and note that it came from the controller. The failure of the read
// is on the message line.
Result<void> preReadFlagByte(FlagByteHolder& holder, MemoryAccess& access, std::int16_t id,
                             const std::function<void(int flags)>& keep);

// Reads every written row back: done when all match; VerifyMismatch with the
// difference on the message line ("Verify failed: Node Name reads 'Press 7',
// wrote 'Press 8'"); or the failure of a read; Interrupted after the read at
// which the context asks to stop.
Result<void> verifyRows(const std::vector<WrittenRow>& rows, MemoryAccess& access, std::int16_t id,
                        const OperationContext& context);

}  // namespace tarvelin
