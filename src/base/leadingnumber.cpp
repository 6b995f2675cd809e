#include "leadingnumber.h"

#include <charconv>
#include <limits>
#include <string>

#include "hexdigits.h"

namespace tarvelin {

namespace {

int digitValue(char c, int base) {
    const int v = hexDigitValue(c);
    return v < base ? v : -1;
}

}  // namespace

namespace {

// "&H1F" (hexadecimal) and "&O17" (octal): the digits after the prefix up to
// the first that is none; any other "&" text is 0.
double radixNumber(const std::string& s) {
    int base = 0;
    if (s[1] == 'H' || s[1] == 'h') base = 16;
    if (s[1] == 'O' || s[1] == 'o') base = 8;
    if (base == 0) return 0;
    double value = 0;
    for (std::size_t i = 2; i < s.size(); ++i) {
        int d = digitValue(s[i], base);
        if (d < 0) break;
        value = value * base + d;
        if (value > std::numeric_limits<double>::max() / 16) value = std::numeric_limits<double>::max() / 16;
    }
    return value;
}

}  // namespace

double leadingNumber(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n') s += c;
    if (s.size() >= 2 && s[0] == '&') return radixNumber(s);

    // Collect the longest prefix that forms a decimal number, then let strtod
    // convert exactly that prefix (with D written as E).
    std::string number;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) number += s[i++];
    bool digits = false;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        number += s[i++];
        digits = true;
    }
    if (i < s.size() && s[i] == '.') {
        number += s[i++];
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            number += s[i++];
            digits = true;
        }
    }
    if (!digits) return 0;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        std::size_t j = i + 1;
        std::string exponent = "E";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) exponent += s[j++];
        bool expDigits = false;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
            exponent += s[j++];
            expDigits = true;
        }
        if (expDigits) number += exponent;
    }
    // from_chars does not depend on the process locale (a decimal comma
    // locale must not change what "2.5" means) and takes no leading "+".
    const char* first = number.c_str();
    const char* last = first + number.size();
    bool negative = *first == '-';
    if (*first == '+' || *first == '-') ++first;
    double value = 0;
    auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        // Either far too large or far too small to hold: tell them apart by the exponent sign.
        bool tiny = number.find("E-") != std::string::npos;
        value = tiny ? 0.0 : std::numeric_limits<double>::max();
    }
    return negative ? -value : value;
}

}  // namespace tarvelin
