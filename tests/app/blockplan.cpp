#include "blockplan.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>

#include "config/form.h"
#include "config/widgetform.h"

namespace tarvelin::test {

namespace {

QString memberOf(const QString& array, int index) {
    return array + QLatin1Char('(') + QString::number(index) + QLatin1Char(')');
}

std::vector<int> run(int first, int count) {
    std::vector<int> out;
    for (int i = 0; i < count; ++i) out.push_back(first + i);
    return out;
}

void dotted(std::vector<Spot>& plan, const QString& array, int first) {
    for (int j = 0; j < 4; ++j) plan.push_back({Kind::Octet, memberOf(array, 3 - j), {first + j}});
}

std::vector<Spot> basicPlan(bool store) {
    std::vector<Spot> p;
    dotted(p, QStringLiteral("IP"), 524);
    dotted(p, QStringLiteral("subnet"), 528);
    dotted(p, QStringLiteral("gateway"), 532);
    dotted(p, QStringLiteral("smtp"), 540);  // SMTP travels before DNS
    dotted(p, QStringLiteral("DNS"), 536);
    p.push_back({Kind::Port, QStringLiteral("svrport"), {520, 521}});
    p.push_back({Kind::Port, QStringLiteral("MBtcpPort"), {522, 523}});
    p.push_back({Kind::Count, QStringLiteral("No_of_MBtcp"), {544}});
    p.push_back({Kind::Text, QStringLiteral("username"), run(634, 16)});
    p.push_back({Kind::Text, QStringLiteral("password"), run(650, 16)});
    p.push_back({Kind::Level, QStringLiteral("AccessLevel"), {556}});
    if (store) p.push_back({Kind::Zero, QString(), {557}});
    p.push_back({Kind::PasswordBit, QStringLiteral("EnablePW"), {566}});
    p.push_back({Kind::Text, QStringLiteral("hostName"), run(666, 16)});
    return p;
}

std::vector<Spot> advancedPlan(bool store) {
    std::vector<Spot> p;
    p.push_back({Kind::TrustBits, QStringLiteral("PLCconfig"), {566}});
    if (!store)
        for (int i = 0; i < 6; ++i)
            p.push_back({Kind::Mac, memberOf(QStringLiteral("MAC"), 5 - i), {0xFF10 + i}});
    // Octet by octet across the six trusted addresses.
    for (int j = 0; j < 4; ++j)
        for (int n = 1; n <= 6; ++n)
            p.push_back(
                {Kind::Octet, memberOf(QStringLiteral("TIP%1").arg(n), 3 - j), {682 + 4 * (n - 1) + j}});
    for (int k = 0; k < 8; ++k) {
        p.push_back({Kind::Word, memberOf(QStringLiteral("ADmcal"), k), {568 + 2 * k, 569 + 2 * k}});
        p.push_back({Kind::Word, memberOf(QStringLiteral("ADzcal"), k), {584 + 2 * k, 585 + 2 * k}});
    }
    for (int k = 0; k < 4; ++k) {
        p.push_back({Kind::Word, memberOf(QStringLiteral("DAmcal"), k), {600 + 2 * k, 601 + 2 * k}});
        p.push_back({Kind::Word, memberOf(QStringLiteral("DAzcal"), k), {616 + 2 * k, 617 + 2 * k}});
    }
    p.push_back({Kind::Average, QStringLiteral("MovAvgNo"), {632}});
    return p;
}

QString onOff(bool on) {
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

std::optional<long long> plainNumber(const QString& text) {
    if (text.trimmed().isEmpty()) return 0;  // an empty box stores 0
    bool ok = false;
    const long long v = text.trimmed().toLongLong(&ok);
    if (!ok) return std::nullopt;
    return v;
}

void putText(korvex::Memory& m, int at, const char* text) {
    for (int i = 0; i < 16; ++i) m[static_cast<std::size_t>(at + i)] = 0;
    for (int i = 0; text[i] && i < 16; ++i)
        m[static_cast<std::size_t>(at + i)] = static_cast<std::uint8_t>(text[i]);
}

void putWord(korvex::Memory& m, int at, int value) {
    const int w = value < 0 ? value + 65536 : value;
    m[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(w / 256);
    m[static_cast<std::size_t>(at + 1)] = static_cast<std::uint8_t>(w % 256);
}

}  // namespace

QString signedText(long long v) {
    return v < 0 ? QString::number(v) : QStringLiteral(" ") + QString::number(v);
}

const std::vector<Spot>& readPlan(Block block) {
    static const std::vector<Spot> basic = basicPlan(false);
    static const std::vector<Spot> advanced = advancedPlan(false);
    return block == Block::Basic ? basic : advanced;
}

const std::vector<Spot>& writePlan(Block block) {
    static const std::vector<Spot> basic = basicPlan(true);
    static const std::vector<Spot> advanced = advancedPlan(true);
    return block == Block::Basic ? basic : advanced;
}

std::vector<int> addressesOf(const std::vector<Spot>& plan) {
    std::vector<int> out;
    for (const Spot& spot : plan) out.insert(out.end(), spot.addresses.begin(), spot.addresses.end());
    return out;
}

State snapshot(const WidgetForm& form) {
    State state;
    for (const QString& name : form.names()) {
        if (name == QLatin1String("messageLabel")) continue;
        QWidget* w = form.widget(name);
        if (auto* box = qobject_cast<QLineEdit*>(w))
            state[name] = box->text();
        else if (auto* label = qobject_cast<QLabel*>(w))
            state[name] = label->text();
        else if (auto* list = qobject_cast<QComboBox*>(w))
            state[name] = QStringLiteral("#%1").arg(list->currentIndex());
        else if (auto* button = qobject_cast<QAbstractButton*>(w); button && button->isCheckable())
            state[name] = onOff(button->isChecked());
    }
    return state;
}

QString differences(const State& expected, const State& actual) {
    QStringList out;
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        if (!actual.contains(it.key()))
            out << QStringLiteral("%1 missing").arg(it.key());
        else if (actual.value(it.key()) != it.value())
            out << QStringLiteral("%1: '%2' (expected '%3')")
                       .arg(it.key(), actual.value(it.key()), it.value());
    }
    for (auto it = actual.begin(); it != actual.end(); ++it)
        if (!expected.contains(it.key())) out << QStringLiteral("%1 unexpected").arg(it.key());
    return out.join(QStringLiteral("; "));
}

void applyRead(const Spot& spot, const korvex::Memory& memory, State& state) {
    auto byte = [&](std::size_t i) {
        return static_cast<int>(memory[static_cast<std::size_t>(spot.addresses[i])]);
    };
    const int b = byte(0);
    switch (spot.kind) {
        case Kind::Octet:
            state[spot.control] = QString::number(b);
            break;
        case Kind::Port:
            state[spot.control] = signedText(b * 256 + byte(1));
            break;
        case Kind::Count: {
            // The connection split keeps Modbus/TCP at 2..5 and the sum at 6.
            const int mb = b > 5 ? 5 : (b < 2 ? 2 : b);
            state[spot.control] = QString::number(mb);
            state[QStringLiteral("No_of_Tarvelin")] = QString::number(6 - mb);
            break;
        }
        case Kind::Text: {
            QByteArray text;
            for (std::size_t i = 0; i < spot.addresses.size() && byte(i) != 0; ++i)
                text.append(static_cast<char>(byte(i)));
            state[spot.control] = QString::fromLatin1(text);
            break;
        }
        case Kind::Level:
            if (b >= 49 && b <= 51) state[spot.control] = QStringLiteral("#%1").arg(b - 49);
            break;
        case Kind::Zero:
            break;
        case Kind::PasswordBit:
            state[QStringLiteral("EnablePW(0)")] = onOff(b & 2);
            state[QStringLiteral("EnablePW(1)")] = onOff(!(b & 2));
            break;
        case Kind::TrustBits:
            state[QStringLiteral("PLCconfig")] = signedText(b);
            state[QStringLiteral("Tarvelintrusted(0)")] = onOff(b & 4);
            state[QStringLiteral("Tarvelintrusted(1)")] = onOff(!(b & 4));
            state[QStringLiteral("MBtrusted(0)")] = onOff(b & 16);
            state[QStringLiteral("MBtrusted(1)")] = onOff(!(b & 16));
            break;
        case Kind::Word: {
            const int w = b * 256 + byte(1);
            const int shown = w <= 32768 ? w : w - 65536;
            // The zero-offset rule keeps its boxes at -100..100 (a word torn by a
            // failed store can hold anything).
            const bool offset = spot.control.startsWith(QLatin1String("ADzcal")) ||
                                spot.control.startsWith(QLatin1String("DAzcal"));
            if (offset && shown > 100)
                state[spot.control] = QStringLiteral("100");
            else if (offset && shown < -100)
                state[spot.control] = QStringLiteral("-100");
            else
                state[spot.control] = signedText(shown);
            break;
        }
        case Kind::Average:
            // The averaging rule keeps 1..9.
            state[spot.control] = b > 9 ? QStringLiteral("9") : (b < 1 ? QStringLiteral("1") : signedText(b));
            break;
        case Kind::Mac:
            state[spot.control] = QString::number(b, 16).toUpper();
            break;
    }
}

std::optional<std::vector<int>> bytesFor(const Spot& spot, const Form& form, int flagByte) {
    switch (spot.kind) {
        case Kind::Octet:
        case Kind::Count:
        case Kind::Average: {
            auto v = plainNumber(form.text(spot.control));
            if (!v) return std::nullopt;
            return std::vector<int>{static_cast<int>(*v)};
        }
        case Kind::Port: {
            auto v = plainNumber(form.text(spot.control));
            if (!v) return std::nullopt;
            return std::vector<int>{static_cast<int>(*v / 256), static_cast<int>(*v % 256)};
        }
        case Kind::Word: {
            auto v = plainNumber(form.text(spot.control));
            if (!v) return std::nullopt;
            const long long w = *v < 0 ? *v + 65536 : *v;
            return std::vector<int>{static_cast<int>(w / 256), static_cast<int>(w % 256)};
        }
        case Kind::Text: {
            const QByteArray text = form.text(spot.control).left(16).toLatin1();
            std::vector<int> bytes(16, 0);
            for (int i = 0; i < text.size(); ++i)
                bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(text[i]);
            return bytes;
        }
        case Kind::Level:
            return std::vector<int>{form.selectedIndex(spot.control) + 49};
        case Kind::Zero:
            return std::vector<int>{0};
        case Kind::PasswordBit:
        case Kind::TrustBits:
            return std::vector<int>{flagByte};
        case Kind::Mac:
            break;
    }
    return std::nullopt;
}

int basicFlagByte(int held, bool passwordYes) {
    return passwordYes ? (held | 2) & 0xFF : held & 253;
}

int advancedFlagByte(int held, bool tarvelinYes, bool modbusYes) {
    int flags = tarvelinYes ? held | 4 : held & 251;
    flags = modbusYes ? flags | 16 : flags & 239;
    return flags & 0xFF;
}

namespace {
std::string hex4(int address) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (int shift = 12; shift >= 0; shift -= 4) text += digits[(address >> shift) & 0xF];
    return text;
}
}  // namespace

std::string readCommand(int address) {
    return "MR" + hex4(address);
}

std::string writeCommandPrefix(int address) {
    return "MW" + hex4(address);
}

QString memoryDifference(const korvex::Memory& expected, const korvex::Memory& actual) {
    int count = 0;
    QString first;
    for (std::size_t a = 0; a < expected.size(); ++a) {
        if (expected[a] == actual[a]) continue;
        if (count++ == 0)
            first = QStringLiteral("0x%1 (%2): %3, expected %4")
                        .arg(a, 4, 16, QLatin1Char('0'))
                        .arg(a)
                        .arg(actual[a])
                        .arg(expected[a]);
    }
    if (count == 0) return {};
    return QStringLiteral("%1 byte(s) differ, first at %2").arg(count).arg(first);
}

korvex::Memory distinctiveImage() {
    korvex::Memory m = korvex::factoryImage();
    auto put = [&m](int at, std::initializer_list<int> bytes) {
        for (int b : bytes) m[static_cast<std::size_t>(at++)] = static_cast<std::uint8_t>(b);
    };
    put(520, {0x1F, 0x90});  // 8080
    put(522, {0x05, 0xDE});  // 1502
    put(524, {10, 1, 2, 3});
    put(528, {248, 240, 224, 128});
    put(532, {10, 1, 2, 254});
    put(536, {10, 1, 2, 53});
    put(540, {10, 1, 2, 25});
    put(544, {4});
    put(556, {'2', 0});
    put(566, {22});  // password, Tarvelin and Modbus/TCP trust all set
    for (int k = 0; k < 8; ++k) {
        putWord(m, 568 + 2 * k, 1000 + k);
        putWord(m, 584 + 2 * k, -(k + 1));
    }
    putWord(m, 600, 0x8000);
    putWord(m, 602, 0xFFFF);
    putWord(m, 604, 0x0064);
    putWord(m, 606, 0x8001);
    for (int k = 0; k < 4; ++k) putWord(m, 616 + 2 * k, 50 + k);
    put(632, {7});
    putText(m, 634, "admin");
    putText(m, 650, "hunter2");
    putText(m, 666, "Line-4 Press");
    for (int n = 1; n <= 6; ++n) put(682 + 4 * (n - 1), {10 + n, 20 + n, 30 + n, 40 + n});
    put(0xFF10, {0x00, 0x1B, 0x2C, 0x0A, 0x3C, 0xC3});
    return m;
}

}  // namespace tarvelin::test
