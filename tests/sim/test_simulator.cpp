// The simulated controller's core: what it answers to each request, line end
// and fault, and what it does. Every reply is written out by hand (check sums
// worked out on paper), so that a framing slip on either side shows here.
#include <QByteArrayList>
#include <QtTest>

#include "sim/controller.h"

using korvex::Controller;

namespace {
QByteArrayList feed(Controller& c, const QByteArrayList& pieces) {  // the replies of the last piece
    QByteArrayList out;
    for (const QByteArray& piece : pieces) {
        out.clear();
        for (const auto& r : c.receive(std::string_view(piece.constData(), std::size_t(piece.size()))))
            out << QByteArray::fromStdString(r);
    }
    return out;
}
const QByteArray ENQ("\x05");
const QByteArray mr524 = "@01MR020C2F*\r", mr525 = "@01MR020D28*\r", mw524 = "@01MW020C992A*\r";
const QByteArray enable = "@01MENABLE0D*\r", reboot = "@01Mw401100008077*\r";
const QByteArray read524 = "@01MRC02D*\r", read525 = "@01MRA827*\r", wrote = "@01MW5B*\r";
}  // namespace

Q_DECLARE_METATYPE(korvex::Faults)
Q_DECLARE_METATYPE(korvex::LineEnd)
Q_DECLARE_METATYPE(korvex::ReplyStyle)

class TestSimulator : public QObject {
    Q_OBJECT
private slots:
    // Requests in pieces as they arrive; the replies due after the last piece.
    void replies_data() {
        QTest::addColumn<int>("station");
        QTest::addColumn<korvex::LineEnd>("lineEnd");
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<QByteArrayList>("expected");
        const auto row = [](const char* name, int station, bool crlf, const QByteArrayList& pieces,
                            const QByteArrayList& expected) {
            QTest::newRow(name) << station << (crlf ? korvex::LineEnd::CRLF : korvex::LineEnd::CR) << pieces
                                << expected;
        };
        row("ENQ, alone", 1, false, {ENQ}, {ENQ});
        row("IR* station 10", 10, false, {"IR*\r"}, {"IR0A\r"});
        row("VM*", 1, false, {"VM*\r"}, {"VMKRVX-E1.07\r"});
        row("no reply to ir*, HELLO or a request without CR", 1, false, {"ir*\r", "HELLO\r", "IR*\n"}, {});
        row("MR station 1", 1, false, {mr524}, {read524});
        row("MR station 255 at 0", 255, false, {"@FFMR00005F*\r"}, {"@FFMR005F*\r"});
        row("MR the first MAC byte", 1, false, {"@01MRFF105F*\r"}, {"@01MR025C*\r"});
        row("MR CR LF", 1, true, {mr524}, {"@01MRC02D*\r\n"});
        QTest::newRow("MR LF") << 1 << korvex::LineEnd::LF << QByteArrayList{mr524}
                               << QByteArrayList{"@01MRC02D*\n"};
        row("MW station 0", 0, false, {"@00MW020CC058*\r"}, {"@00MW5A*\r"});
        row("MENABLE", 1, false, {enable}, {"@01ME49*\r"});
        row("reboot", 1, false, {reboot}, {"@01Mw7B*\r"});
        for (const char* bad : {"@01MR020C00*\r", "@01MR020C\r", "@01MR020C2F\r", "@01mr020C2F*\r",
                                "@01MR020C01F*\r", "@01XX41*\r", "@01ME49*\r"})
            row(bad, 1, false, {bad}, {"@01ER56*\r"});
        row("lower-case address digit", 0, false, {"@00MR020c0E*\r"}, {"@00ER57*\r"});
        row("another station's frame", 1, false, {"@02MR020C2C*\r", "@02MR020C00*\r", "@\r"}, {});
        row("ENQ and IR* at once", 1, false, {ENQ + "IR*\r"}, {ENQ, "IR01\r"});
        row("three at once, LF ignored", 1, false, {"IR*\r\nVM*\r" + mr524},
            {"IR01\r", "VMKRVX-E1.07\r", read524});
        row("ENQ drops a request begun", 1, false, {"XX" + ENQ + "IR*\r"}, {ENQ, "IR01\r"});
        row("a frame in pieces", 1, false, {"@01MR", "020C", "2F*", "\r"}, {read524});
        row("a request completed later", 1, false, {"IR", "*\rV", "M\n*\r"}, {"VMKRVX-E1.07\r"});
    }

