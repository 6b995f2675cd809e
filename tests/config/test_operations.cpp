// Retrieve and store of both blocks on the bench (the windows without
// widgets, the simulated controller on a scripted line), against every way
// the line or the controller fails, judged by the oracle: the controller's
// memory, the commands it got, every control of both windows, the outcome
// and the message line. Then the command layer's judging of single replies.
#include <QtTest>

#include "basic/basicmap.h"
#include "config/headlessform.h"
#include "config/operations.h"
#include "config/snapshot.h"
#include "serial/frame.h"
#include "support/oracle.h"

using namespace tarvelin;
using namespace tarvelin::test;

Q_DECLARE_METATYPE(tarvelin::test::Op)
Q_DECLARE_METATYPE(tarvelin::test::Fault)
Q_DECLARE_METATYPE(tarvelin::Outcome)
Q_DECLARE_METATYPE(korvex::ReplyStyle)
Q_DECLARE_METATYPE(korvex::LineEnd)

class TestOperations : public QObject {
    Q_OBJECT
private slots:
    // Every row: the four operations, a controller of one reply style and line
    // end, a fault; the oracle must agree with what ran and name `outcome`, so
    // that each row is what it claims.
    void matrix_data() {
        QTest::addColumn<Op>("op");
        QTest::addColumn<korvex::ReplyStyle>("style");
        QTest::addColumn<korvex::LineEnd>("lineEnd");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("address");
        QTest::addColumn<bool>("flagKnown");  // an advanced retrieve went first
        QTest::addColumn<bool>("verify");
        QTest::addColumn<Outcome>("outcome");
        faultRows();
        styleRows();
    }

    void matrix() {
        QFETCH(Op, op);
        QFETCH(korvex::ReplyStyle, style);
        QFETCH(korvex::LineEnd, lineEnd);
        QFETCH(Fault, fault);
        QFETCH(int, address);
        QFETCH(bool, flagKnown);
        QFETCH(bool, verify);
        QFETCH(Outcome, outcome);
        Bench bench;
        bench.controller().config().style = style;
        bench.controller().config().lineEnd = lineEnd;
        // Firmware versions shorter and longer than ten characters.
        if (style == korvex::ReplyStyle::Bare) bench.controller().config().version = "E1.07";
        if (style == korvex::ReplyStyle::EndCode) bench.controller().config().version = "KRVX-E1.07-B12";
        if (flagKnown) {
            QCOMPARE(bench.run(Op::RetrieveAdvanced), Outcome::Success);
            QVERIFY(bench.holder.flagByteFromController());
            bench.controller().memory()[566] ^=
                0x5A;  // changed since: a store builds on what the window holds
        }
        if (isStore(op)) {
            std::mt19937 random(12);
            editForm(bench.form(op), op, random);
            bench.form(op).setChecked(kResetControl, true);
            bench.form(op).setChecked(kVerifyControl, verify);
        }
        Outcome expected{};
        const QString off = judge(bench, op, fault, address, &expected);
        QVERIFY2(off.isEmpty(), qPrintable(off));
        QCOMPARE(expected, outcome);
        // The flag byte read before a store is kept: the next store builds on
        // it and reads 566 no more.
        if (isStore(op) && outcome == Outcome::Success) QVERIFY(bench.holder.flagByteFromController());
        // ... and so is the one a retrieve read, even when it failed after it.
        if (op == Op::RetrieveAdvanced && fault == Fault::SilentAt)
            QCOMPARE(bench.holder.flagByteFromController(), flagKnown || address != kFlagByteAddress);
        // The reply held back comes behind the next one: the next operation finds the line out of step.
        if (fault == Fault::LateAt)
            QCOMPARE(bench.run(isBasic(op) ? Op::RetrieveBasic : Op::RetrieveAdvanced), Outcome::OutOfStep);
    }

