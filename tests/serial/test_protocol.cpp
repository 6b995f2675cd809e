// The protocol below the memory commands, on a scripted line and a fake
// clock: frames and their check sum, one command exchanged, the lenient
// number reader, hex digits and readable bytes, and choosing and opening the
// port.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <cfloat>
#include <cmath>
#include <map>
#include <optional>
#include <tuple>

#include "base/hexdigits.h"
#include "base/leadingnumber.h"
#include "base/readablebytes.h"
#include "serial/exchange.h"
#include "serial/frame.h"
#include "serial/hostlink.h"
#include "serial/portconnection.h"
#include "serial/qtserialline.h"
#include "serial/timeoutbox.h"
#include "support/scriptedline.h"

using namespace tarvelin;
using tarvelin::test::ScriptedLine;

Q_DECLARE_METATYPE(tarvelin::Outcome)

namespace {

std::string str(const QByteArray& b) {
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}
QByteArray bytes(const std::string& s) {
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}
EnvLookup lookupIn(std::map<std::string, std::string> env) {
    return [env = std::move(env)](const std::string& name) -> std::optional<std::string> {
        const auto it = env.find(name);
        return it == env.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
}
// The device "COMn" opens: the port of that name on Windows; elsewhere the
// KORVEX_COMn device when one is set (`configured`), else /dev/ttyS(n-1).
QString comDevice(int n, const char* configured = nullptr) {
#ifdef _WIN32
    Q_UNUSED(configured);
    return QStringLiteral("COM%1").arg(n);
#else
    return configured ? QString(configured) : QStringLiteral("/dev/ttyS%1").arg(n - 1);
#endif
}

}  // namespace

Q_DECLARE_METATYPE(tarvelin::OpenError)

class TestProtocol : public QObject {
    Q_OBJECT
private slots:
    // "@", station ID, command text, FCS (XOR of every character before it), "*".
    void frame_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QByteArray>("cmd");
        QTest::addColumn<QByteArray>("frame");
        // Station, command, frame.
        for (const char* row :
             {"1|XYZ|@01XYZ1A*", "10|ABC|@0AABC71*", "0|ABC|@00ABC00*", "0||@0040*", "0|abc|@00abc20*",
              "255|MR020C|@FFMR020C2E*", "1|Mw4011000080|@01Mw401100008077*", "256|X|@100X29*"}) {
            const QList<QByteArray> parts = QByteArray(row).split('|');
            QTest::newRow(row) << parts[0].toInt() << parts[1] << parts[2];
        }
        QTest::newRow("a frame framed again")
            << 1 << QByteArray("@01XYZ1A*") << QByteArray("@01@01XYZ1A*01*");
        QTest::newRow("a zero byte counts") << 0 << QByteArray("A\0B", 3) << QByteArray("@00A\0B43*", 9);
        QTest::newRow("high bytes, never negative")
            << 0 << QByteArray("\x80\xFF") << QByteArray("@00\x80\xFF") + "3F*";
    }

    void frame() {
        QFETCH(int, id);
        QFETCH(QByteArray, cmd);
        QFETCH(QByteArray, frame);
        std::string text = str(cmd);
        QCOMPARE(bytes(appendFCS(static_cast<std::int16_t>(id), text)), frame);
        QCOMPARE(bytes(text), frame);  // the argument is the frame too
        const std::string body = str(frame.left(frame.size() - 3));
        QCOMPARE(QByteArray::fromStdString(hexAtLeastTwo(computeFCS(body))), frame.mid(frame.size() - 3, 2));
    }

