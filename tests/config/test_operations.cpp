// Retrieve and store of both blocks against the simulated controller on a
// scripted line: what reaches the controls, what reaches the controller's
// memory, in which order, and what the message line says.
#include <QtTest>
#include <algorithm>

#include "opsharness.h"
#include "serial/frame.h"

using namespace tarvelin;
using namespace tarvelin::test;

Q_DECLARE_METATYPE(korvex::Config)
Q_DECLARE_METATYPE(tarvelin::Outcome)

namespace {

korvex::Config withFaults(korvex::Faults faults) {
    korvex::Config c;
    c.faults = std::move(faults);
    return c;
}

void putText(korvex::Memory& m, int address, const std::string& text) {
    for (int i = 0; i < 16; ++i) m[address + i] = i < static_cast<int>(text.size()) ? text[i] : 0;
}

std::vector<int> basicReadOrder() {
    const int ranges[][2] = {{524, 535}, {540, 543}, {536, 539}, {520, 523}, {544, 544},
                             {634, 665}, {556, 556}, {566, 566}, {666, 681}};
    std::vector<int> v;
    for (const auto& r : ranges)
        for (int a = r[0]; a <= r[1]; ++a) v.push_back(a);
    return v;
}

std::vector<int> advancedReadOrder(bool withMac) {
    std::vector<int> v{566};
    if (withMac)
        for (int i = 0; i < 6; ++i) v.push_back(0xFF10 + i);
    for (int j = 0; j < 4; ++j)
        for (int n = 0; n < 6; ++n) v.push_back(682 + 4 * n + j);
    for (int k = 0; k < 8; ++k) v.insert(v.end(), {568 + 2 * k, 569 + 2 * k, 584 + 2 * k, 585 + 2 * k});
    for (int k = 0; k < 4; ++k) v.insert(v.end(), {600 + 2 * k, 601 + 2 * k, 616 + 2 * k, 617 + 2 * k});
    v.push_back(632);
    return v;
}

}  // namespace

class OperationsTest : public QObject {
    Q_OBJECT
private slots:
    void basicRetrieveFillsEveryControl();
    void basicRetrieveStopsAtFirstFailure_data();
    void basicRetrieveStopsAtFirstFailure();
    void basicRetrieveWithoutVersionReply();
    void basicRetrieveAccessAndFlags_data();
    void basicRetrieveAccessAndFlags();
    void basicStoreWritesExactlyTheBlock();
    void basicStoreChoices_data();
    void basicStoreChoices();
    void basicStoreEdgeValues_data();
    void basicStoreEdgeValues();
    void storeRefusesValuesThatDoNotFit_data();
    void storeRefusesValuesThatDoNotFit();
    void basicStoreFailures_data();
    void basicStoreFailures();
    void basicStoreReboot_data();
    void basicStoreReboot();
    void advancedRetrieveFillsEveryControl();
    void advancedRetrieveFlagByte_data();
    void advancedRetrieveFlagByte();
    void advancedRetrieveStopsAfterTenReads();
    void advancedStoreWritesExactlyTheBlock();
    void advancedStoreStopsAt686();
    void flagByteKeepsEveryBitAcrossWindows();
    void verifyAfterSave_data();
    void verifyAfterSave();
    void progressCountersCarryOver();
    void failedFifthWriteGetsTheMark();
    void replyJudging_data();
    void replyJudging();
    void lineOutOfStep_data();
    void lineOutOfStep();
};

void OperationsTest::basicRetrieveFillsEveryControl() {
    OpsHarness h;
    auto& m = h.controller().memory();
    const int ip[] = {10, 20, 30, 40};
    for (int i = 0; i < 4; ++i) {
        m[524 + i] = ip[i];
        m[540 + i] = i + 1;        // smtp 1.2.3.4
        m[536 + i] = 8 - (i % 2);  // dns 8.7.8.7
    }
    m[520] = 0x23, m[521] = 0x78;  // 9080
    m[522] = 0x9C, m[523] = 0x40;  // 40000: shown as such, not sign-extended
    m[544] = 4;
    putText(m, 634, "admin");
    m[640] = 'x';  // after the zero byte: not shown
    putText(m, 650, "secret");
    putText(m, 666, "Press-7-line-16c");
    m[556] = 50;
    m[566] = 2;

    h.retrieveBasic();

    QCOMPARE(h.basicForm.text("version"), QString("KRVX-E1.07"));
    QCOMPARE(h.basicForm.text("IP(3)"), QString("10"));
    QCOMPARE(h.basicForm.text("IP(0)"), QString("40"));
    QCOMPARE(h.basicForm.text("smtp(3)"), QString("1"));
    QCOMPARE(h.basicForm.text("smtp(0)"), QString("4"));
    QCOMPARE(h.basicForm.text("DNS(3)"), QString("8"));
    QCOMPARE(h.basicForm.text("DNS(2)"), QString("7"));
    QCOMPARE(h.basicForm.text("subnet(0)"), QString("0"));
    QCOMPARE(h.basicForm.text("gateway(3)"), QString("192"));
    QCOMPARE(h.basicForm.text("svrport"), QString(" 9080"));
    QCOMPARE(h.basicForm.text("MBtcpPort"), QString(" 40000"));
    QCOMPARE(h.basicForm.text("No_of_MBtcp"), QString("4"));
    QCOMPARE(h.basicForm.text("username"), QString("admin"));
    QCOMPARE(h.basicForm.text("password"), QString("secret"));
    QCOMPARE(h.basicForm.text("hostName"), QString("Press-7-line-16c"));
    QCOMPARE(h.basicForm.selectedIndex("AccessLevel"), 1);
    QVERIFY(h.basicForm.isChecked("EnablePW(0)"));
    QVERIFY(!h.basicForm.isChecked("EnablePW(1)"));

    QCOMPARE(h.readAddresses(), basicReadOrder());
    QCOMPARE(h.writeAddresses().size(), std::size_t(0));
    QCOMPARE(h.basicLine.caption(), QString("Successfully Retrieved Setup Data"));
    QCOMPARE(h.basicLine.color(), kBlue);
    QCOMPARE(h.basicLine.alignment(), MessageLine::Alignment::Center);
    // Events once after clearing, then fifteen marks growing after eight blanks.
    QCOMPARE(h.basicLine.shown().size(), 16);
    QCOMPARE(h.basicLine.shown().first(), QString(8, ' '));
    QCOMPARE(h.basicLine.shown().last(), QString(8, ' ') + QString("* ").repeated(15));
    QCOMPARE(h.notifier().beeps(), 0);
    // The retrieve leaves the advanced window's flag byte holder alone.
    QCOMPARE(h.advancedForm.text("PLCconfig"), QString("00"));
}

