#include "advancedoperations.h"

#include "advancedmap.h"
#include "config/busy.h"
#include "config/codecs.h"
#include "config/directory.h"
#include "config/form.h"
#include "config/memoryaccess.h"
#include "config/operations.h"
#include "serial/terminal.h"

namespace tarvelin {

namespace {

constexpr std::int16_t kFlagByte = 566;
const QString kPLCconfig = QStringLiteral("PLCconfig");

// One step of building the flag byte in `PLCconfig`: set `bit` when the
// pair's "Yes" is chosen, else clear it (which also clears anything above the
// lowest eight bits); the result goes back into the box.
void applyPair(Form& form, const QString& pair, int bit) {
    std::int32_t flags = textToInteger32(form.text(kPLCconfig)).value_or(0);
    if (form.isChecked(member(pair, 0)))
        flags |= bit;
    else
        flags &= ~bit & 0xFF;
    form.setText(kPLCconfig, integerToSignedText(flags & 0xFF));
}

}  // namespace

Outcome retrieveAdvancedParameters(Form& form, MemoryAccess& access, Directory& directory) {
    if (Busy::instance().active()) return Outcome::Busy;
    BusyScope busy;
    Outcome failed;
    const auto id = beginOperation(access, directory.terminal(), failed);
    if (!id) return failed;

    FlagByteHolder& holder = directory.flagByteHolder();
    const auto fromController = [&](const Field&, int) { holder.setFlagByteFromController(true); };
    if (!retrieveMap(advancedMap(), form, access, *id, fromController)) return failureOf(access);
    access.showMessage(QString::fromLatin1(kRetrievedText));
    return Outcome::Done;
}

Outcome updateAdvancedParameters(Form& form, MemoryAccess& access, Directory& directory) {
    if (Busy::instance().active()) return Outcome::Busy;
    BusyScope busy;
    FlagByteHolder& holder = directory.flagByteHolder();

    StoreSteps steps;
    // Until the flag byte has come from the controller, PLCconfig does not hold
    // the password bit or the bits nobody owns: fetch the byte first.
    steps.beforeEnable = [&](std::int16_t id) {
        if (holder.flagByteFromController()) return true;
        const int flags = access.readMemory(id, kFlagByte);
        if (flags < 0) return false;
        form.setText(kPLCconfig, integerToSignedText(flags));
        holder.setFlagByteFromController(true);
        return true;
    };
    steps.flagByte = [&] {
        applyPair(form, QStringLiteral("Tarvelintrusted"), 4);
        applyPair(form, QStringLiteral("MBtrusted"), 16);
        return static_cast<int>(textToInteger(form.text(kPLCconfig)).value_or(0));
    };
    return storeBlock(form, access, directory.terminal(), advancedMap(), steps);
}

}  // namespace tarvelin
