// The window objects a retrieve or store reaches, without windows: both
// forms with the windows' own change rules, the flag byte held by the
// advanced form as the advanced window holds it, and the caller's terminal.
// The command line runs its operations on it.
#pragma once

#include "advanced/advancedform.h"
#include "basic/basicform.h"
#include "config/directory.h"
#include "config/headlessform.h"

namespace tarvelin {

class HeadlessDirectory : public Directory {
public:
    // Keeps `terminal`, which must outlive it.
    explicit HeadlessDirectory(Terminal& terminal) : terminal_(terminal) {
        initBasicForm(basic);
        initAdvancedForm(advanced);
        basic.setRule(basicChangeRule);
        advanced.setRule(advancedChangeRule);
    }
    Terminal& terminal() override { return terminal_; }
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
};

}  // namespace tarvelin