void OperationsTest::basicRetrieveStopsAtFirstFailure_data() {
    QTest::addColumn<int>("silentAt");
    QTest::addColumn<int>("otherAt");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("changed");    // controls that take the controller's value
    QTest::addColumn<QStringList>("unchanged");  // controls that keep their text
    const auto row = [](const char* name, int silentAt, int otherAt, const QString& message,
                        const QStringList& changed, const QStringList& unchanged) {
        QTest::newRow(name) << silentAt << otherAt << message << changed << unchanged;
    };
    row("silent at 650: password and later untouched", 650, -1, "No Response from Device!",
        {"IP(0)", "DNS(0)", "svrport", "MBtcpPort", "No_of_MBtcp", "username"}, {"password", "hostName"});
    row("silent at 521: the port keeps its text", 521, -1, "No Response from Device!", {"IP(0)", "DNS(0)"},
        {"svrport", "MBtcpPort", "username"});
    row("another station at 530: half an address", -1, 530, "Invalid response from Device!",
        {"IP(0)", "subnet(3)", "subnet(2)"}, {"subnet(1)", "subnet(0)", "gateway(3)"});
    row("silent at the first address", 524, -1, "No Response from Device!", {},
        {"IP(3)", "IP(0)", "svrport"});
    row("silent at the last address", 681, -1, "No Response from Device!", {"IP(3)", "password"},
        {"hostName"});
}

void OperationsTest::basicRetrieveStopsAtFirstFailure() {
    QFETCH(int, silentAt);
    QFETCH(int, otherAt);
    QFETCH(QString, message);
    QFETCH(QStringList, changed);
    QFETCH(QStringList, unchanged);
    korvex::Faults faults;
    faults.silentAtAddress = silentAt;
    faults.otherStationAtAddress = otherAt;
    OpsHarness h(withFaults(faults));
    auto& m = h.controller().memory();
    // Values that differ from every initial text.
    for (int a = 520; a <= 544; ++a) m[a] = 77;
    putText(m, 634, "user");
    putText(m, 650, "pass");
    putText(m, 666, "node");
    m[556] = 49;  // "1 - Programmer" and password protection, should they be reached
    m[566] = 2;
    for (const QString& c : changed + unchanged) h.basicForm.initText(c, "old");
    h.basicForm.setSelectedIndex("AccessLevel", 2);

    h.retrieveBasic();

    for (const QString& c : changed) QVERIFY2(h.basicForm.text(c) != "old", qPrintable(c));
    for (const QString& c : unchanged) QVERIFY2(h.basicForm.text(c) == "old", qPrintable(c));
    if (unchanged.contains("password")) {
        QCOMPARE(h.basicForm.selectedIndex("AccessLevel"), 2);
        QVERIFY(!h.basicForm.isChecked("EnablePW(0)"));
    }
    QCOMPARE(h.basicLine.caption(), message);
    QCOMPARE(h.notifier().beeps(), message.startsWith("No Response") ? 1 : 0);
    // Nothing is asked after the read that failed.
    QCOMPARE(h.readAddresses().back(), silentAt >= 0 ? silentAt : otherAt);
}

// A controller that answers "IR*" but not "VM*": no version, every field.
void OperationsTest::basicRetrieveWithoutVersionReply() {
    korvex::Faults faults;
    faults.silentCommands = {"VM*"};
    OpsHarness h(withFaults(faults));
    h.basicForm.setText("version", "KRVX-E1.00");
    putText(h.controller().memory(), 666, "Node-Name-16char");  // the last field read
    h.retrieveBasic();
    QCOMPARE(h.basicForm.text("version"), QString());
    QCOMPARE(h.readAddresses(), basicReadOrder());
    QCOMPARE(h.basicForm.text("hostName"), QString("Node-Name-16char"));
    QCOMPARE(h.basicLine.caption(), QString("Successfully Retrieved Setup Data"));
    QCOMPARE(h.notifier().beeps(), 0);
}

void OperationsTest::basicRetrieveAccessAndFlags_data() {
    QTest::addColumn<int>("accessByte");
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("expectedIndex");
    QTest::addColumn<bool>("yes");
    QTest::newRow("access 0 keeps the list, flags 0 No") << 0 << 0 << 1 << false;
    QTest::newRow("access 51 visitor, flags 2 Yes") << 51 << 2 << 2 << true;
    QTest::newRow("access 52 keeps the list, flags 3 Yes") << 52 << 3 << 1 << true;
    QTest::newRow("access 49 programmer, flags 255 Yes") << 49 << 255 << 0 << true;
    QTest::newRow("flags 253 (all but bit 1) No") << 50 << 253 << 1 << false;
}

void OperationsTest::basicRetrieveAccessAndFlags() {
    QFETCH(int, accessByte);
    QFETCH(int, flags);
    QFETCH(int, expectedIndex);
    QFETCH(bool, yes);
    OpsHarness h;
    h.controller().memory()[556] = accessByte;
    h.controller().memory()[566] = flags;
    h.basicForm.setSelectedIndex("AccessLevel", 1);
    h.retrieveBasic();
    QCOMPARE(h.basicForm.selectedIndex("AccessLevel"), expectedIndex);
    QCOMPARE(h.basicForm.isChecked("EnablePW(0)"), yes);
    QCOMPARE(h.basicForm.isChecked("EnablePW(1)"), !yes);
}

