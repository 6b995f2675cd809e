// What every Korvex-PLC has in common, whoever talks to it: the windows, the
// command line and the simulated controller take these from here.
#pragma once

#include <array>
#include <cstdint>

namespace tarvelin {

// The configuration flag byte, shared by both windows: its bit of value 2 is
// the basic window's password switch, its bits of values 4 and 16 the
// advanced window's trusted-IP switches; the other bits belong to nobody.
inline constexpr std::int16_t kFlagByteAddress = 566;

// The maker's identifier: one fixed, locally administered OUI, the first
// three bytes of every controller's MAC ID.
inline constexpr std::array<std::uint8_t, 3> kMakerId{0x02, 0x4B, 0x58};

}  // namespace tarvelin
