#include "frame.h"

namespace tarvelin {

std::int16_t computeFCS(const std::string& cmd) {
    unsigned value = 0;
    for (unsigned char c : cmd) value ^= c;
    return static_cast<std::int16_t>(value & 0xFF);
}

std::string hexAtLeastTwo(std::int16_t value) {
    static const char digits[] = "0123456789ABCDEF";
    auto v = static_cast<std::uint16_t>(value);
    std::string text;
    do {
        text.insert(text.begin(), digits[v & 0xF]);
        v = static_cast<std::uint16_t>(v >> 4);
    } while (v != 0);
    if (text.size() == 1) text.insert(text.begin(), '0');
    return text;
}

std::string appendFCS(std::int16_t id, std::string& cmd) {
    cmd = "@" + hexAtLeastTwo(id) + cmd;
    cmd += hexAtLeastTwo(computeFCS(cmd));
    cmd += '*';
    return cmd;
}

}  // namespace tarvelin