void OperationsTest::basicStoreWritesExactlyTheBlock() {
    OpsHarness h;
    h.controller().memory()[566] = 0x14;  // both trusted-IP switches on, password off
    auto before = h.controller().memory();
    const char* ip[] = {"5", "1", "168", "192"};
    for (int i = 0; i < 4; ++i) h.basicForm.setText(member("IP", i), ip[i]);
    h.basicForm.setText("smtp(3)", "10");
    h.basicForm.setText("DNS(0)", "9");
    h.basicForm.setText("svrport", " 9080");
    h.basicForm.setText("MBtcpPort", "502");
    h.basicForm.setText("No_of_MBtcp", "4");
    h.basicForm.setText("username", "operator");
    h.basicForm.setText("password", "");
    h.basicForm.setText("hostName", "Press 8");
    h.basicForm.setSelectedIndex("AccessLevel", 1);
    h.basicForm.setChecked("EnablePW(0)", true);

    h.storeBasic();

    auto expected = before;
    const int ipBytes[] = {192, 168, 1, 5};
    for (int i = 0; i < 4; ++i) expected[524 + i] = ipBytes[i];
    expected[540] = 10, expected[541] = 0, expected[542] = 0, expected[543] = 0;
    expected[536] = 0, expected[537] = 0, expected[538] = 0, expected[539] = 9;
    expected[520] = 35, expected[521] = 120, expected[522] = 1, expected[523] = 246;
    expected[544] = 4;
    putText(expected, 634, "operator");
    putText(expected, 650, "");
    putText(expected, 666, "Press 8");
    expected[556] = 50, expected[557] = 0;
    expected[566] = 0x16;  // the trusted-IP bits kept, the password bit set
    QVERIFY(h.controller().memory() == expected);

    // The flag byte is fetched before memory is enabled; then the 76 writes in order.
    auto commands = h.framedCommands();
    QCOMPARE(QString::fromStdString(commands.at(0)), QString("MR0236"));
    QCOMPARE(QString::fromStdString(commands.at(1)), QString("MENABLE"));
    QCOMPARE(std::count(commands.begin(), commands.end(), std::string("MW020CC0")), 1);  // 192 at 524
    std::vector<int> order = basicReadOrder();
    order.insert(std::find(order.begin(), order.end(), 556) + 1, 557);
    QCOMPARE(h.writeAddresses(), order);
    QCOMPARE(h.controller().rebootCount(), 0);
    QCOMPARE(h.advancedForm.text("PLCconfig"), QString(" 22"));
    QCOMPARE(h.basicLine.caption(), QString("Setup Data Stored to Device"));
    QCOMPARE(h.basicLine.color(), kBlue);
    QCOMPARE(h.notifier().beeps(), 0);
}

// The access level list and the password choice, and the flag byte the
// controller held before (read first, the other bits kept).
void OperationsTest::basicStoreChoices_data() {
    QTest::addColumn<int>("access");  // list position chosen; -1 none (start-up)
    QTest::addColumn<int>("enable");  // EnablePW member chosen; -1 none (start-up)
    QTest::addColumn<int>("flagsBefore");
    QTest::addColumn<int>("accessByte");
    QTest::addColumn<int>("flagsAfter");
    QTest::newRow("3 - Visitor, Yes") << 2 << 0 << 0x95 << 51 << 0x97;
    QTest::newRow("1 - Programmer, No") << 0 << 1 << 0x97 << 49 << 0x95;
    QTest::newRow("2 - User, Yes on a zero byte") << 1 << 0 << 0x00 << 50 << 0x02;
    QTest::newRow("no access level chosen: 48") << -1 << 0 << 0x04 << 48 << 0x06;
    QTest::newRow("no password choice: bit cleared, the others kept") << 0 << -1 << 0xFF << 49 << 0xFD;
}

void OperationsTest::basicStoreChoices() {
    QFETCH(int, access);
    QFETCH(int, enable);
    QFETCH(int, flagsBefore);
    QFETCH(int, accessByte);
    QFETCH(int, flagsAfter);
    OpsHarness h;
    h.controller().memory()[566] = flagsBefore;
    h.controller().memory()[557] = 0x33;
    h.basicForm.setSelectedIndex("AccessLevel", access);
    if (enable >= 0) h.basicForm.setChecked(member("EnablePW", enable), true);
    h.storeBasic();
    QCOMPARE(h.basicLine.caption(), QString("Setup Data Stored to Device"));
    QCOMPARE(int(h.controller().memory()[556]), accessByte);
    QCOMPARE(int(h.controller().memory()[557]), 0);
    QCOMPARE(int(h.controller().memory()[566]), flagsAfter);
    QCOMPARE(h.advancedForm.text("PLCconfig"), QString(" %1").arg(flagsAfter));
}

void OperationsTest::basicStoreEdgeValues_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("address");
    QTest::addColumn<QList<int>>("bytes");
    const auto row = [](const char* name, const char* control, const QString& text, int address,
                        QList<int> bytes) { QTest::newRow(name) << control << text << address << bytes; };
    row("empty IP box", "IP(3)", "", 524, {0});
    row("lenient 12abc", "IP(2)", "12abc", 525, {12});
    row("blank and 9080", "svrport", " 9080", 520, {35, 120});
    row("empty port", "svrport", "", 520, {0, 0});
    row("port above 32767", "MBtcpPort", "40000", 522, {156, 64});
    row("half to even", "IP(0)", "2.5", 527, {2});
    row("latin-1 text", "hostName", QString::fromUtf8("Öl-Pumpe"), 666,
        {0xD6, 'l', '-', 'P', 'u', 'm', 'p', 'e', 0});
    QList<int> sixteen;
    for (char c : std::string("abcdefghijklmnop")) sixteen << c;
    row("16-character password, no zero byte", "password", "abcdefghijklmnop", 650, sixteen);
    row("20-character user name keeps 16", "username", "abcdefghijklmnopqrst", 634, sixteen + QList<int>{0});
}

void OperationsTest::basicStoreEdgeValues() {
    QFETCH(QString, control);
    QFETCH(QString, text);
    QFETCH(int, address);
    QFETCH(QList<int>, bytes);
    OpsHarness h;
    h.basicForm.setText(control, text);
    h.storeBasic();
    QCOMPARE(h.basicLine.caption(), QString("Setup Data Stored to Device"));
    for (int i = 0; i < bytes.size(); ++i) QCOMPARE(int(h.controller().memory()[address + i]), bytes[i]);
}

