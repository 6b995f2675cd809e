#include "controls.h"

#include <algorithm>

#include "advanced/advancedform.h"
#include "advanced/advancedmap.h"
#include "advanced/advancedrules.h"
#include "basic/basicform.h"
#include "basic/basicmap.h"
#include "basic/basicrules.h"
#include "config/codecs.h"
#include "config/headlessform.h"

namespace tarvelin {

namespace {

// A block as its window has it: the map, the form as it is created, the
// change rules and the Default button.
struct WindowBlock {
    const char* name;
    const MemoryMap& (*map)();
    void (*init)(HeadlessForm&);
    void (*rule)(Form&, const QString&);
    void (*defaults)(Form&);
};

const WindowBlock kBlocks[] = {
    {"basic", basicMap, initBasicForm, basicChangeRule, loadBasicFactoryDefaults},
    {"advanced", advancedMap, initAdvancedForm, advancedChangeRule, loadAdvancedFactoryDefaults},
};

void openWindow(const WindowBlock& block, HeadlessForm& form) {
    block.init(form);
    form.setRule(block.rule);
}

// Whether the window keeps `value` in the control as it is given.
bool keeps(const WindowBlock& block, const ProfileKey& key, std::int64_t value) {
    HeadlessForm form;
    openWindow(block, form);
    applyBlock({{key.name, static_cast<double>(value)}}, form, block.map());
    return readWholeNumber(form.text(key.name)) == value;
}

// The values from low to high a window rule keeps, when it changes some of
// them. The rules the windows have limit a range, so a range whose ends and
// 0 are kept is taken as kept whole; otherwise each value is tried (at most
// a thousand).
std::optional<std::pair<std::int64_t, std::int64_t>> ruleKeeps(const WindowBlock& block,
                                                               const ProfileKey& key) {
    const Field& field = *key.field;
    if (key.kind != KeyKind::Text || field.encoding == Encoding::Text16) return std::nullopt;
    const auto kept = [&](std::int64_t v) { return keeps(block, key, v); };
    if (kept(field.low) && kept(field.high) && (field.low > 0 || field.high < 0 || kept(0)))
        return std::nullopt;
    if (field.high - field.low > 1000) return std::nullopt;
    std::optional<std::pair<std::int64_t, std::int64_t>> range;
    for (std::int64_t v = field.low; v <= field.high; ++v)
        if (kept(v)) range = std::pair{range ? range->first : v, v};
    return range;
}

QString valuesOf(const ProfileKey& key) {
    switch (key.kind) {
        case KeyKind::Level:
            return QStringLiteral("1, 2 or 3 (Programmer, User, Visitor)");
        case KeyKind::Pair:
            return QStringLiteral("Yes or No");
        case KeyKind::Text:
            break;
    }
    if (key.field->encoding == Encoding::Text16) return QStringLiteral("text of up to 16 characters");
    return QStringLiteral("%1 to %2").arg(key.field->low).arg(key.field->high);
}

QString labelOf(const ProfileKey& key) {
    if (key.kind != KeyKind::Pair) return spokenLabel(*key.field);
    for (const FlagBit& bit : key.field->bits)
        if (bit.pair == key.name) return bit.label;
    return key.field->label;
}

std::vector<ControlInfo> describe() {
    std::vector<ControlInfo> controls;
    for (const WindowBlock& block : kBlocks) {
        HeadlessForm factory;
        openWindow(block, factory);
        block.defaults(factory);
        const QJsonObject initial = blockToJson(factory, block.map());
        for (const ProfileKey& key : profileKeysOf(block.map()))
            controls.push_back({key, QString::fromLatin1(block.name), labelOf(key), valuesOf(key),
                                initial.value(key.name), ruleKeeps(block, key)});
    }
    return controls;
}

// Letters to change, add or drop to turn one name into the other, ignoring case.
int distance(const QString& a, const QString& b) {
    std::vector<int> row(static_cast<std::size_t>(b.size()) + 1);
    for (std::size_t j = 0; j < row.size(); ++j) row[j] = static_cast<int>(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = static_cast<int>(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const auto at = static_cast<std::size_t>(j);
            const bool same = a.at(i - 1).toCaseFolded() == b.at(j - 1).toCaseFolded();
            const int next = std::min({row[at] + 1, row[at - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = row[at];
            row[at] = next;
        }
    }
    return row.back();
}

}  // namespace

const std::vector<ControlInfo>& settableControls() {
    static const std::vector<ControlInfo> controls = describe();
    return controls;
}

QString dottedAddressOf(const ControlInfo& control) {
    if (control.key.field->encoding != Encoding::Octet) return QString();
    return control.key.name.left(control.key.name.indexOf(QLatin1Char('(')));
}

QStringList settableNames() {
    QStringList names;
    for (const WindowBlock& block : kBlocks)
        for (const ProfileKey& key : profileKeysOf(block.map())) {
            const QString address = key.name.left(key.name.indexOf(QLatin1Char('(')));
            if (key.field->encoding == Encoding::Octet && !names.contains(address)) names << address;
            names << key.name;
        }
    return names;
}

QString nearestNamesHint(const QString& name) {
    const int near = std::max(2, static_cast<int>(name.size() / 3));
    int best = near + 1;
    QStringList nearest;
    for (const QString& candidate : settableNames()) {
        const int d = distance(name, candidate);
        if (d < best) {
            nearest.clear();
            best = d;
        }
        if (d == best) nearest << candidate;
    }
    if (nearest.isEmpty() || nearest.size() > 4 || nearest.contains(name)) return QString();
    return QStringLiteral(" (nearest: %1)").arg(nearest.join(QStringLiteral(", ")));
}

}  // namespace tarvelin
