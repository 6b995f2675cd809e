// The simulated controller's core: what it answers to every request, fault
// and line end. Every expected reply below is written out by hand (FCS
// worked out on paper), so a framing slip on either side shows up here.
#include <QByteArrayList>
#include <QtTest>

#include "sim/controller.h"

using korvex::Controller;

namespace {

std::string str(const QByteArray& bytes) {
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QByteArrayList list(const std::vector<std::string>& texts) {
    QByteArrayList out;
    for (const auto& t : texts) out << QByteArray(t.data(), static_cast<qsizetype>(t.size()));
    return out;
}

const QByteArray ENQ("\x05", 1);

}  // namespace

Q_DECLARE_METATYPE(korvex::Faults)

class TestController : public QObject {
    Q_OBJECT
private slots:
    void replies_data();
    void replies();
    void splitAcrossCalls_data();
    void splitAcrossCalls();
    void logOfRequests();
    void faults_data();
    void faults();
    void silencedCommandsAreCarriedOut();
    void writesStoreAndAreListedInOrder();
    void rebootKeepsMemory();
    void factoryImage_data();
    void factoryImage();
    void restartFaultsBeginsCountsAfresh();
};

// One call of receive() with the whole input; the replies due, in order.
void TestController::replies_data() {
    QTest::addColumn<int>("station");
    QTest::addColumn<bool>("crlf");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArrayList>("expected");
    const auto row = [](const char* name, int station, bool crlf, const QByteArray& input,
                        QByteArrayList expected) {
        QTest::newRow(name) << station << crlf << input << expected;
    };

    row("ENQ answered with ENQ alone", 1, false, ENQ, {ENQ});
    row("two ENQ, two answers", 1, false, ENQ + ENQ, {ENQ, ENQ});
    row("IR* station 1", 1, false, "IR*\r", {"IR01\r"});
    row("IR* station 10 upper-case hex", 10, false, "IR*\r", {"IR0A\r"});
    row("IR* station 255", 255, false, "IR*\r", {"IRFF\r"});
    row("IR* with CR LF", 1, true, "IR*\r", {"IR01\r\n"});
    row("VM*", 1, false, "VM*\r", {"VMKRVX-E1.07\r"});
    row("lower-case ir* is no command", 1, false, "ir*\r", {});
    row("unknown unframed text", 1, false, "HELLO\r", {});
    row("no CR yet: no reply", 1, false, "IR*", {});
    row("LF alone does not end a request", 1, false, "IR*\n", {});

    row("MR 524 station 1", 1, false, "@01MR020C2F*\r", {"@01MRC02D*\r"});
    row("MR 0000 station 255", 255, false, "@FFMR00005F*\r", {"@FFMR005F*\r"});
    row("MR 0xFF10 first MAC byte", 1, false, "@01MRFF105F*\r", {"@01MR025C*\r"});
    row("MR 0xFFFF top of memory", 1, false, "@01MRFFFF5E*\r", {"@01MR005E*\r"});
    row("MR with CR LF", 1, true, "@01MR020C2F*\r", {"@01MRC02D*\r\n"});
    row("MW 524 station 0", 0, false, "@00MW020CC058*\r", {"@00MW5A*\r"});
    row("MW 524 station 1", 1, false, "@01MW020C992A*\r", {"@01MW5B*\r"});
    row("MENABLE", 1, false, "@01MENABLE0D*\r", {"@01ME49*\r"});
    row("reboot", 1, false, "@01Mw401100008077*\r", {"@01Mw7B*\r"});

    row("bad FCS", 1, false, "@01MR020C00*\r", {"@01ER56*\r"});
    row("no FCS, no terminator", 1, false, "@01MR020C\r", {"@01ER56*\r"});
    row("no terminator", 1, false, "@01MR020C2F\r", {"@01ER56*\r"});
    row("lower-case address digit", 0, false, "@00MR020c0E*\r", {"@00ER57*\r"});
    row("lower-case mr", 1, false, "@01mr020C2F*\r", {"@01ER56*\r"});
    row("MR with five address digits", 1, false, "@01MR020C01F*\r", {"@01ER56*\r"});
    row("unknown framed command", 1, false, "@01XX41*\r", {"@01ER56*\r"});
    row("bare ME is no command", 1, false, "@01ME49*\r", {"@01ER56*\r"});

    row("frame for station 2 ignored", 1, false, "@02MR020C2C*\r", {});
    row("bad FCS for another station ignored", 1, false, "@02MR020C00*\r", {});
    row("lone @", 1, false, "@\r", {});

    row("ENQ then IR* in one call", 1, false, ENQ + "IR*\r", {ENQ, "IR01\r"});
    row("three requests in one call", 1, false, "IR*\rVM*\r@01MR020C2F*\r",
        {"IR01\r", "VMKRVX-E1.07\r", "@01MRC02D*\r"});
    row("CR LF requests: LF ignored", 1, false, "IR*\r\nVM*\r\n", {"IR01\r", "VMKRVX-E1.07\r"});
    row("LF before a request ignored", 1, false, "\nIR*\r", {"IR01\r"});
    row("ENQ drops an unfinished request", 1, false, "XX" + ENQ + "IR*\r", {ENQ, "IR01\r"});
}

void TestController::replies() {
    QFETCH(int, station);
    QFETCH(bool, crlf);
    QFETCH(QByteArray, input);
    QFETCH(QByteArrayList, expected);
    korvex::Config config;
    config.station = station;
    config.crlf = crlf;
    Controller c(config);
    QCOMPARE(list(c.receive(str(input))), expected);
}

// A request delivered in several pieces is answered once, when its CR comes.
void TestController::splitAcrossCalls_data() {
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<QByteArrayList>("expected");  // replies of the last piece; earlier pieces give none

    QTest::newRow("frame in four pieces")
        << QByteArrayList{"@01MR", "020C", "2F*", "\r"} << QByteArrayList{"@01MRC02D*\r"};
    QTest::newRow("byte by byte") << QByteArrayList{"I", "R", "*", "\r"} << QByteArrayList{"IR01\r"};
    QTest::newRow("LF between pieces")
        << QByteArrayList{"VM", "\n", "*\r"} << QByteArrayList{"VMKRVX-E1.07\r"};
    QTest::newRow("second request completes later")
        << QByteArrayList{"IR", "*\rV", "M*\r"} << QByteArrayList{"VMKRVX-E1.07\r"};
}

void TestController::splitAcrossCalls() {
    QFETCH(QByteArrayList, pieces);
    QFETCH(QByteArrayList, expected);
    Controller c;
    QByteArrayList got;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        got = list(c.receive(str(pieces[i])));
        if (i + 2 < pieces.size())
            QVERIFY2(got.isEmpty(), qPrintable("reply too early, at piece " + QString::number(i)));
    }
    QCOMPARE(got, expected);
}