// A value that does not fit its bytes stops the store before anything is sent.
void OperationsTest::storeRefusesValuesThatDoNotFit_data() {
    QTest::addColumn<bool>("basic");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const auto row = [](const char* name, bool basic, const char* control, const QString& text,
                        const char* field, const char* range) {
        QTest::newRow(name) << basic << control << text
                            << QString::fromUtf8(field) + ": " + text + " is not between " + range;
    };
    row("octet 300", true, "gateway(1)", "300", "Gateway", "0 and 255");
    row("negative octet", true, "IP(3)", "-1", "IP Address", "0 and 255");
    row("1e309", true, "DNS(0)", "1e309", "DNS Server", "0 and 255");
    row("hex beyond", true, "smtp(2)", "&HFFFFFFFF", "SMTP Server", "0 and 255");
    row("port 70000", true, "svrport", "70000", "Tarvelin Port", "0 and 65535");
    row("count 256", true, "No_of_MBtcp", "256", "No of Connections (MBTCP)", "0 and 255");
    row("trusted octet 256", false, "TIP2(1)", "256", "Trusted IP #2", "0 and 255");
    row("gain 65536", false, "ADmcal(4)", "65536", "ADC gain Ch5", "-32768 and 65535");
    row("gain -32769", false, "DAmcal(0)", "-32769", "DAC gain Ch1", "-32768 and 65535");
    row("offset 101", false, "ADzcal(0)", "101", "ADC zero offset Ch1", "-100 and 100");
    row("averaging 0", false, "MovAvgNo", "0", "A/D Moving Avg No. of pts", "1 and 9");
    row("averaging 1e309", false, "MovAvgNo", "1e309", "A/D Moving Avg No. of pts", "1 and 9");
    QTest::newRow("400 digits")
        << true << "MBtcpPort" << QString(400, '9')
        << "Modbus/TCP Secondary Port: 999999999999999999999... is not between 0 and 65535";
    QTest::newRow("no single-byte code")
        << true << "hostName" << QString::fromUtf8("Ω-7")
        << QString::fromUtf8("Node Name: the character 'Ω' cannot be stored (single-byte characters only)");
}

void OperationsTest::storeRefusesValuesThatDoNotFit() {
    QFETCH(bool, basic);
    QFETCH(QString, control);
    QFETCH(QString, text);
    QFETCH(QString, message);
    OpsHarness h;
    (basic ? h.basicForm : h.advancedForm).setText(control, text);
    basic ? h.storeBasic() : h.storeAdvanced();
    const RecordingMessageLine& line = basic ? h.basicLine : h.advancedLine;
    QCOMPARE(line.caption(), message);
    QCOMPARE(line.color(), kRed);
    QCOMPARE(h.notifier().beeps(), 1);
    QCOMPARE(h.line().openCalls(), 0);   // nothing opened
    QVERIFY(h.line().writes().empty());  // nothing sent
}

void OperationsTest::basicStoreFailures_data() {
    QTest::addColumn<int>("stopAfter");
    QTest::addColumn<int>("silentAt");
    QTest::addColumn<QString>("silentCommand");
    QTest::addColumn<bool>("flagsKnown");
    QTest::addColumn<QList<int>>("written");  // addresses whose bytes changed
    QTest::addColumn<QString>("message");
    const auto row = [](const char* name, int stopAfter, int silentAt, const QString& silentCommand,
                        bool flagsKnown, const QList<int>& written, const QString& message) {
        QTest::newRow(name) << stopAfter << silentAt << silentCommand << flagsKnown << written << message;
    };
    // MENABLE + 4 IP bytes + the first subnet byte, then silence.
    row("stops after the first subnet byte", 6, -1, "", true, {524, 525, 526, 527, 528},
        "No Response from Device!");
    row("MENABLE unanswered", -1, -1, "MENABLE", true, {}, "No Response from Device!");
    row("the flag byte cannot be fetched", -1, 566, "", false, {}, "No Response from Device!");
    row("silent controller", 0, -1, "", true, {}, "No Response from Device!");
}

void OperationsTest::basicStoreFailures() {
    QFETCH(int, stopAfter);
    QFETCH(int, silentAt);
    QFETCH(QString, silentCommand);
    QFETCH(bool, flagsKnown);
    QFETCH(QList<int>, written);
    QFETCH(QString, message);
    korvex::Faults faults;
    faults.stopAfterFramed = stopAfter;
    faults.silentAtAddress = silentAt;
    if (!silentCommand.isEmpty()) faults.silentCommands.insert(silentCommand.toStdString());
    OpsHarness h(withFaults(faults));
    h.holder.setFlagByteFromController(flagsKnown);
    for (int i = 0; i < 4; ++i) {
        h.basicForm.setText(member("IP", i), "9");
        h.basicForm.setText(member("subnet", i), "9");
    }
    h.basicForm.setChecked("ResetPLC", true);
    const auto before = h.controller().memory();
    h.storeBasic();
    for (int a = 0; a < 65536; ++a) {
        const bool changed = h.controller().memory()[a] != before[a];
        QVERIFY2(changed == written.contains(a), qPrintable(QString::number(a)));
    }
    QCOMPARE(h.basicLine.caption(), message);
    QCOMPARE(h.basicLine.color(), kRed);
    QCOMPARE(h.notifier().beeps(), 1);
    // Nothing follows the failed exchange: no reboot.
    const auto commands = h.framedCommands();
    QCOMPARE(std::count(commands.begin(), commands.end(), std::string("Mw4011000080")), 0);
}

void OperationsTest::basicStoreReboot_data() {
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<int>("reboots");
    QTest::addColumn<int>("beeps");
    QTest::newRow("unticked: no reboot") << false << true << 0 << 0;
    QTest::newRow("ticked and answered") << true << true << 1 << 0;
    QTest::newRow("ticked, silent reboot: beep, then success") << true << false << 1 << 1;
}