    // The progress counters live as long as the window object: four reads done
    // before, the next operation's first read draws a mark.
    void progressCarriesOver() {
        Bench bench;
        bench.basicAccess.setTerminal(bench.lineTerminal);
        QVERIFY(bench.lineTerminal.openCommPort());
        // The counts the windows have always had: the byte or -1, 1 or 0.
        for (int i = 0; i < 4; ++i)
            QCOMPARE(bench.basicAccess.readMemory(1, 524), int(bench.controller().memory()[524]));
        QCOMPARE(bench.basicAccess.writeMemory(1, 524, 0x21), 1);
        const QString off = judge(bench, Op::RetrieveBasic, Fault::SilentAt, 525);
        QVERIFY2(off.isEmpty(), qPrintable(off));
        QCOMPARE(bench.basicLine.shown().size(), 2);  // once cleared, once marked
        QCOMPARE(bench.basicAccess.readMemory(1, 525), -1);
        QCOMPARE(bench.basicAccess.writeMemory(1, 525, 7), 0);
        // A retrieve that fails right after the flag byte has that byte all the same.
        QVERIFY(judge(bench, Op::RetrieveAdvanced, Fault::SilentAt, 0xFF10).isEmpty());
        QVERIFY(bench.holder.flagByteFromController());
    }

    // A store works on the values as they were when it began: the block's
    // boxes, the level, the option pairs and the named check boxes keep what
    // they held while the user edits on. Everything else (the message line,
    // the hidden flag byte box) is the window's own. A retrieve's values reach
    // the window and the copy of what was read alike.
    void storeAndRetrieveForms() {
        // The name box, the level, a ticked member of the pair, the check
        // box Verify (named), a list outside the block.
        const auto put = [](Form& f, const char* name, int level, int pair, bool verify, int other) {
            f.setText("hostName", name);
            f.setSelectedIndex("AccessLevel", level);
            f.setChecked(member("EnablePW", pair), true);
            f.setChecked(kVerifyControl, verify);
            f.setSelectedIndex("otherList", other);
        };
        const auto holds = [](const Form& f, const char* name, int level, int pair, bool verify, int other) {
            return f.text("hostName") == name && f.selectedIndex("AccessLevel") == level &&
                   f.isChecked(member("EnablePW", pair)) && f.isChecked(kVerifyControl) == verify &&
                   f.selectedIndex("otherList") == other;
        };
        HeadlessForm live;
        put(live, "Press 7", 1, 0, true, 0);
        FrozenForm frozen(live, basicMap(), {QString::fromLatin1(kVerifyControl)});
        put(live, "Press 8", 2, 1, false, 3);  // the user edits on
        QVERIFY(holds(frozen, "Press 7", 1, 0, true, 3));
        put(frozen, "Press 9", 0, 0, false, 1);  // what the store itself sets
        frozen.setText("messageLabel", "Storing");
        frozen.setChecked(kResetControl, true);
        QVERIFY(holds(frozen, "Press 9", 0, 0, false, 1));
        QVERIFY(holds(live, "Press 8", 2, 1, false, 1));
        QVERIFY(live.text("messageLabel") == "Storing" && live.isChecked(kResetControl));

        HeadlessForm read;
        TeeForm both(live, read);
        put(both, "Line 2", 0, 0, true, 2);
        live.setText("hostName", "Line 3");  // typed meanwhile: the window's only
        QVERIFY(holds(read, "Line 2", 0, 0, true, 2));
        QVERIFY(holds(both, "Line 3", 0, 0, true, 2));
        QVERIFY(holds(live, "Line 3", 0, 0, true, 2));
    }

