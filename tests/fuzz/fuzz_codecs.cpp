// The conversions between box text, bytes and hex digits, on any text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/leadingnumber.h"
#include "config/codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const QString utf8 = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(size));
    const QString latin1 = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(size));

    for (const QString& text : {utf8, latin1}) {
        if (!std::isfinite(tarvelin::numericValue(text))) __builtin_trap();
        if (auto v = tarvelin::textToInteger(text); v && (*v < -32768 || *v > 32767)) __builtin_trap();
        if (auto v = tarvelin::readWholeNumber(text); v) {
            if (auto port = tarvelin::packPort(*v);
                port && tarvelin::unpackPort((*port)[0], (*port)[1]) != *v)
                __builtin_trap();
            (void)tarvelin::integerToSignedText(*v);
        }
        (void)tarvelin::shortestDecimal(tarvelin::numericValue(text));
        if (auto packed = tarvelin::packText16(text)) {
            const QString back = tarvelin::unpackText16(*packed);
            // What comes back is what was stored, up to the first NUL.
            if (back.size() > 16 || !text.startsWith(back)) __builtin_trap();
        }
    }
    if (!std::isfinite(tarvelin::leadingNumber(bytes))) __builtin_trap();
    const int hex = tarvelin::hexToValue(bytes.substr(0, 2));
    if (hex < 0 || hex > 255) __builtin_trap();
    if (size >= 2) {
        const auto v = static_cast<std::int16_t>(data[0] | (data[1] << 8));
        if (tarvelin::getHexString(v).size() != 4) __builtin_trap();
        const auto two = tarvelin::getHexString2(v).size();
        if (two < 2 || two > 4) __builtin_trap();
    }
    return 0;
}
