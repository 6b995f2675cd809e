// The controls a profile, a plan and --set may name, described from the
// memory maps and the windows' own rules: what each holds, its factory
// default, and what a window rule makes of it. `tarvelin-cli controls` lists
// them; a name that is none of them is answered with the nearest ones.
#pragma once

#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

#include "config/profile.h"

namespace tarvelin {

struct ControlInfo {
    ProfileKey key;      // the profile key and the row behind it
    QString block;       // "basic" or "advanced"
    QString label;       // as the window names it: "IP Address, octet 1", "Use Username/Password?"
    QString values;      // what it takes: "0 to 255", "Yes or No", "1, 2 or 3", "text of up to 16 characters"
    QJsonValue initial;  // as a profile holds it after the window's Default button
    // The values a window rule keeps as they are, when it changes others the
    // controller could store ("No_of_MBtcp": 2 to 5).
    std::optional<std::pair<std::int64_t, std::int64_t>> ruleKeeps;
};

// Every control of both blocks, basic first, each block in the order it travels.
const std::vector<ControlInfo>& settableControls();

// The array of four boxes a control belongs to ("IP" for IP(3)), or empty.
QString dottedAddressOf(const ControlInfo& control);

// Every name a profile, plan or --set takes: the controls and the dotted addresses.
QStringList settableNames();

// " (nearest: IP, IP(0))": the settable names nearest `name` (another case,
// a letter or two amiss), or empty when none is near.
QString nearestNamesHint(const QString& name);

}  // namespace tarvelin