    // One exchange. The script: "b", "e" or "c" and a delay in ms, ":" and the
    // bytes the far side sends, relative to the start, to the ENQ written, or to
    // the command written; "t" and the time-out box's text (else "500 "); "x" a
    // closed port, "g" a device gone before, "l" and the ms after which it goes.
    void exchange_data() {
        QTest::addColumn<QByteArray>("cmd");  // "@": a frame, sent without the ENQ call
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QByteArray>("wire");  // what was written; not checked when empty
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("elapsed");
        QTest::addColumn<QByteArray>("leftover");  // what the next reader of the port finds
        const auto row = [](const char* name, const QByteArray& cmd, const QByteArray& script,
                            const QByteArray& wire, const QByteArray& reply, int elapsed,
                            const QByteArray& leftover = {}) {
            QTest::newRow(name) << cmd << script << wire << reply << elapsed << leftover;
        };
        // On the wire.
        row("a frame at once", "@01XYZ1A*", "c5:ABC\r", "@01XYZ1A*\r", "ABC", 5);
        row("colon text at once", ":ABC", "c5:OK\r", ":ABC\r", "OK", 5);
        row("point-to-point: ENQ first", "IR*", "e3:\x05|c4:IR01\r", "\x05IR*\r", "IR01", 7);
        row("point-to-point unanswered: ENQ alone", "IR*", "", "\x05", "", 500);
        row("empty command: ENQ, then a lone CR", "", "e1:\x05|c2:?\r", "\x05\r", "?", 3);
        // Line ends.
        row("CR LF in one read", "@", "c5:ABC\r\n", "", "ABC", 5);
        row("CR, LF in the next read: left for later", "@", "c5:ABC\r|c6:\n", "", "ABC", 5, "\n");
        row("bare LF in a read of its own", "@", "c2:ABC|c3:\n", "", "ABC", 3);
        row("LF CR: the CR ends it", "@", "c5:ABC\n\r", "", "ABC\n", 5);
        row("split reply joined", "@", "c2:AB|c4:C\r", "", "ABC", 4);
        row("CR inside a read stays", "@", "c2:AB\rC\r", "", "AB\rC", 2);
        row("CR inside a read does not end it", "@", "c2:AB\rCD", "", "", 500);
        row("zero bytes are data", "@", QByteArray("c2:A\0B\r", 7), "", QByteArray("A\0B", 3), 2);
        row("high bytes are data", "@", "c2:\xC4\xFF\r", "", "\xC4\xFF", 2);
        // Time-outs, from the start of the reply wait.
        row("never ending: partial reply dropped", "@", "c1:ABC|c100:DEF", "", "", 500);
        row("after the time-out stays in the port", "@", "c1:ABC|c600:X\r", "", "", 500, "X\r");
        row("last character at the deadline counts", "@", "c100:AB|c500:C\r", "", "ABC", 500);
        row("1 ms after the deadline is late", "@", "c100:AB|c501:C\r", "", "", 500, "C\r");
        row("not from the last character", "@", "c400:A|c499:B|c520:C\r", "", "", 500, "C\r");
        row("ENQ at the deadline counts", "IR*", "e500:\x05|c500:IR01\r", "", "IR01", 1000);
        row("ENQ 1 ms late: command not sent", "IR*", "e501:\x05", "\x05", "", 500, "\x05");
        row("reply wait after the ENQ wait", "IR*", "e400:\x05|c500:IR01\r", "", "IR01", 900);
        row("time-out 0: ENQ wait 1000", "IR*", "t0", "\x05", "", 1000);
        row("time-out 0: reply wait 500", "IR*", "t0|e1:\x05", "\x05IR*\r", "", 501);
        // The ENQ answer: a read that holds ENQ alone.
        row("ENQ and more in one read", "IR*", "e1:\x05X", "\x05", "", 500);
        row("more and ENQ in one read", "IR*", "e1:X\x05", "\x05", "", 500);
        row("noise, then ENQ alone", "IR*", "e1:X|e2:\x05|c1:IR01\r", "", "IR01", 3);
        row("noise and ENQ due together", "IR*", "e2:X|e2:\x05", "\x05", "", 500);
        row("a reply during the ENQ wait is thrown away", "IR*", "e1:IR01\r|e3:\x05|c1:IR02\r", "", "IR02",
            4);
        // What an earlier exchange left.
        row("a left LF is dropped", "@", "b0:\n|c5:ABC\r", "", "ABC", 5);
        row("a left LF with the reply is dropped", "@", "b5:\n|c5:ABC\r", "", "ABC", 5);
        row("left characters start the reply", "@", "b0:OLD|c5:ABC\r", "", "OLDABC", 5);
        row("a left line is the reply", "@", "b0:OLD\r|c5:ABC\r", "", "OLD", 0, "ABC\r");
        row("the ENQ wait throws a left LF away", "IR*", "b0:\n|e1:\x05|c1:IR01\r", "", "IR01", 2);
        row("a left LF in the ENQ's read hides it", "IR*", "b1:\n|e1:\x05", "\x05", "", 500);
        // Hostile reads: no index out of range, whatever arrives.
        row("two LFs", "@", "c2:\n\n", "", "", 2);
        row("lone CR", "@", "c2:\r", "", "", 2);
        row("lone LF dropped, the reply follows", "@", "c2:\n|c3:ABC\r", "", "ABC", 3);
        row("lone LFs only", "@", "c2:\n|c3:\n|c4:\n", "", "", 500);
        row("empty read, then the reply", "@", "c2:|c3:ABC\r", "", "ABC", 3);
        row("CR after LF, then data", "@", "c1:\n|c2:\r|c3:A", "", "", 2, "A");
        // A closed or vanished port: no reply, at once, nothing written, nothing taken; a device
        // that goes during a wait ends it there.
        row("closed", "IR*", "x|b0:\x05", "", "", 0);
        row("gone", "IR*", "g|b0:\x05", "", "", 0, "\x05");
        row("gone, a frame", "@01XYZ1A*", "g", "", "", 0);
        row("goes during the ENQ wait", "IR*", "l120|e300:\x05", "\x05", "", 120, "\x05");
        row("goes during the reply wait", "IR*", "l350|e300:\x05|c100:IR01\r", "\x05IR*\r", "", 350,
            "IR01\r");
        row("goes during a frame's wait", "@01MR020854*", "l40|c100:X\r", "@01MR020854*\r", "", 40, "X\r");
        row("goes as the ENQ goes out", "IR*", "d|e1:\x05", "\x05", "", 0, "\x05");
        // A write the line does not take ends the exchange there: no wait for a reply to it.
        row("the ENQ call not taken", "IR*", "w0|e1:\x05", "", "", 0);
        row("the command not taken after the ENQ", "IR*", "w1|e1:\x05|c1:IR01\r", "\x05", "", 1);
        row("a frame not taken", "@01XYZ1A*", "w0|c1:X\r", "", "", 0);
    }

