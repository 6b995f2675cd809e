// Host-link frames: "@", station ID, command text, FCS, "*".
#pragma once

#include <cstdint>
#include <string>

namespace tarvelin {

// XOR of the single-byte codes of every character of `cmd`; 0 for an empty text.
std::int16_t computeFCS(const std::string& cmd);

// Replaces `cmd` with the complete frame for station `id` (without the carriage
// return, which sendCommand adds) and returns the frame as well.
std::string appendFCS(std::int16_t id, std::string& cmd);

// Upper-case hex of a 16-bit value with at least two digits ("05", "FF", "100", "FFFF").
std::string hexAtLeastTwo(std::int16_t value);

}  // namespace tarvelin
