#include "comparison.h"

#include "form.h"
#include "headlessform.h"
#include "profile.h"

namespace tarvelin {

namespace {

// What a store of the form would make of one key.
bool sameStored(const Form& a, const Form& b, const ProfileKey& key) {
    switch (key.kind) {
        case KeyKind::Pair:
            return a.isChecked(member(key.name, 0)) == b.isChecked(member(key.name, 0));
        case KeyKind::Level:
            return a.selectedIndex(key.name) == b.selectedIndex(key.name);
        case KeyKind::Text:
            break;
    }
    return encodeFrom(a, *key.field) == encodeFrom(b, *key.field);
}

}  // namespace

std::vector<Difference> differences(const QJsonObject& wanted, const QJsonObject& held,
                                    const MemoryMap& map) {
    HeadlessForm a;
    HeadlessForm b;
    applyBlock(wanted, a, map);
    applyBlock(held, b, map);
    std::vector<Difference> out;
    for (const ProfileKey& key : profileKeysOf(map)) {
        if (!wanted.contains(key.name)) continue;
        if (!held.contains(key.name) || !sameStored(a, b, key))
            out.push_back({key.name, wanted.value(key.name), held.value(key.name)});
    }
    return out;
}

}  // namespace tarvelin