    void exchange() {
        QFETCH(QByteArray, cmd);
        QFETCH(QByteArray, script);
        QFETCH(QByteArray, wire);
        QFETCH(QByteArray, reply);
        QFETCH(int, elapsed);
        QFETCH(QByteArray, leftover);
        ScriptedLine line;
        const QList<QByteArray> parts = script.split('|');
        if (!parts.contains("x")) QVERIFY(line.open().ok());
        line.setLost(parts.contains("g"));
        const qint64 start = line.clock().nowMs();
        std::string timeout = "500 ";
        std::multimap<char, std::pair<int, std::string>> chunks;  // by 'b', 'e', 'c'
        for (const QByteArray& part : parts) {
            if (part.startsWith('t')) timeout = str(part.mid(1));
            if (part.startsWith('l')) line.loseAt(start + part.mid(1).toInt());
            const qsizetype colon = part.indexOf(':');
            if (colon > 0)
                chunks.insert({part[0], {part.mid(1, colon - 1).toInt(), str(part.mid(colon + 1))}});
        }
        for (auto [it, end] = chunks.equal_range('b'); it != end; ++it)
            line.deliverAt(start + it->second.first, it->second.second);
        const bool goes = parts.contains("d");
        line.onWrite([&chunks, goes](ScriptedLine& l, const std::string& written) {
            for (auto [it, end] = chunks.equal_range(written == "\x05" ? 'e' : 'c'); it != end; ++it)
                l.deliverIn(it->second.first, it->second.second);
            if (goes) l.setLost(true);
        });
        const bool refused = script.startsWith('w');
        if (refused) line.refuseWritesAfter(script.mid(1, 1).toUInt());
        Exchange exchange(line, line.clock(), timesFromBox(timeout));

        const Result<std::string> got = exchange.send(str(cmd));
        QCOMPARE(bytes(got ? *got : std::string()), reply);
        QCOMPARE(bytes(exchange.lastResponse()), reply);
        if (!wire.isEmpty()) QCOMPARE(bytes(line.wire()), wire);
        QCOMPARE(line.clock().nowMs() - start, qint64(elapsed));
        const bool lost = parts.contains("g") || script.startsWith('l') || goes;
        const Outcome why = lost              ? Outcome::LineLost
                            : refused         ? Outcome::SendFailed
                            : reply.isEmpty() ? Outcome::NoResponse
                                              : Outcome::Success;
        QCOMPARE(outcomeOf(got), why);
        if (lost || refused || parts.contains("x")) QCOMPARE(bytes(line.wire()), wire);
        // No spinning: each wait brings a read or ends a wait.
        QVERIFY2(line.waitCalls() <= int(chunks.size()) + 2, qPrintable(QString::number(line.waitCalls())));
        QVERIFY(line.takeCalls() <= line.waitCalls() + 2);
        line.clock().advance(1'000'000);
        QCOMPARE(bytes(line.takeAll()), leftover);
    }

