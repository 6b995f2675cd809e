// One command sent and one reply collected, on a scripted line and a fake clock.
#include <QTest>
#include <string>
#include <vector>

#include "serial/exchange.h"
#include "support/scriptedline.h"

using namespace tarvelin;
using tarvelin::test::ScriptedLine;

namespace {

// Bytes the far side sends, `at` ms after the moment they are relative to.
struct Chunk {
    qint64 at = 0;
    QByteArray bytes{};
};
using Chunks = QList<Chunk>;

struct Case {
    QByteArray cmd = "@";                      // a frame: sent at once, no ENQ
    QString timeout = QStringLiteral("500 ");  // the box's text at start-up
    Chunks before{};                           // relative to the start of the exchange, whatever is written
    Chunks onEnq{};                            // relative to the write of the ENQ
    Chunks onCommand{};                        // relative to the write of the command line
    // What must happen.
    QByteArray wire{};  // what was written; not checked when empty
    QByteArray reply{};
    qint64 elapsed = 0;
    QByteArray leftover{};  // what the next reader of the port finds
};

const QByteArray ENQ("\x05");
const QByteArray CR("\r");
const QByteArray LF("\n");

std::string str(const QByteArray& b) {
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}
QByteArray bytes(const std::string& s) {
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

Q_DECLARE_METATYPE(Chunk)
Q_DECLARE_METATYPE(Case)

class TestExchange : public QObject {
    Q_OBJECT
private slots:
    void exchange_data();
    void exchange();
    void unusableLine_data();
    void unusableLine();
    void lostDuringAWaitEndsIt_data();
    void lostDuringAWaitEndsIt();
    void timeoutReadAfreshAtEachWait();
    void exchangesInARow();
    void timeoutMs_data();
    void timeoutMs();
};

void TestExchange::exchange_data() {
    QTest::addColumn<Case>("c");
    auto add = [](const char* name, Case c) { QTest::newRow(name) << c; };

    // What goes on the wire.
    add("frame sent at once, no ENQ", {.cmd = "@01XYZ1A*",
                                       .onCommand = {{5, "ABC\r"}},
                                       .wire = "@01XYZ1A*\r",
                                       .reply = "ABC",
                                       .elapsed = 5});
    add("colon text sent at once, no ENQ",
        {.cmd = ":ABC", .onCommand = {{5, "OK\r"}}, .wire = ":ABC\r", .reply = "OK", .elapsed = 5});
    add("point-to-point: ENQ, then the command", {.cmd = "IR*",
                                                  .onEnq = {{3, ENQ}},
                                                  .onCommand = {{4, "IR01\r"}},
                                                  .wire = "\x05IR*\r",
                                                  .reply = "IR01",
                                                  .elapsed = 7});
    add("point-to-point unanswered: ENQ alone, empty after the ENQ wait",
        {.cmd = "IR*", .wire = ENQ, .elapsed = 500});
    add("lower-case first letter is point-to-point", {.cmd = "ir*",
                                                      .onEnq = {{1, ENQ}},
                                                      .onCommand = {{1, "X\r"}},
                                                      .wire = "\x05ir*\r",
                                                      .reply = "X",
                                                      .elapsed = 2});
    add("empty command: ENQ call, then a lone CR", {.cmd = "",
                                                    .onEnq = {{1, ENQ}},
                                                    .onCommand = {{2, "?\r"}},
                                                    .wire = "\x05\r",
                                                    .reply = "?",
                                                    .elapsed = 3});
    add("empty command unanswered", {.cmd = "", .wire = ENQ, .elapsed = 500});
    add("command sent as given, nothing added but CR",
        {.cmd = "@00abc20*", .onCommand = {{1, "\r"}}, .wire = "@00abc20*\r", .elapsed = 1});

    // Line ends.
    add("CR ends the reply", {.onCommand = {{5, "ABC\r"}}, .reply = "ABC", .elapsed = 5});
    add("CR LF in one read: both removed", {.onCommand = {{5, "ABC\r\n"}}, .reply = "ABC", .elapsed = 5});
    add("CR, then LF in the next read: LF left for the next exchange",
        {.onCommand = {{5, "ABC\r"}, {6, LF}}, .reply = "ABC", .elapsed = 5, .leftover = LF});
    add("bare LF keeps every data character", {.onCommand = {{5, "ABC\n"}}, .reply = "ABC", .elapsed = 5});
    add("bare LF after one character", {.onCommand = {{5, "A\n"}}, .reply = "A", .elapsed = 5});
    add("bare LF in a read of its own ends the reply",
        {.onCommand = {{2, "ABC"}, {3, LF}}, .reply = "ABC", .elapsed = 3});
    add("LF CR in one read: the CR ends it", {.onCommand = {{5, "ABC\n\r"}}, .reply = "ABC\n", .elapsed = 5});
    add("split reply is joined", {.onCommand = {{2, "AB"}, {4, "C\r"}}, .reply = "ABC", .elapsed = 4});
    add("line end in a read of its own",
        {.onCommand = {{2, "ABC"}, {3, "\r\n"}}, .reply = "ABC", .elapsed = 3});
    add("split in single characters",
        {.onCommand = {{1, "A"}, {2, "B"}, {3, "C"}, {4, CR}}, .reply = "ABC", .elapsed = 4});
    add("CR inside a read stays in the reply",
        {.onCommand = {{2, "AB\rC\r"}}, .reply = "AB\rC", .elapsed = 2});
    add("LF inside a read stays in the reply",
        {.onCommand = {{2, "AB\nC\r"}}, .reply = "AB\nC", .elapsed = 2});
    add("CR inside a read does not end it", {.onCommand = {{2, "AB\rCD"}}, .elapsed = 500});
    add("NUL bytes are data",
        {.onCommand = {{2, QByteArray("A\0B\r", 4)}}, .reply = QByteArray("A\0B", 3), .elapsed = 2});
    add("high bytes are data", {.onCommand = {{2, "\xC4\xFF\r"}}, .reply = "\xC4\xFF", .elapsed = 2});

    // Time-outs.
    add("never-ending reply: empty at the time-out, partial reply dropped",
        {.onCommand = {{1, "ABC"}, {100, "DEF"}}, .elapsed = 500});
    add("what comes after the time-out stays in the port",
        {.onCommand = {{1, "ABC"}, {600, "X\r"}}, .elapsed = 500, .leftover = "X\r"});
    add("last character exactly at the deadline still counts",
        {.onCommand = {{100, "AB"}, {500, "C\r"}}, .reply = "ABC", .elapsed = 500});
    add("last character 1 ms after the deadline is too late",
        {.onCommand = {{100, "AB"}, {501, "C\r"}}, .elapsed = 500, .leftover = "C\r"});
    add("time-out runs from the start of the reply, not from the last character",
        {.onCommand = {{400, "A"}, {499, "B"}, {520, "C\r"}}, .elapsed = 500, .leftover = "C\r"});
    add("ENQ exactly at the deadline still counts", {.cmd = "IR*",
                                                     .onEnq = {{500, ENQ}},
                                                     .onCommand = {{500, "IR01\r"}},
                                                     .reply = "IR01",
                                                     .elapsed = 1000});
    add("ENQ 1 ms late: command not sent",
        {.cmd = "IR*", .onEnq = {{501, ENQ}}, .wire = ENQ, .elapsed = 500, .leftover = ENQ});
    add("reply wait starts after the ENQ wait", {.cmd = "IR*",
                                                 .onEnq = {{400, ENQ}},
                                                 .onCommand = {{500, "IR01\r"}},
                                                 .reply = "IR01",
                                                 .elapsed = 900});
    add("time-out 0: ENQ wait 1000", {.cmd = "IR*", .timeout = "0", .wire = ENQ, .elapsed = 1000});
    add("time-out 0: reply wait 500",
        {.cmd = "IR*", .timeout = "0", .onEnq = {{1, ENQ}}, .wire = "\x05IR*\r", .elapsed = 501});
    add("time-out -5: ENQ wait 1000", {.cmd = "IR*", .timeout = "-5", .wire = ENQ, .elapsed = 1000});
    add("time-out -5: reply wait 500",
        {.cmd = "IR*", .timeout = "-5", .onEnq = {{1, ENQ}}, .wire = "\x05IR*\r", .elapsed = 501});
    add("time-out 2000: ENQ wait 2000", {.cmd = "IR*", .timeout = "2000", .wire = ENQ, .elapsed = 2000});
    add("time-out 2000: reply wait 2000",
        {.cmd = "IR*", .timeout = "2000", .onEnq = {{1, ENQ}}, .wire = "\x05IR*\r", .elapsed = 2001});

    // The ENQ answer.
    add("ENQ with other characters after it in one read is not recognised",
        {.cmd = "IR*", .onEnq = {{1, "\x05X"}}, .wire = ENQ, .elapsed = 500});
    add("ENQ with other characters before it in one read is not recognised",
        {.cmd = "IR*", .onEnq = {{1, "X\x05"}}, .wire = ENQ, .elapsed = 500});
    add("two ENQs in one read are not recognised",
        {.cmd = "IR*", .onEnq = {{1, "\x05\x05"}}, .wire = ENQ, .elapsed = 500});
    add("noise, then a lone ENQ in a read of its own", {.cmd = "IR*",
                                                        .onEnq = {{1, "X"}, {2, ENQ}},
                                                        .onCommand = {{1, "IR01\r"}},
                                                        .reply = "IR01",
                                                        .elapsed = 3});
    add("noise and ENQ due at the same time meet in one read",
        {.cmd = "IR*", .onEnq = {{2, "X"}, {2, ENQ}}, .wire = ENQ, .elapsed = 500});
    add("noise during the ENQ wait is thrown away", {.cmd = "IR*",
                                                     .onEnq = {{1, "IR01\r"}, {3, ENQ}},
                                                     .onCommand = {{1, "IR02\r"}},
                                                     .reply = "IR02",
                                                     .elapsed = 4});

    // Leftovers from an earlier exchange.
    add("leftover LF alone is dropped",
        {.before = {{0, LF}}, .onCommand = {{5, "ABC\r"}}, .reply = "ABC", .elapsed = 5});
    add("leftover LF in front of the reply is dropped",
        {.before = {{5, LF}}, .onCommand = {{5, "ABC\r"}}, .reply = "ABC", .elapsed = 5});
    add("leftover characters start the reply",
        {.before = {{0, "OLD"}}, .onCommand = {{5, "ABC\r"}}, .reply = "OLDABC", .elapsed = 5});
    add("leftover line is taken as the reply", {.before = {{0, "OLD\r"}},
                                                .onCommand = {{5, "ABC\r"}},
                                                .reply = "OLD",
                                                .elapsed = 0,
                                                .leftover = "ABC\r"});
    add("leftover LF is thrown away by the ENQ wait", {.cmd = "IR*",
                                                       .before = {{0, LF}},
                                                       .onEnq = {{1, ENQ}},
                                                       .onCommand = {{1, "IR01\r"}},
                                                       .reply = "IR01",
                                                       .elapsed = 2});
    add("leftover LF in the same read as the ENQ hides it",
        {.cmd = "IR*", .before = {{1, LF}}, .onEnq = {{1, ENQ}}, .wire = ENQ, .elapsed = 500});

    // Hostile reads: no index may go out of range, whatever arrives.
    add("two LFs in one read", {.onCommand = {{2, "\n\n"}}, .elapsed = 2});
    add("lone CR: an empty line", {.onCommand = {{2, CR}}, .elapsed = 2});
    add("lone CR LF: an empty line", {.onCommand = {{2, "\r\n"}}, .elapsed = 2});
    add("LF CR: an empty line", {.onCommand = {{2, "\n\r"}}, .elapsed = 2});
    add("lone LF is dropped, the reply follows",
        {.onCommand = {{2, LF}, {3, "ABC\r"}}, .reply = "ABC", .elapsed = 3});
    add("lone LFs only: nothing, at the time-out",
        {.onCommand = {{2, LF}, {3, LF}, {4, LF}}, .elapsed = 500});
    add("empty read, then the reply", {.onCommand = {{2, ""}, {3, "ABC\r"}}, .reply = "ABC", .elapsed = 3});
    add("empty read during the ENQ wait", {.cmd = "IR*",
                                           .onEnq = {{1, ""}, {2, ENQ}},
                                           .onCommand = {{1, "IR01\r"}},
                                           .reply = "IR01",
                                           .elapsed = 3});
    add("CR at the end of a long run of reads",
        {.onCommand = {{1, "\n"}, {2, "\r"}, {3, "A"}}, .elapsed = 2, .leftover = "A"});
}

void TestExchange::exchange() {
    QFETCH(Case, c);
    ScriptedLine line;
    QVERIFY(line.open().ok());
    const qint64 start = line.clock().nowMs();
    for (const Chunk& chunk : c.before) line.deliverAt(start + chunk.at, str(chunk.bytes));
    line.onWrite([&c](ScriptedLine& l, const std::string& written) {
        for (const Chunk& chunk : written == "\x05" ? c.onEnq : c.onCommand)
            l.deliverIn(chunk.at, str(chunk.bytes));
    });
    Exchange exchange(line, line.clock(), [&c] { return c.timeout.toStdString(); });

    const std::string reply = exchange.sendCommand(str(c.cmd));

    QCOMPARE(bytes(reply), c.reply);
    QCOMPARE(bytes(exchange.lastResponse()), c.reply);
    if (!c.wire.isEmpty()) QCOMPARE(bytes(line.wire()), c.wire);
    QCOMPARE(line.clock().nowMs() - start, c.elapsed);
    QVERIFY(!exchange.linkLost());
    // No spinning: each wait call either brings a read or ends a wait.
    const auto deliveries = c.before.size() + c.onEnq.size() + c.onCommand.size();
    QVERIFY2(line.waitCalls() <= deliveries + 2, qPrintable(QString::number(line.waitCalls())));
    QVERIFY2(line.takeCalls() <= line.waitCalls() + 2, qPrintable(QString::number(line.takeCalls())));

    line.clock().advance(1'000'000);
    QCOMPARE(bytes(line.takeAll()), c.leftover);
}

void TestExchange::unusableLine_data() {
    QTest::addColumn<QByteArray>("cmd");
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("lost");
    QTest::newRow("closed, frame") << QByteArray("@01XYZ1A*") << false << false;
    QTest::newRow("closed, point-to-point") << QByteArray("IR*") << false << false;
    QTest::newRow("closed, empty command") << QByteArray() << false << false;
    QTest::newRow("lost, frame") << QByteArray("@01XYZ1A*") << true << true;
    QTest::newRow("lost, point-to-point") << QByteArray("IR*") << true << true;
}

void TestExchange::unusableLine() {
    QFETCH(QByteArray, cmd);
    QFETCH(bool, open);
    QFETCH(bool, lost);
    ScriptedLine line;
    if (open) QVERIFY(line.open().ok());
    line.setLost(lost);
    // A reply that would be there at once must not be collected either.
    line.deliverIn(0, "\x05");
    line.onWrite([](ScriptedLine& l, const std::string&) { l.deliverIn(1, "IR01\r"); });
    Exchange exchange(line, line.clock(), [] { return std::string("500 "); });
    const qint64 start = line.clock().nowMs();

    QCOMPARE(bytes(exchange.sendCommand(str(cmd))), QByteArray());
    QCOMPARE(line.clock().nowMs(), start);  // at once
    QCOMPARE(line.waitCalls(), 0);
    QCOMPARE(bytes(line.wire()), QByteArray());
    QCOMPARE(exchange.linkLost(), lost);
}

void TestExchange::lostDuringAWaitEndsIt_data() {
    QTest::addColumn<QByteArray>("cmd");
    QTest::addColumn<int>("loseAfter");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("during the ENQ wait") << QByteArray("IR*") << 120 << QByteArray("\x05");
    QTest::newRow("during the reply wait") << QByteArray("IR*") << 350 << QByteArray("\x05IR*\r");
    QTest::newRow("during a frame's reply wait")
        << QByteArray("@01MR020854*") << 40 << QByteArray("@01MR020854*\r");
}

void TestExchange::lostDuringAWaitEndsIt() {
    QFETCH(QByteArray, cmd);
    QFETCH(int, loseAfter);
    QFETCH(QByteArray, wire);
    ScriptedLine line;
    QVERIFY(line.open().ok());
    const qint64 start = line.clock().nowMs();
    line.loseAt(start + loseAfter);
    // ENQ answered after 300 ms, but the reply would come only after the loss.
    line.onWrite([](ScriptedLine& l, const std::string& w) {
        if (w == "\x05")
            l.deliverIn(300, "\x05");
        else
            l.deliverIn(400, "IR01\r");
    });
    Exchange exchange(line, line.clock(), [] { return std::string("500 "); });

    QCOMPARE(bytes(exchange.sendCommand(str(cmd))), QByteArray());
    QVERIFY(exchange.linkLost());
    QCOMPARE(line.clock().nowMs() - start,
             qint64(loseAfter));  // ends when the device goes, not at the time-out
    QCOMPARE(bytes(line.wire()), wire);
    // Back again, the next good exchange clears the loss.
    line.clock().advance(1000);  // whatever was on its way is gone with the device
    line.close();
    QVERIFY(line.open().ok());
    QCOMPARE(bytes(exchange.sendCommand("IR*")), QByteArray("IR01"));
    QVERIFY(!exchange.linkLost());
}

void TestExchange::timeoutReadAfreshAtEachWait() {
    ScriptedLine line;
    QVERIFY(line.open().ok());
    line.onWrite([](ScriptedLine& l, const std::string& w) {
        if (w == "\x05") l.deliverIn(50, "\x05");
    });
    std::vector<std::string> texts{"100", "300", "0", "0", "abc"};
    std::size_t reads = 0;
    Exchange exchange(line, line.clock(), [&] { return texts.at(reads++); });

    qint64 start = line.clock().nowMs();
    QCOMPARE(bytes(exchange.sendCommand("IR*")), QByteArray());
    QCOMPARE(reads, std::size_t(2));                           // once per wait
    QCOMPARE(line.clock().nowMs() - start, qint64(50 + 300));  // ENQ at 50, then the second text's 300

    start = line.clock().nowMs();
    QCOMPARE(bytes(exchange.sendCommand("IR*")), QByteArray());
    QCOMPARE(reads, std::size_t(4));
    QCOMPARE(line.clock().nowMs() - start, qint64(50 + 500));  // "0": the reply wait's own default

    start = line.clock().nowMs();
    QCOMPARE(bytes(exchange.sendCommand("@")), QByteArray());
    QCOMPARE(reads, std::size_t(5));  // a frame has one wait only
    QCOMPARE(line.clock().nowMs() - start, qint64(500));
}

void TestExchange::exchangesInARow() {
    ScriptedLine line;
    QVERIFY(line.open().ok());
    std::vector<std::string> replies{"IR01\r\n", "VMKRVX-E1.07\r", "@01MR2350*\r\n"};
    std::size_t next = 0;
    line.onWrite([&](ScriptedLine& l, const std::string& w) {
        if (w == "\x05") {
            l.deliverIn(1, "\x05");
        } else if (next < replies.size()) {
            // Line end split from its LF: the LF arrives in a read of its own.
            const std::string& r = replies[next++];
            const auto cr = r.find('\r');
            l.deliverIn(2, r.substr(0, cr + 1));
            if (cr + 1 < r.size()) l.deliverIn(3, r.substr(cr + 1));
        }
    });
    Exchange exchange(line, line.clock(), [] { return std::string("500 "); });

    QCOMPARE(bytes(exchange.sendCommand("IR*")), QByteArray("IR01"));
    // The LF of "IR01" CR LF is still in the port: the ENQ wait throws it away.
    line.clock().advance(10);
    QCOMPARE(bytes(exchange.sendCommand("VM*")), QByteArray("VMKRVX-E1.07"));
    QCOMPARE(bytes(exchange.sendCommand("@01MR020854*")), QByteArray("@01MR2350*"));
    QCOMPARE(bytes(exchange.lastResponse()), QByteArray("@01MR2350*"));
    // A silent exchange overwrites the last reply.
    QCOMPARE(bytes(exchange.sendCommand("@01MR020854*")), QByteArray());
    QCOMPARE(bytes(exchange.lastResponse()), QByteArray());
    QCOMPARE(bytes(line.wire()), QByteArray("\x05IR*\r\x05VM*\r@01MR020854*\r@01MR020854*\r"));
}

void TestExchange::timeoutMs_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("fallback");
    QTest::addColumn<int>("ms");
    QTest::newRow("start-up text") << "500 " << 1000 << 500;
    QTest::newRow("0, ENQ default") << "0" << 1000 << 1000;
    QTest::newRow("-5") << "-5" << 500 << 500;
    QTest::newRow("2000") << "2000" << 1000 << 2000;
    QTest::newRow("not a number") << "abc" << 1000 << 1000;
    QTest::newRow("empty") << "" << 500 << 500;
    QTest::newRow("blanks only") << "   " << 500 << 500;
    QTest::newRow("leading blanks") << "  750" << 500 << 750;
    QTest::newRow("number then text") << "250ms" << 500 << 250;
    QTest::newRow("1") << "1" << 500 << 1;
    QTest::newRow("0.4 rounds to 0") << "0.4" << 500 << 500;
    QTest::newRow("half to even down") << "2.5" << 500 << 2;
    QTest::newRow("half to even up") << "3.5" << 500 << 4;
    // Far too long waits are capped at a day, never overflow.
    QTest::newRow("int overflow") << "99999999999" << 500 << 86'400'000;
    QTest::newRow("double overflow") << "1e309" << 500 << 86'400'000;
    QTest::newRow("huge negative") << "-1e309" << 500 << 500;
}

void TestExchange::timeoutMs() {
    QFETCH(QString, text);
    QFETCH(int, fallback);
    QFETCH(int, ms);
    QCOMPARE(Exchange::timeoutMs(text.toStdString(), fallback), ms);
}

QTEST_GUILESS_MAIN(TestExchange)
#include "test_exchange.moc"
