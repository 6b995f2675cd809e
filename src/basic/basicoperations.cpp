#include "basicoperations.h"

#include <cmath>

#include "basicmap.h"
#include "config/busy.h"
#include "config/codecs.h"
#include "config/directory.h"
#include "config/form.h"
#include "config/memoryaccess.h"
#include "serial/terminal.h"

namespace tarvelin {

void retrieveBasicParameters(Form& form, MemoryAccess& access, Directory& directory) {
    if (Busy::instance().active()) return;
    BusyScope busy;
    Terminal& terminal = directory.terminal();
    if (!terminal.openCommPort()) return;
    access.setTerminal(terminal);
    access.clearMessage();
    access.processEvents();

    const auto id = access.identifyStation();
    if (!id) return;

    // Characters 3 to 12 of the "VM*" reply are the firmware version; the
    // reply is not judged.
    const std::string version = terminal.sendCommand("VM*");
    form.setText(QStringLiteral("version"), QString::fromLatin1(version.substr(std::min<std::size_t>(2, version.size()), 10)));

    if (!retrieveMap(basicMap(), form, access, *id)) return;
    access.showMessage(QString::fromLatin1(kRetrievedText));
}

void updateBasicParameters(Form& form, MemoryAccess& access, Directory& directory) {
    if (Busy::instance().active()) return;
    BusyScope busy;
    // Values that do not fit are refused before the port is even opened.
    if (auto refusal = validate(form, basicMap())) {
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

    // The flag byte is shared with the advanced window: when its holder has
    // not had it from the controller yet, fetch it first, so the trusted-IP
    // bits and the bits nobody owns go back as the controller has them.
    FlagByteHolder& holder = directory.flagByteHolder();
    if (!holder.flagByteFromController()) {
        const int flags = access.readMemory(*id, kFlagByteAddress);
        if (flags < 0) return;
        holder.setPLCconfig(static_cast<std::int16_t>(flags));
        holder.setFlagByteFromController(true);
    }

    std::string enable = kMemoryEnableCommand;
    if (access.checkResponse(terminal.appendFCS(*id, enable)).empty()) return;

    const auto flagByte = [&] {
        double held = std::nearbyint(holder.getPLCconfig());
        int flags = held >= 0 && held <= 255 ? static_cast<int>(held) : 0;
        if (form.isChecked(QStringLiteral("EnablePW(0)")))
            flags |= 2;
        else
            flags &= 253;
        holder.setPLCconfig(static_cast<std::int16_t>(flags));
        return flags;
    };
    if (!storeMap(basicMap(), form, access, *id, flagByte)) return;

    if (form.isChecked(QStringLiteral("ResetPLC"))) {
        std::string reboot = kRebootCommand;
        access.checkResponse(terminal.appendFCS(*id, reboot));  // its outcome does not stop the store
    }
    access.showMessage(QString::fromLatin1(kStoredText));
}

}  // namespace tarvelin
