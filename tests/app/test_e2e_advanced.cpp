// The advanced window end to end: its real buttons, the confirmation dialog,
// the terminal's real serial port and the simulated controller on a pty.
//
// Trusted addresses, calibration words, averaging and the MAC ID travel one
// byte per command; the flag byte at 566 is shared with the main window.
#include <QTest>
#include <algorithm>
#include <set>

#include "advanced/advancedwindow.h"
#include "app/confirmdialog.h"
#include "app/e2efixture.h"
#include "basic/basicwindow.h"
#include "config/busy.h"
#include "config/form.h"

using korvex::Memory;
using tarvelin::Form;
using tarvelin::member;
using tarvelin::test::EndToEnd;

namespace {

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 192);

QStringList texts(const std::vector<std::string>& commands) {
    QStringList out;
    for (const std::string& c : commands) out << QString::fromStdString(c);
    return out;
}

// Octet by octet across the six trusted addresses: 682, 686, ... 702, 683, ...
std::vector<int> trustedOrder() {
    std::vector<int> order;
    for (int j = 0; j < 4; ++j)
        for (int n = 0; n < 6; ++n) order.push_back(682 + 4 * n + j);
    return order;
}

// Each A/D channel's gain word, then its zero offset; then the same for D/A.
std::vector<int> calibrationOrder() {
    std::vector<int> order;
    for (int k = 0; k < 8; ++k)
        for (int a : {568 + 2 * k, 569 + 2 * k, 584 + 2 * k, 585 + 2 * k}) order.push_back(a);
    for (int k = 0; k < 4; ++k)
        for (int a : {600 + 2 * k, 601 + 2 * k, 616 + 2 * k, 617 + 2 * k}) order.push_back(a);
    return order;
}

std::vector<std::string> retrieveOrder() {
    std::vector<std::string> order{"IR*", EndToEnd::mr(566)};
    for (int i = 0; i < 6; ++i) order.push_back(EndToEnd::mr(0xFF10 + i));
    for (int a : trustedOrder()) order.push_back(EndToEnd::mr(a));
    for (int a : calibrationOrder()) order.push_back(EndToEnd::mr(a));
    order.push_back(EndToEnd::mr(632));
    return order;
}

// The writes of a whole store, with the values the model memory holds there.
std::vector<std::string> storeWrites(const Memory& model) {
    std::vector<std::string> order;
    auto w = [&](int a) { order.push_back(EndToEnd::mw(a, model[static_cast<std::size_t>(a)])); };
    w(566);
    for (int a : trustedOrder()) w(a);
    for (int a : calibrationOrder()) w(a);
    w(632);
    return order;
}

// A calibration box, its word's address and the word.
struct Word {
    const char* control;
    int address;
    int word;
    const char* text;  // as a retrieve shows it
};
const Word kWords[] = {
    {"ADmcal(0)", 568, 0x8000, " 32768"}, {"ADmcal(1)", 570, 0xFFFF, "-1"},
    {"ADmcal(2)", 572, 0x0064, " 100"},   {"ADmcal(3)", 574, 0x8001, "-32767"},
    {"ADmcal(4)", 576, 0x7FFF, " 32767"}, {"ADmcal(5)", 578, 0x0000, " 0"},
    {"ADmcal(6)", 580, 0x1234, " 4660"},  {"ADmcal(7)", 582, 0xFF00, "-256"},
    {"ADzcal(0)", 584, 0xFF9C, "-100"},   {"ADzcal(1)", 586, 0x0001, " 1"},
    {"ADzcal(2)", 588, 0x0002, " 2"},     {"ADzcal(3)", 590, 0xFFFD, "-3"},
    {"ADzcal(4)", 592, 0x0004, " 4"},     {"ADzcal(5)", 594, 0x0005, " 5"},
    {"ADzcal(6)", 596, 0x0006, " 6"},     {"ADzcal(7)", 598, 0x0064, " 100"},
    {"DAmcal(0)", 600, 0x0102, " 258"},   {"DAmcal(1)", 602, 0x0304, " 772"},
    {"DAmcal(2)", 604, 0xFFFE, "-2"},     {"DAmcal(3)", 606, 0x4000, " 16384"},
    {"DAzcal(0)", 616, 0x0007, " 7"},     {"DAzcal(1)", 618, 0xFFF8, "-8"},
    {"DAzcal(2)", 620, 0x0009, " 9"},     {"DAzcal(3)", 622, 0x000A, " 10"},
};

