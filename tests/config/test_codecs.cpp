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
    void getHexString2_data();
    void getHexString2();
    void getHexString_data();
    void getHexString();
    void hexToValue_data();
    void hexToValue();
    void textToInteger_data();
    void textToInteger();
    void textToInteger32_data();
    void textToInteger32();
    void readWholeNumber_data();
    void readWholeNumber();
    void integerToText_data();
    void integerToText();
    void signedTextReadsBack_data();
    void signedTextReadsBack();
    void packPort_data();
    void packPort();
    void unpackPort_data();
    void unpackPort();
    void everyPortSurvivesTheRoundTrip();
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

void TestCodecs::getHexString2_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("hex");
    QTest::newRow("0") << 0 << "00";
    QTest::newRow("5") << 5 << "05";
    QTest::newRow("10") << 10 << "0A";
    QTest::newRow("15") << 15 << "0F";
    QTest::newRow("16") << 16 << "10";
    QTest::newRow("255") << 255 << "FF";
    QTest::newRow("256 three digits") << 256 << "100";
    QTest::newRow("4095") << 4095 << "FFF";
    QTest::newRow("4096 four digits") << 4096 << "1000";
    QTest::newRow("32767") << 32767 << "7FFF";
    QTest::newRow("-1 two's complement") << -1 << "FFFF";
    QTest::newRow("-256") << -256 << "FF00";
    QTest::newRow("-32768") << -32768 << "8000";
}

void TestCodecs::getHexString2() {
    QFETCH(int, value);
    QFETCH(QString, hex);
    QCOMPARE(q(tarvelin::getHexString2(static_cast<std::int16_t>(value))), hex);
}

void TestCodecs::getHexString_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("hex");
    QTest::newRow("0") << 0 << "0000";
    QTest::newRow("15") << 15 << "000F";
    QTest::newRow("255") << 255 << "00FF";
    QTest::newRow("520 first basic address") << 520 << "0208";
    QTest::newRow("524") << 524 << "020C";
    QTest::newRow("566 shared flag byte") << 566 << "0236";
    QTest::newRow("681 last basic address") << 681 << "02A9";
    QTest::newRow("705 last advanced address") << 705 << "02C1";
    QTest::newRow("4096") << 4096 << "1000";
    QTest::newRow("32767") << 32767 << "7FFF";
    QTest::newRow("-1") << -1 << "FFFF";
    QTest::newRow("-240 first MAC byte") << -240 << "FF10";
    QTest::newRow("-235 last MAC byte") << -235 << "FF15";
    QTest::newRow("-32768") << -32768 << "8000";
}

void TestCodecs::getHexString() {
    QFETCH(int, value);
    QFETCH(QString, hex);
    const std::string got = tarvelin::getHexString(static_cast<std::int16_t>(value));
    QCOMPARE(q(got), hex);
    QCOMPARE(got.size(), std::size_t(4));
}

