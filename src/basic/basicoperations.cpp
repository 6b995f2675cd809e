#include "basicoperations.h"

#include <cmath>

#include "basicmap.h"
#include "config/busy.h"
#include "config/directory.h"
#include "config/form.h"
#include "config/memoryaccess.h"
#include "config/operations.h"
#include "serial/terminal.h"

namespace tarvelin {

Outcome retrieveBasicParameters(Form& form, MemoryAccess& access, Directory& directory) {
    if (Busy::instance().active()) return Outcome::Busy;
    BusyScope busy;
    Terminal& terminal = directory.terminal();
    Outcome failed;
    const auto id = beginOperation(access, terminal, failed);
    if (!id) return failed;

    // Characters 3 to 12 of the "VM*" reply are the firmware version; the
    // reply is not judged (beyond being no echo).
    const auto version = access.sendUnjudged("VM*");
    if (!version) return failureOf(access);
    form.setText(QStringLiteral("version"),
                 QString::fromLatin1(version->substr(std::min<std::size_t>(2, version->size()), 10)));

    if (!retrieveMap(basicMap(), form, access, *id)) return failureOf(access);
    access.showMessage(QString::fromLatin1(kRetrievedText));
    return Outcome::Done;
}

Outcome updateBasicParameters(Form& form, MemoryAccess& access, Directory& directory) {
    if (Busy::instance().active()) return Outcome::Busy;
    BusyScope busy;
    Terminal& terminal = directory.terminal();
    FlagByteHolder& holder = directory.flagByteHolder();

    StoreSteps steps;
    // The flag byte is shared with the advanced window: until its holder has
    // had it from the controller, fetch it first, so the trusted-IP bits and
    // the bits nobody owns go back as the controller has them.
    steps.beforeEnable = [&](std::int16_t id) {
        if (holder.flagByteFromController()) return true;
        const int flags = access.readMemory(id, kFlagByteAddress);
        if (flags < 0) return false;
        holder.setPLCconfig(static_cast<std::int16_t>(flags));
        holder.setFlagByteFromController(true);
        return true;
    };
    steps.flagByte = [&] {
        const double held = std::nearbyint(holder.getPLCconfig());
        int flags = held >= -32768 && held <= 32767 ? static_cast<int>(held) : 0;
        if (form.isChecked(QStringLiteral("EnablePW(0)")))
            flags |= 2;
        else
            flags &= 253;  // also clears anything above the lowest eight bits
        flags &= 0xFF;
        holder.setPLCconfig(static_cast<std::int16_t>(flags));
        return flags;
    };
    return storeBlock(form, access, terminal, basicMap(), steps);
}

}  // namespace tarvelin