// A controller whose advanced block holds a different, valid value in every
// field (so that a retrieve followed by a store writes it back unchanged).
Memory distinctiveImage() {
    Memory m = EndToEnd::patternImage();
    EndToEnd::put(m, 566, {22});
    EndToEnd::put(m, 0xFF10, {0x00, 0x0A, 0x3C, 0x00, 0xC3, 0x05});
    EndToEnd::put(m, 682, {192, 168, 10, 1});
    EndToEnd::put(m, 686, {10, 0, 0, 2});
    EndToEnd::put(m, 690, {10, 1, 2, 3});
    EndToEnd::put(m, 694, {172, 16, 0, 4});
    EndToEnd::put(m, 698, {8, 8, 8, 5});
    EndToEnd::put(m, 702, {255, 254, 253, 6});
    for (const Word& w : kWords) EndToEnd::put(m, w.address, {w.word >> 8, w.word & 0xFF});
    EndToEnd::put(m, 632, {7});
    return m;
}

// What the window shows after a retrieve of distinctiveImage().
struct Shown {
    const char* control;
    const char* text;
};
std::vector<Shown> shownAfterRetrieve() {
    std::vector<Shown> shown{
        {"PLCconfig", " 22"},
        {"Tarvelintrusted(0)", "checked"},
        {"Tarvelintrusted(1)", "clear"},
        {"MBtrusted(0)", "checked"},
        {"MBtrusted(1)", "clear"},
        {"MAC(5)", "0"},
        {"MAC(4)", "A"},
        {"MAC(3)", "3C"},
        {"MAC(2)", "0"},
        {"MAC(1)", "C3"},
        {"MAC(0)", "5"},
        {"TIP1(3)", "192"},
        {"TIP1(2)", "168"},
        {"TIP1(1)", "10"},
        {"TIP1(0)", "1"},
        {"TIP2(3)", "10"},
        {"TIP2(2)", "0"},
        {"TIP2(1)", "0"},
        {"TIP2(0)", "2"},
        {"TIP3(3)", "10"},
        {"TIP3(2)", "1"},
        {"TIP3(1)", "2"},
        {"TIP3(0)", "3"},
        {"TIP4(3)", "172"},
        {"TIP4(2)", "16"},
        {"TIP4(1)", "0"},
        {"TIP4(0)", "4"},
        {"TIP5(3)", "8"},
        {"TIP5(2)", "8"},
        {"TIP5(1)", "8"},
        {"TIP5(0)", "5"},
        {"TIP6(3)", "255"},
        {"TIP6(2)", "254"},
        {"TIP6(1)", "253"},
        {"TIP6(0)", "6"},
        {"MovAvgNo", " 7"},
    };
    for (const Word& w : kWords) shown.push_back({w.control, w.text});
    return shown;
}

QString shown(Form& form, const QString& control) {
    if (control.contains(QLatin1String("trusted")))
        return form.isChecked(control) ? QStringLiteral("checked") : QStringLiteral("clear");
    return form.text(control);
}

