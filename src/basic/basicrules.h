// The basic window's field rules and factory defaults, over its controls.
//
// Each rule reads and writes the controls through the form; an assignment
// that changes a text runs that box's own change rule at once, nested inside
// the assignment, so the two connection counts settle each other.
#pragma once

#include <QString>

namespace tarvelin {

class Form;

// Six network connections are shared between the Tarvelin server (1 to 4)
// and Modbus/TCP (2 to 5). Run on every change of the box's text.
void No_of_Tarvelin_Change(Form& form);
void No_of_MBtcp_Change(Form& form);

// Longest user name and password the controller keeps.
inline constexpr int kMaxCredentialLength = 16;

// Lose-focus rule of `username` and `password`: a longer text placed there is
// cut to its first 16 characters.
void cutTo16(Form& form, const QString& control);

// DefaultButton: the factory set-up of the basic block. Sends nothing.
void loadBasicFactoryDefaults(Form& form);

}  // namespace tarvelin
