// The fault matrix: every way the line or the controller can misbehave,
// against the basic and advanced retrieve and store and the terminal, with
// the real windows, their real serial port and the simulated controller on a
// pseudo-terminal.
//
// Each row checks the message line (text, colour, alignment), every value
// control of both windows (which changed and to what, which kept its text),
// the controller's whole memory and the write requests it saw: exactly the
// bytes of the block up to the failure, nothing else.
#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "advanced/advancedwindow.h"
#include "app/blockplan.h"
#include "app/e2efixture.h"
#include "app/reliability.h"
#include "basic/basicwindow.h"
#include "config/form.h"
#include "config/memoryaccess.h"
#include "serial/frame.h"
#include "serial/serialcommwindow.h"

using namespace tarvelin;
using namespace tarvelin::test;

namespace {

enum class Op { BasicRetrieve, BasicStore, AdvancedRetrieve, AdvancedStore };

enum class Fault {
    None,            // nothing wrong
    Silent,          // the controller answers nothing, not even ENQ
    IdentifyTwice,   // "IR*" unanswered twice, then answered
    IdentifyThrice,  // "IR*" unanswered three times
    NoVersion,       // no "VM*" reply
    SilentAt,        // no reply to the read or write of `address`
    OtherStationAt,  // the reply at `address` comes from another station
    CrLf,            // replies end in CR LF
    Split,           // every reply arrives in four pieces
    StrayLfAt,       // a stray LF arrives before the reply at `address`
    LateReplyAt,     // a late "VM*" reply arrives before the reply at `address`
    NoEnable,        // "MENABLE" unanswered
    NoReboot,        // the reboot command unanswered
};

constexpr int kTimeoutMs = 250;
const QColor kRedColour(255, 0, 0);
const QColor kBlueColour(0, 0, 192);

bool isStore(Op op) {
    return op == Op::BasicStore || op == Op::AdvancedStore;
}

Block blockOf(Op op) {
    return op == Op::BasicRetrieve || op == Op::BasicStore ? Block::Basic : Block::Advanced;
}

// One command of an operation, as the controller sees it.
struct Step {
    enum Kind { ReadFlag, Enable, Read, Write, Reboot } kind;
    int address = -1;
    int value = 0;
};

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

std::string framed(int station, std::string command) {
    appendFCS(static_cast<std::int16_t>(station), command);
    return command;
}

}  // namespace

Q_DECLARE_METATYPE(Op)
Q_DECLARE_METATYPE(Fault)

class TestFaults : public QObject {
    Q_OBJECT
private slots:
    void matrix_data();
    void matrix();
    void terminal_data();
    void terminal();
};

void TestFaults::matrix_data() {
    QTest::addColumn<Op>("op");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("address");
    QTest::addColumn<bool>("flagKnown");  // the store finds the flag byte read already

    struct OpInfo {
        Op op;
        const char* name;
        int first, middle, last;
    };
    const OpInfo ops[] = {
        {Op::BasicRetrieve, "basic retrieve", 524, 521, 681},
        {Op::BasicStore, "basic store", 524, 521, 681},
        {Op::AdvancedRetrieve, "advanced retrieve", 566, 601, 632},
        {Op::AdvancedStore, "advanced store", 566, 601, 632},
    };
    for (const OpInfo& o : ops) {
        auto row = [&](const char* what, Fault fault, int address = -1, bool flagKnown = false) {
            QTest::addRow("%s: %s", o.name, what) << o.op << fault << address << flagKnown;
        };
        row("controller silent", Fault::Silent);
        row("IR* unanswered twice, then answered", Fault::IdentifyTwice);
        row("IR* unanswered three times", Fault::IdentifyThrice);
        if (o.op == Op::BasicRetrieve) row("no VM* reply", Fault::NoVersion);
        row("silence at the first address", Fault::SilentAt, o.first);
        row("silence at a middle address", Fault::SilentAt, o.middle);
        row("silence at the last address", Fault::SilentAt, o.last);
        row("another station replies at a middle address", Fault::OtherStationAt, o.middle);
        row("CR LF line ends", Fault::CrLf);
        row("replies split across reads", Fault::Split);
        row("a stray LF before a middle reply", Fault::StrayLfAt, o.middle);
        row("a late reply before a middle reply", Fault::LateReplyAt, o.middle);
        if (isStore(o.op)) {
            row("MENABLE unanswered", Fault::NoEnable);
            row("the reboot unanswered", Fault::NoReboot);
            // With the flag byte known, 566 is written, not read first.
            row("silence at 566, the flag byte known", Fault::SilentAt, 566, true);
            row("silence at the last address, the flag byte known", Fault::SilentAt, o.last, true);
        }
    }
    // The MAC ID is read, never written.
    QTest::addRow("advanced retrieve: silence in the MAC ID")
        << Op::AdvancedRetrieve << Fault::SilentAt << 0xFF12 << false;
    QTest::addRow("advanced store: silence in the MAC ID")
        << Op::AdvancedStore << Fault::SilentAt << 0xFF12 << false;
    // The basic store reads the flag byte first when nobody has.
    QTest::addRow("basic store: silence at 566 read first")
        << Op::BasicStore << Fault::SilentAt << 566 << false;
}

