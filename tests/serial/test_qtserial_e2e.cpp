// End to end on a real device: QtSerialLine + Exchange + SteadyClock against
// the simulated controller on a pseudo-terminal, in this process.
#include <QElapsedTimer>
#include <QtTest>
#include <chrono>
#include <thread>

#include "serial/exchange.h"
#include "serial/frame.h"
#include "serial/portconnection.h"
#include "serial/qtserialline.h"
#include "sim/pty.h"

using korvex::PtySimulator;
using tarvelin::Exchange;

namespace {

// One simulator, one opened line and an exchange on it.
struct Rig {
    explicit Rig(korvex::Config config = {}, int paceBaud = 0) : sim(std::move(config), paceBaud) {
        started = sim.start();
        line.setDevice(sim.devicePath());
        line.setSettings("9600,N,8,1");
        opened = started && line.open().ok();
    }
    std::string send(const std::string& cmd) { return exchange.sendCommand(cmd); }
    // Frames `cmd` for `station` and sends it.
    std::string sendFramed(int station, std::string cmd) {
        tarvelin::appendFCS(static_cast<std::int16_t>(station), cmd);
        return exchange.sendCommand(cmd);
    }

    PtySimulator sim;
    tarvelin::QtSerialLine line;
    tarvelin::SteadyClock clock;
    std::string timeoutText = "500 ";
    Exchange exchange{line, clock, [this] { return timeoutText; }};
    bool started = false;
    bool opened = false;
};

std::string hex4(int address) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (int shift = 12; shift >= 0; shift -= 4) text += digits[(address >> shift) & 0xF];
    return text;
}

std::string hex2(int value) {
    return tarvelin::hexAtLeastTwo(static_cast<std::int16_t>(value));
}

}  // namespace

class TestQtSerialE2E : public QObject {
    Q_OBJECT
private slots:
    void identification_data();
    void identification();
    void memoryRoundTrips_data();
    void memoryRoundTrips();
    void silentControllerCostsTheEnqWaitOnly_data();
    void silentControllerCostsTheEnqWaitOnly();
    void splitRepliesAreJoined_data();
    void splitRepliesAreJoined();
    void crlfRepliesInARow();
    void leftoversAreReadByTheNextWait();
    void hangUpDuringAWait();
    void portConnectionOpensThePty();
};

void TestQtSerialE2E::identification_data() {
    QTest::addColumn<int>("station");
    QTest::addColumn<QString>("reply");
    QTest::newRow("station 0") << 0 << "IR00";
    QTest::newRow("station 171") << 171 << "IRAB";
}

void TestQtSerialE2E::identification() {
    QFETCH(int, station);
    QFETCH(QString, reply);
    korvex::Config config;
    config.station = station;
    Rig rig(config);
    QVERIFY(rig.opened);
    QCOMPARE(QString::fromStdString(rig.send("IR*")), reply);
    // ENQ first, then the command once the ENQ came back.
    QCOMPARE(rig.sim.log(), (std::vector<std::string>{"\x05", "IR*"}));
    QVERIFY(!rig.exchange.linkLost());
}

void TestQtSerialE2E::memoryRoundTrips_data() {
    QTest::addColumn<int>("station");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("value");
    QTest::newRow("IP first byte") << 1 << 524 << 10;
    QTest::newRow("flags 0xFF, station 255") << 255 << 566 << 0xFF;
    QTest::newRow("MAC byte") << 1 << 0xFF15 << 0xA5;
}

void TestQtSerialE2E::memoryRoundTrips() {
    QFETCH(int, station);
    QFETCH(int, address);
    QFETCH(int, value);
    korvex::Config config;
    config.station = station;
    Rig rig(config);
    QVERIFY(rig.opened);
    const std::string id = hex2(station);

    const std::string wrote = rig.sendFramed(station, "MW" + hex4(address) + hex2(value));
    QCOMPARE(wrote.substr(0, 5), "@" + id + "MW");
    QCOMPARE(int(rig.sim.memory()[static_cast<std::size_t>(address)]), value);
    QCOMPARE(rig.sim.writes().size(), std::size_t{1});

    const std::string read = rig.sendFramed(station, "MR" + hex4(address));
    QCOMPARE(read.substr(0, 4), "@" + id + "M");
    QCOMPARE(read.substr(5, 2), hex2(value));  // characters 6 and 7
    QCOMPARE(read.back(), '*');
    // Framed commands go without ENQ.
    for (const std::string& request : rig.sim.log()) QVERIFY(request.front() == '@');
}

void TestQtSerialE2E::silentControllerCostsTheEnqWaitOnly_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("timeoutText");
    QTest::addColumn<int>("expectMs");
    QTest::newRow("IR*, 100 ms") << "IR*"
                                 << "100" << 100;
    QTest::newRow("frame: the reply wait alone") << "@01MR020C2F*"
                                                 << "100" << 100;
}