    // One exchange of the command layer with a scripted reply: what is taken,
    // what is refused, and why.
    void replyJudging_data() {
        QTest::addColumn<QString>("command");  // MR (reads 524), MW (writes C0 to 524), IR (identifies) or VM
        QTest::addColumn<QByteArray>("waiting");  // on the line before the command goes out; "|" parts reads;
                                                  // "!": the line refuses every write
        QTest::addColumn<QByteArray>("reply");    // without its CR
        QTest::addColumn<int>("value");  // byte, write result or station; -1 for a refused read or IR
        QTest::addColumn<Outcome>("why");
        const auto fcs = [](int station, std::string body) {
            return QByteArray::fromStdString(appendFCS(static_cast<std::int16_t>(station), body));
        };
        const auto row = [](const char* name, const char* command, const QByteArray& waiting,
                            const QByteArray& reply, int value, Outcome why) {
            QTest::newRow(name) << command << waiting << reply << value << why;
        };
        const QByteArray good = fcs(1, "MRC0");
        const auto ok = Outcome::Success;
        const auto invalid = Outcome::InvalidResponse;
        // What each reply is worth is the reply rules' table (test_protocol);
        // here, how the command layer acts on each kind of verdict.
        row("good", "MR", "", good, 0xC0, ok);
        row("bad check sum", "MR", "", "@01MRC100*", -1, invalid);
        row("the command echoed", "MR", "", "@01MR020C2F*", -1, Outcome::Echo);
        row("two replies in one read", "MR", "", good + "\r" + good, -1, Outcome::OutOfStep);
        row("a reply waits before the command: nothing sent", "MR", good + "\r", good, -1,
            Outcome::OutOfStep);
        row("a late LF, and a reply read apart behind it: nothing sent", "MR", "\n|" + good + "\r", good, -1,
            Outcome::OutOfStep);
        row("write acknowledged", "MW", "", fcs(1, "MW"), 1, ok);
        row("an MR reply to an MW", "MW", "", fcs(1, "MR"), 0, invalid);
        row("station 10, whatever waited before", "IR", "junk\r", "IR0A", 10, ok);
        row("IR with one digit", "IR", "", "IR1*", -1, invalid);
        row("IR echoed", "IR", "", "IR*", -1, Outcome::Echo);
        row("no IR: as no reply", "IR", "", "XY01", -1, Outcome::NoResponse);
        row("the line refuses the write", "MR", "!", good, -1, Outcome::SendFailed);
        row("the line refuses IR*", "IR", "!", "IR01", -1, Outcome::SendFailed);
        row("VM* answered by VM*: not judged", "VM", "", "VM*", 1, ok);
        row("a reply waits before VM*: nothing sent", "VM", good + "\r", "VM", -1, Outcome::OutOfStep);
    }

