// The basic window without widgets: its controls as plain values, starting
// from the window's initial texts and running the window's own change rules.
#pragma once

#include "config/headlessform.h"

namespace tarvelin {

// The texts and choices of the basic window as it is created.
void initBasicForm(HeadlessForm& form);

// The basic window's change rules, for a headless form: the connection split
// and the 16-character cut of user name and password.
void basicChangeRule(Form& form, const QString& control);

}  // namespace tarvelin