void TestQtSerialE2E::silentControllerCostsTheEnqWaitOnly() {
    QFETCH(QString, command);
    QFETCH(QString, timeoutText);
    QFETCH(int, expectMs);
    korvex::Config config;
    config.faults.silent = true;
    Rig rig(config);
    QVERIFY(rig.opened);
    rig.timeoutText = timeoutText.toStdString();
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(rig.send(command.toStdString()), std::string());
    const qint64 elapsed = timer.elapsed();
    QVERIFY2(elapsed >= expectMs - 2 && elapsed < expectMs + 150, qPrintable(QString::number(elapsed)));
    QVERIFY(!rig.exchange.linkLost());
    // Without the ENQ answer nothing but the ENQ went out.
    const auto log = rig.sim.log();
    QCOMPARE(log.size(), std::size_t{1});
    QCOMPARE(log.front(), command.startsWith('@') ? command.toStdString() : std::string("\x05"));
}

void TestQtSerialE2E::splitRepliesAreJoined_data() {
    QTest::addColumn<int>("pieces");
    QTest::addColumn<bool>("crlf");
    QTest::newRow("4 pieces, CR LF") << 4 << true;
    QTest::newRow("every character alone") << 100 << false;
}

void TestQtSerialE2E::splitRepliesAreJoined() {
    QFETCH(int, pieces);
    QFETCH(bool, crlf);
    korvex::Config config;
    config.crlf = crlf;
    config.faults.splitReplies = pieces;
    Rig rig(config);
    QVERIFY(rig.opened);
    QCOMPARE(rig.send("VM*"), std::string("VMKRVX-E1.07"));
    QCOMPARE(rig.sendFramed(1, "MRFF10"), std::string("@01MR025C*"));
    QCOMPARE(rig.send("IR*"), std::string("IR01"));
}

// Whole CR LF replies in a row: the LF of one never spoils the next.
void TestQtSerialE2E::crlfRepliesInARow() {
    korvex::Config config;
    config.crlf = true;
    Rig rig(config);
    QVERIFY(rig.opened);
    for (int i = 0; i < 20; ++i) {
        QCOMPARE(rig.send("IR*"), std::string("IR01"));
        QCOMPARE(rig.sendFramed(1, "MR020C"), std::string("@01MRC02D*"));
    }
}

// What is left in the port is not thrown away before a command: the next
// reply wait takes it as the start of its reply.
void TestQtSerialE2E::leftoversAreReadByTheNextWait() {
    // At 2400 baud a reply of 11 characters takes 46 ms: what is already in
    // the port is surely read before the reply comes.
    Rig rig({}, 2400);
    QVERIFY(rig.opened);
    auto settle = [] { std::this_thread::sleep_for(std::chrono::milliseconds(120)); };
    rig.sim.inject("\n");  // a stray LF comes first in a read and is dropped
    settle();
    QCOMPARE(rig.sendFramed(1, "MR020C"), std::string("@01MRC02D*"));
    rig.sim.inject("XYZ\r");  // a late reply of some earlier command
    settle();
    QCOMPARE(rig.sendFramed(1, "MR020C"), std::string("XYZ"));
    settle();
    // ... so each reply now answers the command before.
    QCOMPARE(rig.sendFramed(1, "MR020D"), std::string("@01MRC02D*"));
    settle();
    QCOMPARE(rig.sendFramed(1, "MRFF10"), std::string("@01MRA827*"));
}

void TestQtSerialE2E::hangUpDuringAWait() {
    korvex::Config config;
    config.faults.silent = true;
    Rig rig(config);
    QVERIFY(rig.opened);
    rig.timeoutText = "3000";
    std::thread pull([&rig] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        rig.sim.hangUp();
    });
    QElapsedTimer timer;
    timer.start();
    const std::string reply = rig.send("IR*");
    const qint64 elapsed = timer.elapsed();
    pull.join();
    QCOMPARE(reply, std::string());
    QVERIFY(rig.exchange.linkLost());
    QVERIFY(rig.line.lost());
    QVERIFY2(elapsed < 1000, qPrintable(QString::number(elapsed)));
    // Later exchanges give up at once.
    timer.restart();
    QCOMPARE(rig.sendFramed(1, "MR020C"), std::string());
    QVERIFY(rig.exchange.linkLost());
    QVERIFY(timer.elapsed() < 100);
}

void TestQtSerialE2E::portConnectionOpensThePty() {
    PtySimulator sim;
    QVERIFY(sim.start());
    tarvelin::QtSerialLine line;
    tarvelin::PortConnection connection(line);
    const tarvelin::PortChoice choice{sim.devicePath(), "19200", "None", "8", "1"};
    const auto outcome = connection.open(choice);
    QCOMPARE(outcome.kind, tarvelin::PortConnection::Outcome::Opened);
    QCOMPARE(outcome.statusLine, sim.devicePath() + ": Open at 19200,N,8,1");
    QVERIFY(connection.isOpen());
    QCOMPARE(connection.open(choice).kind, tarvelin::PortConnection::Outcome::AlreadyOpen);

    tarvelin::SteadyClock clock;
    Exchange exchange(line, clock, [] { return std::string("500 "); });
    QCOMPARE(exchange.sendCommand("IR*"), std::string("IR01"));
    // Closed and opened again, the device still answers.
    QVERIFY(connection.close());
    QVERIFY(!connection.close());
    QCOMPARE(connection.open(choice).kind, tarvelin::PortConnection::Outcome::Opened);
    QCOMPARE(exchange.sendCommand("IR*"), std::string("IR01"));
    QVERIFY(connection.close());
}

QTEST_GUILESS_MAIN(TestQtSerialE2E)
#include "test_qtserial_e2e.moc"