    void replyJudging() {
        QFETCH(QString, command);
        QFETCH(QByteArray, waiting);
        QFETCH(QByteArray, reply);
        QFETCH(int, value);
        QFETCH(Outcome, why);
        ScriptedLine line;
        LineTerminal terminal(line, line.clock(), {"/dev/scripted-line", "9600", "None", "8", "1"});
        RecordingMessageLine messages;
        MemoryAccess access(messages);
        access.setTerminal(terminal);
        QVERIFY(terminal.openCommPort());
        line.onWrite([text = reply.toStdString() + "\r"](ScriptedLine& l, const std::string& written) {
            l.deliverIn(3, written == "\x05" ? "\x05" : text);
        });
        if (waiting == "!") line.refuseWritesAfter(0);
        for (const QByteArray& read : waiting.split('|'))  // each in a read of its own
            if (!read.isEmpty() && read != "!") line.deliverApartIn(0, read.toStdString());
        access.clearMessage();
        const auto [got, outcome] = [&]() -> std::pair<int, Outcome> {
            if (command == "MR") {
                const auto byte = access.read(1, 524);
                return {byte ? *byte : -1, outcomeOf(byte)};
            }
            if (command == "MW") {
                const auto done = access.write(1, 524, 0xC0);
                return {done ? 1 : 0, outcomeOf(done)};
            }
            if (command == "IR") {
                const auto station = access.identifyStation();
                return {station ? int(*station) : -1, outcomeOf(station)};
            }
            const auto version = access.sendUnjudged("VM*");
            return {version ? 1 : -1, outcomeOf(version)};
        }();
        QCOMPARE(got, value);
        QCOMPARE(outcome, why);
        const bool silent = why == Outcome::NoResponse || why == Outcome::SendFailed;
        const char* shown = why == Outcome::Success      ? "        "
                            : why == Outcome::SendFailed ? kSendFailedText
                            : silent                     ? kNoResponseText
                                                         : kInvalidResponseText;
        QCOMPARE(messages.caption(), QString::fromLatin1(shown));
        QCOMPARE(messages.beeps(), silent ? 1 : 0);
        QCOMPARE(messages.color(), silent ? kRed : kBlue);  // "Invalid" keeps the colour it finds
        if (waiting.contains('@')) QVERIFY(line.writes().empty());
    }

private:
    // Every way the line or the controller fails, at the places of each
    // operation where it could go unseen, on a controller of the short style.
    static void faultRows() {
        using O = Outcome;
        const struct {
            Op op;
            const char* name;
            int first, middle, fifth, last;  // fifth: the fifth write of a store
        } ops[] = {{Op::RetrieveBasic, "basic retrieve", 524, 521, 544, 681},
                   {Op::StoreBasic, "basic store", 524, 521, 544, 681},
                   {Op::RetrieveAdvanced, "advanced retrieve", 566, 601, 570, 632},
                   {Op::StoreAdvanced, "advanced store", 566, 601, 570, 632}};
        const auto add = [](const QByteArray& name, Op op, Fault fault, int address, O outcome,
                            bool known = false, bool verify = false) {
            QTest::newRow(name.constData()) << op << korvex::ReplyStyle::Short << korvex::LineEnd::CR << fault
                                            << address << known << verify << outcome;
        };
        for (const auto& o : ops) {
            const auto row = [&o, &add](const char* what, Fault fault, int address, O outcome,
                                        bool known = false, bool verify = false) {
                add(QByteArray(o.name) + ": " + what, o.op, fault, address, outcome, known, verify);
            };
            row("all well", Fault::None, -1, O::Success);
            row("another operation runs", Fault::Busy, -1, O::Busy);
            row("the adapter gone", Fault::PortGone, -1, O::PortNotOpened);
            row("controller silent", Fault::Silent, -1, O::NoResponse);
            row("IR* unanswered twice", Fault::IdentifyTwice, -1, O::Success);
            row("IR* unanswered thrice", Fault::IdentifyThrice, -1, O::NoResponse);
            row("silent at the first address", Fault::SilentAt, o.first, O::NoResponse);
            row("silent inside a field", Fault::SilentAt, o.middle, O::NoResponse);
            row("silent at the last address", Fault::SilentAt, o.last, O::NoResponse);
            row("another station at the first address", Fault::OtherStationAt, o.first, O::InvalidResponse);
            row("another station at the fifth", Fault::OtherStationAt, o.fifth, O::InvalidResponse);
            row("another station at the last address", Fault::OtherStationAt, o.last, O::InvalidResponse);
            row("answers twice at the first address", Fault::TwiceAt, o.first, O::OutOfStep);
            row("answers twice inside a field", Fault::TwiceAt, o.middle, O::OutOfStep);
            // A store's reboot finds the line out of step: not sent, and no success.
            row("answers twice at the last address", Fault::TwiceAt, o.last,
                isStore(o.op) ? O::OutOfStep : O::Success);
            row("a late reply at the first address", Fault::LateAt, o.first, O::NoResponse);
            row("a late reply inside a field", Fault::LateAt, o.middle, O::NoResponse);
            row("a late reply at the last address", Fault::LateAt, o.last, O::NoResponse);
            row("pulled during the identification", Fault::LostAt, -1, O::LineLost);
            row("pulled inside a field", Fault::LostAt, o.middle, O::LineLost);
            row("asked to quit inside a field", Fault::QuitAt, o.middle, O::Interrupted);
            row("CR LF line ends", Fault::CrLf, -1, O::Success);
            row("replies split", Fault::Split, -1, O::Success);
            row("loopback plug", Fault::Loopback, -1, O::Echo);
            row("echoing converter", Fault::Echo, -1, O::Echo);
            if (!isStore(o.op)) continue;
            row("MENABLE unanswered", Fault::NoEnable, -1, O::NoResponse);
            row("reboot unanswered", Fault::NoReboot, -1, O::Success);
            row("read back", Fault::None, -1, O::Success, false, true);
            row("a write not kept, read back", Fault::IgnoreWriteAt, o.middle, O::VerifyMismatch, false,
                true);
            row("silent at 566, the flag byte read first", Fault::SilentAt, 566, O::NoResponse);
            row("the flag byte known", Fault::None, -1, O::Success, true);
            row("silent at 566, the flag byte known", Fault::SilentAt, 566, O::NoResponse, true);
            row("an octet that does not fit", Fault::Unfit, isBasic(o.op) ? 534 : 690, O::Refused);
            row(isBasic(o.op) ? "a port that does not fit" : "a gain that does not fit", Fault::Unfit,
                isBasic(o.op) ? 522 : 570, O::Refused);
        }
        add("basic retrieve: VM* unanswered", Op::RetrieveBasic, Fault::NoVersion, -1, O::Success);
        add("basic store: a text byte not kept, read back", Op::StoreBasic, Fault::IgnoreWriteAt, 672,
            O::VerifyMismatch, false, true);
        add("basic store: a character without a single byte", Op::StoreBasic, Fault::Unfit, 666, O::Refused);
        add("advanced retrieve: silent in the MAC ID", Op::RetrieveAdvanced, Fault::SilentAt, 0xFF12,
            O::NoResponse);
    }

