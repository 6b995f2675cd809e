// The advanced window's field rules and factory defaults, over its controls.
#pragma once

#include <QString>

namespace tarvelin {

class Form;

// Change rule of every `ADzcal` and `DAzcal` member: above 100 becomes "100",
// below -100 becomes "-100"; any other text stays exactly as typed.
void offsetLimit(Form& form, const QString& control);

// Change rule of `MovAvgNo`: below 1 becomes "1", above 9 becomes "9".
void averagingLimit(Form& form);

// The maker's identifier octet as the MAC boxes show it by default ("4B").
QString makerOctetText(int position);

// DefaultButton: the factory set-up of the advanced block. Sends nothing and
// leaves `PLCconfig`, `ResetPLC`, `messageLabel` and the last three MAC boxes
// alone.
void loadAdvancedFactoryDefaults(Form& form);

}  // namespace tarvelin
