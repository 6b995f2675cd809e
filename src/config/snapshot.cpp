#include "snapshot.h"

#include "codecs.h"
#include "profile.h"

namespace tarvelin {

namespace {

// An option pair as the window captions it, without the question mark
// ("Use Username/Password"): the flag byte's row of the map names it.
QString pairLabel(const Field& flagRow, const QString& pair) {
    for (const FlagBit& bit : flagRow.bits)
        if (bit.pair == pair) return bit.label.endsWith(QLatin1Char('?')) ? bit.label.chopped(1) : bit.label;
    return pair;
}

QString pairValue(const Form& form, const QString& pair) {
    if (form.isChecked(member(pair, 0))) return QStringLiteral("Yes");
    if (form.isChecked(member(pair, 1))) return QStringLiteral("No");
    return QStringLiteral("(none)");
}

QString levelValue(const Form& form, const QString& control) {
    const int index = form.selectedIndex(control);
    return index < 0 ? QStringLiteral("(none)") : QString::number(index + 1);
}

// A text box's blanks are stored with it, a number's are not.
bool blanksCount(const Field& field) {
    return field.encoding == Encoding::Text16;
}

// A box's value as the list shows it: "(empty)" for nothing; a text whose
// blanks at either end are stored in quotes, so that they can be seen.
QString shown(const QString& text, bool exact) {
    if (exact ? text.isEmpty() : text.trimmed().isEmpty()) return QStringLiteral("(empty)");
    if (exact && text != text.trimmed()) return QLatin1Char('"') + text + QLatin1Char('"');
    return text.trimmed();
}

}  // namespace

void copyBlock(const Form& from, Form& to, const MemoryMap& map) {
    for (const ProfileKey& key : profileKeysOf(map)) {
        switch (key.kind) {
            case KeyKind::Text:
                to.setText(key.name, from.text(key.name));
                break;
            case KeyKind::Level:
                to.setSelectedIndex(key.name, from.selectedIndex(key.name));
                break;
            case KeyKind::Pair:
                for (int index : {0, 1}) to.setChecked(member(key.name, index), false);
                for (int index : {0, 1})
                    if (from.isChecked(member(key.name, index))) to.setChecked(member(key.name, index), true);
                break;
        }
    }
}

QStringList controlsOfKey(const QString& key, const MemoryMap& map) {
    const auto found = findProfileKey(map, key);
    if (found && found->kind == KeyKind::Pair) return {member(key, 0), member(key, 1)};
    return {key};
}

QString valueWithStored(const Form& form, const Field& field) {
    const QString text = form.text(field.control);
    const bool exact = blanksCount(field);
    const auto bytes = encodeFrom(form, field);
    if (!bytes) return shown(text, exact);
    const QString stored = describeBytes(field, *bytes);
    if (stored == (exact ? text : text.trimmed())) return shown(text, exact);
    return shown(text, exact) + QStringLiteral(" (stored as %1)").arg(shown(stored, exact));
}

std::vector<Change> changesBetween(const Form& before, const Form& after, const MemoryMap& map) {
    std::vector<Change> out;
    for (const ProfileKey& key : profileKeysOf(map)) {
        switch (key.kind) {
            case KeyKind::Text: {
                const bool exact = blanksCount(*key.field);
                const QString was = before.text(key.name);
                const QString is = after.text(key.name);
                if (exact ? was != is : was.trimmed() != is.trimmed())
                    out.push_back({key.name, spokenLabel(*key.field), shown(was, exact),
                                   valueWithStored(after, *key.field)});
                break;
            }
            case KeyKind::Level:
                if (before.selectedIndex(key.name) != after.selectedIndex(key.name))
                    out.push_back({key.name, key.field->label, levelValue(before, key.name),
                                   levelValue(after, key.name)});
                break;
            case KeyKind::Pair:
                if (pairValue(before, key.name) != pairValue(after, key.name))
                    out.push_back({key.name, pairLabel(*key.field, key.name), pairValue(before, key.name),
                                   pairValue(after, key.name)});
                break;
        }
    }
    return out;
}

FrozenForm::FrozenForm(Form& live, const MemoryMap& map, const QStringList& checkBoxes) : live_(live) {
    copyBlock(live, values_, map);
    for (const ProfileKey& key : profileKeysOf(map))
        for (const QString& control : controlsOfKey(key.name, map)) frozen_.insert(control);
    for (const QString& box : checkBoxes) {
        frozen_.insert(box);
        values_.setChecked(box, live.isChecked(box));
    }
}

QString FrozenForm::text(const QString& control) const {
    return frozen_.contains(control) ? values_.text(control) : live_.text(control);
}

void FrozenForm::setText(const QString& control, const QString& text) {
    if (frozen_.contains(control))
        values_.setText(control, text);
    else
        live_.setText(control, text);
}

int FrozenForm::selectedIndex(const QString& control) const {
    return frozen_.contains(control) ? values_.selectedIndex(control) : live_.selectedIndex(control);
}

void FrozenForm::setSelectedIndex(const QString& control, int index) {
    if (frozen_.contains(control))
        values_.setSelectedIndex(control, index);
    else
        live_.setSelectedIndex(control, index);
}

bool FrozenForm::isChecked(const QString& control) const {
    return frozen_.contains(control) ? values_.isChecked(control) : live_.isChecked(control);
}

void FrozenForm::setChecked(const QString& control, bool checked) {
    if (frozen_.contains(control))
        values_.setChecked(control, checked);
    else
        live_.setChecked(control, checked);
}

void TeeForm::setText(const QString& control, const QString& text) {
    copy_.setText(control, text);
    live_.setText(control, text);
}

void TeeForm::setSelectedIndex(const QString& control, int index) {
    copy_.setSelectedIndex(control, index);
    live_.setSelectedIndex(control, index);
}

void TeeForm::setChecked(const QString& control, bool checked) {
    copy_.setChecked(control, checked);
    live_.setChecked(control, checked);
}

}  // namespace tarvelin