void TestCodecs::hexToValue_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("0A") << QByteArray("0A") << 10;
    QTest::newRow("1G stops at G") << QByteArray("1G") << 1;
    QTest::newRow("G1 no digit") << QByteArray("G1") << 0;
    QTest::newRow("empty") << QByteArray("") << 0;
    QTest::newRow("00") << QByteArray("00") << 0;
    QTest::newRow("7F") << QByteArray("7F") << 127;
    QTest::newRow("80") << QByteArray("80") << 128;
    QTest::newRow("FF") << QByteArray("FF") << 255;
    QTest::newRow("lower case ff") << QByteArray("ff") << 255;
    QTest::newRow("mixed case aB") << QByteArray("aB") << 171;
    QTest::newRow("one digit") << QByteArray("A") << 10;
    QTest::newRow("blank stops") << QByteArray(" 1") << 0;
    QTest::newRow("star stops") << QByteArray("1*") << 1;
    QTest::newRow("sign is no digit") << QByteArray("-1") << 0;
    QTest::newRow("CR stops") << QByteArray("\r5") << 0;
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
    row("blanks, tab and LF", "\t 12\n", 12);
    row("text after the number", "12abc", 12);
    row("blank inside", "1 2", 12);
    row("text only", "abc", 0);
    row("2.5 to even 2", "2.5", 2);
    row("3.5 to even 4", "3.5", 4);
    row("0.5 to even 0", "0.5", 0);
    row("1.5 to even 2", "1.5", 2);
    row("-2.5 to even -2", "-2.5", -2);
    row("2.51 up", "2.51", 3);
    row("2.49 down", "2.49", 2);
    row("dotted address", "192.168", 192);
    row("hex", "&HFF", 255);
    row("hex 7FFF", "&H7FFF", 32767);
    row("hex 8000 does not fit", "&H8000", kNoFit);
    row("octal", "&O17", 15);
    row("exponent E", "1E3", 1000);
    row("exponent D", "1D2", 100);
    row("minus zero", "-0", 0);
    row("plus", "+7", 7);
    row("comma ends the number", "1,5", 1);
    row("1e309 does not fit", "1e309", kNoFit);
    row("-1e309 does not fit", "-1e309", kNoFit);
    row("400 digits do not fit", QString(400, QLatin1Char('9')), kNoFit);
    row("tiny is 0", "1e-400", 0);
    row("32767", "32767", 32767);
    row("32768 does not fit", "32768", kNoFit);
    row("-32768", "-32768", -32768);
    row("-32769 does not fit", "-32769", kNoFit);
    row("32767.4 rounds into range", "32767.4", 32767);
    row("32767.5 rounds out of range", "32767.5", kNoFit);
    row("-32768.5 rounds to even, in range", "-32768.5", -32768);
    row("-32769.5 rounds to even, out", "-32769.5", kNoFit);
    row("65535 does not fit", "65535", kNoFit);
    row("exponent out of range", "4E4", kNoFit);
    row("letter outside single bytes ends it", QStringLiteral("12\u03A93"), 12);
    row("full-width digits are no digits", QStringLiteral("\uFF11\uFF12"), 0);
    row("no-break space ends it", QStringLiteral("1\u00A02"), 1);
    row("Latin-1 letter ends it", QStringLiteral("7\u00E9"), 7);
    // A decimal comma locale must not change what the boxes mean.
    row("comma locale: 2.5", "2.5", 2, true);
    row("comma locale: 3.5", "3.5", 4, true);
    row("comma locale: dotted address", "192.168", 192, true);
    row("comma locale: comma still ends it", "2,7", 2, true);
    row("comma locale: 1E3", "1E3", 1000, true);
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

void TestCodecs::textToInteger32_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("value");
    QTest::newRow("32768 fits") << "32768" << qint64(32768);
    QTest::newRow("2147483647") << "2147483647" << qint64(2147483647);
    QTest::newRow("2147483648 does not fit") << "2147483648" << kNoFit;
    QTest::newRow("-2147483648") << "-2147483648" << qint64(-2147483648LL);
    QTest::newRow("-2147483649 does not fit") << "-2147483649" << kNoFit;
    QTest::newRow("2147483646.5 to even") << "2147483646.5" << qint64(2147483646);
    QTest::newRow("2147483647.5 to even, out") << "2147483647.5" << kNoFit;
    QTest::newRow("hex word") << "&HFFFF" << qint64(65535);
    QTest::newRow("1e309") << "1e309" << kNoFit;
    QTest::newRow("empty") << "" << qint64(0);
}

void TestCodecs::textToInteger32() {
    QFETCH(QString, text);
    QFETCH(qint64, value);
    QCOMPARE(orNoFit(tarvelin::textToInteger32(text)), value);
}

