#include "frame.h"

#include <utility>

namespace tarvelin {

std::int16_t computeFCS(const std::string& cmd) {
    unsigned value = 0;
    for (unsigned char c : cmd) value ^= c;
    return static_cast<std::int16_t>(value & 0xFF);
}

std::string hexAtLeastTwo(std::int16_t value) {
    static const char digits[] = "0123456789ABCDEF";
    const auto v = static_cast<std::uint16_t>(value);
    // Four digits, then drop leading zeros down to two.
    char text[4] = {digits[(v >> 12) & 0xF], digits[(v >> 8) & 0xF], digits[(v >> 4) & 0xF], digits[v & 0xF]};
    int first = 0;
    while (first < 2 && text[first] == '0') ++first;
    return std::string(text + first, text + 4);
}

std::string appendFCS(std::int16_t id, std::string& cmd) {
    // Put together piece by piece: GCC 12 warns falsely (-Wrestrict) about
    // "@" + text + cmd when it inlines the string concatenation.
    std::string framed(1, '@');
    framed += hexAtLeastTwo(id);
    framed += cmd;
    cmd = std::move(framed);
    cmd += hexAtLeastTwo(computeFCS(cmd));
    cmd += '*';
    return cmd;
}

}  // namespace tarvelin
