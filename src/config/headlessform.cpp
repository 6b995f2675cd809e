#include "headlessform.h"

namespace tarvelin {

void HeadlessForm::setText(const QString& control, const QString& text) {
    if (texts_.contains(control) && texts_.value(control) == text) return;  // no change, no rule
    texts_[control] = text;
    if (rule_) rule_(*this, control);
}

void HeadlessForm::setChecked(const QString& control, bool checked) {
    if (!checked) {
        checked_.remove(control);
        return;
    }
    // "EnablePW(0)": the members of one array form one option group.
    const int bracket = control.indexOf(QLatin1Char('('));
    if (bracket > 0) {
        const QString group = control.left(bracket + 1);
        for (auto it = checked_.begin(); it != checked_.end();)
            it = it->startsWith(group) ? checked_.erase(it) : std::next(it);
    }
    checked_.insert(control);
}

}  // namespace tarvelin