void TestCodecs::readWholeNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("value");
    QTest::newRow("1e18 fits") << "1e18" << qint64(1'000'000'000'000'000'000LL);
    QTest::newRow("-1e18 fits") << "-1e18" << qint64(-1'000'000'000'000'000'000LL);
    QTest::newRow("1e19 does not fit") << "1e19" << kNoFit;
    QTest::newRow("-1e19 does not fit") << "-1e19" << kNoFit;
    QTest::newRow("1e309 does not fit") << "1e309" << kNoFit;
    QTest::newRow("400 digits do not fit") << QString(400, QLatin1Char('9')) << kNoFit;
    QTest::newRow("4.5 to even") << "4.5" << qint64(4);
}

void TestCodecs::readWholeNumber() {
    QFETCH(QString, text);
    QFETCH(qint64, value);
    QCOMPARE(orNoFit(tarvelin::readWholeNumber(text)), value);
}

void TestCodecs::integerToText_data() {
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("signedText");
    QTest::newRow("0") << qint64(0) << "0"
                       << " 0";
    QTest::newRow("192") << qint64(192) << "192"
                         << " 192";
    QTest::newRow("9080") << qint64(9080) << "9080"
                          << " 9080";
    QTest::newRow("-45") << qint64(-45) << "-45"
                         << "-45";
    QTest::newRow("32767") << qint64(32767) << "32767"
                           << " 32767";
    QTest::newRow("-32768") << qint64(-32768) << "-32768"
                            << "-32768";
    QTest::newRow("65535") << qint64(65535) << "65535"
                           << " 65535";
    QTest::newRow("-2147483648") << qint64(-2147483648LL) << "-2147483648"
                                 << "-2147483648";
    QTest::newRow("no group separators") << qint64(1234567) << "1234567"
                                         << " 1234567";
}

void TestCodecs::integerToText() {
    QFETCH(qint64, value);
    QFETCH(QString, plain);
    QFETCH(QString, signedText);
    QCOMPARE(tarvelin::integerToText(value), plain);
    QCOMPARE(tarvelin::integerToSignedText(value), signedText);
}

void TestCodecs::signedTextReadsBack_data() {
    QTest::addColumn<int>("value");
    for (int v : {0, 1, 502, 9080, 32767, -1, -32768}) QTest::newRow(qPrintable(QString::number(v))) << v;
}

void TestCodecs::signedTextReadsBack() {
    QFETCH(int, value);
    // A retrieved port shown as " 9080" is read back unchanged by a store.
    QCOMPARE(orNoFit(tarvelin::textToInteger(tarvelin::integerToSignedText(value))), qint64(value));
    QCOMPARE(orNoFit(tarvelin::textToInteger(tarvelin::integerToText(value))), qint64(value));
}

void TestCodecs::packPort_data() {
    QTest::addColumn<qint64>("value");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("low");
    QTest::newRow("9080") << qint64(9080) << true << 35 << 120;  // hex 23 78
    QTest::newRow("502") << qint64(502) << true << 1 << 246;
    QTest::newRow("0") << qint64(0) << true << 0 << 0;
    QTest::newRow("255") << qint64(255) << true << 0 << 255;
    QTest::newRow("256") << qint64(256) << true << 1 << 0;
    QTest::newRow("32767") << qint64(32767) << true << 127 << 255;
    QTest::newRow("32768") << qint64(32768) << true << 128 << 0;
    QTest::newRow("65535") << qint64(65535) << true << 255 << 255;
    QTest::newRow("-1 refused") << qint64(-1) << false << 0 << 0;
    QTest::newRow("-32768 refused") << qint64(-32768) << false << 0 << 0;
    QTest::newRow("65536 refused") << qint64(65536) << false << 0 << 0;
    QTest::newRow("largest refused") << std::numeric_limits<qint64>::max() << false << 0 << 0;
    QTest::newRow("smallest refused") << std::numeric_limits<qint64>::min() << false << 0 << 0;
}

void TestCodecs::packPort() {
    QFETCH(qint64, value);
    QFETCH(bool, fits);
    QFETCH(int, high);
    QFETCH(int, low);
    const auto bytes = tarvelin::packPort(value);
    QCOMPARE(bytes.has_value(), fits);
    if (!fits) return;
    QCOMPARE(int((*bytes)[0]), high);
    QCOMPARE(int((*bytes)[1]), low);
}

