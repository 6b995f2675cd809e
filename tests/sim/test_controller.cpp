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

    QTest::newRow("ENQ answered with ENQ alone") << 1 << false << ENQ << QByteArrayList{ENQ};
    QTest::newRow("ENQ has no line end with CR LF") << 1 << true << ENQ << QByteArrayList{ENQ};
    QTest::newRow("two ENQ, two answers") << 1 << false << ENQ + ENQ << QByteArrayList{ENQ, ENQ};
    QTest::newRow("IR* station 1") << 1 << false << QByteArray("IR*\r") << QByteArrayList{"IR01\r"};
    QTest::newRow("IR* station 0") << 0 << false << QByteArray("IR*\r") << QByteArrayList{"IR00\r"};
    QTest::newRow("IR* station 10 upper-case hex")
        << 10 << false << QByteArray("IR*\r") << QByteArrayList{"IR0A\r"};
    QTest::newRow("IR* station 255") << 255 << false << QByteArray("IR*\r") << QByteArrayList{"IRFF\r"};
    QTest::newRow("IR* with CR LF") << 1 << true << QByteArray("IR*\r") << QByteArrayList{"IR01\r\n"};
    QTest::newRow("VM*") << 1 << false << QByteArray("VM*\r") << QByteArrayList{"VMKRVX-E1.07\r"};
    QTest::newRow("VM* with CR LF") << 1 << true << QByteArray("VM*\r") << QByteArrayList{"VMKRVX-E1.07\r\n"};
    QTest::newRow("lower-case ir* is no command") << 1 << false << QByteArray("ir*\r") << QByteArrayList{};
    QTest::newRow("unknown unframed text") << 1 << false << QByteArray("HELLO\r") << QByteArrayList{};
    QTest::newRow("lone CR") << 1 << false << QByteArray("\r") << QByteArrayList{};
    QTest::newRow("no CR yet: no reply") << 1 << false << QByteArray("IR*") << QByteArrayList{};
    QTest::newRow("LF alone does not end a request") << 1 << false << QByteArray("IR*\n") << QByteArrayList{};

    QTest::newRow("MR 524 station 1")
        << 1 << false << QByteArray("@01MR020C2F*\r") << QByteArrayList{"@01MRC02D*\r"};
    QTest::newRow("MR 524 station 0")
        << 0 << false << QByteArray("@00MR020C2E*\r") << QByteArrayList{"@00MRC02C*\r"};
    QTest::newRow("MR 0000 station 255")
        << 255 << false << QByteArray("@FFMR00005F*\r") << QByteArrayList{"@FFMR005F*\r"};
    QTest::newRow("MR 0000 station 10")
        << 10 << false << QByteArray("@0AMR00002E*\r") << QByteArrayList{"@0AMR002E*\r"};
    QTest::newRow("MR 0xFF10 first MAC byte")
        << 1 << false << QByteArray("@01MRFF105F*\r") << QByteArrayList{"@01MR025C*\r"};
    QTest::newRow("MR 0xFF15 last MAC byte")
        << 1 << false << QByteArray("@01MRFF155A*\r") << QByteArrayList{"@01MR3459*\r"};
    QTest::newRow("MR 0xFFFF top of memory")
        << 1 << false << QByteArray("@01MRFFFF5E*\r") << QByteArrayList{"@01MR005E*\r"};
    QTest::newRow("MR with CR LF") << 1 << true << QByteArray("@01MR020C2F*\r")
                                   << QByteArrayList{"@01MRC02D*\r\n"};
    QTest::newRow("MW 524 station 0")
        << 0 << false << QByteArray("@00MW020CC058*\r") << QByteArrayList{"@00MW5A*\r"};
    QTest::newRow("MW 524 station 1")
        << 1 << false << QByteArray("@01MW020C992A*\r") << QByteArrayList{"@01MW5B*\r"};
    QTest::newRow("MENABLE") << 1 << false << QByteArray("@01MENABLE0D*\r") << QByteArrayList{"@01ME49*\r"};
    QTest::newRow("MENABLE station 0")
        << 0 << false << QByteArray("@00MENABLE0C*\r") << QByteArrayList{"@00ME48*\r"};
    QTest::newRow("reboot") << 1 << false << QByteArray("@01Mw401100008077*\r")
                            << QByteArrayList{"@01Mw7B*\r"};

    QTest::newRow("bad FCS") << 1 << false << QByteArray("@01MR020C00*\r") << QByteArrayList{"@01ER56*\r"};
    QTest::newRow("bad FCS station 0")
        << 0 << false << QByteArray("@00MR020C2F*\r") << QByteArrayList{"@00ER57*\r"};
    QTest::newRow("no FCS, no terminator")
        << 1 << false << QByteArray("@01MR020C\r") << QByteArrayList{"@01ER56*\r"};
    QTest::newRow("no terminator") << 1 << false << QByteArray("@01MR020C2F\r")
                                   << QByteArrayList{"@01ER56*\r"};
    QTest::newRow("lower-case FCS digits")
        << 0 << false << QByteArray("@00MR020c0e*\r") << QByteArrayList{"@00ER57*\r"};
    QTest::newRow("lower-case address digit")
        << 0 << false << QByteArray("@00MR020c0E*\r") << QByteArrayList{"@00ER57*\r"};
    QTest::newRow("lower-case mr") << 1 << false << QByteArray("@01mr020C2F*\r")
                                   << QByteArrayList{"@01ER56*\r"};
    QTest::newRow("MR with five address digits")
        << 1 << false << QByteArray("@01MR020C01F*\r") << QByteArrayList{"@01ER56*\r"};
    QTest::newRow("unknown framed command")
        << 1 << false << QByteArray("@01XX41*\r") << QByteArrayList{"@01ER56*\r"};
    QTest::newRow("bare ME is no command")
        << 1 << false << QByteArray("@01ME49*\r") << QByteArrayList{"@01ER56*\r"};

    QTest::newRow("frame for station 2 ignored")
        << 1 << false << QByteArray("@02MR020C2C*\r") << QByteArrayList{};
    QTest::newRow("frame for station 1 ignored by 0")
        << 0 << false << QByteArray("@01MR020C2F*\r") << QByteArrayList{};
    QTest::newRow("bad FCS for another station ignored")
        << 1 << false << QByteArray("@02MR020C00*\r") << QByteArrayList{};
    QTest::newRow("lone @") << 1 << false << QByteArray("@\r") << QByteArrayList{};

    QTest::newRow("ENQ then IR* in one call") << 1 << false << ENQ + "IR*\r" << QByteArrayList{ENQ, "IR01\r"};
    QTest::newRow("three requests in one call") << 1 << false << QByteArray("IR*\rVM*\r@01MR020C2F*\r")
                                                << QByteArrayList{"IR01\r", "VMKRVX-E1.07\r", "@01MRC02D*\r"};
    QTest::newRow("CR LF requests: LF ignored")
        << 1 << false << QByteArray("IR*\r\nVM*\r\n") << QByteArrayList{"IR01\r", "VMKRVX-E1.07\r"};
    QTest::newRow("LF before a request ignored")
        << 1 << false << QByteArray("\nIR*\r") << QByteArrayList{"IR01\r"};
    QTest::newRow("ENQ drops an unfinished request")
        << 1 << false << "XX" + ENQ + "IR*\r" << QByteArrayList{ENQ, "IR01\r"};
    QTest::newRow("complete request then a partial one")
        << 1 << false << QByteArray("IR*\rVM") << QByteArrayList{"IR01\r"};
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
    QTest::newRow("CR alone last") << QByteArrayList{"@01MENABLE0D*", "\r"} << QByteArrayList{"@01ME49*\r"};
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
    QTest::addColumn<bool>("silent");
    QTest::addColumn<int>("ignoreIdentify");
    QTest::addColumn<int>("stopAfter");
    QTest::addColumn<int>("silentAt");
    QTest::addColumn<int>("otherAt");
    QTest::addColumn<int>("ignoreWriteAt");
    QTest::addColumn<QStringList>("silentCommands");
    QTest::addColumn<QByteArrayList>("requests");
    QTest::addColumn<QByteArrayList>("expected");

    const QByteArray mr524 = "@01MR020C2F*\r", mr525 = "@01MR020D28*\r";
    const QByteArray mw524 = "@01MW020C992A*\r", enable = "@01MENABLE0D*\r";
    const QByteArray read524 = "@01MRC02D*\r", read525 = "@01MRA827*\r", wrote = "@01MW5B*\r";

    QTest::newRow("no faults") << false << 0 << -1 << -1 << -1 << -1 << QStringList{}
                               << QByteArrayList{ENQ, "IR*\r", mr524}
                               << QByteArrayList{ENQ, "IR01\r", read524};
    QTest::newRow("silent: not even ENQ")
        << true << 0 << -1 << -1 << -1 << -1 << QStringList{}
        << QByteArrayList{ENQ, "IR*\r", "VM*\r", mr524, enable} << QByteArrayList{"", "", "", "", ""};
    QTest::newRow("first two IR* ignored, ENQ still answered")
        << false << 2 << -1 << -1 << -1 << -1 << QStringList{}
        << QByteArrayList{ENQ, "IR*\r", ENQ, "IR*\r", ENQ, "IR*\r", ENQ, "IR*\r"}
        << QByteArrayList{ENQ, "", ENQ, "", ENQ, "IR01\r", ENQ, "IR01\r"};
    QTest::newRow("ignored IR* leaves VM* alone")
        << false << 1 << -1 << -1 << -1 << -1 << QStringList{} << QByteArrayList{"VM*\r", "IR*\r", "IR*\r"}
        << QByteArrayList{"VMKRVX-E1.07\r", "", "IR01\r"};
    QTest::newRow("stop after 2 framed: then nothing at all")
        << false << 0 << 2 << -1 << -1 << -1 << QStringList{}
        << QByteArrayList{ENQ, "IR*\r", mr524, mw524, mr525, ENQ, "IR*\r"}
        << QByteArrayList{ENQ, "IR01\r", read524, wrote, "", "", ""};
    QTest::newRow("stop after 0: identification still answered")
        << false << 0 << 0 << -1 << -1 << -1 << QStringList{} << QByteArrayList{ENQ, "IR*\r", enable, ENQ}
        << QByteArrayList{ENQ, "IR01\r", "", ""};
    QTest::newRow("stop after counts bad frames too")
        << false << 0 << 1 << -1 << -1 << -1 << QStringList{} << QByteArrayList{"@01MR020C00*\r", mr524}
        << QByteArrayList{"@01ER56*\r", ""};
    QTest::newRow("stop after counts only this station")
        << false << 0 << 1 << -1 << -1 << -1 << QStringList{}
        << QByteArrayList{"@02MR020C2C*\r", mr524, mr524} << QByteArrayList{"", read524, ""};
    QTest::newRow("silent at 524: MR and MW there, others answered")
        << false << 0 << -1 << 524 << -1 << -1 << QStringList{} << QByteArrayList{mr524, mr525, mw524, ENQ}
        << QByteArrayList{"", read525, "", ENQ};
    QTest::newRow("other station at 524")
        << false << 0 << -1 << -1 << 524 << -1 << QStringList{} << QByteArrayList{mr524, mw524, mr525}
        << QByteArrayList{"@02MRC02E*\r", "@02MW58*\r", read525};
    QTest::newRow("ignored write at 524 is acknowledged, not stored")
        << false << 0 << -1 << -1 << -1 << 524 << QStringList{} << QByteArrayList{mw524, mr524}
        << QByteArrayList{wrote, read524};
    QTest::newRow("write elsewhere stored while 524 ignored")
        << false << 0 << -1 << -1 << -1 << 524 << QStringList{} << QByteArrayList{"@01MW020D072A*\r", mr525}
        << QByteArrayList{wrote, "@01MR0759*\r"};
    QTest::newRow("silent VM*") << false << 0 << -1 << -1 << -1 << -1 << QStringList{"VM*"}
                                << QByteArrayList{ENQ, "VM*\r", "IR*\r"} << QByteArrayList{ENQ, "", "IR01\r"};
    QTest::newRow("silent IR*") << false << 0 << -1 << -1 << -1 << -1 << QStringList{"IR*"}
                                << QByteArrayList{"IR*\r", "IR*\r", "VM*\r"}
                                << QByteArrayList{"", "", "VMKRVX-E1.07\r"};
    QTest::newRow("silent MENABLE") << false << 0 << -1 << -1 << -1 << -1 << QStringList{"MENABLE"}
                                    << QByteArrayList{enable, mr524} << QByteArrayList{"", read524};
    QTest::newRow("silent reboot") << false << 0 << -1 << -1 << -1 << -1 << QStringList{"Mw4011000080"}
                                   << QByteArrayList{"@01Mw401100008077*\r", enable}
                                   << QByteArrayList{"", "@01ME49*\r"};
    QTest::newRow("silent command matches the whole text only")
        << false << 0 << -1 << -1 << -1 << -1 << QStringList{"MR"} << QByteArrayList{mr524}
        << QByteArrayList{read524};
}

void TestController::faults() {
    QFETCH(bool, silent);
    QFETCH(int, ignoreIdentify);
    QFETCH(int, stopAfter);
    QFETCH(int, silentAt);
    QFETCH(int, otherAt);
    QFETCH(int, ignoreWriteAt);
    QFETCH(QStringList, silentCommands);
    QFETCH(QByteArrayList, requests);
    QFETCH(QByteArrayList, expected);
    QCOMPARE(requests.size(), expected.size());

    korvex::Config config;
    config.faults.silent = silent;
    config.faults.ignoreFirstIdentify = ignoreIdentify;
    config.faults.stopAfterFramed = stopAfter;
    config.faults.silentAtAddress = silentAt;
    config.faults.otherStationAtAddress = otherAt;
    config.faults.ignoreWriteAtAddress = ignoreWriteAt;
    for (const QString& s : silentCommands) config.faults.silentCommands.insert(s.toStdString());
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