void TestFaults::matrix() {
    QFETCH(Op, op);
    QFETCH(Fault, fault);
    QFETCH(int, address);
    QFETCH(bool, flagKnown);
    const Block block = blockOf(op);
    const bool store = isStore(op);

    std::atomic<bool> injected{false};  // outlives the simulator's reader
    korvex::Config config;
    config.version = kDistinctiveVersion;
    config.crlf = fault == Fault::CrLf;
    EndToEnd e2e(config);
    QVERIFY(e2e.ready());
    e2e.sim().setMemory(distinctiveImage());
    e2e.setTimeout(kTimeoutMs);
    BasicWindow* basic = e2e.basic();
    AdvancedWindow* advanced = e2e.advanced();
    QWidget* window = block == Block::Basic ? static_cast<QWidget*>(basic) : advanced;
    Form& form = block == Block::Basic ? basic->form() : advanced->form();

    if (flagKnown) {
        e2e.retrieveAdvanced();
        QCOMPARE(EndToEnd::message(advanced), QString::fromLatin1(kRetrievedText));
    }
    if (store) {
        if (block == Block::Basic)
            editBasic(form);
        else
            editAdvanced(form);
    } else if (block == Block::Basic) {
        form.setText(QStringLiteral("version"), QStringLiteral("old"));
    }
    e2e.forget();

    korvex::Faults faults;
    switch (fault) {
        case Fault::Silent:
            faults.silent = true;
            break;
        case Fault::IdentifyTwice:
            faults.ignoreFirstIdentify = 2;
            break;
        case Fault::IdentifyThrice:
            faults.ignoreFirstIdentify = 3;
            break;
        case Fault::NoVersion:
            faults.silentCommands = {"VM*"};
            break;
        case Fault::SilentAt:
            faults.silentAtAddress = address;
            break;
        case Fault::OtherStationAt:
            faults.otherStationAtAddress = address;
            break;
        case Fault::Split:
            faults.splitReplies = 4;
            break;
        case Fault::NoEnable:
            faults.silentCommands = {"MENABLE"};
            break;
        case Fault::NoReboot:
            faults.silentCommands = {"Mw4011000080"};
            break;
        case Fault::StrayLfAt:
        case Fault::LateReplyAt: {
            // Written towards the tool right before the controller's reply.
            const std::string wanted = store ? writeCommandPrefix(address) : readCommand(address);
            const std::string extra = fault == Fault::StrayLfAt
                                          ? std::string("\n")
                                          : "VM" + std::string(kDistinctiveVersion) + "\r";
            korvex::PtySimulator* sim = &e2e.sim();
            sim->setTrace([sim, wanted, extra, &injected](bool fromTool, const std::string& bytes) {
                if (fromTool && bytes.find(wanted) != std::string::npos && !injected.exchange(true))
                    sim->inject(extra);
            });
            break;
        }
        case Fault::CrLf:
        case Fault::None:
            break;
    }
    e2e.setFaults(faults);

    const korvex::Memory before = e2e.memory();
    const State basicBefore = snapshot(basic->widgets());
    const State advancedBefore = snapshot(advanced->widgets());
    const int flag = storeFlagByte(block, form, flagKnown ? heldFlagByte(advanced->form()) : before[566]);
    const std::vector<Write> planned = store ? storeWrites(block, form, flag) : std::vector<Write>{};
    QVERIFY(!store || !planned.empty());

    switch (op) {
        case Op::BasicRetrieve:
            e2e.retrieveBasic();
            break;
        case Op::BasicStore:
            e2e.saveBasic(EndToEnd::Yes);
            break;
        case Op::AdvancedRetrieve:
            e2e.retrieveAdvanced();
            break;
        case Op::AdvancedStore:
            e2e.saveAdvanced(EndToEnd::Yes);
            break;
    }
    e2e.sim().setTrace({});

    // ---- what should have happened
    std::vector<Step> steps;
    if (store) {
        if (!flagKnown) steps.push_back({Step::ReadFlag, 566});
        steps.push_back({Step::Enable});
        for (const Write& w : planned) steps.push_back({Step::Write, w.address, w.value});
        steps.push_back({Step::Reboot});  // "Reboot PLC After Save." is ticked
    } else {
        for (int a : addressesOf(readPlan(block))) steps.push_back({Step::Read, a});
    }
    const bool identified = fault != Fault::Silent && fault != Fault::IdentifyThrice;
    enum { Done, NoResponse, Invalid } result = identified ? Done : NoResponse;
    int failAt = -1;
    for (int i = 0; identified && i < static_cast<int>(steps.size()); ++i) {
        const Step& s = steps[static_cast<std::size_t>(i)];
        const bool touches = s.address == address;
        const bool kindMatches = store ? s.kind == Step::Write : s.kind == Step::Read;
        if ((fault == Fault::SilentAt && touches) || (fault == Fault::NoEnable && s.kind == Step::Enable)) {
            result = NoResponse;
        } else if ((fault == Fault::OtherStationAt && touches) ||
                   (fault == Fault::LateReplyAt && touches && kindMatches)) {
            result = Invalid;
        } else {
            continue;
        }
        failAt = i;
        break;
    }
    const auto reached = [&](int i) { return identified && (failAt < 0 || i <= failAt); };
    const auto succeeded = [&](int i) { return identified && (failAt < 0 || i < failAt); };

    // Memory and write requests: every write up to the failure, the failing
    // one included (the controller carried it out; only its reply was lost).
    korvex::Memory expectedMemory = before;
    std::vector<korvex::Controller::Write> expectedWrites;
    int writesMade = 0;  // by this operation, the failed one included
    int flagWriteAt = -1, enableAt = -1;
    for (int i = 0; i < static_cast<int>(steps.size()); ++i) {
        const Step& s = steps[static_cast<std::size_t>(i)];
        if (s.kind == Step::Write && s.address == 566) flagWriteAt = i;
        if (s.kind == Step::Enable) enableAt = i;
        if (s.kind != Step::Write || !reached(i)) continue;
        expectedMemory[static_cast<std::size_t>(s.address)] = static_cast<std::uint8_t>(s.value);
        expectedWrites.push_back({s.address, s.value});
        ++writesMade;
    }
    const QString memoryOff = memoryDifference(expectedMemory, e2e.memory());
    QVERIFY2(memoryOff.isEmpty(), qPrintable(memoryOff));
    QCOMPARE(e2e.writes(), expectedWrites);
    QCOMPARE(e2e.sim().rebootCount(), store && result == Done ? 1 : 0);
    QCOMPARE(e2e.sim().enableCount(), store && enableAt >= 0 && reached(enableAt) ? 1 : 0);

    // Controls: a retrieve fills each field once all its bytes are read; a
    // store changes nothing but PLCconfig.
    State basicExpected = basicBefore;
    State advancedExpected = advancedBefore;
    State& own = block == Block::Basic ? basicExpected : advancedExpected;
    if (!store && identified) {
        if (block == Block::Basic)
            own[QStringLiteral("version")] =
                fault == Fault::NoVersion ? QString() : QString::fromLatin1(kDistinctiveVersion);
        int read = 0;
        for (const Spot& spot : readPlan(block)) {
            read += static_cast<int>(spot.addresses.size());
            if (!succeeded(read - 1)) break;
            applyRead(spot, before, own);
        }
    }
    if (store && identified) {
        if (!flagKnown && succeeded(0))
            advancedExpected[QStringLiteral("PLCconfig")] = signedText(before[566]);
        // The flag byte is put into PLCconfig when its turn comes (the basic
        // store), or right after "MENABLE" (the advanced store), and stays even
        // when its write fails.
        const bool flagBuilt = block == Block::Basic ? reached(flagWriteAt) : succeeded(enableAt);
        if (flagBuilt) advancedExpected[QStringLiteral("PLCconfig")] = signedText(flag);
    }
    const QString basicOff = differences(basicExpected, snapshot(basic->widgets()));
    QVERIFY2(basicOff.isEmpty(), qPrintable(basicOff));
    const QString advancedOff = differences(advancedExpected, snapshot(advanced->widgets()));
    QVERIFY2(advancedOff.isEmpty(), qPrintable(advancedOff));

    // Message line.
    const bool failedWrite = failAt >= 0 && steps[static_cast<std::size_t>(failAt)].kind == Step::Write;
    const int readsMade = store || !identified ? 0 : (failAt < 0 ? static_cast<int>(steps.size()) : failAt);
    const bool marked = readsMade >= 5 || writesMade >= 5;
    QString text;
    QColor colour;
    Qt::Alignment alignment = marked ? Qt::AlignLeft : Qt::AlignHCenter;
    switch (result) {
        case Done:
            text = QString::fromLatin1(store ? kStoredText : kRetrievedText);
            colour = kBlueColour;
            alignment = Qt::AlignHCenter;
            break;
        case NoResponse:
            text = QString::fromLatin1(kNoResponseText);
            colour = kRedColour;
            break;
        case Invalid:
            text = QString::fromLatin1(kInvalidResponseText);
            colour = kBlueColour;  // the colour clearMessage left
            break;
    }
    // A failed write still counts towards the progress marks.
    if (failedWrite && writesMade % 5 == 0) text += QStringLiteral("* ");
    QCOMPARE(EndToEnd::message(window), text);
    QCOMPARE(EndToEnd::messageColor(window), colour);
    QCOMPARE(EndToEnd::messageAlignment(window), alignment);

    const int beeps = (store ? 1 : 0) + (result == NoResponse ? 1 : 0) + (fault == Fault::NoReboot ? 1 : 0);
    QCOMPARE(e2e.notes().beeps(), beeps);
    QCOMPARE(e2e.notes().boxes().size(), std::size_t{0});

    // The identification: the ENQ call alone when it is not answered.
    const std::vector<std::string> log = e2e.log();
    if (fault == Fault::Silent) QCOMPARE(log, (std::vector<std::string>{"\x05", "\x05", "\x05"}));
    if (fault == Fault::IdentifyThrice)
        QCOMPARE(log, (std::vector<std::string>{"\x05", "IR*", "\x05", "IR*", "\x05", "IR*"}));
    if (fault == Fault::IdentifyTwice) {
        QVERIFY(log.size() > 6);
        QCOMPARE(std::vector<std::string>(log.begin(), log.begin() + 6),
                 (std::vector<std::string>{"\x05", "IR*", "\x05", "IR*", "\x05", "IR*"}));
    }

    // Whatever was left in the port, the next operation starts clean.
    if (fault == Fault::LateReplyAt || fault == Fault::OtherStationAt) {
        e2e.setFaults({});
        e2e.forget();
        if (block == Block::Basic)
            e2e.retrieveBasic();
        else
            e2e.retrieveAdvanced();
        QCOMPARE(EndToEnd::message(window), QString::fromLatin1(kRetrievedText));
        QVERIFY(e2e.writes().empty());
    }
}

