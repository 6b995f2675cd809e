// The window objects a retrieve or store reaches, without windows: both
// forms with the windows' own change rules, the flag byte held by the
// advanced form as the advanced window holds it, the caller's terminal, and a
// context of its own. The command line runs its operations on it.
#pragma once

#include "advanced/advancedform.h"
#include "basic/basicform.h"
#include "config/busy.h"
#include "config/directory.h"
#include "config/headlessform.h"

namespace tarvelin {

class HeadlessDirectory : public Directory {
public:
    // Keeps `terminal`, which must outlive it. `stopToken`, when given, is
    // asked after every command of an operation: true stops it there.
    explicit HeadlessDirectory(Terminal& terminal, std::function<bool()> stopToken = {})
        : terminal_(terminal), context_(std::move(stopToken)) {
        initBasicForm(basic);
        initAdvancedForm(advanced);
        basic.setRule(basicChangeRule);
        advanced.setRule(advancedChangeRule);
    }
    Terminal& terminal() override { return terminal_; }
    OperationContext& context() override { return context_; }
    void showTerminal() override {}
    void showAdvanced() override {}
    FlagByteHolder& flagByteHolder() override { return holder; }
    void askOverwrite(std::int16_t) override {}
    void displayCommport() override {}

    HeadlessForm basic;
    HeadlessForm advanced;
    FormFlagByteHolder holder{advanced};

private:
    Terminal& terminal_;
    OperationContext context_;
};

}  // namespace tarvelin
