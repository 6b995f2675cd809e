// The pieces behind the terminal's conveniences, without a window: the
// command history, replies made readable, and the texts that describe the
// system's ports.
#include <QTest>
#include <string>

#include "serial/commandhistory.h"
#include "serial/portenumerator.h"
#include "serial/replytext.h"

using namespace tarvelin;

class TestTerminalAids : public QObject {
    Q_OBJECT
private slots:
    void readable_data();
    void readable();

    void history_data();
    void history();
    void historyForgetsTheOldest();

    void describePort_data();
    void describePort();
    void describeLinkName_data();
    void describeLinkName();
    void naturalOrder_data();
    void naturalOrder();
};

void TestTerminalAids::readable_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("printable ASCII") << QByteArray("@01MR5A3F* ~!") << "@01MR5A3F* ~!";
    QTest::newRow("ENQ alone") << QByteArray("\x05") << "<ENQ>";
    QTest::newRow("CR LF") << QByteArray("\r\n") << "<CR><LF>";
    QTest::newRow("NUL first and last") << QByteArray("\0A\0", 3) << "<NUL>A<NUL>";
    QTest::newRow("BEL, ESC and US, the last control") << QByteArray("\x07\x1b\x1f") << "<BEL><ESC><US>";
    QTest::newRow("blank is shown as it is") << QByteArray(" ") << " ";
    QTest::newRow("DEL") << QByteArray("\x7f") << "<DEL>";
    QTest::newRow("128 and 159: hex") << QByteArray("\x80\x9f") << "<80><9F>";
    QTest::newRow("160 and up: Latin-1") << QByteArray("\xa0\xe9\xff") << QString::fromLatin1("\xa0\xe9\xff");
    // A literal "<" is no escape: it stays a character of the reply.
    QTest::newRow("angle brackets") << QByteArray("<ENQ>") << "<ENQ>";
}

void TestTerminalAids::readable() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QCOMPARE(readableReply(bytes.toStdString()), shown);
}

// A script of steps: "+X" sends X ("+" alone: the empty line), "U:draft"
// presses Up with the line holding "draft", "D" presses Down. Each Up and Down
// writes what it gives, or "-" for nothing, to the outcome, joined by "|".
void TestTerminalAids::history_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("entries");
    const auto row = [](const char* name, const char* script, const char* outcome, const char* entries) {
        QTest::newRow(name) << script << outcome << entries;
    };
    row("empty: Up and Down give nothing", "U:x D", "-|-", "");
    row("Up from newest to oldest, then nothing", "+A +B U: U: U:", "B|A|-", "A,B");
    row("Down back to the draft, then nothing", "+A +B U:typed U: D D D", "B|A|B|typed|-", "A,B");
    row("the draft is taken when the walk begins", "+A U:one D U:two D", "A|one|A|two", "A");
    row("sending ends the walk", "+A +B U: +C U:", "B|C", "A,B,C");
    row("a repeat in a row is kept once", "+A +A +B +B +B", "", "A,B");
    row("repeats apart are kept", "+A +B +A", "", "A,B,A");
    row("the empty line is not kept, but ends the walk", "+A U:x +", "A", "A");
    row("the same text as the newest after walking", "+A +B U: +A", "B", "A,B,A");
}

void TestTerminalAids::history() {
    QFETCH(QString, script);
    QFETCH(QString, outcome);
    QFETCH(QString, entries);
    CommandHistory h;
    QStringList got;
    for (const QString& step : script.split(' ', Qt::SkipEmptyParts)) {
        std::optional<QString> given;
        if (step.startsWith('+')) {
            h.add(step.mid(1));
            QVERIFY(!h.walking());
            continue;
        }
        given = step.startsWith("U:") ? h.older(step.mid(2)) : h.newer();
        got << (given ? *given : QStringLiteral("-"));
    }
    QCOMPARE(got.join('|'), outcome);
    QStringList kept;
    for (const QString& e : h.entries()) kept << e;
    QCOMPARE(kept.join(','), entries);
}

