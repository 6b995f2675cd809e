#include "basicmap.h"

#include "basicform.h"

namespace tarvelin {

const MemoryMap& basicMap() {
    static const MemoryMap map = [] {
        MemoryMap m;
        // The dotted addresses: SMTP (540) travels before DNS (536).
        addOctets(m, QStringLiteral("IP Address"), QStringLiteral("IP"), 524);
        addOctets(m, QStringLiteral("Subnet Mask"), QStringLiteral("subnet"), 528);
        addOctets(m, QStringLiteral("Gateway"), QStringLiteral("gateway"), 532);
        addOctets(m, QStringLiteral("SMTP Server"), QStringLiteral("smtp"), 540);
        addOctets(m, QStringLiteral("DNS Server"), QStringLiteral("DNS"), 536);
        m.push_back(
            {QStringLiteral("Tarvelin Port"), QStringLiteral("svrport"), Encoding::Port, 520, 0, 65535});
        m.push_back({QStringLiteral("Modbus/TCP Secondary Port"), QStringLiteral("MBtcpPort"), Encoding::Port,
                     522, 0, 65535});
        m.push_back({QStringLiteral("No of Connections (MBTCP)"), QStringLiteral("No_of_MBtcp"),
                     Encoding::Count, 544, 0, 255});
        m.push_back({QStringLiteral("Username"), QStringLiteral("username"), Encoding::Text16, 634});
        m.push_back({QStringLiteral("Password"), QStringLiteral("password"), Encoding::Text16, 650});
        m.push_back(
            {QStringLiteral("Access Level"), QStringLiteral("AccessLevel"), Encoding::AccessLevel, 556});
        // The byte after the access level is always written 0, right after it.
        m.push_back({QStringLiteral("Access Level"), QString(), Encoding::ZeroByte, 557});
        // The flag byte: the basic window shows its password bit only.
        m.push_back({QStringLiteral("Configuration flags"), QString(), Encoding::FlagByte, kFlagByteAddress});
        m.back().bits = {{QStringLiteral("EnablePW"), 2, QStringLiteral("Use Username/Password?")}};
        m.push_back({QStringLiteral("Node Name"), QStringLiteral("hostName"), Encoding::Text16, 666});
        for (Field& field : m) field.rule = basicChangeRule;
        return m;
    }();
    return map;
}

}  // namespace tarvelin
