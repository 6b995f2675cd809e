#include "codecs.h"

#include <cmath>

#include "base/hexdigits.h"
#include "base/leadingnumber.h"
#include "serial/frame.h"

namespace tarvelin {

std::string getHexString2(std::int16_t value) {
    return hexAtLeastTwo(value);
}

std::string getHexString(std::int16_t value) {
    const std::string text = hexAtLeastTwo(value);
    return std::string(4 - text.size(), '0') + text;
}

int hexToValue(std::string_view text) {
    int value = 0;
    for (char c : text) {
        const int d = hexDigitValue(c);
        if (d < 0) break;
        if (value > 0x7FFFFFF) break;  // more digits than any caller passes
        value = value * 16 + d;
    }
    return value;
}

namespace {
// Box text as the lenient reader sees it: characters without a single-byte
// code cannot be part of a number, so they become a stop character.
std::string asLatin1(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text) out += c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '\x7F';
    return out;
}
}  // namespace

double numericValue(const QString& text) {
    return leadingNumber(asLatin1(text));
}

std::optional<std::int64_t> readWholeNumber(const QString& text) {
    const double rounded = std::nearbyint(numericValue(text));  // half to even
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    if (!(rounded > -9223372036854775808.0 && rounded < 9223372036854775808.0)) return std::nullopt;
    return static_cast<std::int64_t>(rounded);
}

std::optional<std::int16_t> textToInteger(const QString& text) {
    auto v = readWholeNumber(text);
    if (!v || *v < -32768 || *v > 32767) return std::nullopt;
    return static_cast<std::int16_t>(*v);
}

std::optional<std::int32_t> textToInteger32(const QString& text) {
    auto v = readWholeNumber(text);
    if (!v || *v < INT32_MIN || *v > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

QString integerToText(std::int64_t value) {
    return QString::number(value);
}

QString integerToSignedText(std::int64_t value) {
    return value < 0 ? QString::number(value) : QStringLiteral(" ") + QString::number(value);
}

QString shortestDecimal(double value) {
    if (value == 0) return QStringLiteral("0");  // also "-0"
    if (value == std::nearbyint(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', 15);
}

std::optional<std::array<Byte, 2>> packPort(std::int64_t value) {
    if (value < 0 || value > 65535) return std::nullopt;
    return std::array<Byte, 2>{static_cast<Byte>(value / 256), static_cast<Byte>(value % 256)};
}

int unpackPort(Byte high, Byte low) {
    return high * 256 + low;
}

int unpackWord(Byte high, Byte low) {
    const int w = high * 256 + low;
    return w <= 32768 ? w : w - 65536;
}

int firstCharacterWithoutByte(const QString& text, int limit) {
    const int n = std::min<int>(limit, static_cast<int>(text.size()));
    for (int i = 0; i < n; ++i)
        if (text.at(i).unicode() > 0xFF) return i;
    return -1;
}

std::optional<Text16> packText16(const QString& text) {
    if (firstCharacterWithoutByte(text) >= 0) return std::nullopt;
    Text16 bytes{};
    for (int i = 0; i < 16 && i < text.size(); ++i)
        bytes[static_cast<std::size_t>(i)] = static_cast<Byte>(text.at(i).unicode());
    return bytes;
}

QString unpackText16(const Text16& bytes) {
    QString text;
    for (Byte b : bytes) {
        if (b == 0) break;
        text += QChar(static_cast<char16_t>(b));
    }
    return text;
}

}  // namespace tarvelin
