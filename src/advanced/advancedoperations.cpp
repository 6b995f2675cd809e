#include "advancedoperations.h"

#include "advancedmap.h"
#include "config/busy.h"
#include "config/codecs.h"
#include "config/directory.h"
#include "config/form.h"
#include "config/memoryaccess.h"
#include "serial/terminal.h"

namespace tarvelin {

namespace {

constexpr std::int16_t kFlagByte = 566;

// One step of building the flag byte in `PLCconfig`: set `bit` when the
// pair's "Yes" is chosen, else clear it; the result goes back into the box.
void applyPair(Form& form, const QString& pair, int bit) {
    std::int32_t flags = textToInteger32(form.text(QStringLiteral("PLCconfig"))).value_or(0);
    if (form.isChecked(member(pair, 0)))
        flags |= bit;
    else
        flags &= ~bit & 0xFF;
    form.setText(QStringLiteral("PLCconfig"), integerToSignedText(flags));
}

}  // namespace

void retrieveAdvancedParameters(Form& form, MemoryAccess& access, Directory& directory) {
    if (Busy::instance().active()) return;
    BusyScope busy;
    Terminal& terminal = directory.terminal();
    if (!terminal.openCommPort()) return;
    access.setTerminal(terminal);
    access.clearMessage();
    access.processEvents();

    const auto id = access.identifyStation();
    if (!id) return;

    FlagByteHolder& holder = directory.flagByteHolder();
    const auto fromController = [&](const Field&, int) { holder.setFlagByteFromController(true); };
    if (!retrieveMap(advancedMap(), form, access, *id, fromController)) return;
    access.showMessage(QString::fromLatin1(kRetrievedText));
}

void updateAdvancedParameters(Form& form, MemoryAccess& access, Directory& directory) {
    if (Busy::instance().active()) return;
    BusyScope busy;
    if (auto refusal = validate(form, advancedMap())) {
        access.showError(*refusal);
        return;
    }
    Terminal& terminal = directory.terminal();
    if (!terminal.openCommPort()) return;
    access.setTerminal(terminal);
    access.clearMessage();
    access.processEvents();

    const auto id = access.identifyStation();
    if (!id) return;

    // Until the flag byte has come from the controller, PLCconfig does not hold
    // the password bit or the bits nobody owns: fetch the byte first.
    FlagByteHolder& holder = directory.flagByteHolder();
    if (!holder.flagByteFromController()) {
        const int flags = access.readMemory(*id, kFlagByte);
        if (flags < 0) return;
        form.setText(QStringLiteral("PLCconfig"), integerToSignedText(flags));
        holder.setFlagByteFromController(true);
    }

    std::string enable = kMemoryEnableCommand;
    if (access.checkResponse(terminal.appendFCS(*id, enable)).empty()) return;

    const auto flagByte = [&] {
        applyPair(form, QStringLiteral("Tarvelintrusted"), 4);
        applyPair(form, QStringLiteral("MBtrusted"), 16);
        return static_cast<int>(textToInteger(form.text(QStringLiteral("PLCconfig"))).value_or(0));
    };
    if (!storeMap(advancedMap(), form, access, *id, flagByte)) return;

    if (form.isChecked(QStringLiteral("ResetPLC"))) {
        std::string reboot = kRebootCommand;
        access.checkResponse(terminal.appendFCS(*id, reboot));  // its outcome does not stop the store
    }
    access.showMessage(QString::fromLatin1(kStoredText));
}

}  // namespace tarvelin
