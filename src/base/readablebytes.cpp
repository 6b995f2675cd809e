#include "readablebytes.h"

namespace tarvelin {

namespace {

// The names of the characters 0 to 31.
constexpr const char* kControlNames[32] = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT", "LF",  "VT",  "FF", "CR", "SO", "SI",
    "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB", "CAN", "EM", "SUB", "ESC", "FS", "GS", "RS", "US",
};

}  // namespace

std::string readableBytes(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 32) {
            text += '<';
            text += kControlNames[code];
            text += '>';
        } else if (code == 127) {
            text += "<DEL>";
        } else if (code >= 128 && code < 160) {
            text += {'<', digits[code >> 4], digits[code & 0xF], '>'};
        } else if (code >= 160) {
            text += static_cast<char>(0xC0 | (code >> 6));  // Latin-1 in UTF-8
            text += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            text += c;
        }
    }
    return text;
}

QString readableText(const QString& text, const QString& keep) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        const bool control = code < 32 || (code >= 127 && code < 160);
        if (control && !keep.contains(c))
            out += QString::fromStdString(readableBytes(std::string(1, static_cast<char>(code))));
        else
            out += c;
    }
    return out;
}

}  // namespace tarvelin