void OperationsTest::basicStoreReboot() {
    QFETCH(bool, ticked);
    QFETCH(bool, answered);
    QFETCH(int, reboots);
    QFETCH(int, beeps);
    korvex::Faults faults;
    if (!answered) faults.silentCommands.insert("Mw4011000080");
    OpsHarness h(withFaults(faults));
    h.basicForm.setChecked("ResetPLC", ticked);
    h.storeBasic();
    QCOMPARE(h.controller().rebootCount(), reboots);
    QCOMPARE(h.notifier().beeps(), beeps);
    QCOMPARE(h.basicLine.caption(), QString("Setup Data Stored to Device"));
    QCOMPARE(h.basicLine.color(), kBlue);
    const auto commands = h.framedCommands();
    QCOMPARE(commands.back() == "Mw4011000080", ticked);
}

void OperationsTest::advancedRetrieveFillsEveryControl() {
    OpsHarness h;
    auto& m = h.controller().memory();
    m[566] = 22;
    const int mac[] = {0x00, 0x0A, 0x3C, 0x00, 0xC3, 0x05};
    for (int i = 0; i < 6; ++i) m[0xFF10 + i] = mac[i];
    for (int n = 0; n < 6; ++n)
        for (int j = 0; j < 4; ++j) m[682 + 4 * n + j] = 10 * (n + 1) + j;
    m[568] = 0x80, m[569] = 0x00;  // 32768
    m[570] = 0xFF, m[571] = 0xFF;  // -1
    m[598] = 0x00, m[599] = 0x64;  // 100
    m[600] = 0x80, m[601] = 0x01;  // -32767
    m[632] = 5;

    h.retrieveAdvanced();

    QCOMPARE(h.advancedForm.text("PLCconfig"), QString(" 22"));
    QVERIFY(h.advancedForm.isChecked("Tarvelintrusted(0)"));
    QVERIFY(h.advancedForm.isChecked("MBtrusted(0)"));
    QVERIFY(h.holder.flagByteFromController());
    const char* macTexts[] = {"0", "A", "3C", "0", "C3", "5"};
    for (int i = 0; i < 6; ++i) QCOMPARE(h.advancedForm.text(member("MAC", 5 - i)), QString(macTexts[i]));
    QCOMPARE(h.advancedForm.text("TIP3(3)"), QString("30"));
    QCOMPARE(h.advancedForm.text("TIP3(0)"), QString("33"));
    QCOMPARE(h.advancedForm.text("ADmcal(0)"), QString(" 32768"));
    QCOMPARE(h.advancedForm.text("ADmcal(1)"), QString("-1"));
    QCOMPARE(h.advancedForm.text("ADzcal(7)"), QString(" 100"));
    QCOMPARE(h.advancedForm.text("DAmcal(0)"), QString("-32767"));
    QCOMPARE(h.advancedForm.text("DAzcal(3)"), QString(" 0"));
    QCOMPARE(h.advancedForm.text("MovAvgNo"), QString(" 5"));
    QCOMPARE(h.readAddresses(), advancedReadOrder(true));
    QCOMPARE(h.advancedLine.caption(), QString("Successfully Retrieved Setup Data"));
    QCOMPARE(h.advancedLine.shown().size(), 1 + 16);  // 80 reads
}

void OperationsTest::advancedRetrieveFlagByte_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<bool>("tarvelinTrusted");  // bit of value 4
    QTest::addColumn<bool>("modbusTrusted");    // bit of value 16
    QTest::newRow("4") << 4 << true << false;
    QTest::newRow("22") << 22 << true << true;
    QTest::newRow("2") << 2 << false << false;
    QTest::newRow("16") << 16 << false << true;
    QTest::newRow("235: every other bit") << 235 << false << false;
    QTest::newRow("255") << 255 << true << true;
}

void OperationsTest::advancedRetrieveFlagByte() {
    QFETCH(int, byte);
    QFETCH(bool, tarvelinTrusted);
    QFETCH(bool, modbusTrusted);
    OpsHarness h;
    h.controller().memory()[566] = byte;
    // The opposite choices first, so that the retrieve has to change them.
    h.advancedForm.setChecked(member("Tarvelintrusted", tarvelinTrusted ? 1 : 0), true);
    h.advancedForm.setChecked(member("MBtrusted", modbusTrusted ? 1 : 0), true);
    h.retrieveAdvanced();
    QCOMPARE(h.advancedForm.text("PLCconfig"), QString(" %1").arg(byte));
    QCOMPARE(h.advancedForm.isChecked("Tarvelintrusted(0)"), tarvelinTrusted);
    QCOMPARE(h.advancedForm.isChecked("Tarvelintrusted(1)"), !tarvelinTrusted);
    QCOMPARE(h.advancedForm.isChecked("MBtrusted(0)"), modbusTrusted);
    QCOMPARE(h.advancedForm.isChecked("MBtrusted(1)"), !modbusTrusted);
}

void OperationsTest::advancedRetrieveStopsAfterTenReads() {
    korvex::Faults faults;
    faults.stopAfterFramed = 10;
    OpsHarness h(withFaults(faults));
    auto& m = h.controller().memory();
    m[566] = 4;
    for (int a = 682; a <= 705; ++a) m[a] = 9;
    for (int n = 1; n <= 6; ++n) h.advancedForm.initText(QStringLiteral("TIP%1(3)").arg(n), "old");
    for (int i = 0; i < 6; ++i) h.advancedForm.initText(member("MAC", i), "old");
    h.advancedForm.initText("ADmcal(0)", "old");
    h.retrieveAdvanced();
    QCOMPARE(h.advancedForm.text("PLCconfig"), QString(" 4"));
    QVERIFY(h.advancedForm.isChecked("Tarvelintrusted(0)"));
    QVERIFY(h.advancedForm.isChecked("MBtrusted(1)"));
    const char* macTexts[] = {"34", "12", "0", "58", "4B", "2"};  // the factory MAC ID, MAC(0) first
    for (int i = 0; i < 6; ++i) QCOMPARE(h.advancedForm.text(member("MAC", i)), QString(macTexts[i]));
    QCOMPARE(h.advancedForm.text("ADmcal(0)"), QString("old"));
    for (int n = 1; n <= 3; ++n)
        QCOMPARE(h.advancedForm.text(QStringLiteral("TIP%1(3)").arg(n)), QString("9"));
    for (int n = 4; n <= 6; ++n)
        QCOMPARE(h.advancedForm.text(QStringLiteral("TIP%1(3)").arg(n)), QString("old"));
    QCOMPARE(h.advancedLine.caption(), QString("No Response from Device!"));
    QCOMPARE(h.advancedLine.color(), kRed);
}