void TestTerminalAids::historyForgetsTheOldest() {
    CommandHistory h;
    for (int i = 1; i <= 100; ++i) h.add(QString::number(i));
    QCOMPARE(h.entries().size(), CommandHistory::kMostKept);
    QCOMPARE(h.entries().front(), QStringLiteral("1"));
    h.add(QStringLiteral("101"));
    QCOMPARE(h.entries().size(), std::size_t{100});
    QCOMPARE(h.entries().front(), QStringLiteral("2"));
    QCOMPARE(h.entries().back(), QStringLiteral("101"));
    // A repeat of the newest neither grows the list nor pushes anything out.
    h.add(QStringLiteral("101"));
    QCOMPARE(h.entries().front(), QStringLiteral("2"));
    // Walking all the way up ends at the oldest kept.
    std::optional<QString> last;
    while (auto next = h.older(QString())) last = next;
    QCOMPARE(*last, QStringLiteral("2"));
    h.clear();
    QVERIFY(h.entries().empty());
    QVERIFY(!h.older(QStringLiteral("x")));
}

void TestTerminalAids::describePort_data() {
    QTest::addColumn<QString>("maker");
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("text");
    const auto row = [](const char* name, const char* maker, const char* product, const char* serial,
                        const char* text) { QTest::newRow(name) << maker << product << serial << text; };
    row("all known", "FTDI", "FT232R USB UART", "A9XK3", "FTDI, FT232R USB UART, serial A9XK3");
    row("nothing known", "", "", "", "");
    row("product only", "", "ttyS0", "", "ttyS0");
    row("serial only", "", "", "0001", "serial 0001");
    row("maker and serial", "Prolific", "", "X1", "Prolific, serial X1");
    row("product repeats the maker", "Arduino (www.arduino.cc)", "arduino (www.arduino.cc)", "",
        "Arduino (www.arduino.cc)");
    row("blanks trimmed", "  FTDI ", " FT232R\t", " A1 ", "FTDI, FT232R, serial A1");
}

void TestTerminalAids::describePort() {
    QFETCH(QString, maker);
    QFETCH(QString, product);
    QFETCH(QString, serial);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(
                 tarvelin::describePort(maker.toStdString(), product.toStdString(), serial.toStdString())),
             text);
}

void TestTerminalAids::describeLinkName_data() {
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("text");
    const auto row = [](const char* name, const char* link, const char* text) {
        QTest::newRow(name) << link << text;
    };
    row("FTDI adapter", "usb-FTDI_FT232R_USB_UART_A9XK3-if00-port0", "FTDI FT232R USB UART A9XK3");
    row("CDC device", "usb-Arduino__www.arduino.cc__0043_75833353035351F0E1A1-if00",
        "Arduino www.arduino.cc 0043 75833353035351F0E1A1");
    row("hex interface number", "usb-Silicon_Labs_CP2102_0001-if0a-port1", "Silicon Labs CP2102 0001");
    row("PCI card", "pci-Oxford_OXPCIe952-port0", "Oxford OXPCIe952-port0");
    row("no bus prefix", "my_adapter", "my adapter");
    row("empty", "", "");
}

void TestTerminalAids::describeLinkName() {
    QFETCH(QString, link);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(tarvelin::describeLinkName(link.toStdString())), text);
}

void TestTerminalAids::naturalOrder_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("less");
    const auto row = [](const char* name, const char* a, const char* b, bool less) {
        QTest::newRow(name) << a << b << less;
    };
    row("2 before 10", "/dev/ttyS2", "/dev/ttyS10", true);
    row("10 after 2", "/dev/ttyS10", "/dev/ttyS2", false);
    row("equal", "/dev/ttyUSB0", "/dev/ttyUSB0", false);
    row("by letters first", "/dev/ttyACM9", "/dev/ttyS0", true);
    row("prefix first", "/dev/ttyS", "/dev/ttyS0", true);
    row("numbers inside", "usb-2-port10", "usb-10-port1", true);
    row("leading zeros: same value, still an order", "ttyS02", "ttyS2", true);
    row("leading zeros: reverse", "ttyS2", "ttyS02", false);
    row("long numbers", "x99999999999999999999", "x100000000000000000000", true);
}

void TestTerminalAids::naturalOrder() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, less);
    QCOMPARE(naturalLess(a.toStdString(), b.toStdString()), less);
}

QTEST_MAIN(TestTerminalAids)
#include "test_terminalaids.moc"
