// The test line itself, and the simulated controller behind it: the other
// tests lean on both, so their own rules are checked here.
#include <QTest>
#include <string>

#include "config/codecs.h"
#include "serial/exchange.h"
#include "serial/frame.h"
#include "support/scriptedline.h"
#include "support/simline.h"
#include "support/testnotifier.h"

using namespace tarvelin;
using tarvelin::test::ScriptedLine;
using tarvelin::test::SimulatedLine;

namespace {
QByteArray b(const std::string& s) {
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}
std::string framed(int station, std::string cmd) {
    tarvelin::appendFCS(static_cast<std::int16_t>(station), cmd);
    return cmd;
}
}  // namespace

class TestScriptedLine : public QObject {
    Q_OBJECT
private slots:
    void deliveriesComeInTimeOrder();
    void waitForData_data();
    void waitForData();
    void settings_data();
    void settings();
    void writesNeedAnOpenLiveLine();
    void failNextOpenOnce();
    void closeDropsWhatArrived();
    void lossAtATime();
    void responderSeesEveryWrite();
    void simulatedController_data();
    void simulatedController();
    void simulatedWriteStoresTheByte();
    void notifierRecordsAndAnswers();
    void notifierScopeRestores();
};

void TestScriptedLine::deliveriesComeInTimeOrder() {
    ScriptedLine line;
    QVERIFY(line.open().ok());
    QCOMPARE(line.clock().nowMs(), std::int64_t(1000));
    line.deliverAt(1005, "B");
    line.deliverAt(1002, "A");
    line.deliverAt(1005, "C");
    line.deliverIn(10, "D");
    QCOMPARE(b(line.takeAll()), QByteArray());
    line.clock().set(1003);
    QCOMPARE(b(line.takeAll()), QByteArray("A"));
    QCOMPARE(b(line.takeAll()), QByteArray());
    line.clock().set(1020);
    QCOMPARE(b(line.takeAll()), QByteArray("BCD"));
    QCOMPARE(line.pending(), std::size_t(0));
}

void TestScriptedLine::waitForData_data() {
    QTest::addColumn<qint64>("nextDelivery");  // after now; -1 none
    QTest::addColumn<qint64>("loseAfter");     // -1 never
    QTest::addColumn<int>("timeout");
    QTest::addColumn<qint64>("advanced");
    QTest::newRow("nothing coming: the whole wait") << qint64(-1) << qint64(-1) << 100 << qint64(100);
    QTest::newRow("delivery first") << qint64(30) << qint64(-1) << 100 << qint64(30);
    QTest::newRow("delivery at the end") << qint64(100) << qint64(-1) << 100 << qint64(100);
    QTest::newRow("delivery after the wait") << qint64(150) << qint64(-1) << 100 << qint64(100);
    QTest::newRow("due already: no wait") << qint64(0) << qint64(-1) << 100 << qint64(0);
    QTest::newRow("zero wait") << qint64(-1) << qint64(-1) << 0 << qint64(0);
    QTest::newRow("negative wait") << qint64(-1) << qint64(-1) << -5 << qint64(0);
    QTest::newRow("device goes first") << qint64(50) << qint64(20) << 100 << qint64(20);
}

void TestScriptedLine::waitForData() {
    QFETCH(qint64, nextDelivery);
    QFETCH(qint64, loseAfter);
    QFETCH(int, timeout);
    QFETCH(qint64, advanced);
    ScriptedLine line;
    QVERIFY(line.open().ok());
    const qint64 start = line.clock().nowMs();
    if (nextDelivery >= 0) line.deliverIn(nextDelivery, "x");
    if (loseAfter >= 0) line.loseAt(start + loseAfter);
    line.waitForData(timeout);
    QCOMPARE(line.clock().nowMs() - start, advanced);
    QCOMPARE(line.waitCalls(), 1);
}

void TestScriptedLine::settings_data() {
    QTest::addColumn<QString>("settings");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("9600,N,8,1") << "9600,N,8,1" << true;
    QTest::newRow("19200,E,7,2") << "19200,E,7,2" << true;
    QTest::newRow("115200,O,8,1") << "115200,O,8,1" << true;
    QTest::newRow("no baud") << ",N,8,1" << false;
    QTest::newRow("zero baud") << "0,N,8,1" << false;
    QTest::newRow("mark parity") << "9600,M,8,1" << false;
    QTest::newRow("lower-case parity") << "9600,n,8,1" << false;
    QTest::newRow("6 data bits") << "9600,N,6,1" << false;
    QTest::newRow("1.5 stop bits") << "9600,N,8,1.5" << false;
    QTest::newRow("missing field") << "9600,N,8" << false;
    QTest::newRow("extra field") << "9600,N,8,1,X" << false;
    QTest::newRow("empty") << "" << false;
}

