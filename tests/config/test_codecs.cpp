// Conversions between box text, bytes and the hex digits of the commands.
#include <QTest>
#include <clocale>
#include <cstdlib>
#include <limits>
#include <optional>

#include "config/codecs.h"
#include "support/commalocale.h"

using namespace tarvelin;

namespace {
QString q(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}
// Stands for "does not fit" in the tables.
constexpr qint64 kNoFit = std::numeric_limits<qint64>::min();
template <typename T>
qint64 orNoFit(const std::optional<T>& v) {
    return v ? static_cast<qint64>(*v) : kNoFit;
}
QByteArray bytesOf(const Text16& t) {
    return QByteArray(reinterpret_cast<const char*>(t.data()), 16);
}
Text16 text16(const QByteArray& b) {
    Text16 t{};
    for (int i = 0; i < 16 && i < b.size(); ++i) t[static_cast<std::size_t>(i)] = static_cast<Byte>(b[i]);
    return t;
}
}  // namespace

class TestCodecs : public QObject {
    Q_OBJECT
private slots:
    void hexStrings_data();
    void hexStrings();
    void hexToValue_data();
    void hexToValue();
    void textToInteger_data();
    void textToInteger();
    void widerIntegers_data();
    void widerIntegers();
    void integerToText_data();
    void integerToText();
    void ports_data();
    void ports();
    void packText16_data();
    void packText16();
    void unpackText16_data();
    void unpackText16();
    void firstCharacterWithoutByte_data();
    void firstCharacterWithoutByte();
    void numericValue_data();
    void numericValue();
    void shortestDecimal_data();
    void shortestDecimal();
};

// getHexString2 writes at least two digits, getHexString always four.
void TestCodecs::hexStrings_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("two");
    QTest::addColumn<QString>("four");
    const auto row = [](int value, const char* two, const char* four) {
        QTest::addRow("%d", value) << value << two << four;
    };
    row(0, "00", "0000");
    row(5, "05", "0005");
    row(10, "0A", "000A");
    row(255, "FF", "00FF");
    row(256, "100", "0100");
    row(681, "2A9", "02A9");  // the last basic address
    row(4096, "1000", "1000");
    row(32767, "7FFF", "7FFF");
    row(-1, "FFFF", "FFFF");    // two's complement
    row(-240, "FF10", "FF10");  // the first MAC byte
    row(-32768, "8000", "8000");
}

void TestCodecs::hexStrings() {
    QFETCH(int, value);
    QFETCH(QString, two);
    QFETCH(QString, four);
    QCOMPARE(q(tarvelin::getHexString2(static_cast<std::int16_t>(value))), two);
    QCOMPARE(q(tarvelin::getHexString(static_cast<std::int16_t>(value))), four);
}

void TestCodecs::hexToValue_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("0A") << QByteArray("0A") << 10;
    QTest::newRow("1G stops at G") << QByteArray("1G") << 1;
    QTest::newRow("G1 no digit") << QByteArray("G1") << 0;
    QTest::newRow("empty") << QByteArray("") << 0;
    QTest::newRow("FF") << QByteArray("FF") << 255;
    QTest::newRow("lower case ff") << QByteArray("ff") << 255;
    QTest::newRow("mixed case aB") << QByteArray("aB") << 171;
    QTest::newRow("blank stops") << QByteArray(" 1") << 0;
    QTest::newRow("sign is no digit") << QByteArray("-1") << 0;
    QTest::newRow("four digits") << QByteArray("1234") << 0x1234;
}

void TestCodecs::hexToValue() {
    QFETCH(QByteArray, text);
    QFETCH(int, value);
    QCOMPARE(tarvelin::hexToValue(std::string_view(text.constData(), static_cast<std::size_t>(text.size()))),
             value);
}

