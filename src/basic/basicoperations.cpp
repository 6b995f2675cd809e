#include "basicoperations.h"

#include <cmath>

#include "basicmap.h"
#include "config/busy.h"
#include "config/directory.h"
#include "config/form.h"
#include "config/memoryaccess.h"
#include "config/operations.h"
#include "serial/hostlink.h"
#include "serial/terminal.h"

namespace tarvelin {

Outcome retrieveBasicParameters(Form& form, MemoryAccess& access, Directory& directory) {
    OperationContext& context = directory.context();
    if (context.busy().active()) return Outcome::Busy;
    BusyScope busy(context);
    const auto id = beginOperation(access, directory.terminal());
    if (!id) return id.failure().outcome;

    // The "VM*" reply is not judged.
    const auto version = access.sendUnjudged("VM*");
    if (!version) return version.failure().outcome;
    form.setText(QStringLiteral("version"), QString::fromLatin1(hostlink::firmwareOf(*version)));

    if (auto read = retrieveMap(basicMap(), form, access, *id, context); !read) return read.failure().outcome;
    access.show(Outcome::Success, QString::fromLatin1(kRetrievedText));
    return Outcome::Success;
}

Outcome updateBasicParameters(Form& form, MemoryAccess& access, Directory& directory) {
    if (directory.context().busy().active()) return Outcome::Busy;
    BusyScope busy(directory.context());
    FlagByteHolder& holder = directory.flagByteHolder();

    StoreSteps steps;
    steps.beforeEnable = [&](std::int16_t id) {
        return preReadFlagByte(holder, access, id,
                               [&](int flags) { holder.setPLCconfig(static_cast<std::int16_t>(flags)); });
    };
    steps.flagByte = [&] {
        const double held = std::nearbyint(holder.getPLCconfig());
        const int flags =
            composeFlagByte(basicMap(), form, held >= -32768 && held <= 32767 ? static_cast<int>(held) : 0);
        holder.setPLCconfig(static_cast<std::int16_t>(flags));
        return flags;
    };
    return storeBlock(form, access, directory, basicMap(), steps);
}

}  // namespace tarvelin
