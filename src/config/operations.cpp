#include "operations.h"

#include "busy.h"
#include "form.h"
#include "memoryaccess.h"
#include "serial/terminal.h"

namespace tarvelin {

Outcome failureOf(const MemoryAccess& access) {
    switch (access.lastFailure()) {
        case LineFailure::Invalid:
            return Outcome::InvalidResponse;
        case LineFailure::OutOfStep:
        case LineFailure::Echo:
            return Outcome::OutOfStep;
        case LineFailure::None:
        case LineFailure::NoResponse:
        case LineFailure::LinkLost:
            break;
    }
    return Outcome::NoResponse;
}

std::optional<std::int16_t> beginOperation(MemoryAccess& access, Terminal& terminal, Outcome& failed) {
    failed = Outcome::PortNotOpen;
    if (!terminal.openCommPort()) return std::nullopt;
    access.setTerminal(terminal);
    access.clearMessage();
    access.processEvents();
    auto id = access.identifyStation();
    if (!id) failed = failureOf(access);
    return id;
}

std::optional<QString> verifyRows(const std::vector<WrittenRow>& rows, MemoryAccess& access, std::int16_t id) {
    for (const WrittenRow& row : rows) {
        std::vector<int> read;
        for (std::int16_t address : row.field->addresses()) {
            const int value = access.readMemory(id, address);
            if (value < 0 || Busy::instance().abortRequested()) return QString();
            read.push_back(value);
        }
        if (read != row.bytes)
            return QStringLiteral("Verify failed: %1 reads '%2', wrote '%3'")
                .arg(row.field->label, describeBytes(*row.field, read), describeBytes(*row.field, row.bytes));
    }
    return std::nullopt;
}

Outcome storeBlock(Form& form, MemoryAccess& access, Terminal& terminal, const MemoryMap& map,
                   const StoreSteps& steps) {
    if (auto refusal = validate(form, map)) {
        access.showError(*refusal);
        return Outcome::Refused;
    }
    Outcome failed;
    const auto id = beginOperation(access, terminal, failed);
    if (!id) return failed;
    if (steps.beforeEnable && !steps.beforeEnable(*id)) return failureOf(access);

    std::string enable = kMemoryEnableCommand;
    if (access.checkResponse(terminal.appendFCS(*id, enable)).empty()) return failureOf(access);

    std::vector<WrittenRow> written;
    if (!storeMap(map, form, access, *id, steps.flagByte, &written)) return failureOf(access);

    if (form.isChecked(QString::fromLatin1(kVerifyControl))) {
        if (auto mismatch = verifyRows(written, access, *id)) {
            // A failed read has left its own message; a mismatch says what differs.
            if (mismatch->isEmpty()) return failureOf(access);
            access.showError(*mismatch);
            return Outcome::VerifyMismatch;  // no reboot into settings that are not what was meant
        }
    }
    if (form.isChecked(QString::fromLatin1(kResetControl))) {
        std::string reboot = kRebootCommand;
        access.checkResponse(terminal.appendFCS(*id, reboot));  // its outcome does not stop the store
    }
    access.showMessage(QString::fromLatin1(kStoredText));
    return Outcome::Done;
}

}  // namespace tarvelin
