// A controller's MAC ID, as the advanced window shows it and as plans,
// profiles and the simulated controller write it.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace tarvelin {

using MacId = std::array<std::uint8_t, 6>;

// Six groups of one or two hex digits, all split by '-' (as the windows show
// it: "2-4B-58-0-C3-5") or all by ':' ("02:4B:58:00:C3:05"); any case.
std::optional<MacId> parseMacId(const QString& text);
// "02:4B:58:00:C3:05".
QString macIdText(const MacId& mac);

}  // namespace tarvelin
