#include "comparison.h"

#include "form.h"
#include "headlessform.h"
#include "profile.h"

namespace tarvelin {

namespace {

// What a store of the form would make of one key.
bool sameStored(const Form& a, const Form& b, const QString& key, const MemoryMap& map) {
    if (key == QLatin1String("EnablePW") || key.endsWith(QLatin1String("trusted")))
        return a.isChecked(member(key, 0)) == b.isChecked(member(key, 0));
    for (const Field& field : map) {
        if (field.control != key) continue;
        if (field.encoding == Encoding::AccessLevel) return a.selectedIndex(key) == b.selectedIndex(key);
        return encodeFrom(a, field) == encodeFrom(b, field);
    }
    return false;
}

}  // namespace

std::vector<Difference> differences(const QJsonObject& wanted, const QJsonObject& held,
                                    const MemoryMap& map) {
    HeadlessForm a;
    HeadlessForm b;
    applyBlock(wanted, a, map);
    applyBlock(held, b, map);
    std::vector<Difference> out;
    for (const QString& key : profileKeys(map)) {
        if (!wanted.contains(key)) continue;
        if (!held.contains(key) || !sameStored(a, b, key, map))
            out.push_back({key, wanted.value(key), held.value(key)});
    }
    return out;
}

}  // namespace tarvelin