// Every writable box of the advanced window as a distinct text, and the
// bytes it stands for.
struct Entry {
    QString control;
    QString text;
    int address;
    std::vector<int> bytes;
};
std::vector<Entry> entries() {
    std::vector<Entry> e;
    for (int n = 1; n <= 6; ++n)
        for (int j = 0; j < 4; ++j) {
            const int value = 20 * n + j + 1;  // 21 .. 124, each octet its own
            e.push_back({member(QStringLiteral("TIP%1").arg(n), 3 - j),
                         QString::number(value),
                         682 + 4 * (n - 1) + j,
                         {value}});
        }
    const struct {
        const char* control;
        const char* text;
        int address;
        int high, low;
    } words[] = {
        {"ADmcal(0)", "-1", 568, 0xFF, 0xFF},    {"ADmcal(1)", "-32768", 570, 0x80, 0x00},
        {"ADmcal(2)", "32768", 572, 0x80, 0x00}, {"ADmcal(3)", "", 574, 0x00, 0x00},
        {"ADmcal(4)", "65535", 576, 0xFF, 0xFF}, {"ADmcal(5)", " 1000", 578, 0x03, 0xE8},
        {"ADmcal(6)", "-2", 580, 0xFF, 0xFE},    {"ADmcal(7)", "256", 582, 0x01, 0x00},
        {"ADzcal(0)", "-100", 584, 0xFF, 0x9C},  {"ADzcal(1)", "", 586, 0x00, 0x00},
        {"ADzcal(2)", "-1", 588, 0xFF, 0xFF},    {"ADzcal(3)", "50", 590, 0x00, 0x32},
        {"ADzcal(4)", "-50", 592, 0xFF, 0xCE},   {"ADzcal(5)", "0", 594, 0x00, 0x00},
        {"ADzcal(6)", "99", 596, 0x00, 0x63},    {"ADzcal(7)", "100", 598, 0x00, 0x64},
        {"DAmcal(0)", "32767", 600, 0x7F, 0xFF}, {"DAmcal(1)", "-32767", 602, 0x80, 0x01},
        {"DAmcal(2)", "4660", 604, 0x12, 0x34},  {"DAmcal(3)", "", 606, 0x00, 0x00},
        {"DAzcal(0)", "7", 616, 0x00, 0x07},     {"DAzcal(1)", "-8", 618, 0xFF, 0xF8},
        {"DAzcal(2)", "", 620, 0x00, 0x00},      {"DAzcal(3)", "-100", 622, 0xFF, 0x9C},
    };
    for (const auto& w : words)
        e.push_back(
            {QString::fromLatin1(w.control), QString::fromLatin1(w.text), w.address, {w.high, w.low}});
    e.push_back({QStringLiteral("MovAvgNo"), QStringLiteral("9"), 632, {9}});
    return e;
}

void enter(Form& form, const std::vector<Entry>& list) {
    for (const Entry& e : list) form.setText(e.control, e.text);
}

void putEntries(Memory& m, const std::vector<Entry>& list) {
    for (const Entry& e : list)
        for (std::size_t i = 0; i < e.bytes.size(); ++i)
            m[static_cast<std::size_t>(e.address) + i] = static_cast<std::uint8_t>(e.bytes[i]);
}

std::set<int> advancedBlock() {
    std::set<int> s{566, 632};
    for (int a : calibrationOrder()) s.insert(a);
    for (int a : trustedOrder()) s.insert(a);
    return s;
}

}  // namespace

class TestE2EAdvanced : public QObject {
    Q_OBJECT
private slots:
    void init();

    void retrieveFillsEveryBox_data();
    void retrieveFillsEveryBox();
    void retrieveWireOrderAndMessage();
    void flagByteChoosesTheTrustSwitches_data();
    void flagByteChoosesTheTrustSwitches();
    void controllerStopsAfterTenReads();

    void storeWritesExactlyTheBlock_data();
    void storeWritesExactlyTheBlock();
    void storeEncodings_data();
    void storeEncodings();
    void storeStopsAcknowledgingAt686();
    void macIdNeverWritten();

    void onlyTheLastAskingWindowStores();
    void basicStoreAfterAdvancedRetrieveKeepsTrustBits();
    void advancedStoreAfterBasicStoreKeepsPasswordBit();
};

void TestE2EAdvanced::init() {
    QVERIFY(!tarvelin::Busy::instance().active());
}

// ---------------------------------------------------------------- retrieve

void TestE2EAdvanced::retrieveFillsEveryBox_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("expected");
    for (const Shown& s : shownAfterRetrieve()) QTest::newRow(s.control) << s.control << s.text;
}

void TestE2EAdvanced::retrieveFillsEveryBox() {
    QFETCH(QString, control);
    QFETCH(QString, expected);
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    e2e.sim().setMemory(distinctiveImage());
    e2e.retrieveAdvanced();
    QCOMPARE(EndToEnd::message(e2e.advanced()), QStringLiteral("Successfully Retrieved Setup Data"));
    QCOMPARE(shown(e2e.advancedForm(), control), expected);
    QCOMPARE(e2e.writes().size(), 0u);
}