    // The four operations against a controller of each reply style the tool
    // accepts, stores with read-back and reboot; and the refusals that apply
    // in that style. The line ends in turn, so that every fault meets every one.
    static void styleRows() {
        using O = Outcome;
        const korvex::LineEnd ends[] = {korvex::LineEnd::CR, korvex::LineEnd::CRLF, korvex::LineEnd::LF};
        const Op ops[] = {Op::RetrieveBasic, Op::StoreBasic, Op::RetrieveAdvanced, Op::StoreAdvanced};
        const char* opNames[] = {"basic retrieve", "basic store", "advanced retrieve", "advanced store"};
        int turn = 0;
        for (int o = 0; o < 4; ++o) {
            for (const korvex::ReplyStyle style : korvex::kReplyStyles) {
                const Op op = ops[o];
                const int first = isBasic(op) ? 524 : 566;
                const int middle = isBasic(op) ? 521 : 601;
                const auto row = [&](const char* what, Fault fault, int address, O outcome) {
                    QTest::addRow("%s, %s replies, %s: %s", opNames[o], korvex::nameOf(style),
                                  korvex::nameOf(ends[turn % 3]), what)
                        << op << style << ends[turn % 3] << fault << address << false << true << outcome;
                    ++turn;
                };
                const bool bare = style == korvex::ReplyStyle::Bare;
                row("all well", Fault::None, -1, O::Success);
                row("loopback plug", Fault::Loopback, -1, O::Echo);
                row("echoing converter", Fault::Echo, -1, O::Echo);
                row("another station", Fault::OtherStationAt, middle, O::InvalidResponse);
                row("answers twice", Fault::TwiceAt, middle, O::OutOfStep);
                row("a wrong check sum", Fault::BadFcsAt, first, bare ? O::Success : O::InvalidResponse);
                // A store reads only in its read-back.
                row("a damaged data digit", Fault::DamagedAt, middle, O::InvalidResponse);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestOperations)
#include "test_operations.moc"