void TestController::logOfRequests() {
    korvex::Config config;
    config.faults.silent = true;  // unanswered requests are listed too
    Controller c(config);
    c.receive("\x05IR*\r\n@01MR020C2F*\r@02MR020C2C*\r\rVM");
    const std::vector<std::string> expected{"\x05", "IR*", "@01MR020C2F*", "@02MR020C2C*", ""};
    QCOMPARE(c.log(), expected);
    c.receive("*\r");
    QCOMPARE(c.log().back(), std::string("VM*"));
    c.clearLog();
    QVERIFY(c.log().empty());
}

// Requests go in one receive() call each; one expected reply per request,
// the empty text for none.
void TestController::faults_data() {
    QTest::addColumn<korvex::Faults>("faults");
    QTest::addColumn<QByteArrayList>("requests");
    QTest::addColumn<QByteArrayList>("expected");
    const auto row = [](const char* name, korvex::Faults faults, QByteArrayList requests,
                        QByteArrayList expected) { QTest::newRow(name) << faults << requests << expected; };
    const QByteArray mr524 = "@01MR020C2F*\r", mr525 = "@01MR020D28*\r";
    const QByteArray mw524 = "@01MW020C992A*\r", enable = "@01MENABLE0D*\r";
    const QByteArray read524 = "@01MRC02D*\r", read525 = "@01MRA827*\r", wrote = "@01MW5B*\r";
    row("no faults", {.silentCommands = {}}, {ENQ, "IR*\r", mr524}, {ENQ, "IR01\r", read524});
    row("silent: not even ENQ", {.silent = true, .silentCommands = {}},
        {ENQ, "IR*\r", "VM*\r", mr524, enable}, {"", "", "", "", ""});
    row("first two IR* ignored, ENQ still answered", {.ignoreFirstIdentify = 2, .silentCommands = {}},
        {ENQ, "IR*\r", ENQ, "IR*\r", ENQ, "IR*\r", ENQ, "IR*\r"},
        {ENQ, "", ENQ, "", ENQ, "IR01\r", ENQ, "IR01\r"});
    row("ignored IR* leaves VM* alone", {.ignoreFirstIdentify = 1, .silentCommands = {}},
        {"VM*\r", "IR*\r", "IR*\r"}, {"VMKRVX-E1.07\r", "", "IR01\r"});
    row("stop after 2 framed: then nothing at all", {.stopAfterFramed = 2, .silentCommands = {}},
        {ENQ, "IR*\r", mr524, mw524, mr525, ENQ, "IR*\r"}, {ENQ, "IR01\r", read524, wrote, "", "", ""});
    row("stop after 0: identification still answered", {.stopAfterFramed = 0, .silentCommands = {}},
        {ENQ, "IR*\r", enable, ENQ}, {ENQ, "IR01\r", "", ""});
    row("stop after counts bad frames too", {.stopAfterFramed = 1, .silentCommands = {}},
        {"@01MR020C00*\r", mr524}, {"@01ER56*\r", ""});
    row("stop after counts only this station", {.stopAfterFramed = 1, .silentCommands = {}},
        {"@02MR020C2C*\r", mr524, mr524}, {"", read524, ""});
    row("silent at 524: MR and MW there, others answered", {.silentAtAddress = 524, .silentCommands = {}},
        {mr524, mr525, mw524, ENQ}, {"", read525, "", ENQ});
    row("other station at 524", {.otherStationAtAddress = 524, .silentCommands = {}}, {mr524, mw524, mr525},
        {"@02MRC02E*\r", "@02MW58*\r", read525});
    row("ignored write at 524 is acknowledged, not stored",
        {.ignoreWriteAtAddress = 524, .silentCommands = {}}, {mw524, mr524}, {wrote, read524});
    row("write elsewhere stored while 524 ignored", {.ignoreWriteAtAddress = 524, .silentCommands = {}},
        {"@01MW020D072A*\r", mr525}, {wrote, "@01MR0759*\r"});
    row("silent VM*", {.silentCommands = {"VM*"}}, {ENQ, "VM*\r", "IR*\r"}, {ENQ, "", "IR01\r"});
    row("silent IR*", {.silentCommands = {"IR*"}}, {"IR*\r", "IR*\r", "VM*\r"}, {"", "", "VMKRVX-E1.07\r"});
    row("silent MENABLE", {.silentCommands = {"MENABLE"}}, {enable, mr524}, {"", read524});
    row("silent reboot", {.silentCommands = {"Mw4011000080"}}, {"@01Mw401100008077*\r", enable},
        {"", "@01ME49*\r"});
    row("silent command matches the whole text only", {.silentCommands = {"MR"}}, {mr524}, {read524});
}