void TestE2EAdvanced::retrieveWireOrderAndMessage() {
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    e2e.sim().setMemory(distinctiveImage());
    e2e.retrieveAdvanced();
    QCOMPARE(texts(e2e.commands()), texts(retrieveOrder()));
    QCOMPARE(EndToEnd::message(e2e.advanced()), QStringLiteral("Successfully Retrieved Setup Data"));
    QCOMPARE(EndToEnd::messageColor(e2e.advanced()), kBlue);
    QCOMPARE(EndToEnd::messageAlignment(e2e.advanced()), Qt::AlignHCenter);
    QCOMPARE(e2e.notes().beeps(), 0);
    // The main window's message line is its own.
    QCOMPARE(EndToEnd::message(e2e.basic()), QString());
}

void TestE2EAdvanced::flagByteChoosesTheTrustSwitches_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("plcConfig");
    QTest::addColumn<bool>("tarvelinTrusted");
    QTest::addColumn<bool>("modbusTrusted");
    QTest::newRow("4") << 4 << " 4" << true << false;
    QTest::newRow("22") << 22 << " 22" << true << true;
    QTest::newRow("2") << 2 << " 2" << false << false;
    QTest::newRow("16") << 16 << " 16" << false << true;
    QTest::newRow("235: every other bit") << 235 << " 235" << false << false;
    QTest::newRow("255") << 255 << " 255" << true << true;
}

void TestE2EAdvanced::flagByteChoosesTheTrustSwitches() {
    QFETCH(int, byte);
    QFETCH(QString, plcConfig);
    QFETCH(bool, tarvelinTrusted);
    QFETCH(bool, modbusTrusted);
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    Form& f = e2e.advancedForm();
    // The opposite choices first, so that the retrieve has to change them.
    f.setChecked(member("Tarvelintrusted", tarvelinTrusted ? 1 : 0), true);
    f.setChecked(member("MBtrusted", modbusTrusted ? 1 : 0), true);
    Memory m = distinctiveImage();
    m[566] = static_cast<std::uint8_t>(byte);
    e2e.sim().setMemory(m);
    e2e.retrieveAdvanced();
    QCOMPARE(f.text("PLCconfig"), plcConfig);
    QCOMPARE(f.isChecked("Tarvelintrusted(0)"), tarvelinTrusted);
    QCOMPARE(f.isChecked("Tarvelintrusted(1)"), !tarvelinTrusted);
    QCOMPARE(f.isChecked("MBtrusted(0)"), modbusTrusted);
    QCOMPARE(f.isChecked("MBtrusted(1)"), !modbusTrusted);
}

void TestE2EAdvanced::controllerStopsAfterTenReads() {
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    e2e.setTimeout(100);
    Form& f = e2e.advancedForm();
    // Everything as the window starts, remembered to see what changed.
    QStringList initial;
    const std::vector<Shown> all = shownAfterRetrieve();
    for (const Shown& s : all) initial << shown(f, s.control);

    korvex::Faults faults;
    faults.stopAfterFramed = 10;
    e2e.setFaults(faults);
    e2e.sim().setMemory(distinctiveImage());
    e2e.retrieveAdvanced();

    const QStringList reached{"PLCconfig",
                              "Tarvelintrusted(0)",
                              "Tarvelintrusted(1)",
                              "MBtrusted(0)",
                              "MBtrusted(1)",
                              "MAC(5)",
                              "MAC(4)",
                              "MAC(3)",
                              "MAC(2)",
                              "MAC(1)",
                              "MAC(0)",
                              "TIP1(3)",
                              "TIP2(3)",
                              "TIP3(3)"};
    for (std::size_t i = 0; i < all.size(); ++i) {
        const QString control = QString::fromLatin1(all[i].control);
        const QString expected =
            reached.contains(control) ? QString::fromLatin1(all[i].text) : initial.at(static_cast<int>(i));
        QVERIFY2(
            shown(f, control) == expected,
            qPrintable(
                QStringLiteral("%1 shows '%2', expected '%3'").arg(control, shown(f, control), expected)));
    }
    QCOMPARE(EndToEnd::message(e2e.advanced()), QStringLiteral("No Response from Device!"));
    QCOMPARE(EndToEnd::messageColor(e2e.advanced()), kRed);
    QCOMPARE(e2e.notes().beeps(), 1);
    // Ten answered reads, then the eleventh (the first octet of #4) unanswered.
    const auto commands = e2e.commands();
    QCOMPARE(commands.size(), 12u);  // "IR*" and eleven reads
    QCOMPARE(QString::fromStdString(commands.back()), QString::fromStdString(EndToEnd::mr(694)));
}

