// What retrieve and store need of a window: its controls by name.
//
// A control is named as in the window's layout, with the member's index in
// brackets for control arrays: "IP(3)", "svrport", "EnablePW(0)", "MAC(5)".
// The windows implement this with their widgets; a headless form implements
// it with plain values. Either way, setting a text runs the control's change
// rule at once, nested inside the assignment, when the text really changes.
#pragma once

#include <QString>

namespace tarvelin {

class Form {
public:
    virtual ~Form() = default;

    // Text of a text box, or caption of a label.
    virtual QString text(const QString& control) const = 0;
    virtual void setText(const QString& control, const QString& text) = 0;

    // Selected position of a drop-down list; -1 when nothing is selected.
    virtual int selectedIndex(const QString& control) const = 0;
    virtual void setSelectedIndex(const QString& control, int index) = 0;

    // Option buttons and check boxes. Choosing an option button clears the
    // other members of its group.
    virtual bool isChecked(const QString& control) const = 0;
    virtual void setChecked(const QString& control, bool checked) = 0;
};

// "IP" and 3 give "IP(3)".
inline QString member(const QString& array, int index) {
    return array + QLatin1Char('(') + QString::number(index) + QLatin1Char(')');
}

}  // namespace tarvelin
