#include "replytext.h"

namespace tarvelin {

namespace {

// The names of the characters 0 to 31.
constexpr const char* kControlNames[32] = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT", "LF",  "VT",  "FF", "CR", "SO", "SI",
    "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB", "CAN", "EM", "SUB", "ESC", "FS", "GS", "RS", "US",
};

}  // namespace

QString readableReply(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (char c : bytes) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 32) {
            text += QLatin1Char('<') + QLatin1String(kControlNames[code]) + QLatin1Char('>');
        } else if (code == 127) {
            text += QLatin1String("<DEL>");
        } else if (code >= 128 && code < 160) {
            text += QStringLiteral("<%1>").arg(code, 2, 16, QLatin1Char('0')).toUpper();
        } else {
            text += QChar(code);
        }
    }
    return text;
}

}  // namespace tarvelin