// Rows for textToInteger: the text, the integer (kNoFit when it does not
// fit), and whether a decimal comma locale is in force.
void TestCodecs::textToInteger_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<bool>("commaLocale");
    auto row = [](const char* name, const QString& text, qint64 value, bool comma = false) {
        QTest::newRow(name) << text << value << comma;
    };
    row("empty box", "", 0);
    row("blank before", " 9080", 9080);
    row("text after the number", "12abc", 12);
    row("blank inside", "1 2", 12);
    row("2.5 to even 2", "2.5", 2);
    row("3.5 to even 4", "3.5", 4);
    row("-2.5 to even -2", "-2.5", -2);
    row("2.51 up", "2.51", 3);
    row("dotted address", "192.168", 192);
    row("hex", "&HFF", 255);
    row("hex 8000 does not fit", "&H8000", kNoFit);
    row("exponent E", "1E3", 1000);
    row("1e309 does not fit", "1e309", kNoFit);
    row("400 digits do not fit", QString(400, QLatin1Char('9')), kNoFit);
    row("32767", "32767", 32767);
    row("32768 does not fit", "32768", kNoFit);
    row("-32768", "-32768", -32768);
    row("-32769 does not fit", "-32769", kNoFit);
    row("32767.4 rounds into range", "32767.4", 32767);
    row("32767.5 rounds out of range", "32767.5", kNoFit);
    row("-32768.5 rounds to even, in range", "-32768.5", -32768);
    row("-32769.5 rounds to even, out", "-32769.5", kNoFit);
    row("exponent out of range", "4E4", kNoFit);
    row("letter outside single bytes ends it", QStringLiteral("12\u03A93"), 12);
    row("full-width digits are no digits", QStringLiteral("\uFF11\uFF12"), 0);
    row("Latin-1 letter ends it", QStringLiteral("7\u00E9"), 7);
    // A decimal comma locale must not change what the boxes mean.
    row("comma locale: 2.5", "2.5", 2, true);
    row("comma locale: dotted address", "192.168", 192, true);
    row("comma locale: comma still ends it", "2,7", 2, true);
}

void TestCodecs::textToInteger() {
    QFETCH(QString, text);
    QFETCH(qint64, value);
    QFETCH(bool, commaLocale);
    std::optional<test::CommaNumericScope> comma;
    if (commaLocale) {
        comma.emplace();
        if (!comma->active()) QSKIP("no locale with a decimal comma on this machine");
        QCOMPARE(std::strtod("2.5", nullptr), 2.0);  // the locale is really in force
    }
    QCOMPARE(orNoFit(tarvelin::textToInteger(text)), value);
}

// The 32-bit reader of the calibration words and the wide whole-number reader.
void TestCodecs::widerIntegers_data() {
    QTest::addColumn<bool>("wide");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("value");
    const auto row = [](bool wide, const QString& text, qint64 value) {
        QTest::addRow("%s %s", wide ? "wide" : "32-bit", qPrintable(text.left(20))) << wide << text << value;
    };
    row(false, "", 0);
    row(false, "32768", 32768);
    row(false, "2147483647", 2147483647);
    row(false, "2147483648", kNoFit);
    row(false, "-2147483648", -2147483648LL);
    row(false, "-2147483649", kNoFit);
    row(false, "2147483646.5", 2147483646);  // half to even
    row(false, "2147483647.5", kNoFit);      // to even: out
    row(true, "1e18", 1'000'000'000'000'000'000LL);
    row(true, "-1e18", -1'000'000'000'000'000'000LL);
    row(true, "1e19", kNoFit);
    row(true, QString(400, QLatin1Char('9')), kNoFit);
    row(true, "4.5", 4);
}

void TestCodecs::widerIntegers() {
    QFETCH(bool, wide);
    QFETCH(QString, text);
    QFETCH(qint64, value);
    QCOMPARE(wide ? orNoFit(tarvelin::readWholeNumber(text)) : orNoFit(tarvelin::textToInteger32(text)),
             value);
}

void TestCodecs::integerToText_data() {
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("signedText");
    const auto row = [](qint64 value, const char* plain, const char* signedText) {
        QTest::newRow(plain) << value << plain << signedText;
    };
    row(0, "0", " 0");
    row(9080, "9080", " 9080");
    row(-45, "-45", "-45");
    row(-32768, "-32768", "-32768");
    row(65535, "65535", " 65535");
    row(-2147483648LL, "-2147483648", "-2147483648");
    row(1234567, "1234567", " 1234567");  // no group separators
}

