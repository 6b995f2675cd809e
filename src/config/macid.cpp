#include "macid.h"

#include <QStringList>

namespace tarvelin {

std::optional<MacId> parseMacId(const QString& text) {
    const QChar separator = text.contains(QLatin1Char(':')) ? QLatin1Char(':') : QLatin1Char('-');
    const QStringList groups = text.split(separator);
    if (groups.size() != 6) return std::nullopt;
    MacId mac{};
    for (int i = 0; i < 6; ++i) {
        const QString& group = groups.at(i);
        bool ok = group.size() >= 1 && group.size() <= 2;
        for (QChar c : group)
            ok = ok && ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                        (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')));
        if (!ok) return std::nullopt;
        mac[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(group.toUInt(nullptr, 16));
    }
    return mac;
}

QString macIdText(const MacId& mac) {
    QStringList groups;
    for (std::uint8_t b : mac) groups << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    return groups.join(QLatin1Char(':'));
}

}  // namespace tarvelin