// ---------------------------------------------------------------- store

void TestE2EAdvanced::storeWritesExactlyTheBlock_data() {
    QTest::addColumn<bool>("retrieveFirst");
    QTest::addColumn<bool>("reboot");
    QTest::newRow("after a retrieve") << true << false;
    QTest::newRow("after a retrieve, with reboot") << true << true;
    QTest::newRow("without a retrieve: the flags are read first") << false << false;
}

void TestE2EAdvanced::storeWritesExactlyTheBlock() {
    QFETCH(bool, retrieveFirst);
    QFETCH(bool, reboot);
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    Memory before = distinctiveImage();
    before[566] = 0x93;  // bits 7, 4, 1, 0: Modbus trusted, password in use
    e2e.sim().setMemory(before);
    if (retrieveFirst) {
        e2e.retrieveAdvanced();
        QCOMPARE(e2e.advancedForm().text("PLCconfig"), QStringLiteral(" 147"));
        e2e.forget();
    }
    Form& f = e2e.advancedForm();
    const std::vector<Entry> list = entries();
    enter(f, list);
    f.setChecked("Tarvelintrusted(0)", true);
    f.setChecked("MBtrusted(1)", true);
    f.setChecked("ResetPLC", reboot);
    e2e.saveAdvanced(EndToEnd::Yes);

    QCOMPARE(EndToEnd::message(e2e.advanced()), QStringLiteral("Setup Data Stored to Device"));
    QCOMPARE(EndToEnd::messageColor(e2e.advanced()), kBlue);
    QCOMPARE(e2e.notes().beeps(), 1);
    Memory model = before;
    putEntries(model, list);
    model[566] = 0x87;  // Tarvelin trusted set, Modbus cleared, the others as they were
    QVERIFY2(EndToEnd::differences(e2e.memory(), model).isEmpty(),
             qPrintable(EndToEnd::differences(e2e.memory(), model)));
    QCOMPARE(f.text("PLCconfig"), QStringLiteral(" 135"));

    std::vector<std::string> order{"IR*"};
    if (!retrieveFirst) order.push_back(EndToEnd::mr(566));
    order.push_back("MENABLE");
    for (const std::string& w : storeWrites(model)) order.push_back(w);
    if (reboot) order.push_back("Mw4011000080");
    QCOMPARE(texts(e2e.commands()), texts(order));
    QCOMPARE(e2e.writes().size(), 74u);
    QCOMPARE(e2e.sim().rebootCount(), reboot ? 1 : 0);
}

void TestE2EAdvanced::storeEncodings_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("address");
    QTest::addColumn<QList<int>>("bytes");
    QTest::newRow("gain -1") << "ADmcal(0)"
                             << "-1" << 568 << QList<int>{0xFF, 0xFF};
    QTest::newRow("gain -32768") << "ADmcal(3)"
                                 << "-32768" << 574 << QList<int>{0x80, 0x00};
    QTest::newRow("gain 32768") << "DAmcal(3)"
                                << "32768" << 606 << QList<int>{0x80, 0x00};
    QTest::newRow("gain empty") << "ADmcal(7)"
                                << "" << 582 << QList<int>{0x00, 0x00};
    QTest::newRow("gain with a leading blank") << "ADmcal(1)"
                                               << " 300" << 570 << QList<int>{0x01, 0x2C};
    QTest::newRow("zero offset 100") << "ADzcal(7)"
                                     << "100" << 598 << QList<int>{0x00, 0x64};
    QTest::newRow("zero offset empty") << "DAzcal(0)"
                                       << "" << 616 << QList<int>{0x00, 0x00};
    QTest::newRow("trusted octet 192") << "TIP3(3)"
                                       << "192" << 690 << QList<int>{0xC0};
    QTest::newRow("trusted octet empty") << "TIP6(0)"
                                         << "" << 705 << QList<int>{0x00};
    QTest::newRow("averaging 1") << "MovAvgNo"
                                 << "1" << 632 << QList<int>{1};
}

