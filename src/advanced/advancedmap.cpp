#include "advancedmap.h"

#include "advancedform.h"
#include "config/form.h"
#include "config/korvex.h"

namespace tarvelin {

const MemoryMap& advancedMap() {
    static const MemoryMap map = [] {
        MemoryMap m;
        // The flag byte: the whole of it in the hidden PLCconfig, and the two trusted switches.
        m.push_back({QStringLiteral("Configuration flags"), QStringLiteral("PLCconfig"), Encoding::FlagByte,
                     kFlagByteAddress});
        m.back().bits = {{QStringLiteral("Tarvelintrusted"), 4, QStringLiteral("Tarvelin Use Trusted IP?")},
                         {QStringLiteral("MBtrusted"), 16, QStringLiteral("Modbus/TCP Use Trusted IP?")}};
        // The MAC ID at 0xFF10..0xFF15; addresses are signed 16-bit, so -240..-235.
        for (int i = 0; i < 6; ++i)
            m.push_back({QStringLiteral("MAC ID"), member(QStringLiteral("MAC"), 5 - i), Encoding::MacOctet,
                         static_cast<std::int16_t>(-240 + i)});
        // The trusted addresses travel octet by octet across the six of them.
        for (int j = 0; j < 4; ++j)
            for (int n = 1; n <= 6; ++n)
                m.push_back({QStringLiteral("Trusted IP #%1").arg(n),
                             member(QStringLiteral("TIP%1").arg(n), 3 - j), Encoding::Octet,
                             static_cast<std::int16_t>(682 + 4 * (n - 1) + j), 0, 255});
        // Gains take whatever a word can carry; offsets stay within their rule.
        for (int k = 0; k < 8; ++k) {
            m.push_back({QStringLiteral("ADC gain Ch%1").arg(k + 1), member(QStringLiteral("ADmcal"), k),
                         Encoding::Word, static_cast<std::int16_t>(568 + 2 * k), -32768, 65535});
            m.push_back({QStringLiteral("ADC zero offset Ch%1").arg(k + 1),
                         member(QStringLiteral("ADzcal"), k), Encoding::Word,
                         static_cast<std::int16_t>(584 + 2 * k), -100, 100});
        }
        for (int k = 0; k < 4; ++k) {
            m.push_back({QStringLiteral("DAC gain Ch%1").arg(k + 1), member(QStringLiteral("DAmcal"), k),
                         Encoding::Word, static_cast<std::int16_t>(600 + 2 * k), -32768, 65535});
            m.push_back({QStringLiteral("DAC zero offset Ch%1").arg(k + 1),
                         member(QStringLiteral("DAzcal"), k), Encoding::Word,
                         static_cast<std::int16_t>(616 + 2 * k), -100, 100});
        }
        m.push_back({QStringLiteral("A/D Moving Avg No. of pts"), QStringLiteral("MovAvgNo"),
                     Encoding::SignedByte, 632, 1, 9});
        for (Field& field : m) field.rule = advancedChangeRule;
        return m;
    }();
    return map;
}

}  // namespace tarvelin