// The terminal lists what it got: a reply, or the warning with a beep.
void TestFaults::terminal_data() {
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("leftover");   // in the port before the first command
    QTest::addColumn<QStringList>("typed");  // "frame:MR0208" is framed for station 1
    QTest::addColumn<QStringList>(
        "listed");  // "frame:MR1F" a reply framed for station 1, "frame2:" station 2
    QTest::addColumn<int>("beeps");

    const QString warning = QStringLiteral("(Warning: No Response from PLC)");
    QTest::newRow("controller silent") << Fault::Silent << QString() << QStringList{"IR*", "frame:MR0208"}
                                       << QStringList{warning, warning} << 2;
    QTest::newRow("IR* unanswered twice, then answered")
        << Fault::IdentifyTwice << QString() << QStringList{"IR*", "IR*", "IR*"}
        << QStringList{warning, warning, "IR01"} << 2;
    QTest::newRow("IR* unanswered three times")
        << Fault::IdentifyThrice << QString() << QStringList{"IR*", "IR*", "IR*", "IR*"}
        << QStringList{warning, warning, warning, "IR01"} << 3;
    QTest::newRow("no VM* reply") << Fault::NoVersion << QString() << QStringList{"VM*", "IR*"}
                                  << QStringList{warning, "IR01"} << 1;
    QTest::newRow("silence at an address")
        << Fault::SilentAt << QString() << QStringList{"frame:MR0209", "frame:MR0208"}
        << QStringList{warning, "frame:MR1F"} << 1;
    QTest::newRow("another station's reply is listed as it came")
        << Fault::OtherStationAt << QString() << QStringList{"frame:MR0209"} << QStringList{"frame2:MR90"}
        << 0;
    QTest::newRow("CR LF line ends") << Fault::CrLf << QString() << QStringList{"IR*", "frame:MR0208", "VM*"}
                                     << QStringList{"IR01", "frame:MR1F", "VMKRVX-E3.14"} << 0;
    QTest::newRow("replies split across reads")
        << Fault::Split << QString() << QStringList{"VM*", "frame:MR0209"}
        << QStringList{"VMKRVX-E3.14", "frame:MR90"} << 0;
    QTest::newRow("a stray LF left over") << Fault::None << QStringLiteral("\n")
                                          << QStringList{"frame:MR0208"} << QStringList{"frame:MR1F"} << 0;
    // The late reply is taken as the reply; the real one waits for the next command.
    QTest::newRow("a late reply left over")
        << Fault::None << QStringLiteral("LATE\r") << QStringList{"frame:MR0208", "frame:MR0209"}
        << QStringList{"LATE", "frame:MR1F"} << 0;
    QTest::newRow("MENABLE unanswered")
        << Fault::NoEnable << QString() << QStringList{"frame:MENABLE"} << QStringList{warning} << 1;
    QTest::newRow("the reboot unanswered")
        << Fault::NoReboot << QString() << QStringList{"frame:Mw4011000080", "frame:MENABLE"}
        << QStringList{warning, "frame:ME"} << 1;
}