void TestCodecs::unpackPort_data() {
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("value");
    QTest::newRow("9080") << 35 << 120 << 9080;
    QTest::newRow("502") << 1 << 246 << 502;
    QTest::newRow("0") << 0 << 0 << 0;
    QTest::newRow("low byte only") << 0 << 255 << 255;
    QTest::newRow("32767") << 127 << 255 << 32767;
    QTest::newRow("high byte 0x80 is not negative") << 128 << 0 << 32768;
    QTest::newRow("0x8001") << 128 << 1 << 32769;
    QTest::newRow("65535") << 255 << 255 << 65535;
}

void TestCodecs::unpackPort() {
    QFETCH(int, high);
    QFETCH(int, low);
    QFETCH(int, value);
    QCOMPARE(tarvelin::unpackPort(static_cast<Byte>(high), static_cast<Byte>(low)), value);
}

void TestCodecs::everyPortSurvivesTheRoundTrip() {
    for (int port = 0; port <= 65535; ++port) {
        const auto bytes = tarvelin::packPort(port);
        QVERIFY(bytes);
        if (tarvelin::unpackPort((*bytes)[0], (*bytes)[1]) != port) QFAIL(qPrintable(QString::number(port)));
    }
}

void TestCodecs::packText16_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray zeros13(13, '\0');
    QTest::newRow("three characters and 13 zeros") << "abc" << true << QByteArray("abc") + zeros13;
    QTest::newRow("empty: all zeros") << "" << true << QByteArray(16, '\0');
    QTest::newRow("node name") << "Tarvelin" << true << QByteArray("Tarvelin") + QByteArray(8, '\0');
    QTest::newRow("16 characters, no zero") << "ABCDEFGHIJKLMNOP" << true << QByteArray("ABCDEFGHIJKLMNOP");
    QTest::newRow("20 characters keep 16")
        << "ABCDEFGHIJKLMNOPQRST" << true << QByteArray("ABCDEFGHIJKLMNOP");
    QTest::newRow("blanks are characters") << " a b " << true << QByteArray(" a b ") + QByteArray(11, '\0');
    QTest::newRow("Latin-1 letter is one byte")
        << QStringLiteral("Gr\u00FC\u00DF") << true << QByteArray("Gr\xFC\xDF") + QByteArray(12, '\0');
    QTest::newRow("y diaeresis is 255")
        << QStringLiteral("\u00FF") << true << QByteArray("\xFF") + QByteArray(15, '\0');
    QTest::newRow("Greek letter refused") << QStringLiteral("ab\u03A9") << false << QByteArray();
    QTest::newRow("CJK refused") << QStringLiteral("\u4E2D") << false << QByteArray();
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
    QTest::newRow("zero last") << QByteArray("ABCDEFGHIJKLMNO\0", 16) << "ABCDEFGHIJKLMNO";
    QTest::newRow("bytes above 127 are Latin-1")
        << QByteArray("Gr\xFC\xDF") + QByteArray(12, '\0') << QStringLiteral("Gr\u00FC\u00DF");
    QTest::newRow("byte 255") << QByteArray("\xFF") + QByteArray(15, '\0') << QStringLiteral("\u00FF");
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
    QTest::newRow("first of two") << QStringLiteral("\u03A9\u03A9") << 16 << 0;
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
    QTest::newRow("text") << "abc" << 0.0;
    QTest::newRow("exponent") << "1E3" << 1000.0;
    QTest::newRow("hex") << "&HFF" << 255.0;
    QTest::newRow("negative") << "-12.75" << -12.75;
    QTest::newRow("Greek letter ends it") << QStringLiteral("12\u03A93") << 12.0;
    QTest::newRow("Latin-1 letter ends it") << QStringLiteral("12\u00E93") << 12.0;
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
    QTest::newRow("negative whole") << -1.0 << "-1" << false;
    QTest::newRow("zero") << 0.0 << "0" << false;
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