    // The reply rules, one table for each question asked of a reply: does
    // this read answer the ENQ call ("enq"), does this reply answer this frame
    // and which byte does it carry ("confirm"), which station answered "IR*"
    // ("ir"), which firmware did "VM*" give ("vm"). Frames for station 1:
    // MR reads 524, MW writes C0 there.
    void replies_data() {
        QTest::addColumn<QString>("question");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<Outcome>("outcome");  // confirm, ir
        QTest::addColumn<QString>("value");    // the byte or station in decimal, the firmware, "yes"/"no"
        const auto framed = [](int station, std::string body) {
            return bytes(appendFCS(static_cast<std::int16_t>(station), body));
        };
        const QByteArray mr = framed(1, "MR020C"), mw = framed(1, "MW020CC0");
        const QByteArray enable = framed(1, "MENABLE"), reboot = framed(1, "Mw4011000080");
        const auto row = [](const char* name, const char* question, const QByteArray& request,
                            const QByteArray& reply, Outcome outcome, const QString& value = {}) {
            QTest::newRow(name) << question << request << reply << outcome << value;
        };
        using O = Outcome;
        const O ok = O::Success, invalid = O::InvalidResponse;
        row("MR short", "confirm", mr, framed(1, "MRC0"), ok, "192");
        row("MR end code after the byte", "confirm", mr, framed(1, "MRC000"), ok, "192");
        row("MR the address after the byte", "confirm", mr, framed(1, "MRC0020C"), ok, "192");
        row("MR without FCS and *", "confirm", mr, "@01MRC0", ok, "192");
        row("MR lower-case digits and FCS", "confirm", mr,
            framed(1, "MRc0").toLower().replace("@01mr", "@01MR"), ok, "192");
        row("MR ends in * without FCS", "confirm", mr, "@01MRC0*", ok, "192");
        row("MR the request repeated: echo", "confirm", mr, mr, O::Echo);
        row("MR ENQ and the request: echo", "confirm", mr, "\x05" + mr, O::Echo);
        row("MR wrong FCS", "confirm", mr, "@01MRC02E*", invalid);
        row("MR wrong FCS after an end code", "confirm", mr, "@01MRC100*", invalid);
        row("MR one data digit", "confirm", mr, "@01MR5", invalid);
        row("MR data digits not hex", "confirm", mr, framed(1, "MRxy"), invalid);
        row("MR answered as MW", "confirm", mr, framed(1, "MW"), invalid);
        row("MR lower-case m", "confirm", mr, framed(1, "mRC0"), invalid);
        row("MR another station", "confirm", mr, framed(2, "MRC0"), invalid);
        row("MR station digits in lower case", "confirm", framed(0x1A, "MR020C"),
            framed(0x1A, "MRC0").toLower(), invalid);
        row("MR too short", "confirm", mr, "@01", invalid);
        row("MR two replies, CR between", "confirm", mr, framed(1, "MRC0") + "\r" + framed(1, "MRC0"),
            O::OutOfStep);
        row("MR two replies, LF between", "confirm", mr, framed(1, "MRC0") + "\n" + framed(1, "MRC0"),
            O::OutOfStep);
        row("MR nothing", "confirm", mr, "", O::NoResponse);
        row("MW short", "confirm", mw, framed(1, "MW"), ok);
        row("MW the request repeated", "confirm", mw, mw, ok);
        row("MW end code after the echoed command", "confirm", mw, framed(1, "MW020CC000"), ok);
        row("MW end code alone", "confirm", mw, framed(1, "MW00"), ok);
        row("MW bare", "confirm", mw, "@01MW", ok);
        row("MW lower-case FCS", "confirm", mw, "@01MW5b*", ok);
        row("MW answered as MR", "confirm", mw, framed(1, "MR"), invalid);
        row("MW wrong FCS", "confirm", mw, "@01MW00*", invalid);
        row("MW the request with a wrong FCS", "confirm", mw, mw.left(mw.size() - 2) + "0*", invalid);
        row("MENABLE short", "confirm", enable, framed(1, "ME"), ok);
        row("MENABLE the request repeated", "confirm", enable, enable, ok);
        row("MENABLE end code after the echoed command", "confirm", enable, framed(1, "MENABLE00"), ok);
        row("MENABLE judged by four characters", "confirm", enable, "@01MX", ok);
        row("MENABLE: the four characters alone", "confirm", enable, "@01M", ok);
        row("MENABLE: three are too few", "confirm", enable, "@01", invalid);
        row("MENABLE another station", "confirm", enable, framed(2, "ME"), invalid);
        row("reboot the request repeated", "confirm", reboot, reboot, ok);
        row("reboot bare", "confirm", reboot, "@01Mw", ok);
        row("IR station 1", "ir", "IR*", "IR01", ok, "1");
        row("IR with *", "ir", "IR*", "IR01*", ok, "1");
        row("IR lower-case station digits", "ir", "IR*", "IR1a", ok, "26");
        row("IR more after the station", "ir", "IR*", "IR0A00*", ok, "10");
        row("IR without the station", "ir", "IR*", "IR", invalid);
        row("IR one digit", "ir", "IR*", "IR1*", invalid);
        row("IR a first digit that is none", "ir", "IR*", "IRG1", invalid);
        row("IR echoed", "ir", "IR*", "IR*", O::Echo);
        row("IR ENQ, then echoed", "ir", "IR*", "\x05\x05IR*", O::Echo);
        row("IR lower-case ir: no answer", "ir", "IR*", "ir01", O::NoResponse);
        row("IR something else: no answer", "ir", "IR*", "XY01", O::NoResponse);
        row("IR nothing", "ir", "IR*", "", O::NoResponse);
        row("VM ten characters", "vm", "VM*", "VMKRVX-E1.07", ok, "KRVX-E1.07");
        row("VM shorter", "vm", "VM*", "VME1.07", ok, "E1.07");
        row("VM longer: cut at ten", "vm", "VM*", "VMKRVX-E1.07-B12", ok, "KRVX-E1.07");
        row("VM with *: cut at ten", "vm", "VM*", "VMKRVX-E1.07*", ok, "KRVX-E1.07");
        row("VM alone", "vm", "VM*", "VM", ok, "");
        row("VM one character", "vm", "VM*", "V", ok, "");
        row("ENQ alone", "enq", "", "\x05", ok, "yes");
        row("ENQ twice: an echoing converter's and the controller's", "enq", "", "\x05\x05", ok, "yes");
        row("ENQ after a character", "enq", "", "X\x05", ok, "no");
        row("ENQ before a character", "enq", "", "\x05X", ok, "no");
        row("ENQ after a left LF", "enq", "", "\n\x05", ok, "no");
        row("ENQ nothing read", "enq", "", "", ok, "no");
    }