void TestController::faults() {
    QFETCH(korvex::Faults, faults);
    QFETCH(QByteArrayList, requests);
    QFETCH(QByteArrayList, expected);
    QCOMPARE(requests.size(), expected.size());
    korvex::Config config;
    config.faults = faults;
    Controller c(config);
    for (qsizetype i = 0; i < requests.size(); ++i) {
        const QByteArrayList got = list(c.receive(str(requests[i])));
        const QByteArrayList want = expected[i].isEmpty() ? QByteArrayList{} : QByteArrayList{expected[i]};
        if (got != want) {
            QFAIL(qPrintable(QStringLiteral("request %1 (%2): got [%3], expected [%4]")
                                 .arg(i)
                                 .arg(QString::fromLatin1(requests[i]).toHtmlEscaped())
                                 .arg(QString::fromLatin1(got.join("|")))
                                 .arg(QString::fromLatin1(want.join("|")))));
        }
    }
    QCOMPARE(c.log().size(), static_cast<std::size_t>(requests.size()));
}

// A lost reply loses only the reply: the controller did what it was told.
void TestController::silencedCommandsAreCarriedOut() {
    korvex::Config config;
    config.faults.silentCommands = {"MENABLE", "Mw4011000080", "MW020C99"};
    config.faults.silentAtAddress = 525;
    Controller c(config);
    QVERIFY(c.receive("@01MENABLE0D*\r").empty());
    QVERIFY(c.receive("@01Mw401100008077*\r").empty());
    QVERIFY(c.receive("@01MW020C992A*\r").empty());
    QVERIFY(c.receive("@01MW020D072A*\r").empty());
    QCOMPARE(c.enableCount(), 1);
    QCOMPARE(c.rebootCount(), 1);
    QCOMPARE(int(c.memory()[524]), 0x99);
    QCOMPARE(int(c.memory()[525]), 0x07);
}

