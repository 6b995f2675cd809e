// A block's editable values taken at one moment, and what differs between
// two such moments.
//
// A window keeps the values of its last good retrieve (or of the profile it
// loaded, or of its last good store) as a snapshot, and compares its boxes
// with it to mark what the user changed. A store takes a snapshot when "Yes"
// is pressed and writes that, so typing during the store changes nothing that
// goes out.
#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <vector>

#include "headlessform.h"
#include "memorymap.h"

namespace tarvelin {

// Copies the block's editable values (the profile keys: box texts, the access
// level, the option pairs) from one form into another, through its rules.
void copyBlock(const Form& from, Form& to, const MemoryMap& map);

// The controls a key of the block stands for: the box, or both members of an
// option pair.
QStringList controlsOfKey(const QString& key, const MemoryMap& map);

// One key whose value differs: as a person names it, what it was and what it
// is now ("IP Address, octet 4", "5", "7x (stored as 7)").
struct Change {
    QString key;  // the profile key: "IP(0)", "AccessLevel", "EnablePW"
    QString label;
    QString before;
    QString after;
};

// The keys of the block whose values differ between `before` and `after`, in
// the order the block travels. Numbers are compared without the blanks around
// them (a retrieve shows " 9080"), texts with them, since a text is stored
// blanks and all; "7x" differs from "7".
std::vector<Change> changesBetween(const Form& before, const Form& after, const MemoryMap& map);

// A box's text as a person reads it, with what a store makes of it when the
// lenient reading stores another value than the text shows: "7x (stored as
// 7)", "(empty)" for an empty box (stored as 0 where numeric), a text with
// blanks at either end in quotes (" Press 7" as "\" Press 7\"").
QString valueWithStored(const Form& form, const Field& field);

// A form whose block values (and the named check boxes) are those of `live`
// at the moment it is made; everything else reaches `live` itself (the
// message line, the hidden flag byte holder the store updates).
class FrozenForm final : public Form {
public:
    FrozenForm(Form& live, const MemoryMap& map, const QStringList& checkBoxes);

    QString text(const QString& control) const override;
    void setText(const QString& control, const QString& text) override;
    int selectedIndex(const QString& control) const override;
    void setSelectedIndex(const QString& control, int index) override;
    bool isChecked(const QString& control) const override;
    void setChecked(const QString& control, bool checked) override;

private:
    Form& live_;
    HeadlessForm values_;
    QSet<QString> frozen_;
};

// A form that passes everything to `live` and keeps a copy of every value
// put in: what a retrieve read, whatever the user types meanwhile.
class TeeForm final : public Form {
public:
    TeeForm(Form& live, Form& copy) : live_(live), copy_(copy) {}

    QString text(const QString& control) const override { return live_.text(control); }
    void setText(const QString& control, const QString& text) override;
    int selectedIndex(const QString& control) const override { return live_.selectedIndex(control); }
    void setSelectedIndex(const QString& control, int index) override;
    bool isChecked(const QString& control) const override { return live_.isChecked(control); }
    void setChecked(const QString& control, bool checked) override;

private:
    Form& live_;
    Form& copy_;
};

}  // namespace tarvelin