void TestScriptedLine::settings() {
    QFETCH(QString, settings);
    QFETCH(bool, accepted);
    ScriptedLine line;
    QCOMPARE(line.setSettings(settings.toStdString()), accepted);
    QCOMPARE(QString::fromStdString(line.settings()), accepted ? settings : QStringLiteral("9600,N,8,1"));
}

void TestScriptedLine::writesNeedAnOpenLiveLine() {
    ScriptedLine line;
    QVERIFY(!line.write("closed"));
    QVERIFY(line.open().ok());
    QVERIFY(line.write("A"));
    QVERIFY(line.write("BC"));
    line.setLost(true);
    QVERIFY(line.lost());
    QVERIFY(!line.write("lost"));
    QCOMPARE(line.writes().size(), std::size_t(2));
    QCOMPARE(b(line.wire()), QByteArray("ABC"));
    line.clearWrites();
    QCOMPARE(b(line.wire()), QByteArray());
    line.close();
    QVERIFY(!line.lost());
}

void TestScriptedLine::failNextOpenOnce() {
    ScriptedLine line;
    line.failNextOpen({OpenError::PermissionDenied, "no"});
    const OpenResult first = line.open();
    QCOMPARE(int(first.error), int(OpenError::PermissionDenied));
    QVERIFY(!line.isOpen());
    QVERIFY(line.open().ok());
    QVERIFY(line.isOpen());
    QCOMPARE(line.openCalls(), 2);
}

void TestScriptedLine::closeDropsWhatArrived() {
    ScriptedLine line;
    QVERIFY(line.open().ok());
    line.deliverIn(0, "old");
    line.deliverIn(50, "new");
    line.close();
    QCOMPARE(b(line.takeAll()), QByteArray());  // closed: nothing to take
    QVERIFY(line.open().ok());
    line.clock().advance(50);
    QCOMPARE(b(line.takeAll()), QByteArray("new"));
}

void TestScriptedLine::lossAtATime() {
    ScriptedLine line;
    QVERIFY(line.open().ok());
    line.loseAt(1100);
    QVERIFY(!line.lost());
    line.clock().set(1100);
    QVERIFY(line.lost());
    QVERIFY(!line.write("x"));
    QVERIFY(line.open().ok());  // a new open finds the device again
    QVERIFY(!line.lost());
}

void TestScriptedLine::responderSeesEveryWrite() {
    ScriptedLine line;
    QVERIFY(line.open().ok());
    std::vector<std::pair<std::int64_t, std::string>> seen;
    line.onWrite([&seen](ScriptedLine& l, const std::string& w) {
        seen.emplace_back(l.clock().nowMs(), w);
        l.deliverIn(3, "re:" + w);
    });
    line.write("a");
    line.clock().advance(10);
    line.write("b");
    QCOMPARE(seen.size(), std::size_t(2));
    QCOMPARE(seen[1].first, std::int64_t(1010));
    QCOMPARE(b(line.takeAll()), QByteArray("re:a"));
    line.clock().advance(3);
    QCOMPARE(b(line.takeAll()), QByteArray("re:b"));
}

void TestScriptedLine::simulatedController_data() {
    QTest::addColumn<int>("station");
    QTest::addColumn<bool>("crlf");
    QTest::addColumn<int>("split");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QByteArray>("cmd");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<qint64>("elapsed");
    const qint64 call = 2 + 2;  // ENQ answered 2 ms later, the reply 2 ms after the command
    QTest::newRow("identify") << 1 << false << 1 << false << QByteArray("IR*") << QByteArray("IR01") << call;
    QTest::newRow("identify station 31")
        << 31 << false << 1 << false << QByteArray("IR*") << QByteArray("IR1F") << call;
    QTest::newRow("identify, CR LF") << 1 << true << 1 << false << QByteArray("IR*") << QByteArray("IR01")
                                     << call;
    QTest::newRow("identify, split in 3")
        << 1 << false << 3 << false << QByteArray("IR*") << QByteArray("IR01") << call + 2;
    QTest::newRow("version") << 1 << false << 1 << false << QByteArray("VM*") << QByteArray("VMKRVX-E1.07")
                             << call;
    QTest::newRow("read port high byte")
        << 1 << false << 1 << false << b(framed(1, "MR0208")) << b(framed(1, "MR23")) << qint64(2);
    QTest::newRow("read, CR LF") << 1 << true << 1 << false << b(framed(1, "MR0209")) << b(framed(1, "MR78"))
                                 << qint64(2);
    QTest::newRow("read MAC byte") << 7 << false << 1 << false << b(framed(7, "MRFF10"))
                                   << b(framed(7, "MR02")) << qint64(2);
    QTest::newRow("other station: no reply")
        << 2 << false << 1 << false << b(framed(1, "MR0208")) << QByteArray() << qint64(500);
    QTest::newRow("silent: ENQ wait only")
        << 1 << false << 1 << true << QByteArray("IR*") << QByteArray() << qint64(500);
}