void TestController::writesStoreAndAreListedInOrder() {
    korvex::Config config;
    config.faults.ignoreWriteAtAddress = 0x020D;
    Controller c(config);
    c.receive("@01MW020C992A*\r@01MW020D072A*\r@02MW020C9929*\r@01MW020C9900*\r");
    // Station 2's frame and the frame with a bad FCS are no writes.
    const std::vector<Controller::Write> expected{{0x020C, 0x99}, {0x020D, 0x07}};
    QCOMPARE(c.writes(), expected);
    QCOMPARE(int(c.memory()[0x020C]), 0x99);
    QCOMPARE(int(c.memory()[0x020D]), 168);  // ignored: the factory byte stays
    QCOMPARE(list(c.receive("@01MR020C2F*\r")), QByteArrayList{"@01MR995E*\r"});
    c.clearWrites();
    QVERIFY(c.writes().empty());
}

void TestController::rebootKeepsMemory() {
    Controller c;
    c.receive("@01MENABLE0D*\r@01MW020C992A*\r@01Mw401100008077*\r@01Mw401100008077*\r");
    QCOMPARE(c.enableCount(), 1);
    QCOMPARE(c.rebootCount(), 2);
    QCOMPARE(int(c.memory()[524]), 0x99);
    QCOMPARE(list(c.receive("@01MR020C2F*\r")), QByteArrayList{"@01MR995E*\r"});
}

void TestController::factoryImage_data() {
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("value");
    const QList<QPair<int, int>> rows{
        {519, 0},       {520, 0x23},    {521, 0x78},    {522, 0x01},    {523, 0xF6},    {524, 192},
        {525, 168},     {526, 1},       {527, 5},       {528, 255},     {529, 255},     {530, 255},
        {531, 0},       {532, 192},     {533, 168},     {534, 1},       {535, 1},       {536, 0},
        {539, 0},       {540, 0},       {543, 0},       {544, 3},       {545, 0},       {556, 49},
        {557, 0},       {566, 0},       {568, 0},       {631, 0},       {632, 3},       {633, 0},
        {634, 0},       {649, 0},       {650, 0},       {665, 0},       {666, 'T'},     {667, 'a'},
        {673, 'n'},     {674, 0},       {681, 0},       {682, 0},       {705, 0},       {0xFF0F, 0},
        {0xFF10, 0x02}, {0xFF11, 0x4B}, {0xFF12, 0x58}, {0xFF13, 0x00}, {0xFF14, 0x12}, {0xFF15, 0x34},
        {0xFF16, 0},    {0, 0},         {0xFFFF, 0}};
    for (const auto& [a, v] : rows) QTest::addRow("%d", a) << a << v;
}

void TestController::factoryImage() {
    QFETCH(int, address);
    QFETCH(int, value);
    QCOMPARE(int(korvex::factoryImage()[static_cast<std::size_t>(address)]), value);
    QCOMPARE(int(Controller().memory()[static_cast<std::size_t>(address)]), value);
}

void TestController::restartFaultsBeginsCountsAfresh() {
    korvex::Config config;
    config.faults.ignoreFirstIdentify = 1;
    config.faults.stopAfterFramed = 0;
    Controller c(config);
    QVERIFY(c.receive("IR*\r").empty());
    QCOMPARE(list(c.receive("IR*\r")), QByteArrayList{"IR01\r"});
    QVERIFY(c.receive("@01MENABLE0D*\r").empty());
    QVERIFY(c.receive("\x05").empty());  // stopped
    c.restartFaults();
    QVERIFY(c.receive("IR*\r").empty());
    QCOMPARE(list(c.receive("\x05")), QByteArrayList{ENQ});
    c.config().faults = {};
    c.restartFaults();
    QCOMPARE(list(c.receive("@01MENABLE0D*\r")), QByteArrayList{"@01ME49*\r"});
}

QTEST_GUILESS_MAIN(TestController)
#include "test_controller.moc"