void OperationsTest::advancedStoreWritesExactlyTheBlock() {
    OpsHarness h;
    for (int a = 682; a <= 705; ++a) h.controller().memory()[a] = 9;  // the empty boxes write 0 over it
    auto before = h.controller().memory();
    h.holder.setFlagByteFromController(true);
    h.advancedForm.setText("PLCconfig", " 18");
    h.advancedForm.setChecked("Tarvelintrusted(0)", true);
    h.advancedForm.setChecked("MBtrusted(1)", true);
    h.advancedForm.setText("TIP3(3)", "10");
    h.advancedForm.setText("TIP3(2)", "1");
    h.advancedForm.setText("TIP3(1)", "2");
    h.advancedForm.setText("TIP3(0)", "3");
    h.advancedForm.setText("TIP1(0)", "192");
    h.advancedForm.setText("ADmcal(0)", "-1");
    h.advancedForm.setText("ADmcal(1)", "-32768");
    h.advancedForm.setText("ADmcal(2)", "32768");
    h.advancedForm.setText("ADmcal(3)", "");
    h.advancedForm.setText("ADmcal(4)", " 300");
    h.advancedForm.setText("DAmcal(3)", "65535");
    h.advancedForm.setText("ADzcal(7)", "100");
    h.advancedForm.setText("DAzcal(0)", "-100");
    h.advancedForm.setText("MovAvgNo", "7");
    h.advancedForm.setText("MAC(0)", "FF");  // display only: never written

    h.storeAdvanced();

    auto expected = before;
    for (int a = 682; a <= 705; ++a) expected[a] = 0;
    expected[566] = 6;
    expected[690] = 10, expected[691] = 1, expected[692] = 2, expected[693] = 3;
    expected[685] = 192;
    expected[568] = 0xFF, expected[569] = 0xFF;
    expected[570] = 0x80, expected[571] = 0x00;
    expected[572] = 0x80, expected[573] = 0x00;
    expected[574] = 0x00, expected[575] = 0x00;
    expected[576] = 0x01, expected[577] = 0x2C;
    expected[606] = 0xFF, expected[607] = 0xFF;
    expected[598] = 0x00, expected[599] = 0x64;
    expected[616] = 0xFF, expected[617] = 0x9C;
    expected[632] = 7;
    QVERIFY(h.controller().memory() == expected);
    QCOMPARE(h.advancedForm.text("PLCconfig"), QString(" 6"));
    std::vector<int> order = advancedReadOrder(false);
    QCOMPARE(h.writeAddresses(), order);
    QCOMPARE(QString::fromStdString(h.framedCommands().front()), QString("MENABLE"));
    QCOMPARE(h.advancedLine.caption(), QString("Setup Data Stored to Device"));
}

void OperationsTest::advancedStoreStopsAt686() {
    korvex::Faults faults;
    faults.stopAfterFramed = 3;  // MENABLE, 566, 682
    OpsHarness h(withFaults(faults));
    h.holder.setFlagByteFromController(true);
    for (int a = 682; a <= 705; ++a) h.controller().memory()[a] = 1;
    h.controller().memory()[566] = 1;
    for (int n = 1; n <= 6; ++n)
        for (int i = 0; i < 4; ++i) h.advancedForm.setText(member(QStringLiteral("TIP%1").arg(n), i), "7");
    h.advancedForm.setChecked("ResetPLC", true);
    h.storeAdvanced();
    auto& m = h.controller().memory();
    QCOMPARE(int(m[566]), 0);
    QCOMPARE(int(m[682]), 7);
    QCOMPARE(int(m[686]), 1);
    QCOMPARE(int(m[683]), 1);
    QCOMPARE(h.controller().rebootCount(), 0);
    QCOMPARE(h.advancedLine.caption(), QString("No Response from Device!"));
}

void OperationsTest::flagByteKeepsEveryBitAcrossWindows() {
    // A basic store after an advanced retrieve keeps the trusted bits and the
    // bits nobody owns; an advanced store with no retrieve keeps the password bit.
    OpsHarness h;
    h.controller().memory()[566] = 0x80 | 0x10 | 0x04 | 0x01;
    h.retrieveAdvanced();
    h.basicForm.setChecked("EnablePW(0)", true);
    h.storeBasic();
    QCOMPARE(int(h.controller().memory()[566]), 0x80 | 0x10 | 0x04 | 0x02 | 0x01);

    OpsHarness fresh;
    fresh.controller().memory()[566] = 0x02 | 0x40;
    fresh.advancedForm.setChecked("MBtrusted(0)", true);
    fresh.storeAdvanced();
    QCOMPARE(int(fresh.controller().memory()[566]), 0x02 | 0x40 | 0x10);
    QCOMPARE(QString::fromStdString(fresh.framedCommands().at(0)), QString("MR0236"));
    QCOMPARE(QString::fromStdString(fresh.framedCommands().at(1)), QString("MENABLE"));
    // Once fetched, the next store builds on what the window holds.
    fresh.controller().clearLog();
    fresh.storeAdvanced();
    QCOMPARE(QString::fromStdString(fresh.framedCommands().at(0)), QString("MENABLE"));
}

void OperationsTest::verifyAfterSave_data() {
    QTest::addColumn<bool>("basic");
    QTest::addColumn<int>("ignoreWriteAt");
    QTest::addColumn<QString>("message");
    const auto row = [](const char* name, bool basic, int ignoreWriteAt, const QString& message) {
        QTest::newRow(name) << basic << ignoreWriteAt << message;
    };
    row("basic, all written", true, -1, "Setup Data Stored to Device");
    row("basic, one character lost", true, 672, "Verify failed: Node Name reads 'Press i', wrote 'Press 8'");
    row("basic, a port byte lost", true, 521, "Verify failed: Tarvelin Port reads '9080', wrote '9081'");
    row("advanced, all written", false, -1, "Setup Data Stored to Device");
    row("advanced, a gain byte lost", false, 569, "Verify failed: ADC gain Ch1 reads '-256', wrote '-1'");
}

