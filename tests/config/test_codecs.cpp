// The conversions between box text, bytes and the hex digits of the
// commands; hostile texts in every kind of box (what a store refuses, and the
// exact bytes of what it takes); the strict check of a profile's values.
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <limits>

#include "advanced/advancedform.h"
#include "advanced/advancedmap.h"
#include "basic/basicform.h"
#include "basic/basicmap.h"
#include "config/codecs.h"
#include "config/macid.h"
#include "config/profile.h"
#include "config/snapshot.h"

using namespace tarvelin;

namespace {
constexpr qint64 kNoFit = std::numeric_limits<qint64>::min();  // stands for "does not fit" in the tables
QByteArray bytesOf(const Text16& t) {
    return QByteArray(reinterpret_cast<const char*>(t.data()), 16);
}
}  // namespace

class TestCodecs : public QObject {
    Q_OBJECT
private slots:
    // Command digits: a byte in at least two, an address in exactly four; and the
    // leading hex digits of a reply.
    void hex_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("two");
        QTest::addColumn<QString>("four");
        // -1 and -240 (the first MAC byte) as two's complement.
        for (const char* row : {"0 00 0000", "10 0A 000A", "255 FF 00FF", "256 100 0100", "4096 1000 1000",
                                "-1 FFFF FFFF", "-240 FF10 FF10"}) {
            const QStringList parts = QString(row).split(' ');
            QTest::newRow(row) << parts[0].toInt() << parts[1] << parts[2];
        }
    }

    void hex() {
        QFETCH(int, value);
        QFETCH(QString, two);
        QFETCH(QString, four);
        QCOMPARE(QString::fromStdString(getHexString2(static_cast<std::int16_t>(value))), two);
        QCOMPARE(QString::fromStdString(getHexString(static_cast<std::int16_t>(value))), four);
        // Read back as a reply's digits, upper or lower case; reading stops at the first non-digit.
        QCOMPARE(hexToValue(four.toLower().toStdString()), value & 0xFFFF);
        QCOMPARE(hexToValue((two + "G1").toStdString()), value & 0xFFFF);
        QCOMPARE(hexToValue(("-" + two).toStdString()), 0);
    }

    // The boxes' numbers rounded half to even, within 16, 32 or 64 bits.
    void wholeNumbers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("bits");
        QTest::addColumn<qint64>("value");
        const auto add = [](const char* row) {  // bits, text, value ("-": it does not fit)
            const QStringList p = QString(row).split('|');
            QTest::newRow(row) << p[1] << p[0].toInt() << (p[2] == "-" ? kNoFit : p[2].toLongLong());
        };
        for (const char* row : {"16||0", "16| 9080|9080", "16|2.5|2", "16|3.5|4", "16|-2.5|-2", "16|2.51|3",
                                "16|32767|32767", "16|32768|-", "16|-32768|-32768", "16|-32769|-",
                                "16|32767.5|-", "16|-32768.5|-32768", "16|&H8000|-", "16|1e309|-"})
            add(row);
        for (const char* row : {"32|2147483647|2147483647", "32|2147483648|-", "32|-2147483648|-2147483648",
                                "32|-2147483649|-", "32|2147483647.5|-", "64|1e18|1000000000000000000",
                                "64|-1e18|-1000000000000000000", "64|9223372036854775808|-", "64|1e19|-"})
            add(row);
        QTest::newRow("400 digits") << QString(400, '9') << 64 << kNoFit;
        // A character without a single byte, or outside ASCII, ends the number; full-width digits are no
        // digits.
        QTest::newRow("7 e acute") << QStringLiteral("7\u00E9") << 16 << qint64(7);
        QTest::newRow("full-width 12") << QStringLiteral("\uFF11\uFF12") << 16 << qint64(0);
    }

    void wholeNumbers() {
        QFETCH(QString, text);
        QFETCH(int, bits);
        QFETCH(qint64, value);
        const std::optional<qint64> got = bits == 16   ? std::optional<qint64>(textToInteger(text))
                                          : bits == 32 ? std::optional<qint64>(textToInteger32(text))
                                                       : std::optional<qint64>(readWholeNumber(text));
        QCOMPARE(got.has_value(), value != kNoFit);
        if (got) QCOMPARE(*got, value);
    }

    // How the rules read a box (not rounded) and write a number back.
    void decimals_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("shortest");  // the text is also how the number is written back
        QTest::newRow("whole") << "3" << 3.0 << true;
        QTest::newRow("half") << "2.5" << 2.5 << true;
        QTest::newRow("tenth") << "0.1" << 0.1 << true;
        QTest::newRow("negative") << "-12.75" << -12.75 << true;
        QTest::newRow("large whole, no exponent") << "123456789012345" << 123456789012345.0 << true;
        QTest::newRow("a third: fifteen digits") << "0.333333333333333" << 1.0 / 3 << true;
        QTest::newRow("negative zero written 0") << "0" << -0.0 << true;
        QTest::newRow("Greek letter ends it") << QStringLiteral("12\u03A93") << 12.0 << false;
    }

    void decimals() {
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(bool, shortest);
        QCOMPARE(numericValue(text), value);
        if (shortest) QCOMPARE(shortestDecimal(value), text);
    }

    // A port's two bytes, high first, both ways; a signed text has its blank.
    void ports_data() {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<int>("high");  // -1: refused
        QTest::addColumn<int>("low");
        for (const char* row :
             {"9080 35 120", "256 1 0", "32768 128 0", "65535 255 255", "0 0 0", "-1 -1 0", "65536 -1 0",
              "9223372036854775807 -1 0"}) {  // 32768: a high byte 0x80 is not negative
            const QStringList parts = QString(row).split(' ');
            QTest::newRow(row) << parts[0].toLongLong() << parts[1].toInt() << parts[2].toInt();
        }
    }

    void ports() {
        QFETCH(qint64, value);
        QFETCH(int, high);
        QFETCH(int, low);
        const auto bytes = packPort(value);
        QCOMPARE(bytes.has_value(), high >= 0);
        QCOMPARE(integerToSignedText(value), (value < 0 ? "" : " ") + QString::number(value));
        if (high < 0) return;
        QCOMPARE(int((*bytes)[0]), high);
        QCOMPARE(int((*bytes)[1]), low);
        QCOMPARE(qint64(unpackPort(Byte(high), Byte(low))), value);
    }

    // Sixteen single-byte characters, zero-padded; shown up to the first zero.
    void texts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");  // empty: refused
        QTest::addColumn<int>("without");       // the first character without a single byte, -1 none
        QTest::newRow("short") << "abc" << QByteArray("abc").leftJustified(16, '\0') << -1;
        QTest::newRow("empty") << "" << QByteArray(16, '\0') << -1;
        QTest::newRow("sixteen, no zero") << "ABCDEFGHIJKLMNOP" << QByteArray("ABCDEFGHIJKLMNOP") << -1;
        QTest::newRow("twenty keep sixteen")
            << "ABCDEFGHIJKLMNOPQRST" << QByteArray("ABCDEFGHIJKLMNOP") << -1;
        QTest::newRow("Latin-1 letters, one byte each")
            << QStringLiteral("Gr\u00FC\u00DF\u00FF") << QByteArray("Gr\xFC\xDF\xFF").leftJustified(16, '\0')
            << -1;
        QTest::newRow("Greek letter") << QStringLiteral("ab\u03A9") << QByteArray() << 2;
        QTest::newRow("emoji") << QStringLiteral("x\U0001F600") << QByteArray() << 1;
        QTest::newRow("refused at the sixteenth")
            << QStringLiteral("ABCDEFGHIJKLMNO\u03A9") << QByteArray() << 15;
        QTest::newRow("past the sixteenth: not stored, not refused")
            << QStringLiteral("ABCDEFGHIJKLMNOP\u03A9") << QByteArray("ABCDEFGHIJKLMNOP") << -1;
    }

    void texts() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(int, without);
        QCOMPARE(firstCharacterWithoutByte(text), without);
        const auto packed = packText16(text);
        QCOMPARE(packed.has_value(), !bytes.isEmpty());
        if (!packed) return;
        QCOMPARE(bytesOf(*packed), bytes);
        QCOMPARE(unpackText16(*packed), text.left(16));
        Text16 cut = *packed;  // a zero byte ends the text
        cut[1] = 0;
        QCOMPARE(unpackText16(cut), text.left(1));
    }

    // Every hostile text in every kind of box: what a store refuses (naming the
    // field and the value as the message shows it), and otherwise exactly the
    // bytes it sends.
    void hostileBoxes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("number");    // how a numeric box reads it; kNoFit beyond any range
        QTest::addColumn<QString>("shown");    // the value in a numeric box's refusal
        QTest::addColumn<QString>("refused");  // the character a text box refuses; empty: it takes the
                                               // text (its first sixteen characters)
        QString digits;
        while (digits.size() < 5000) digits += "1234567890";
        const auto row = [](const char* name, const QString& text, qint64 number, const QString& shown,
                            const QString& refused = {}) {
            QTest::newRow(name) << text << number << shown << refused;
        };
        row("empty", "", 0, "(empty)");
        row("blanks only", "      ", 0, "(empty)");
        row("text after the number", "12abc", 12, "12abc");
        row("-0", "-0", 0, "-0");
        row("-1", "-1", -1, "-1");
        row("-100", "-100", -100, "-100");
        row("-101", "-101", -101, "-101");
        row("101", "101", 101, "101");
        row("256", "256", 256, "256");
        row("65536", "65536", 65536, "65536");
        row("-32769", "-32769", -32769, "-32769");
        row("blanks inside an exponent", " 1 D 2", 100, "1 D 2");
        row("NaN", "NaN", 0, "NaN");
        row("hex beyond every range", "&HFFFFFFFF", 4294967295LL, "&HFFFFFFFF");
        row("1e309", "1e309", kNoFit, "1e309");
        row("24 digits: shown whole", digits.left(24), kNoFit, digits.left(24));
        row("5000 pasted digits", digits, kNoFit, "123456789012345678901...");
        row("6000 pasted letters", QString(6000, 'x'), 0, "xxxxxxxxxxxxxxxxxxxxx...");
        row("Latin-1", QStringLiteral("\u00D6l-Pumpe"), 0, QStringLiteral("\u00D6l-Pumpe"));
        row("outside the single bytes", QStringLiteral("\u03A9\u0436\U0001F642\u00BD"), 0,
            QStringLiteral("\u03A9\u0436\U0001F642\u00BD"), QStringLiteral("\u03A9"));
        row("Arabic-Indic digits after a number", QStringLiteral("12\u0660\u0663"), 12,
            QStringLiteral("12\u0660\u0663"), QStringLiteral("\u0660"));
    }

    void hostileBoxes() {
        QFETCH(QString, text);
        QFETCH(qint64, number);
        QFETCH(QString, shown);
        QFETCH(QString, refused);
        const struct {
            const char* control;
            qint64 low, high;  // -1, -1: a text box
        } boxes[] = {{"IP(3)", 0, 255},        {"svrport", 0, 65535},    {"No_of_MBtcp", 0, 255},
                     {"hostName", -1, -1},     {"TIP6(0)", 0, 255},      {"ADmcal(0)", -32768, 65535},
                     {"ADzcal(7)", -100, 100}, {"DAzcal(3)", -100, 100}, {"MovAvgNo", 1, 9}};
        for (const auto& box : boxes) {
            const bool basic =
                basicMap().end() != std::find_if(basicMap().begin(), basicMap().end(),
                                                 [&](const Field& f) { return f.control == box.control; });
            const MemoryMap& map = basic ? basicMap() : advancedMap();
            const Field& field = *std::find_if(map.begin(), map.end(),
                                               [&](const Field& f) { return f.control == box.control; });
            HeadlessForm form;  // without the windows' rules: the box holds the text as put
            basic ? initBasicForm(form) : initAdvancedForm(form);
            form.setText(box.control, text);
            const auto refusal = validate(form, map);
            const auto bytes = encodeFrom(form, field);
            std::vector<int> want;
            QString why =
                QString("%1: %2 is not between %3 and %4").arg(field.label, shown).arg(box.low).arg(box.high);
            if (box.low == -1 && refused.isEmpty())
                for (int i = 0; i < 16; ++i) want.push_back(i < text.size() ? text[i].unicode() : 0);
            if (box.low == -1 && !refused.isEmpty())
                why = field.label + ": the character '" + refused + "' cannot be stored";
            const qint64 w = number < 0 ? number + 65536 : number;
            if (box.low != -1 && number != kNoFit && number >= box.low && number <= box.high)
                want = field.width() == 1 ? std::vector<int>{int(w)}
                                          : std::vector<int>{int(w / 256), int(w % 256)};
            const QByteArray where = box.control;
            QVERIFY2(bytes.value_or(std::vector<int>()) == want, where);
            QVERIFY2(refusal.has_value() == want.empty(), where);
            if (refusal) QVERIFY2(refusal->startsWith(why), qPrintable(where + ": " + *refusal));
        }
        // The windows' rules keep their boxes within their limits, whatever is put there.
        HeadlessForm basic, advanced;
        initBasicForm(basic);
        basic.setRule(basicChangeRule);
        initAdvancedForm(advanced);
        advanced.setRule(advancedChangeRule);
        for (const char* box : {"No_of_Tarvelin", "No_of_MBtcp", "username", "password"}) {
            basic.setText(box, text);
            const double tarvelin = numericValue(basic.text("No_of_Tarvelin"));
            const double modbus = numericValue(basic.text("No_of_MBtcp"));
            QVERIFY2(tarvelin >= 1 && tarvelin <= 4 && tarvelin + modbus == 6, box);
            QVERIFY2(basic.text("username").size() <= 16 && basic.text("password").size() <= 16, box);
        }
        for (const char* box : {"MovAvgNo", "ADzcal(2)", "DAzcal(1)"}) {
            advanced.setText(box, text);
            const double v = numericValue(advanced.text(box));
            QVERIFY2(box[0] == 'M' ? v >= 1 && v <= 9 : v >= -100 && v <= 100, box);
        }
    }

    // A profile's values are read strictly: a value that is not what its control
    // holds makes the profile unreadable; one of the right kind that cannot be
    // stored does not fit.
    void profileValues_data() {
        QTest::addColumn<bool>("basic");
        QTest::addColumn<QByteArray>("values");
        QTest::addColumn<int>("verdict");   // 0 taken, 1 does not fit (Refused), 2 unreadable
        QTest::addColumn<QString>("says");  // a part of the message
        const auto row = [](bool basic, const char* values, int verdict, const char* says = "") {
            QTest::newRow(values) << basic << QByteArray(values) << verdict << QString(says);
        };
        row(true, R"j({"IP(3)": "192", "svrport": " 9080", "hostName": "Press 7", "AccessLevel": 2})j", 0);
        row(true, R"j({"IP(3)": 192, "MBtcpPort": "502", "AccessLevel": null, "EnablePW": "Yes"})j", 0);
        row(true, R"j({"IP(3)": "300"})j", 1);
        row(true, R"j({"svrport": "65536"})j", 1, "65536 is not between 0 and 65535");
        row(true, R"j({"IP(3)": "abc"})j", 2);
        row(true, R"j({"IP(3)": "2.5"})j", 2);
        row(true, R"j({"IP(3)": 2.5})j", 2);
        row(true, R"j({"IP(3)": ""})j", 2);
        row(true, R"j({"IP(3)": " 192"})j", 2);  // no blank where the box shows none
        row(true, R"j({"hostName": 5})j", 2);    // a number is no text
        row(true, R"j({"hostName": "Press\u0007"})j", 2);
        row(true, R"j({"hostName": "Press\u0085"})j", 2);
        row(true, R"j({"hostName": "Press\u009F"})j", 2);  // the last C1 control
        row(true, R"j({"hostName": "Press\u00A0"})j", 0);  // no control: a no-break space
        row(true, R"j({"hostName": "ABCDEFGHIJKLMNOPQ"})j", 1);
        row(true, R"j({"hostName": "\u03A9"})j", 1);
        row(true, R"j({"AccessLevel": 4})j", 2);
        row(true, R"j({"No_of_MBtcp": 1})j", 1, "1 would be stored as 2 (the window's rule");
        row(true, R"j({"No_of_MBtcp": "5", "username": "ABCDEFGHIJKLMNOP"})j", 0);
        row(true, R"j({"EnablePW": "Maybe"})j", 2);
        row(true, R"j({"MAC(0)": "12"})j", 2);
        row(false,
            R"j({"DAzcal(3)": "-100", "MovAvgNo": " 3", "ADmcal(0)": 65535, "Tarvelintrusted": "No"})j", 0);
        row(false, R"j({"DAzcal(3)": "-101"})j", 1);
        row(false, R"j({"MovAvgNo": "0"})j", 1);
        row(false, R"j({"ADmcal(0)": "-32769"})j", 1);
        row(false, R"j({"PLCconfig": " 22"})j", 2);
    }

    void profileValues() {
        QFETCH(bool, basic);
        QFETCH(QByteArray, values);
        QFETCH(int, verdict);
        QFETCH(QString, says);
        const QJsonObject object = QJsonDocument::fromJson(values).object();
        QVERIFY(!object.isEmpty());
        const auto failure =
            checkBlock(object, basic ? basicMap() : advancedMap(), basic ? "basic" : "advanced");
        QCOMPARE(failure ? (failure->outcome == Outcome::Refused ? 1 : 2) : 0, verdict);
        if (failure)
            QVERIFY2(failure->message.startsWith("key \"" + QString(basic ? "basic." : "advanced.")) &&
                         failure->message.contains(says),
                     qPrintable(failure->message));
    }

    // MAC IDs as people write them: either separator, either case, one or two
    // hex digits a group; anything else is none.
    void macIds() {
        for (auto [text, shown] : {std::pair{"0a-1B-fF-Af-9-00", "0A:1B:FF:AF:09:00"},
                                   {"02:4b:58:00:c3:e6", "02:4B:58:00:C3:E6"},
                                   {"00:00:00:00:00:0g", ""},
                                   {"00-00-00-00-00", ""},
                                   {"000-0-0-0-0-0", ""},
                                   {"0:0:0:0:0:", ""}}) {
            const auto mac = parseMacId(text);
            QCOMPARE(mac ? macIdText(*mac) : QString(), QString(shown));
        }
    }

    // A gain is a 16-bit word: above 32768 it reads as negative, 32768 itself
    // as it stands.
    void gainWords() {
        const Field& gain = *std::find_if(advancedMap().begin(), advancedMap().end(),
                                          [](const Field& f) { return f.control == "ADmcal(0)"; });
        HeadlessForm form;
        initAdvancedForm(form);
        for (auto [high, low, shown] :
             {std::tuple{0x80, 0x00, "32768"}, {0x80, 0x01, "-32767"}, {0xFF, 0xFF, "-1"}}) {
            decodeInto(form, gain, {high, low});
            QCOMPARE(form.text("ADmcal(0)").trimmed(), QString(shown));
        }
    }

    // A profile's null clears an option pair and the access level; a key the
    // block does not name leaves its control alone.
    void applyNulls() {
        HeadlessForm form;
        initBasicForm(form);
        form.setChecked("EnablePW(1)", true);
        form.setSelectedIndex("AccessLevel", 2);
        applyBlock(QJsonObject{{"EnablePW", QJsonValue()}, {"AccessLevel", QJsonValue()}}, form, basicMap());
        QVERIFY(!form.isChecked("EnablePW(0)") && !form.isChecked("EnablePW(1)"));
        QCOMPARE(form.selectedIndex("AccessLevel"), -1);
        QCOMPARE(form.text("hostName"), QString("Tarvelin"));
    }

    // A change of an option pair is named by the window's caption, from the map.
    void pairChanges() {
        HeadlessForm before, after;
        initAdvancedForm(before);
        initAdvancedForm(after);
        after.setChecked("MBtrusted(0)", true);
        const auto changes = changesBetween(before, after, advancedMap());
        QCOMPARE(changes.size(), std::size_t{1});
        QCOMPARE(changes.front().label + ": " + changes.front().before + " -> " + changes.front().after,
                 QString("Modbus/TCP Use Trusted IP: No -> Yes"));
    }

    // How a field is named to a person: the boxes of an address counted from the left.
    void spokenLabels() {
        const std::pair<const char*, const char*> rows[] = {
            {"IP(3)", "IP Address, octet 1"},      {"DNS(0)", "DNS Server, octet 4"},
            {"TIP6(2)", "Trusted IP #6, octet 2"}, {"MAC(5)", "MAC ID, octet 1"},
            {"MAC(0)", "MAC ID, octet 6"},         {"svrport", "Tarvelin Port"},
            {"ADzcal(7)", "ADC zero offset Ch8"}};
        for (const auto& [control, spoken] : rows) {
            const Field* field = findField(basicMap(), control);
            if (!field) field = findField(advancedMap(), control);
            QVERIFY2(field, control);
            QCOMPARE(spokenLabel(*field), QString(spoken));
        }
        QVERIFY(!findField(basicMap(), "") && !findField(basicMap(), "MAC(0)"));
    }
};

QTEST_GUILESS_MAIN(TestCodecs)
#include "test_codecs.moc"