void TestCodecs::integerToText() {
    QFETCH(qint64, value);
    QFETCH(QString, plain);
    QFETCH(QString, signedText);
    QCOMPARE(tarvelin::integerToText(value), plain);
    QCOMPARE(tarvelin::integerToSignedText(value), signedText);
}

// A port and its two bytes, high first, both ways; values outside 0..65535
// are refused.
void TestCodecs::ports_data() {
    QTest::addColumn<qint64>("value");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("low");
    QTest::newRow("9080") << qint64(9080) << true << 35 << 120;  // hex 23 78
    QTest::newRow("502") << qint64(502) << true << 1 << 246;
    QTest::newRow("256") << qint64(256) << true << 1 << 0;
    QTest::newRow("high byte 0x80 is not negative") << qint64(32768) << true << 128 << 0;
    QTest::newRow("65535") << qint64(65535) << true << 255 << 255;
    QTest::newRow("-1 refused") << qint64(-1) << false << 0 << 0;
    QTest::newRow("65536 refused") << qint64(65536) << false << 0 << 0;
    QTest::newRow("largest refused") << std::numeric_limits<qint64>::max() << false << 0 << 0;
}

void TestCodecs::ports() {
    QFETCH(qint64, value);
    QFETCH(bool, fits);
    QFETCH(int, high);
    QFETCH(int, low);
    const auto bytes = tarvelin::packPort(value);
    QCOMPARE(bytes.has_value(), fits);
    if (!fits) return;
    QCOMPARE(int((*bytes)[0]), high);
    QCOMPARE(int((*bytes)[1]), low);
    QCOMPARE(qint64(tarvelin::unpackPort(static_cast<Byte>(high), static_cast<Byte>(low))), value);
}

void TestCodecs::packText16_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray zeros13(13, '\0');
    QTest::newRow("three characters and 13 zeros") << "abc" << true << QByteArray("abc") + zeros13;
    QTest::newRow("empty: all zeros") << "" << true << QByteArray(16, '\0');
    QTest::newRow("16 characters, no zero") << "ABCDEFGHIJKLMNOP" << true << QByteArray("ABCDEFGHIJKLMNOP");
    QTest::newRow("20 characters keep 16")
        << "ABCDEFGHIJKLMNOPQRST" << true << QByteArray("ABCDEFGHIJKLMNOP");
    QTest::newRow("blanks are characters") << " a b " << true << QByteArray(" a b ") + QByteArray(11, '\0');
    QTest::newRow("Latin-1 letter is one byte")
        << QStringLiteral("Gr\u00FC\u00DF") << true << QByteArray("Gr\xFC\xDF") + QByteArray(12, '\0');
    QTest::newRow("y diaeresis is 255")
        << QStringLiteral("\u00FF") << true << QByteArray("\xFF") + QByteArray(15, '\0');
    QTest::newRow("Greek letter refused") << QStringLiteral("ab\u03A9") << false << QByteArray();
    QTest::newRow("emoji refused") << QStringLiteral("x\U0001F600") << false << QByteArray();
    QTest::newRow("refused character at position 16")
        << QStringLiteral("ABCDEFGHIJKLMNO\u03A9") << false << QByteArray();
    QTest::newRow("past the 16th, not stored, not refused")
        << QStringLiteral("ABCDEFGHIJKLMNOP\u03A9") << true << QByteArray("ABCDEFGHIJKLMNOP");
}

void TestCodecs::packText16() {
    QFETCH(QString, text);
    QFETCH(bool, fits);
    QFETCH(QByteArray, bytes);
    const auto packed = tarvelin::packText16(text);
    QCOMPARE(packed.has_value(), fits);
    if (fits) QCOMPARE(bytesOf(*packed), bytes);
}