void TestE2EAdvanced::storeEncodings() {
    // A retrieve, one box changed, a store: exactly that box's bytes change.
    QFETCH(QString, control);
    QFETCH(QString, text);
    QFETCH(int, address);
    QFETCH(QList<int>, bytes);
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    const Memory before = distinctiveImage();
    e2e.sim().setMemory(before);
    e2e.retrieveAdvanced();
    e2e.advancedForm().setText(control, text);
    e2e.saveAdvanced(EndToEnd::Yes);
    QCOMPARE(EndToEnd::message(e2e.advanced()), QStringLiteral("Setup Data Stored to Device"));
    Memory model = before;
    for (int i = 0; i < bytes.size(); ++i)
        model[static_cast<std::size_t>(address + i)] = static_cast<std::uint8_t>(bytes[i]);
    QVERIFY2(EndToEnd::differences(e2e.memory(), model).isEmpty(),
             qPrintable(EndToEnd::differences(e2e.memory(), model)));
}

void TestE2EAdvanced::storeStopsAcknowledgingAt686() {
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    e2e.setTimeout(100);
    Memory before = distinctiveImage();
    e2e.sim().setMemory(before);
    e2e.retrieveAdvanced();
    const std::vector<Entry> list = entries();
    enter(e2e.advancedForm(), list);
    e2e.advancedForm().setChecked("ResetPLC", true);
    korvex::Faults faults;
    faults.silentAtAddress = 686;
    e2e.setFaults(faults);
    e2e.forget();
    e2e.saveAdvanced(EndToEnd::Yes);

    QCOMPARE(EndToEnd::message(e2e.advanced()), QStringLiteral("No Response from Device!"));
    QCOMPARE(EndToEnd::messageColor(e2e.advanced()), kRed);
    QCOMPARE(e2e.notes().beeps(), 2);  // Save, then the missing reply
    // 566 and 682 written; 686 sent (this controller keeps the byte while
    // keeping its answer); nothing after it, no reboot.
    int tip1First = 0, tip2First = 0;
    for (const Entry& e : list) {
        if (e.address == 682) tip1First = e.bytes.front();
        if (e.address == 686) tip2First = e.bytes.front();
    }
    Memory model = before;
    model[566] = 22;  // as retrieved, the switches unchanged
    model[682] = static_cast<std::uint8_t>(tip1First);
    model[686] = static_cast<std::uint8_t>(tip2First);
    QVERIFY2(EndToEnd::differences(e2e.memory(), model).isEmpty(),
             qPrintable(EndToEnd::differences(e2e.memory(), model)));
    const std::vector<std::string> expected{"IR*", "MENABLE", EndToEnd::mw(566, 22),
                                            EndToEnd::mw(682, tip1First), EndToEnd::mw(686, tip2First)};
    QCOMPARE(texts(e2e.commands()), texts(expected));
    QCOMPARE(e2e.sim().rebootCount(), 0);
    QVERIFY(EndToEnd::message(e2e.advanced()) != QLatin1String("Setup Data Stored to Device"));
}

void TestE2EAdvanced::macIdNeverWritten() {
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    const Memory before = distinctiveImage();
    e2e.sim().setMemory(before);
    e2e.retrieveAdvanced();
    // Even boxes changed by program do not travel.
    for (int i = 0; i < 6; ++i) e2e.advancedForm().setText(member("MAC", i), QStringLiteral("FF"));
    e2e.saveAdvanced(EndToEnd::Yes);
    QCOMPARE(EndToEnd::message(e2e.advanced()), QStringLiteral("Setup Data Stored to Device"));
    for (const auto& w : e2e.writes())
        QVERIFY2(w.address < 0xFF10 || w.address > 0xFF15, qPrintable(QString::number(w.address)));
    for (const std::string& c : e2e.commands()) QVERIFY2(c.rfind("MWFF1", 0) != 0, c.c_str());
    QCOMPARE(EndToEnd::differences(e2e.memory(), before), QString());  // a round trip changes nothing
    // A fresh window's maker digits do not travel either.
    EndToEnd fresh;
    QVERIFY(fresh.ready());
    fresh.sim().setMemory(before);
    fresh.saveAdvanced(EndToEnd::Yes);
    QCOMPARE(EndToEnd::message(fresh.advanced()), QStringLiteral("Setup Data Stored to Device"));
    const Memory after = fresh.memory();
    QVERIFY(std::equal(after.begin() + 0xFF10, after.begin() + 0xFF16, before.begin() + 0xFF10));
}