    void replies() {
        QFETCH(QString, question);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        QFETCH(Outcome, outcome);
        QFETCH(QString, value);
        if (question == "confirm") {
            QCOMPARE(hostlink::confirm(str(request), str(reply)), outcome);
            if (outcome == Outcome::Success && !value.isEmpty())
                QCOMPARE(QString::number(hostlink::dataByte(str(reply))), value);
        } else if (question == "ir") {
            const hostlink::Identification id = hostlink::identify(str(reply));
            QCOMPARE(id.outcome, outcome);
            QCOMPARE(id.station, value.isEmpty() ? -1 : value.toInt());
        } else if (question == "vm") {
            QCOMPARE(QString::fromStdString(hostlink::firmwareOf(str(reply))), value);
        } else {
            QCOMPARE(hostlink::answersEnq(str(reply)) ? "yes" : "no", value);
        }
    }

    // The ENQ wait and the reply wait each take their own time; a frame
    // waits for the reply only.
    void waits() {
        ScriptedLine line;
        QVERIFY(line.open().ok());
        line.onWrite([](ScriptedLine& l, const std::string& w) {
            if (w == "\x05") l.deliverIn(50, "\x05");
        });
        Exchange exchange(line, line.clock());
        for (const auto& [cmd, times, elapsed] : {std::tuple{"IR*", ExchangeTimes{40, 300}, 40},
                                                  std::tuple{"IR*", ExchangeTimes{100, 300}, 50 + 300},
                                                  std::tuple{"@", ExchangeTimes{1000, 200}, 200}}) {
            exchange.setTimes(times);
            line.clock().advance(1000);
            line.takeAll();
            const qint64 start = line.clock().nowMs();
            QCOMPARE(bytes(exchange.sendCommand(cmd)), QByteArray());
            QCOMPARE(line.clock().nowMs() - start, qint64(elapsed));
        }
    }

    // A stop asked during a wait of 8 s (Ctrl-C) ends it within the grace, as
    // Interrupted: the ENQ call and the reply on a silent line; a reply that
    // comes within the grace still counts, so the command on the line is finished.
    void stopCutsWaitsShort() {
        for (const auto& [cmd, replyAt, reply, elapsed] :
             {std::tuple{"IR*", -1, "", 100 + Exchange::kStopGraceMs},
              std::tuple{"@01MR", -1, "", 100 + Exchange::kStopGraceMs},
              std::tuple{"@01MR", 130, "@01MRC0", 130}}) {
            ScriptedLine line;
            QVERIFY(line.open().ok());
            const qint64 start = line.clock().nowMs();
            if (replyAt >= 0) line.deliverAt(start + replyAt, std::string(reply) + "\r");
            Exchange exchange(line, line.clock(), {8000, 8000});
            exchange.setStopToken([&line, start] { return line.clock().nowMs() - start >= 100; });
            const auto got = exchange.send(cmd);
            QCOMPARE(outcomeOf(got), replyAt >= 0 ? Outcome::Success : Outcome::Interrupted);
            QCOMPARE(bytes(got ? *got : std::string()), QByteArray(reply));
            QCOMPARE(line.clock().nowMs() - start, qint64(elapsed));
        }
    }

