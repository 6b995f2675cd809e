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
    OperationContext& context = directory.context();
    if (context.busy().active()) return Outcome::Busy;
    BusyScope busy(context);
    const auto id = beginOperation(access, directory.terminal());
    if (!id) return id.failure().outcome;

    FlagByteHolder& holder = directory.flagByteHolder();
    const auto fromController = [&](const Field&, int) { holder.setFlagByteFromController(true); };
    if (auto read = retrieveMap(advancedMap(), form, access, *id, context, fromController); !read)
        return read.failure().outcome;
    access.show(Outcome::Success, QString::fromLatin1(kRetrievedText));
    return Outcome::Success;
}

Outcome updateAdvancedParameters(Form& form, MemoryAccess& access, Directory& directory) {
    if (directory.context().busy().active()) return Outcome::Busy;
    BusyScope busy(directory.context());
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
    return storeBlock(form, access, directory, advancedMap(), steps);
}

}  // namespace tarvelin