void TestScriptedLine::simulatedController() {
    QFETCH(int, station);
    QFETCH(bool, crlf);
    QFETCH(int, split);
    QFETCH(bool, silent);
    QFETCH(QByteArray, cmd);
    QFETCH(QByteArray, reply);
    QFETCH(qint64, elapsed);
    korvex::Config config;
    config.station = station;
    config.crlf = crlf;
    config.faults.splitReplies = split;
    config.faults.silent = silent;
    SimulatedLine sim(config);
    QVERIFY(sim.line().open().ok());
    Exchange exchange(sim.line(), sim.line().clock(), [] { return std::string("500 "); });
    const qint64 start = sim.line().clock().nowMs();

    QCOMPARE(b(exchange.sendCommand(cmd.toStdString())), reply);
    QCOMPARE(sim.line().clock().nowMs() - start, elapsed);
    // The controller heard exactly what went on the wire.
    const auto& log = sim.controller().log();
    QVERIFY(!log.empty());
    if (!cmd.startsWith('@')) QCOMPARE(b(log.front()), QByteArray("\x05"));
    if (!silent) QCOMPARE(b(log.back()), cmd);
}

void TestScriptedLine::simulatedWriteStoresTheByte() {
    SimulatedLine sim;
    sim.setReplyDelay(5);
    QVERIFY(sim.line().open().ok());
    Exchange exchange(sim.line(), sim.line().clock(), [] { return std::string("500 "); });
    const std::string write = framed(1, "MW" + getHexString(566) + getHexString2(0x16));
    const qint64 start = sim.line().clock().nowMs();
    QCOMPARE(b(exchange.sendCommand(write)).left(4), QByteArray("@01M"));
    QCOMPARE(sim.line().clock().nowMs() - start, qint64(5));
    QCOMPARE(int(sim.controller().memory()[566]), 0x16);
    const std::string read = exchange.sendCommand(framed(1, "MR" + getHexString(566)));
    QCOMPARE(hexToValue(std::string_view(read).substr(5, 2)), 0x16);
}

void TestScriptedLine::notifierRecordsAndAnswers() {
    test::TestNotifier n;
    n.answerYes();
    int hooked = 0;
    n.onMessage([&hooked](const test::TestNotifier::Box& box) {
        QCOMPARE(box.title, QStringLiteral("T"));
        ++hooked;
    });
    Notifier& notifier = n;
    notifier.beep();
    notifier.beep();
    notifier.message(nullptr, "T", "first", Notifier::Icon::Warning);
    QVERIFY(notifier.askYesNo(nullptr, "Q", "sure?"));
    QVERIFY(!notifier.askYesNo(nullptr, "Q", "again?"));  // queue empty: No
    QCOMPARE(n.beeps(), 2);
    QCOMPARE(n.boxes().size(), std::size_t(1));
    QCOMPARE(n.boxes()[0].text, QStringLiteral("first"));
    QCOMPARE(int(n.boxes()[0].icon), int(Notifier::Icon::Warning));
    QCOMPARE(n.lastText(), QStringLiteral("first"));
    QCOMPARE(n.questions().size(), std::size_t(2));
    QVERIFY(n.questions()[0].answer);
    QVERIFY(!n.questions()[1].answer);
    QCOMPARE(hooked, 1);
    n.clear();
    QCOMPARE(n.beeps(), 0);
    QVERIFY(n.boxes().empty());
}

void TestScriptedLine::notifierScopeRestores() {
    Notifier* before = &Notifier::current();
    {
        test::NotifierScope outer;
        QCOMPARE(&Notifier::current(), static_cast<Notifier*>(&outer.notifier()));
        {
            test::TestNotifier mine;
            test::NotifierScope inner(mine);
            Notifier::current().beep();
            QCOMPARE(mine.beeps(), 1);
        }
        QCOMPARE(&Notifier::current(), static_cast<Notifier*>(&outer.notifier()));
        Notifier::current().beep();
        QCOMPARE(outer->beeps(), 1);
    }
    QCOMPARE(&Notifier::current(), before);
}

QTEST_GUILESS_MAIN(TestScriptedLine)
#include "test_scriptedline.moc"