void TestCodecs::unpackText16_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("16 non-zero bytes give 16 characters")
        << QByteArray("ABCDEFGHIJKLMNOP") << "ABCDEFGHIJKLMNOP";
    QTest::newRow("three and zeros") << QByteArray("abc") + QByteArray(13, '\0') << "abc";
    QTest::newRow("all zeros") << QByteArray(16, '\0') << "";
    QTest::newRow("zero first hides all") << QByteArray("\0BCDEFGHIJKLMNOP", 16) << "";
    QTest::newRow("zero in the middle ends it") << QByteArray("AB\0DEFGHIJKLMNOP", 16) << "AB";
    QTest::newRow("bytes above 127 are Latin-1")
        << QByteArray("Gr\xFC\xDF") + QByteArray(12, '\0') << QStringLiteral("Gr\u00FC\u00DF");
    QTest::newRow("control characters kept") << QByteArray("\x01\x1F") + QByteArray(14, '\0') << "\x01\x1F";
}

void TestCodecs::unpackText16() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(tarvelin::unpackText16(text16(bytes)), text);
    // What is shown is stored again as the same bytes up to the first zero.
    const auto again = tarvelin::packText16(text);
    QVERIFY(again);
    const int shown = static_cast<int>(text.size());
    QCOMPARE(bytesOf(*again).left(shown), bytes.left(shown));
}

void TestCodecs::firstCharacterWithoutByte_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("index");
    QTest::newRow("plain") << "abc" << 16 << -1;
    QTest::newRow("empty") << "" << 16 << -1;
    QTest::newRow("Latin-1 fine") << QStringLiteral("\u00E9\u00FF") << 16 << -1;
    QTest::newRow("third") << QStringLiteral("ab\u03A9") << 16 << 2;
    QTest::newRow("beyond the limit") << QStringLiteral("ABCDEFGHIJKLMNOP\u03A9") << 16 << -1;
    QTest::newRow("within a larger limit") << QStringLiteral("ABCDEFGHIJKLMNOP\u03A9") << 20 << 16;
    QTest::newRow("limit longer than the text") << QStringLiteral("a\u03A9") << 100 << 1;
}

void TestCodecs::firstCharacterWithoutByte() {
    QFETCH(QString, text);
    QFETCH(int, limit);
    QFETCH(int, index);
    QCOMPARE(tarvelin::firstCharacterWithoutByte(text, limit), index);
}

void TestCodecs::numericValue_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("blank before") << " 9080" << 9080.0;
    QTest::newRow("fraction kept") << "2.5" << 2.5;
    QTest::newRow("exponent") << "1E3" << 1000.0;
    QTest::newRow("negative") << "-12.75" << -12.75;
    QTest::newRow("Greek letter ends it") << QStringLiteral("12\u03A93") << 12.0;
    QTest::newRow("full-width digits") << QStringLiteral("\uFF11") << 0.0;
}

void TestCodecs::numericValue() {
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(tarvelin::numericValue(text), value);
}

void TestCodecs::shortestDecimal_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("commaLocale");
    QTest::newRow("whole") << 3.0 << "3" << false;
    QTest::newRow("half") << 2.5 << "2.5" << false;
    QTest::newRow("negative zero") << -0.0 << "0" << false;
    QTest::newRow("tenth") << 0.1 << "0.1" << false;
    QTest::newRow("large whole") << 123456789012345.0 << "123456789012345" << false;
    QTest::newRow("comma locale: still a point") << 2.5 << "2.5" << true;
}

void TestCodecs::shortestDecimal() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QFETCH(bool, commaLocale);
    std::optional<test::CommaNumericScope> comma;
    if (commaLocale) {
        comma.emplace();
        if (!comma->active()) QSKIP("no locale with a decimal comma on this machine");
    }
    QCOMPARE(tarvelin::shortestDecimal(value), text);
    // What is shown reads back as the same number.
    QCOMPARE(tarvelin::numericValue(tarvelin::shortestDecimal(value)), value);
}

QTEST_GUILESS_MAIN(TestCodecs)
#include "test_codecs.moc"