    void timeoutMs_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("fallback");
        QTest::addColumn<int>("ms");
        // The box's text and the wait it gives, 777 standing for the fallback.
        for (const char* row :
             {"500 =500", "0=777", "-5=777", "abc=777", "=777", "250ms=250", "1=1", "0.4=777", "2.5=2",
              "3.5=4", "-1e309=777", "1e309=86400000", "99999999999=86400000"})  // a day at most
            QTest::newRow(row) << QString(row).section('=', 0, 0) << 777
                               << QString(row).section('=', 1).toInt();
    }

    void timeoutMs() {
        QFETCH(QString, text);
        QFETCH(int, fallback);
        QFETCH(int, ms);
        QCOMPARE(timeoutBoxMs(text.toStdString(), fallback), ms);
    }

    // The number at the start of a box's text: blanks, tabs and LFs skipped
    // anywhere, 0 when there is none; "&H" and "&O" for hex and octal digits.
    void leadingNumber_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<double>("value");
        const std::pair<const char*, double> rows[] = {
            {"", 0},        {" \t1\n2 3 ", 123}, {"\r12", 0},
            {"12\r3", 12},  {"12abc", 12},       {"abc", 0},
            {"+5", 5},      {"- 5", -5},         {"--5", 0},
            {"-", 0},       {"2.5", 2.5},        {"192.168.1.5", 192.168},
            {".5", 0.5},    {"5.", 5},           {".", 0},
            {"1,5", 1},     {"1E3", 1000},       {"1e3", 1000},
            {"1D2", 100},   {"25E-1", 2.5},      {"1E+2", 100},
            {"7E", 7},      {"7E+", 7},          {"E3", 0},
            {"1e2e3", 100}, {"1e2.5", 100},      {"&HFF", 255},
            {"&h9a", 154},  {"&H9A", 154},       {"&H1G", 1},
            {"&H", 0},      {"& H 1 0", 16},     {"&O17", 15},
            {"&o78", 7},    {"&X1", 0},          {"1&H2", 1},
            {"0x10", 0},    {"inf", 0},          {"12\xC3\xA9", 12},
            {"1e-400", 0}};
        for (const auto& [text, value] : rows)
            QTest::addRow("'%s'", QByteArray(text).toPercentEncoding().constData())
                << QByteArray(text) << value;
        QTest::newRow("a zero byte ends it") << QByteArray(
                                                    "12\0"
                                                    "34",
                                                    5)
                                             << 12.0;
        QTest::newRow("1e309: clamped, never infinite") << QByteArray("1e309") << DBL_MAX;
        QTest::newRow("-1e309") << QByteArray("-1e309") << -DBL_MAX;
        QTest::newRow("400 digits") << QByteArray(400, '9') << DBL_MAX;
        QTest::newRow("400 decimals") << "0." + QByteArray(400, '3') << 1.0 / 3;
        QTest::newRow("400 hex digits") << "&H" + QByteArray(400, 'F') << DBL_MAX / 16;
        QTest::newRow("400 octal digits") << "&O" + QByteArray(400, '7') << DBL_MAX / 16;
    }

    void leadingNumber() {
        QFETCH(QByteArray, text);
        QFETCH(double, value);
        const double got = tarvelin::leadingNumber(str(text));
        QVERIFY(std::isfinite(got));
        QCOMPARE(got, value);
    }

    // One hex digit (any case, or upper case only as the host writes them), and
    // a run of up to seven.
    void hexDigits_data() {
        QTest::addColumn<QByteArray>("digits");
        QTest::addColumn<int>("any");    // -1: no number
        QTest::addColumn<int>("upper");  // upper case only
        const std::tuple<const char*, int, int> rows[] = {
            {"0", 0, 0},          {"9", 9, 9},    {"A", 10, 10},
            {"F", 15, 15},        {"a", 10, -1},  {"f", 15, -1},
            {"/", -1, -1},        {":", -1, -1},  {"@", -1, -1},
            {"G", -1, -1},        {"`", -1, -1},  {"g", -1, -1},
            {"1A", 26, 26},       {"1a", 26, -1}, {"FFFFFFF", 0xFFFFFFF, 0xFFFFFFF},
            {"10000000", -1, -1}, {"", -1, -1},   {"1 ", -1, -1},
            {"-1", -1, -1}};
        for (const auto& [digits, any, upper] : rows)
            QTest::addRow("'%s'", digits) << QByteArray(digits) << any << upper;
    }

    void hexDigits() {
        QFETCH(QByteArray, digits);
        QFETCH(int, any);
        QFETCH(int, upper);
        QCOMPARE(parseHexDigits(str(digits)), any);
        QCOMPARE(parseHexDigits(str(digits), HexCase::Upper), upper);
        if (digits.size() == 1) QCOMPARE(hexDigitValue(digits[0]), any);
    }

    // Bytes as readable text: control characters by name, 128..159 in hex, the
    // rest as Latin-1 in UTF-8.
    void readableBytes_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("text");
        QTest::newRow("names") << QByteArray("\0\x05\x1F\r\n~\x7F", 7) << "<NUL><ENQ><US><CR><LF>~<DEL>";
        QTest::newRow("the invisible upper controls") << QByteArray("\x80\x85\x9F") << "<80><85><9F>";
        QTest::newRow("Latin-1") << QByteArray("@\xA0\xC4\xFF") << QStringLiteral("@\u00A0\u00C4\u00FF");
    }

    void readableBytes() {
        QFETCH(QByteArray, line);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(tarvelin::readableBytes(str(line))), text);
    }

    // Open: where the port list leads, the line settings, and why it fails.
    void open_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<QString>("parity");
        QTest::addColumn<OpenError>("error");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("result");  // the status line when opened, else the message
        const auto row = [](const char* port, const QString& baud, const char* parity, OpenError error,
                            const QString& device, const QString& result) {
            QTest::addRow("%s %s %s %d", port, qPrintable(baud.left(8)), parity, int(error))
                << port << baud << parity << error << device << result;
        };
        const auto none = OpenError::None;
        const QString com4 = comDevice(4);
        row("COM4", "9600", "None", none, com4, "COM 4: Open at 9600,N,8,1");
        row("com3", "4800", "Even", none, comDevice(3), "COM 3: Open at 4800,E,8,1");
        row("COM6", "115200", "Odd", none, comDevice(6), "COM 6: Open at 115200,O,8,1");
        row("COM5", "9600", "None", none, comDevice(5, "/nonexistent/ttyUSB3"),
            "COM 5: Open at 9600,N,8,1");  // KORVEX_COM5
        row("/nonexistent/pts/7", "9600", "None", none, "/nonexistent/pts/7",
            "/nonexistent/pts/7: Open at 9600,N,8,1");
        row("tty5", "9600", "None", none, "tty5", "tty5: Open at 9600,N,8,1");  // no COM name: a device
        row("COM0", "9600", "None", none, "COM0", "COM0: Open at 9600,N,8,1");
        for (const QString& baud : {QString(), QString("fast"), QString("0"), QString("96 00"),
                                    QString("-9600"), QString(400, '9')})
            row("COM4", baud, "None", none, "", kChooseBaudText);
        const QString failed = QString(kOpenFailedText) + "\n";
        row("", "9600", "None", none, "", failed + "No port is chosen.");
        row("COM4", "9600", "Mark", none, com4,
            failed + "The port " + com4 + " does not accept these line settings.");
        const std::pair<OpenError, QString> reasons[] = {
            {OpenError::Busy, "The port " + com4 + " is in use by another program."},
            {OpenError::PermissionDenied, "Permission denied for " + com4 +
                                              ": add your user to the 'dialout' group (sudo usermod -aG "
                                              "dialout $USER), then log in again."},
            {OpenError::NoSuchDevice, "There is no device " + com4 + ". Is the adapter plugged in?"},
            {OpenError::NotSerialDevice, com4 + " is not a serial device."},
            {OpenError::BadSettings, "The port " + com4 + " does not accept these line settings."},
            {OpenError::Other, "The port " + com4 + " cannot be opened: Input/output error"}};
        for (const auto& [error, reason] : reasons) row("COM4", "9600", "None", error, com4, failed + reason);
    }

    void open() {
        QFETCH(QString, port);
        QFETCH(QString, baud);
        QFETCH(QString, parity);
        QFETCH(OpenError, error);
        QFETCH(QString, device);
        QFETCH(QString, result);
        ScriptedLine line;
        line.setSettings("1,N,7,2");
        if (error != OpenError::None) line.failNextOpen({error, "Input/output error"});
        PortConnection connection(line, lookupIn({{"KORVEX_COM5", "/nonexistent/ttyUSB3"}}));
        const auto outcome =
            connection.open({port.toStdString(), baud.toStdString(), parity.toStdString(), "8", "1"});
        const bool opened = result.contains(": Open at ");
        QCOMPARE(outcome.kind,
                 opened ? PortConnection::OpenAttempt::Opened : PortConnection::OpenAttempt::Refused);
        QCOMPARE(QString::fromStdString(opened ? outcome.statusLine : outcome.message), result);
        QCOMPARE(QString::fromStdString(line.device()), device);
        QCOMPARE(line.isOpen(), opened);
        QCOMPARE(line.openCalls(), device.isEmpty() || parity == "Mark" ? 0 : 1);
    }

    // Open while open changes nothing; a vanished device is opened afresh; close
    // closes once; two names of one adapter meet at one device.
    void portLifecycle() {
        ScriptedLine line;
        PortConnection connection(line, lookupIn({}));
        const PortChoice com5{"COM5", "9600", "None", "8", "1"};
        QVERIFY(!connection.close());
        QCOMPARE(connection.open(com5).kind, PortConnection::OpenAttempt::Opened);
        QCOMPARE(connection.open({"COM1", "19200", "None", "8", "1"}).kind,
                 PortConnection::OpenAttempt::AlreadyOpen);
        QCOMPARE(QString::fromStdString(line.settings() + line.device()), "9600,N,8,1" + comDevice(5));
        line.setLost(true);
        QCOMPARE(connection.open(com5).kind, PortConnection::OpenAttempt::Opened);
        QCOMPARE(line.closeCalls(), 1);
        QVERIFY(!line.lost());
        QVERIFY(connection.close());
        QVERIFY(!connection.close());
        QCOMPARE(line.closeCalls(), 2);
        // "COMn" in any case is port n, up to COM999; anything else is a device name.
        for (auto [text, label] : {std::pair{"com12", "COM 12"},
                                   {"COM999", "COM 999"},
                                   {"COM0", "COM0"},
                                   {"COM1000", "COM1000"},
                                   {"COM1x", "COM1x"},
                                   {"CON1", "CON1"}})
            QCOMPARE(resolvePort(text, lookupIn({})).label, std::string(label));
#ifdef _WIN32
        // Windows opens names as given: no links to follow, no KORVEX_COMn.
        QCOMPARE(resolvePort("COM6", lookupIn({{ "KORVEX_COM6", "elsewhere" }})).device, std::string("COM6"));
        QCOMPARE(resolvePort("\\\\.\\COM12", lookupIn({})).device, std::string("\\\\.\\COM12"));
#else
        QTemporaryDir dir;
        const QString device = dir.filePath("ttyFAKE0");
        QVERIFY(QFile(device).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(device, dir.filePath("korvex")) &&
                QFile::link(dir.filePath("korvex"), dir.filePath("plc")));
        const std::string real = QFileInfo(device).canonicalFilePath().toStdString();
        QCOMPARE(resolvePort(dir.filePath("plc").toStdString(), lookupIn({})).device, real);
        QCOMPARE(resolvePort(dir.filePath("plc").toStdString(), lookupIn({})).label,
                 dir.filePath("plc").toStdString());
        {
            // The environment by default; whatever it held before comes back.
            const std::optional<QByteArray> before = qEnvironmentVariableIsSet("KORVEX_COM6")
                                                         ? std::optional(qgetenv("KORVEX_COM6"))
                                                         : std::nullopt;
            const auto restore =
                qScopeGuard([&] { before ? qputenv("KORVEX_COM6", *before) : qunsetenv("KORVEX_COM6"); });
            qputenv("KORVEX_COM6", QFile::encodeName(dir.filePath("korvex")));
            QCOMPARE(resolvePort("COM6").device, real);
        }
        QCOMPARE(
            resolvePort("COM2", lookupIn({{"KORVEX_COM2", dir.filePath("korvex").toStdString()}})).device,
            real);
#endif
    }

    // The real line's settings text: "baud,N|E|O,7|8,1|2"; anything else is
    // refused and changes nothing.
    void lineSettings_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<bool>("taken");
        for (const char* s : {"9600,O,8,1", "4800,E,7,2", "115200,N,8,1"})
            QTest::addRow("'%s'", s) << s << true;
        for (const char* s :
             {"9600,M,8,1", "0,N,8,1", "-1,N,8,1", "fast,N,8,1", "9600,N,9,1", "9600,N,8,3", "9600,N,8", ""})
            QTest::addRow("'%s'", s) << s << false;
    }

    void lineSettings() {
        QFETCH(QString, settings);
        QFETCH(bool, taken);
        QtSerialLine line;
        QCOMPARE(line.setSettings("19200,E,7,2"), true);
        QCOMPARE(line.setSettings(settings.toStdString()), taken);
        QCOMPARE(QString::fromStdString(line.settings()), taken ? settings : QString("19200,E,7,2"));
    }
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "test_protocol.moc"
