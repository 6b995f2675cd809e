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

const QString kPLCconfig = QStringLiteral("PLCconfig");

}  // namespace

Outcome retrieveAdvancedParameters(Form& form, MemoryAccess& access, Directory& directory) {
    if (Busy::instance().active()) return Outcome::Busy;
    BusyScope busy;
    const auto id = beginOperation(access, directory.terminal());
    if (!id) return access.lastOutcome();

    FlagByteHolder& holder = directory.flagByteHolder();
    const auto fromController = [&](const Field&, int) { holder.setFlagByteFromController(true); };
    if (!retrieveMap(advancedMap(), form, access, *id, fromController)) return access.lastOutcome();
    access.showMessage(QString::fromLatin1(kRetrievedText));
    return Outcome::Success;
}

Outcome updateAdvancedParameters(Form& form, MemoryAccess& access, Directory& directory) {
    if (Busy::instance().active()) return Outcome::Busy;
    BusyScope busy;
    FlagByteHolder& holder = directory.flagByteHolder();

    StoreSteps steps;
    steps.beforeEnable = [&](std::int16_t id) {
        return preReadFlagByte(holder, access, id,
                               [&](int flags) { form.setText(kPLCconfig, integerToSignedText(flags)); });
    };
    steps.flagByte = [&] {
        const int flags =
            composeFlagByte(advancedMap(), form, textToInteger32(form.text(kPLCconfig)).value_or(0));
        form.setText(kPLCconfig, integerToSignedText(flags));
        return flags;
    };
    return storeBlock(form, access, directory.terminal(), advancedMap(), steps);
}

}  // namespace tarvelin