    void replies() {
        QFETCH(int, station);
        QFETCH(korvex::LineEnd, lineEnd);
        QFETCH(QByteArrayList, pieces);
        QFETCH(QByteArrayList, expected);
        Controller c({.station = station, .lineEnd = lineEnd, .faults = {}});
        QCOMPARE(feed(c, pieces), expected);
    }

    // Each reply style's answer to each kind of request, station 1 (0x1A
    // where the station's digits show the style).
    void styles_data() {
        QTest::addColumn<korvex::ReplyStyle>("style");
        QTest::addColumn<int>("station");
        QTest::addColumn<QByteArrayList>("requests");
        QTest::addColumn<QByteArrayList>("expected");
        using S = korvex::ReplyStyle;
        const QByteArrayList all = {"IR*\r", "VM*\r", mr524, mw524, enable, reboot, "@01XX41*\r"};
        const auto row = [](const char* name, S style, int station, const QByteArrayList& requests,
                            const QByteArrayList& expected) {
            QTest::newRow(name) << style << station << requests << expected;
        };
        row("short", S::Short, 1, all,
            {"IR01\r", "VMKRVX-E1.07\r", read524, wrote, "@01ME49*\r", "@01Mw7B*\r", "@01ER56*\r"});
        row("repeat", S::Repeat, 1, all,
            {"IR01*\r", "VMKRVX-E1.07*\r", read524, mw524, enable, reboot, "@01ER56*\r"});
        row("endcode", S::EndCode, 1, all,
            {"IR01\r", "VMKRVX-E1.07\r", "@01MRC0002D*\r", "@01MW020C99002A*\r", "@01MENABLE000D*\r",
             "@01Mw40110000800077*\r", "@01ER56*\r"});
        row("bare", S::Bare, 1, all,
            {"IR01\r", "VMKRVX-E1.07\r", "@01MRC0\r", "@01MW\r", "@01ME\r", "@01Mw\r", "@01ER\r"});
        row("lower", S::Lower, 1, {mr524, mw524}, {"@01MRc00d*\r", "@01MW5b*\r"});
        row("lower, station 1A", S::Lower, 0x1A, {"IR*\r", "@1AMR020C5E*\r"}, {"IR1a\r", "@1AMRc07c*\r"});
    }

    void styles() {
        QFETCH(korvex::ReplyStyle, style);
        QFETCH(int, station);
        QFETCH(QByteArrayList, requests);
        QFETCH(QByteArrayList, expected);
        Controller c({.station = station, .faults = {}, .style = style});
        for (qsizetype i = 0; i < requests.size(); ++i) QCOMPARE(feed(c, {requests[i]}).join(), expected[i]);
    }

