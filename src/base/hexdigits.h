// Hexadecimal digits as the host-link writes them: the one reading of them in
// the program (replies, box texts, the simulated controller's requests).
#pragma once

#include <string_view>

namespace tarvelin {

enum class HexCase {
    Any,    // "a".."f" as well as "A".."F"
    Upper,  // only "A".."F", as the host writes them
};

// The value 0..15 of one hex digit, or -1.
constexpr int hexDigitValue(char c, HexCase letters = HexCase::Any) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (letters == HexCase::Any && c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// All of `digits` as one number; -1 when there are none, when one is not a
// hex digit, or when there are more than seven (more than any field holds).
constexpr int parseHexDigits(std::string_view digits, HexCase letters = HexCase::Any) {
    if (digits.empty() || digits.size() > 7) return -1;
    int value = 0;
    for (char c : digits) {
        const int d = hexDigitValue(c, letters);
        if (d < 0) return -1;
        value = value * 16 + d;
    }
    return value;
}

}  // namespace tarvelin
