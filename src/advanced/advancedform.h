// The advanced window without widgets: its controls as plain values, starting
// from the window's initial texts and running the window's own change rules,
// and the flag byte holder over its PLCconfig.
#pragma once

#include "config/directory.h"
#include "config/headlessform.h"

namespace tarvelin {

// The texts and choices of the advanced window as it is created.
void initAdvancedForm(HeadlessForm& form);

// The advanced window's change rules: offset and averaging limits.
void advancedChangeRule(Form& form, const QString& control);

// `PLCconfig` of a form as the program's holder of the flag byte.
class FormFlagByteHolder final : public FlagByteHolder {
public:
    explicit FormFlagByteHolder(Form& form) : form_(form) {}
    double getPLCconfig() override;
    void setPLCconfig(std::int16_t value) override;
    bool flagByteFromController() const override { return fromController_; }
    void setFlagByteFromController(bool fromController) override { fromController_ = fromController; }

private:
    Form& form_;
    bool fromController_ = false;
};

}  // namespace tarvelin
