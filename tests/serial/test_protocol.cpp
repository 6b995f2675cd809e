// The protocol below the memory commands, on a scripted line and a fake
// clock: frames and their check sum, one command exchanged, the lenient
// number reader, hex digits and readable bytes, and choosing and opening the
// port.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <cfloat>
#include <cmath>
#include <map>
#include <tuple>

#include "serial/exchange.h"
#include "serial/frame.h"
#include "serial/hexdigits.h"
#include "serial/leadingnumber.h"
#include "serial/portconnection.h"
#include "serial/qtserialline.h"
#include "serial/readablebytes.h"
#include "support/scriptedline.h"

using namespace tarvelin;
using tarvelin::test::ScriptedLine;

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
        line.onWrite([&chunks](ScriptedLine& l, const std::string& written) {
            for (auto [it, end] = chunks.equal_range(written == "\x05" ? 'e' : 'c'); it != end; ++it)
                l.deliverIn(it->second.first, it->second.second);
        });
        Exchange exchange(line, line.clock(), [&timeout] { return timeout; });

        QCOMPARE(bytes(exchange.sendCommand(str(cmd))), reply);
        QCOMPARE(bytes(exchange.lastResponse()), reply);
        if (!wire.isEmpty()) QCOMPARE(bytes(line.wire()), wire);
        QCOMPARE(line.clock().nowMs() - start, qint64(elapsed));
        const bool lost = parts.contains("g") || script.startsWith('l');
        QCOMPARE(exchange.linkLost(), lost);
        if (lost || parts.contains("x")) QCOMPARE(bytes(line.wire()), wire);
        // No spinning: each wait brings a read or ends a wait.
        QVERIFY2(line.waitCalls() <= int(chunks.size()) + 2, qPrintable(QString::number(line.waitCalls())));
        QVERIFY(line.takeCalls() <= line.waitCalls() + 2);
        line.clock().advance(1'000'000);
        QCOMPARE(bytes(line.takeAll()), leftover);
        line.setLost(false);
        exchange.sendCommand("@");
        QVERIFY(!exchange.linkLost());  // the next exchange starts afresh
    }

    // The time-out box is read afresh for every wait.
    void timeoutReadAfresh() {
        ScriptedLine line;
        QVERIFY(line.open().ok());
        line.onWrite([](ScriptedLine& l, const std::string& w) {
            if (w == "\x05") l.deliverIn(50, "\x05");
        });
        std::vector<std::string> texts{"100", "300", "0", "0", "abc"};
        std::size_t reads = 0;
        Exchange exchange(line, line.clock(), [&] { return texts.at(reads++); });
        for (const auto& [cmd, waits, elapsed] :
             {std::tuple{"IR*", 2, 50 + 300}, std::tuple{"IR*", 4, 50 + 500}, std::tuple{"@", 5, 500}}) {
            const qint64 start = line.clock().nowMs();
            QCOMPARE(bytes(exchange.sendCommand(cmd)), QByteArray());
            QCOMPARE(int(reads), waits);
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
        QCOMPARE(Exchange::timeoutMs(text.toStdString(), fallback), ms);
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
        for (const OpenError error : {OpenError::Busy, OpenError::PermissionDenied, OpenError::NoSuchDevice,
                                      OpenError::NotSerialDevice, OpenError::BadSettings, OpenError::Other})
            row("COM4", "9600", "None", error, com4,
                failed + QString::fromStdString(
                             openFailureReason({error, "Input/output error"}, com4.toStdString())));
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
        QCOMPARE(outcome.kind, opened ? PortConnection::Outcome::Opened : PortConnection::Outcome::Refused);
        QCOMPARE(QString::fromStdString(opened ? outcome.statusLine : outcome.message), result);
        QCOMPARE(QString::fromStdString(line.device()), device);
        QCOMPARE(line.isOpen(), opened);
        QCOMPARE(line.openCalls(), device.isEmpty() || parity == "Mark" ? 0 : 1);
        if (error == OpenError::Other) QVERIFY(result.endsWith("Input/output error"));
    }

    void openFailureReasonsDiffer() {
        QSet<QString> reasons;
        for (const OpenError e : {OpenError::Busy, OpenError::PermissionDenied, OpenError::NoSuchDevice,
                                  OpenError::NotSerialDevice, OpenError::BadSettings, OpenError::Other})
            reasons << QString::fromStdString(openFailureReason({e, {}}, "/dev/ttyS4"));
        QCOMPARE(reasons.size(), 6);
        for (const QString& reason : reasons)
            QVERIFY(reason.contains("/dev/ttyS4") && !reason.contains('\n'));
        QVERIFY(openFailureReason({}, "/dev/ttyS4").empty());
    }

    // Open while open changes nothing; a vanished device is opened afresh; close
    // closes once; two names of one adapter meet at one device.
    void portLifecycle() {
        ScriptedLine line;
        PortConnection connection(line, lookupIn({}));
        const PortChoice com5{"COM5", "9600", "None", "8", "1"};
        QVERIFY(!connection.close());
        QCOMPARE(connection.open(com5).kind, PortConnection::Outcome::Opened);
        QCOMPARE(connection.open({"COM1", "19200", "None", "8", "1"}).kind,
                 PortConnection::Outcome::AlreadyOpen);
        QCOMPARE(QString::fromStdString(line.settings() + line.device()), "9600,N,8,1" + comDevice(5));
        line.setLost(true);
        QCOMPARE(connection.open(com5).kind, PortConnection::Outcome::Opened);
        QCOMPARE(line.closeCalls(), 1);
        QVERIFY(!line.lost());
        QVERIFY(connection.close());
        QVERIFY(!connection.close());
        QCOMPARE(line.closeCalls(), 2);
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
        qputenv("KORVEX_COM6", QFile::encodeName(dir.filePath("korvex")));  // the environment by default
        QCOMPARE(resolvePort("COM6").device, real);
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