void TestFaults::terminal() {
    QFETCH(Fault, fault);
    QFETCH(QString, leftover);
    QFETCH(QStringList, typed);
    QFETCH(QStringList, listed);
    QFETCH(int, beeps);

    korvex::Config config;
    config.version = kDistinctiveVersion;
    config.crlf = fault == Fault::CrLf;
    // A left-over is read before a paced reply can come.
    EndToEnd e2e(config, leftover.isEmpty() ? 0 : 2400);
    QVERIFY(e2e.ready());
    e2e.sim().setMemory(distinctiveImage());
    korvex::Faults faults;
    if (fault == Fault::Silent) faults.silent = true;
    if (fault == Fault::IdentifyTwice) faults.ignoreFirstIdentify = 2;
    if (fault == Fault::IdentifyThrice) faults.ignoreFirstIdentify = 3;
    if (fault == Fault::NoVersion) faults.silentCommands = {"VM*"};
    if (fault == Fault::SilentAt) faults.silentAtAddress = 0x209;
    if (fault == Fault::OtherStationAt) faults.otherStationAtAddress = 0x209;
    if (fault == Fault::Split) faults.splitReplies = 4;
    if (fault == Fault::NoEnable) faults.silentCommands = {"MENABLE"};
    if (fault == Fault::NoReboot) faults.silentCommands = {"Mw4011000080"};
    e2e.setFaults(faults);

    SerialCommWindow* term = e2e.terminal();
    e2e.setTimeout(kTimeoutMs);
    QVERIFY(term->openCommPort());
    auto* replies = term->findChild<QPlainTextEdit*>(QStringLiteral("responseBox"));
    auto* line = term->findChild<QLineEdit*>(QStringLiteral("commandString"));
    replies->clear();
    e2e.forget();
    const auto settle = [] { std::this_thread::sleep_for(std::chrono::milliseconds(150)); };
    if (!leftover.isEmpty()) {
        e2e.sim().inject(leftover.toStdString());
        settle();
    }
    for (const QString& command : typed) {
        line->setText(command.startsWith(QStringLiteral("frame:"))
                          ? q(framed(1, command.mid(6).toStdString()))
                          : command);
        QTest::keyClick(line, Qt::Key_Return);
        if (!leftover.isEmpty()) settle();
    }
    QStringList expected;
    for (const QString& entry : listed) {
        if (entry.startsWith(QStringLiteral("frame:")))
            expected << q(framed(1, entry.mid(6).toStdString()));
        else if (entry.startsWith(QStringLiteral("frame2:")))
            expected << q(framed(2, entry.mid(7).toStdString()));
        else
            expected << entry;
    }
    QCOMPARE(replies->toPlainText(), expected.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    QCOMPARE(e2e.notes().beeps(), beeps);
    // The line stays as typed, the port open.
    QCOMPARE(line->text().isEmpty(), false);
    QVERIFY(term->line().isOpen());
    QVERIFY(e2e.writes().empty());
}

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