// ---------------------------------------------------------------- both windows

void TestE2EAdvanced::onlyTheLastAskingWindowStores() {
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    const Memory before = EndToEnd::patternImage();
    e2e.sim().setMemory(before);
    e2e.advanced();
    e2e.clickSaveBasic();
    e2e.clickSaveAdvanced();
    e2e.answer(EndToEnd::Yes);
    std::set<int> written;
    for (const auto& w : e2e.writes()) written.insert(w.address);
    QCOMPARE(written, advancedBlock());
    QCOMPARE(e2e.writes().size(), 74u);  // each byte once
    const Memory after = e2e.memory();
    for (std::size_t a = 0; a < after.size(); ++a)
        if (!advancedBlock().count(static_cast<int>(a)))
            QVERIFY2(after[a] == before[a], qPrintable(QString::number(a)));
    QCOMPARE(EndToEnd::message(e2e.advanced()), QStringLiteral("Setup Data Stored to Device"));
    QCOMPARE(EndToEnd::message(e2e.basic()), QString());
}

void TestE2EAdvanced::basicStoreAfterAdvancedRetrieveKeepsTrustBits() {
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    Memory before = distinctiveImage();
    before[566] = 0xB4;  // bits 7, 5, 4, 2: both trust switches on, no password
    e2e.sim().setMemory(before);
    e2e.retrieveAdvanced();
    e2e.forget();
    e2e.basicForm().setChecked("EnablePW(0)", true);
    e2e.saveBasic(EndToEnd::Yes);
    QCOMPARE(EndToEnd::message(e2e.basic()), QStringLiteral("Setup Data Stored to Device"));
    QCOMPARE(int(e2e.memory()[566]), 0xB6);
    // The flags came from the advanced retrieve: the store does not read them again.
    const auto commands = e2e.commands();
    QCOMPARE(QString::fromStdString(commands.at(1)), QStringLiteral("MENABLE"));
    QCOMPARE(e2e.advancedForm().text("PLCconfig"), QStringLiteral(" 182"));
    // The advanced switches still show what the controller has.
    QVERIFY(e2e.advancedForm().isChecked("Tarvelintrusted(0)"));
    QVERIFY(e2e.advancedForm().isChecked("MBtrusted(0)"));
}

void TestE2EAdvanced::advancedStoreAfterBasicStoreKeepsPasswordBit() {
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    Memory before = distinctiveImage();
    before[566] = 0x40;  // bit 6 only
    e2e.sim().setMemory(before);
    e2e.basicForm().setChecked("EnablePW(0)", true);
    e2e.saveBasic(EndToEnd::Yes);
    QCOMPARE(int(e2e.memory()[566]), 0x42);
    e2e.forget();
    Form& f = e2e.advancedForm();
    f.setChecked("Tarvelintrusted(0)", true);
    f.setChecked("MBtrusted(0)", true);
    e2e.saveAdvanced(EndToEnd::Yes);
    QCOMPARE(EndToEnd::message(e2e.advanced()), QStringLiteral("Setup Data Stored to Device"));
    QCOMPARE(int(e2e.memory()[566]), 0x56);  // the password bit and bit 6 kept, both switches set
    const auto commands = e2e.commands();
    QCOMPARE(QString::fromStdString(commands.at(1)), QStringLiteral("MENABLE"));
    QCOMPARE(QString::fromStdString(commands.at(2)), QString::fromStdString(EndToEnd::mw(566, 0x56)));
}

QTEST_MAIN(TestE2EAdvanced)
#include "test_e2e_advanced.moc"