    // One request at a time; its reply ("" for none).
    void faults_data() {
        QTest::addColumn<korvex::Faults>("faults");
        QTest::addColumn<QByteArrayList>("requests");
        QTest::addColumn<QByteArrayList>("expected");
        const auto row = [](const char* name, korvex::Faults f, const QByteArrayList& requests,
                            const QByteArrayList& expected) {
            QTest::newRow(name) << f << requests << expected;
        };
        row("silent: not even ENQ", {.silent = true, .silentCommands = {}}, {ENQ, "IR*\r", mr524},
            {"", "", ""});
        row("two IR* ignored, ENQ answered", {.ignoreFirstIdentify = 2, .silentCommands = {}},
            {ENQ, "IR*\r", "VM*\r", "IR*\r", "IR*\r"}, {ENQ, "", "VMKRVX-E1.07\r", "", "IR01\r"});
        row("stops after 2 framed, for good", {.stopAfterFramed = 2, .silentCommands = {}},
            {"@02MR020C2C*\r", "@01MR020C00*\r", mw524, mr525, ENQ, "IR*\r"},
            {"", "@01ER56*\r", wrote, "", "", ""});
        row("silent at 524", {.silentAtAddress = 524, .silentCommands = {}}, {mr524, mr525, mw524},
            {"", read525, ""});
        row("another station at 524", {.otherStationAtAddress = 524, .silentCommands = {}},
            {mr524, mw524, mr525}, {"@02MRC02E*\r", "@02MW58*\r", read525});
        row("a write at 524 not kept", {.ignoreWriteAtAddress = 524, .silentCommands = {}}, {mw524, mr524},
            {wrote, read524});
        row("silent commands, whole texts", {.silentCommands = {"VM*", "MENABLE", "Mw4011000080", "MR"}},
            {"VM*\r", enable, reboot, mr524}, {"", "", "", read524});
        row("twice at 524", {.silentCommands = {}, .twiceAtAddress = 524}, {mr524}, {read524 + read524});
        row("late at 524: behind the next reply", {.silentCommands = {}, .lateAtAddress = 524},
            {mr524, ENQ, "XX\r", mr525}, {"", ENQ, "", read525 + read524});
        row("echo ahead of the reply", {.silentCommands = {}, .echo = true}, {"IR*\r", ENQ},
            {"IR*\rIR01\r", ENQ + ENQ});
        row("loopback", {.silent = true, .silentCommands = {}, .echo = true}, {"IR*\r"}, {"IR*\r"});
    }

    void faults() {
        QFETCH(korvex::Faults, faults);
        QFETCH(QByteArrayList, requests);
        QFETCH(QByteArrayList, expected);
        Controller c({.faults = faults});
        for (qsizetype i = 0; i < requests.size(); ++i) QCOMPARE(feed(c, {requests[i]}).join(), expected[i]);
        QCOMPARE(c.log().size(), std::size_t(requests.size()));
    }

    // What it does: carries out silenced commands, lists requests and writes,
    // stores, keeps its memory across a reboot, starts its faults afresh.
    void whatItDoes() {
        Controller c(
            {.faults = {.stopAfterFramed = 6, .silentAtAddress = 525, .silentCommands = {"MENABLE"}}});
        feed(c, {enable + mw524 + "@01MW020D072A*\r@02MW020C9929*\r@01MW020C9900*\r" + reboot + "\r"});
        QCOMPARE(c.writes(), (std::vector<Controller::Write>{{524, 0x99}, {525, 7}}));
        QCOMPARE(c.log().back(), std::string());
        QCOMPARE(c.enableCount() + 10 * c.rebootCount(), 11);
        QCOMPARE(feed(c, {mr524}), QByteArrayList{"@01MR995E*\r"});
        QCOMPARE(feed(c, {mr524}), QByteArrayList());  // the seventh framed: stopped
        c.config().faults = {};
        c.restartFaults();
        QCOMPARE(feed(c, {"@01MR020D28*\r"}), QByteArrayList{"@01MR0759*\r"});
        const korvex::Memory m = korvex::factoryImage();
        const std::pair<int, int> image[] = {{520, 0x23}, {521, 0x78},    {523, 0xF6},    {524, 192},
                                             {531, 0},    {535, 1},       {544, 3},       {556, '1'},
                                             {632, 3},    {666, 'T'},     {673, 'n'},     {674, 0},
                                             {0xFF10, 2}, {0xFF12, 0x58}, {0xFF15, 0x34}, {0xFF16, 0}};
        for (const auto& [address, value] : image) QCOMPARE(int(m[std::size_t(address)]), value);
    }
};

QTEST_GUILESS_MAIN(TestSimulator)
#include "test_simulator.moc"
