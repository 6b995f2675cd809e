// The lenient reading of a number at the start of a box's text.
#include <QTest>
#include <cfloat>
#include <cmath>
#include <string>

#include "serial/leadingnumber.h"

using namespace tarvelin;

class TestLeadingNumber : public QObject {
    Q_OBJECT
private slots:
    void leadingNumber_data();
    void leadingNumber();
    void longDigitRunsStayFinite();
};

namespace {
const double kMax = DBL_MAX;
}

void TestLeadingNumber::leadingNumber_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("value");

    QTest::newRow("empty") << QByteArray("") << 0.0;
    QTest::newRow("plain") << QByteArray("9080") << 9080.0;
    QTest::newRow("leading blank") << QByteArray(" 9080") << 9080.0;
    QTest::newRow("blanks, tab and LF anywhere") << QByteArray(" \t1\n2 3 ") << 123.0;
    QTest::newRow("blank between digits") << QByteArray("1 2") << 12.0;
    QTest::newRow("CR is no blank") << QByteArray("\r12") << 0.0;
    QTest::newRow("CR ends the number") << QByteArray("12\r3") << 12.0;
    QTest::newRow("text after the number") << QByteArray("12abc") << 12.0;
    QTest::newRow("text only") << QByteArray("abc") << 0.0;
    QTest::newRow("plus") << QByteArray("+5") << 5.0;
    QTest::newRow("minus") << QByteArray("-5") << -5.0;
    QTest::newRow("blank after sign") << QByteArray("- 5") << -5.0;
    QTest::newRow("two signs") << QByteArray("--5") << 0.0;
    QTest::newRow("sign alone") << QByteArray("-") << 0.0;
    QTest::newRow("minus zero") << QByteArray("-0") << 0.0;
    QTest::newRow("fraction, not rounded") << QByteArray("2.5") << 2.5;
    QTest::newRow("dotted address stops at the second dot") << QByteArray("192.168") << 192.168;
    QTest::newRow("point first") << QByteArray(".5") << 0.5;
    QTest::newRow("point last") << QByteArray("5.") << 5.0;
    QTest::newRow("point alone") << QByteArray(".") << 0.0;
    QTest::newRow("comma ends the number") << QByteArray("1,5") << 1.0;
    QTest::newRow("exponent E") << QByteArray("1E3") << 1000.0;
    QTest::newRow("exponent e") << QByteArray("1e3") << 1000.0;
    QTest::newRow("exponent D") << QByteArray("1D2") << 100.0;
    QTest::newRow("negative exponent") << QByteArray("25E-1") << 2.5;
    QTest::newRow("exponent with plus") << QByteArray("1E+2") << 100.0;
    QTest::newRow("exponent without digits") << QByteArray("7E") << 7.0;
    QTest::newRow("exponent sign without digits") << QByteArray("7E+") << 7.0;
    QTest::newRow("exponent letter alone") << QByteArray("E3") << 0.0;
    QTest::newRow("second exponent ends it") << QByteArray("1e2e3") << 100.0;
    QTest::newRow("fraction in the exponent ends it") << QByteArray("1e2.5") << 100.0;
    QTest::newRow("blank inside the exponent") << QByteArray("1 E 2") << 100.0;
    QTest::newRow("hex") << QByteArray("&HFF") << 255.0;
    QTest::newRow("hex lower case") << QByteArray("&hff") << 255.0;
    QTest::newRow("hex stops at non-digit") << QByteArray("&H1G") << 1.0;
    QTest::newRow("hex without digits") << QByteArray("&H") << 0.0;
    QTest::newRow("hex with blank") << QByteArray("& H 1 0") << 16.0;
    QTest::newRow("octal") << QByteArray("&O17") << 15.0;
    QTest::newRow("octal stops at 8") << QByteArray("&O78") << 7.0;
    QTest::newRow("ampersand alone") << QByteArray("&") << 0.0;
    QTest::newRow("unknown base") << QByteArray("&X1") << 0.0;
    QTest::newRow("ampersand not at the start") << QByteArray("1&H2") << 1.0;
    QTest::newRow("C hex prefix is not one") << QByteArray("0x10") << 0.0;
    QTest::newRow("infinity is no number") << QByteArray("inf") << 0.0;
    QTest::newRow("UTF-8 letter ends it") << QByteArray("12\xC3\xA9") << 12.0;
    QTest::newRow("zero byte ends it") << QByteArray("12") + '\0' + "34" << 12.0;
    // Far too large or too small: clamped, never infinite.
    QTest::newRow("1e309") << QByteArray("1e309") << kMax;
    QTest::newRow("-1e309") << QByteArray("-1e309") << -kMax;
    QTest::newRow("400 digits") << QByteArray(400, '9') << kMax;
    QTest::newRow("400 digits after a point") << QByteArray("0." + QByteArray(400, '3')) << 1.0 / 3;
    QTest::newRow("1e-400 is 0") << QByteArray("1e-400") << 0.0;
}

void TestLeadingNumber::leadingNumber() {
    QFETCH(QByteArray, text);
    QFETCH(double, value);
    const double got =
        tarvelin::leadingNumber(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
    QVERIFY2(std::isfinite(got), qPrintable(QString::number(got)));
    QCOMPARE(got, value);
}

void TestLeadingNumber::longDigitRunsStayFinite() {
    for (const QByteArray& text :
         {QByteArray("&H" + QByteArray(400, 'F')), QByteArray("&O" + QByteArray(400, '7'))}) {
        const double got = tarvelin::leadingNumber(text.toStdString());
        QVERIFY(std::isfinite(got));
        QVERIFY(got > 1e300);
    }
}

QTEST_GUILESS_MAIN(TestLeadingNumber)
#include "test_leadingnumber.moc"
