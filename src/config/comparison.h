// What differs between the values a profile or a plan wants and what a
// controller holds.
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <vector>

#include "memorymap.h"

namespace tarvelin {

struct Difference {
    QString key;        // the control: "hostName", "IP(0)"
    QJsonValue wanted;  // as the profile or plan gives it
    QJsonValue held;    // as a retrieve gives it (null when not read)
};

// The keys of `wanted` (a checked block of `map`), in the order the block
// travels, whose value would store other bytes than `held` (the controller's
// block as blockToJson gives it) holds: "9080" and " 9080" are the same port,
// "65535" and "-1" the same gain word, an option pair left open (null) is "No".
std::vector<Difference> differences(const QJsonObject& wanted, const QJsonObject& held, const MemoryMap& map);

}  // namespace tarvelin