void OperationsTest::verifyAfterSave() {
    QFETCH(bool, basic);
    QFETCH(int, ignoreWriteAt);
    QFETCH(QString, message);
    korvex::Faults faults;
    faults.ignoreWriteAtAddress = ignoreWriteAt;
    OpsHarness h(withFaults(faults));
    HeadlessForm& form = basic ? h.basicForm : h.advancedForm;
    form.setChecked("VerifyAfterSave", true);
    form.setChecked("ResetPLC", true);
    h.basicForm.setText("hostName", "Press 8");
    h.basicForm.setText("svrport", "9081");
    h.advancedForm.setText("ADmcal(0)", "-1");
    h.controller().memory()[568] = 0x01;
    basic ? h.storeBasic() : h.storeAdvanced();

    RecordingMessageLine& line = basic ? h.basicLine : h.advancedLine;
    QCOMPARE(line.caption(), message);
    const bool ok = ignoreWriteAt < 0;
    QCOMPARE(line.color(), ok ? kBlue : kRed);
    QCOMPARE(h.controller().rebootCount(), ok ? 1 : 0);  // never reboot into what was not meant
    if (ok) {
        // Every written byte is read back, in the order written, after the last write.
        const auto writes = h.writeAddresses();
        const auto reads = h.readAddresses();
        QVERIFY(reads.size() >= writes.size());
        QVERIFY(std::equal(writes.begin(), writes.end(), reads.end() - static_cast<long>(writes.size())));
    }
}

void OperationsTest::progressCountersCarryOver() {
    korvex::Faults faults;
    faults.stopAfterFramed = 5;
    OpsHarness h(withFaults(faults));
    h.basicAccess.setTerminal(h.lineTerminal());
    QVERIFY(h.lineTerminal().openCommPort());
    for (int i = 0; i < 4; ++i) QVERIFY(h.basicAccess.readMemory(1, 524) >= 0);
    QCOMPARE(h.basicAccess.readCounter(), 4);
    // The next operation starts with the counter where the last one left it:
    // its first read draws a mark at once, before the controller falls silent.
    h.retrieveBasic();
    QCOMPARE(h.basicLine.shown(), (QStringList{QString(8, ' '), QString(8, ' ') + "* "}));
    QCOMPARE(h.basicLine.caption(), QString("No Response from Device!"));
    QCOMPARE(h.basicAccess.readCounter(), 0);
}

void OperationsTest::failedFifthWriteGetsTheMark() {
    korvex::Faults faults;
    faults.silentAtAddress = 600;
    OpsHarness h(withFaults(faults));
    h.basicAccess.setTerminal(h.lineTerminal());
    QVERIFY(h.lineTerminal().openCommPort());
    h.basicAccess.clearMessage();
    for (int i = 0; i < 4; ++i) QCOMPARE(h.basicAccess.writeMemory(1, 700, 1), 1);
    QCOMPARE(h.basicAccess.writeMemory(1, 600, 1), 0);
    QCOMPARE(h.basicLine.caption(), QString("No Response from Device!* "));
    QCOMPARE(h.basicLine.alignment(), MessageLine::Alignment::Left);
    QCOMPARE(h.basicAccess.writeCounter(), 0);
    // A failed read does not count.
    QCOMPARE(h.basicAccess.readMemory(1, 600), -1);
    QCOMPARE(h.basicAccess.readCounter(), 0);
}

// One exchange of the command layer with a scripted reply: what is accepted,
// what is refused, and why (the command line's message hangs on the why).
void OperationsTest::replyJudging_data() {
    QTest::addColumn<QString>("command");     // MR (reads 524), MW (writes C0 to 524) or IR (identifies)
    QTest::addColumn<QByteArray>("waiting");  // on the line before the command goes out
    QTest::addColumn<QByteArray>("reply");    // without its CR
    QTest::addColumn<int>("value");           // byte, write result or station; -1 for a refused read or IR
    QTest::addColumn<Outcome>("why");
    const auto fcs = [](int station, std::string body) {
        return QByteArray::fromStdString(appendFCS(static_cast<std::int16_t>(station), body));
    };
    const auto row = [](const char* name, const char* command, const QByteArray& waiting,
                        const QByteArray& reply, int value,
                        Outcome why) { QTest::newRow(name) << command << waiting << reply << value << why; };
    const QByteArray good = fcs(1, "MRC0");
    const auto none = Outcome::Success;
    const auto invalid = Outcome::InvalidResponse;
    row("good", "MR", "", good, 0xC0, none);
    row("lower-case data digits", "MR", "", fcs(1, "MRc0"), 0xC0, none);
    row("no check sum", "MR", "", "@01MRC0", 0xC0, none);
    row("a late LF waits: harmless", "MR", "\r\n", good, 0xC0, none);
    row("bad check sum", "MR", "", "@01MRC100*", -1, invalid);
    row("one data digit", "MR", "", "@01MR5", -1, invalid);
    row("data digits not hex", "MR", "", fcs(1, "MRxy"), -1, invalid);
    row("an MW reply to an MR", "MR", "", fcs(1, "MW"), -1, invalid);
    row("lower-case m", "MR", "", fcs(1, "mRC0"), -1, invalid);
    row("another station", "MR", "", fcs(2, "MRC0"), -1, invalid);
    row("too short", "MR", "", "@01", -1, invalid);
    row("the command echoed", "MR", "", "@01MR020C2F*", -1, Outcome::Echo);
    row("two replies in one read", "MR", "", good + "\r" + good, -1, Outcome::OutOfStep);
    row("a reply waits before the command: nothing sent", "MR", good + "\r", good, -1, Outcome::OutOfStep);
    row("write acknowledged", "MW", "", fcs(1, "MW"), 1, none);
    row("an MR reply to an MW", "MW", "", fcs(1, "MR"), 0, invalid);
    row("write, bad check sum", "MW", "", "@01MW00*", 0, invalid);
    row("station 10, whatever waited before", "IR", "junk\r", "IR0A", 10, none);
    row("IR without the station digits", "IR", "", "IR", -1, invalid);
    row("IR with one digit", "IR", "", "IR1*", -1, invalid);
    row("IR echoed", "IR", "", "IR*", -1, Outcome::Echo);
    row("no IR: as no reply", "IR", "", "XY01", -1, Outcome::NoResponse);
}

