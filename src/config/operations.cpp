#include "operations.h"

#include "busy.h"
#include "directory.h"
#include "form.h"
#include "korvex.h"
#include "memoryaccess.h"
#include "serial/terminal.h"

namespace tarvelin {

std::optional<std::int16_t> beginOperation(MemoryAccess& access, Terminal& terminal) {
    if (!terminal.openCommPort()) {
        access.setOutcome(Outcome::PortNotOpened);
        return std::nullopt;
    }
    access.setTerminal(terminal);
    access.clearMessage();
    access.processEvents();
    return access.identifyStation();
}

bool preReadFlagByte(FlagByteHolder& holder, MemoryAccess& access, std::int16_t id,
                     const std::function<void(int)>& keep) {
    if (holder.flagByteFromController()) return true;
    const int flags = access.readMemory(id, kFlagByteAddress);
    if (flags < 0) return false;
    keep(flags);
    holder.setFlagByteFromController(true);
    return true;
}

Outcome verifyRows(const std::vector<WrittenRow>& rows, MemoryAccess& access, std::int16_t id) {
    for (const WrittenRow& row : rows) {
        std::vector<int> read;
        for (std::int16_t address : row.field->addresses()) {
            const int value = access.readMemory(id, address);
            if (value < 0) return access.lastOutcome();
            if (Busy::instance().abortRequested()) return Outcome::Interrupted;
            read.push_back(value);
        }
        if (read != row.bytes) {
            access.showError(QStringLiteral("Verify failed: %1 reads '%2', wrote '%3'")
                                 .arg(row.field->label, describeBytes(*row.field, read),
                                      describeBytes(*row.field, row.bytes)));
            return Outcome::VerifyMismatch;
        }
    }
    return Outcome::Success;
}

Outcome storeBlock(Form& form, MemoryAccess& access, Terminal& terminal, const MemoryMap& map,
                   const StoreSteps& steps) {
    if (auto refusal = validate(form, map)) {
        access.showError(*refusal);
        return Outcome::Refused;
    }
    const auto id = beginOperation(access, terminal);
    if (!id) return access.lastOutcome();
    if (steps.beforeEnable && !steps.beforeEnable(*id)) return access.lastOutcome();

    std::string enable = kMemoryEnableCommand;
    if (access.checkResponse(terminal.appendFCS(*id, enable)).empty()) return access.lastOutcome();

    std::vector<WrittenRow> written;
    if (!storeMap(map, form, access, *id, steps.flagByte, &written)) return access.lastOutcome();

    if (form.isChecked(QString::fromLatin1(kVerifyControl))) {
        // No reboot into settings that are not what was meant.
        if (const Outcome verified = verifyRows(written, access, *id); verified != Outcome::Success)
            return verified;
    }
    if (form.isChecked(QString::fromLatin1(kResetControl))) {
        std::string reboot = kRebootCommand;
        access.checkResponse(terminal.appendFCS(*id, reboot));  // its reply does not stop the store ...
        // ... but a line out of step does: the reboot did not go out, or into replies of no command.
        if (access.lastOutcome() == Outcome::OutOfStep) return Outcome::OutOfStep;
    }
    access.showMessage(QString::fromLatin1(kStoredText));
    return Outcome::Success;
}

}  // namespace tarvelin
