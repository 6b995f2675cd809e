// Conversions between box text, bytes and the hex digits of the host-link
// commands.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvelin {

using Byte = std::uint8_t;
using Text16 = std::array<Byte, 16>;

// Hex of a byte value: at least two digits ("05", "FF"; 256 gives "100").
std::string getHexString2(std::int16_t value);
// Hex of an address: exactly four digits ("020C"; -240 gives "FF10").
std::string getHexString(std::int16_t value);
// Leading hex digits of `text` (upper or lower case) as a number; 0 when none.
// Used on two reply characters, so the result is 0..255 there.
int hexToValue(std::string_view text);

// The numeric value of a box text the way the field rules see it: the number
// at the start, blanks skipped, 0 when there is none; not rounded.
double numericValue(const QString& text);

// The lenient reading of a box, rounded half to even. Empty when the value
// does not fit a 64-bit whole number.
std::optional<std::int64_t> readWholeNumber(const QString& text);
// The same, but only within -32768..32767 (the 16-bit integer of the boxes).
std::optional<std::int16_t> textToInteger(const QString& text);
// The same within the 32-bit range (calibration words, flag-byte operations).
std::optional<std::int32_t> textToInteger32(const QString& text);

// "-45", "0", "192".
QString integerToText(std::int64_t value);
// " 9080", " 0", "-45".
QString integerToSignedText(std::int64_t value);
// Shortest decimal form of a number ("3", "2.5", "-1").
QString shortestDecimal(double value);

// A port number 0..65535 as high byte, low byte. Empty outside that range.
std::optional<std::array<Byte, 2>> packPort(std::int64_t value);
// High byte * 256 + low byte: 0..65535, never sign-extended.
int unpackPort(Byte high, Byte low);
// A gain or offset word, high byte first: 0..32768 as they stand (32768 is
// shown positive, as the controller's users know it), 32769..65535 as the
// negative numbers they carry.
int unpackWord(Byte high, Byte low);

// The text's first 16 characters as single-byte codes, zero-padded. Empty when
// one of those characters has no single-byte code.
std::optional<Text16> packText16(const QString& text);
// The characters before the first zero byte.
QString unpackText16(const Text16& bytes);
// The first character of `text` (among the first `limit`) that has no
// single-byte code, or -1.
int firstCharacterWithoutByte(const QString& text, int limit = 16);

}  // namespace tarvelin