void OperationsTest::replyJudging() {
    QFETCH(QString, command);
    QFETCH(QByteArray, waiting);
    QFETCH(QByteArray, reply);
    QFETCH(int, value);
    QFETCH(Outcome, why);
    OpsHarness h;
    const std::string text = reply.toStdString() + "\r";
    h.line().onWrite([text](ScriptedLine& line, const std::string& written) {
        line.deliverIn(3, written == "\x05" ? "\x05" : text);
    });
    h.basicAccess.setTerminal(h.lineTerminal());
    QVERIFY(h.lineTerminal().openCommPort());
    if (!waiting.isEmpty()) h.line().deliverIn(0, waiting.toStdString());
    h.basicAccess.clearMessage();
    if (command == "MR") QCOMPARE(h.basicAccess.readMemory(1, 524), value);
    if (command == "MW") QCOMPARE(h.basicAccess.writeMemory(1, 524, 0xC0), value);
    if (command == "IR") QCOMPARE(int(h.basicAccess.identifyStation().value_or(-1)), value);
    QCOMPARE(h.basicAccess.lastOutcome(), why);
    const bool noResponse = why == Outcome::NoResponse;
    QCOMPARE(h.basicLine.caption(), why == Outcome::Success ? QString(8, ' ')
                                    : noResponse            ? QString("No Response from Device!")
                                                            : QString("Invalid response from Device!"));
    QCOMPARE(h.notifier().beeps(), noResponse ? 1 : 0);
    QCOMPARE(h.basicLine.color(), noResponse ? kRed : kBlue);  // "Invalid" keeps the colour it finds
    if (waiting.contains('@')) QVERIFY(h.line().writes().empty());
}

// Lines that are out of step with the commands: the operation stops at the
// first sign, sends nothing more, and fills no control with a value that
// belongs to another address.
void OperationsTest::lineOutOfStep_data() {
    QTest::addColumn<int>("op");  // 0 basic retrieve, 1 basic store, 2 advanced retrieve
    QTest::addColumn<korvex::Config>("config");
    QTest::addColumn<int>("runs");  // the earlier runs leave the line as the last one finds it
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<int>("lastAddress");  // of the last MR/MW sent in the last run; -1 none
    const auto row = [](const char* name, int op, auto fault, int runs, Outcome outcome, int lastAddress) {
        korvex::Config config;
        fault(config);
        QTest::newRow(name) << op << config << runs << outcome << lastAddress;
    };
    const Outcome outOfStep = Outcome::OutOfStep;
    row(
        "answers twice at a read", 0, [](auto& c) { c.faults.twiceAtAddress = 530; }, 1, outOfStep, 530);
    row(
        "answers twice at a write", 1, [](auto& c) { c.faults.twiceAtAddress = 530; }, 1, outOfStep, 530);
    row(
        "a late reply behind the identification", 2, [](auto& c) { c.faults.lateAtAddress = 566; }, 2,
        outOfStep, -1);
    row(
        "a late write acknowledgement, then a store", 1, [](auto& c) { c.faults.lateAtAddress = 524; }, 2,
        outOfStep, -1);
    row(
        "loopback plug", 1, [](auto& c) { c.faults.echo = c.faults.silent = true; }, 1, Outcome::Echo, -1);
    row(
        "echoing converter", 2, [](auto& c) { c.faults.echo = true; }, 1, Outcome::Echo, -1);
    row(
        "CR LF, each LF in a read of its own", 0, [](auto& c) { c.crlf = true; }, 1, Outcome::Success, 681);
}

void OperationsTest::lineOutOfStep() {
    QFETCH(int, op);
    QFETCH(korvex::Config, config);
    QFETCH(int, runs);
    QFETCH(Outcome, outcome);
    QFETCH(int, lastAddress);
    korvex::Memory image = korvex::factoryImage();
    for (int a = 520; a <= 705; ++a) image[a] = static_cast<std::uint8_t>(a * 37 + 11);  // neighbours differ
    OpsHarness reference;
    reference.controller().memory() = image;
    const bool basic = op < 2;
    basic ? reference.retrieveBasic() : reference.retrieveAdvanced();
    OpsHarness h(config);
    h.controller().memory() = image;
    HeadlessForm& form = basic ? h.basicForm : h.advancedForm;
    const HeadlessForm& want = basic ? reference.basicForm : reference.advancedForm;
    for (const QString& c : form.textControls())  // what a retrieve fills starts as "old"
        if (op != 1 && form.text(c) != want.text(c)) form.initText(c, "old");

    Outcome got = Outcome::Success;
    for (int run = 0; run < runs; ++run) {
        h.controller().clearLog();
        h.controller().clearWrites();
        got = op == 0 ? h.retrieveBasic() : op == 1 ? h.storeBasic() : h.retrieveAdvanced();
    }
    QCOMPARE(got, outcome);
    QCOMPARE((basic ? h.basicLine : h.advancedLine).caption(),
             QString(outcome != Outcome::Success ? kInvalidResponseText
                     : op == 1                   ? kStoredText
                                                 : kRetrievedText));
    const auto framed = h.framedCommands();
    std::vector<int> memoryCommands;
    for (const std::string& c : framed)
        if (c.size() >= 6 && (c.starts_with("MR") || c.starts_with("MW")))
            memoryCommands.push_back(std::stoi(c.substr(2, 4), nullptr, 16));
    QCOMPARE(memoryCommands.empty() ? -1 : memoryCommands.back(), lastAddress);
    QVERIFY(framed.empty() || framed.back().starts_with("MR") || framed.back().starts_with("MW"));
    if (op == 1) return;
    for (const QString& c : form.textControls()) {
        const bool ok =
            form.text(c) == want.text(c) || (outcome != Outcome::Success && form.text(c) == "old");
        QVERIFY2(ok, qPrintable(c + ": " + form.text(c)));
    }
}

QTEST_GUILESS_MAIN(OperationsTest)
#include "test_operations.moc"
