#include "operations.h"

#include "busy.h"
#include "directory.h"
#include "form.h"
#include "korvex.h"
#include "memoryaccess.h"
#include "serial/terminal.h"

namespace tarvelin {

Result<std::int16_t> beginOperation(MemoryAccess& access, Terminal& terminal) {
    if (!terminal.openCommPort()) return Failure{Outcome::PortNotOpened, {}};
    access.setTerminal(terminal);
    access.clearMessage();
    access.processEvents();
    return access.identifyStation();
}

Result<void> preReadFlagByte(FlagByteHolder& holder, MemoryAccess& access, std::int16_t id,
                             const std::function<void(int)>& keep) {
    if (holder.flagByteFromController()) return {};
    const auto flags = access.read(id, kFlagByteAddress);
    if (!flags) return flags.failure();
    keep(*flags);
    holder.setFlagByteFromController(true);
    return {};
}

Result<void> verifyRows(const std::vector<WrittenRow>& rows, MemoryAccess& access, std::int16_t id,
                        const OperationContext& context) {
    for (const WrittenRow& row : rows) {
        std::vector<int> read;
        for (std::int16_t address : row.field->addresses()) {
            const auto value = access.read(id, address);
            if (!value) return value.failure();
            if (context.stopRequested()) return Failure{Outcome::Interrupted, {}};
            read.push_back(*value);
        }
        if (read != row.bytes) {
            const QString difference = QStringLiteral("Verify failed: %1 reads '%2', wrote '%3'")
                                           .arg(row.field->label, describeBytes(*row.field, read),
                                                describeBytes(*row.field, row.bytes));
            access.show(Outcome::VerifyMismatch, difference);
            return Failure{Outcome::VerifyMismatch, difference};
        }
    }
    return {};
}

Outcome storeBlock(Form& form, MemoryAccess& access, Directory& directory, const MemoryMap& map,
                   const StoreSteps& steps) {
    Terminal& terminal = directory.terminal();
    const OperationContext& context = directory.context();
    if (auto refusal = validate(form, map)) {
        access.show(Outcome::Refused, *refusal);
        return Outcome::Refused;
    }
    const auto id = beginOperation(access, terminal);
    if (!id) return id.failure().outcome;
    if (steps.beforeEnable) {
        if (auto ready = steps.beforeEnable(*id); !ready) return ready.failure().outcome;
    }
    std::string enable = kMemoryEnableCommand;
    if (auto enabled = access.confirmed(terminal.appendFCS(*id, enable)); !enabled)
        return enabled.failure().outcome;

    std::vector<WrittenRow> written;
    if (auto stored = storeMap(map, form, access, *id, context, steps.flagByte, &written); !stored)
        return stored.failure().outcome;

    if (form.isChecked(QString::fromLatin1(kVerifyControl))) {
        // No reboot into settings that are not what was meant.
        if (auto verified = verifyRows(written, access, *id, context); !verified)
            return verified.failure().outcome;
    }
    if (form.isChecked(QString::fromLatin1(kResetControl))) {
        if (const Outcome rebooted = rebootAfterStore(access, terminal, *id); rebooted != Outcome::Success)
            return rebooted;
    }
    access.show(Outcome::Success, QString::fromLatin1(kStoredText));
    return Outcome::Success;
}

Outcome rebootAfterStore(MemoryAccess& access, Terminal& terminal, std::int16_t id) {
    std::string reboot = kRebootCommand;
    const auto rebooted = access.confirmed(terminal.appendFCS(id, reboot));
    return outcomeOf(rebooted) == Outcome::OutOfStep ? Outcome::OutOfStep : Outcome::Success;
}

}  // namespace tarvelin
