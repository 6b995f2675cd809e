// The adapter pulled in the middle of an operation: the simulated controller
// closes its side of the pseudo-terminal (its name left dangling, or gone)
// while the tool waits for a reply.
//
// The operation ends at once with the lost-port message (no hang, no crash),
// keeps what it wrote before, the port is closed and the terminal shows it
// closed, and once the adapter is back under its name the same operation
// works again, with nothing but the port text to go on.
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "advanced/advancedwindow.h"
#include "app/blockplan.h"
#include "app/e2efixture.h"
#include "app/reliability.h"
#include "basic/basicwindow.h"
#include "config/form.h"
#include "config/memoryaccess.h"
#include "serial/serialcommwindow.h"

using namespace tarvelin;
using namespace tarvelin::test;

namespace {

enum class Op { BasicRetrieve, BasicStore, AdvancedRetrieve, AdvancedStore };

// Where the adapter is pulled.
enum class When {
    EnqWait,    // while the identification waits for the ENQ answer
    Identify,   // while it waits for the "IR*" reply
    AtAddress,  // while a read or write of `address` waits for its reply
    Idle,       // between two operations, with the port open
};

constexpr int kLongTimeoutMs = 3000;  // a real wait would show up as a hang

bool isStore(Op op) {
    return op == Op::BasicStore || op == Op::AdvancedStore;
}

Block blockOf(Op op) {
    return op == Op::BasicRetrieve || op == Op::BasicStore ? Block::Basic : Block::Advanced;
}

void run(EndToEnd& e2e, Op op) {
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
}

template <typename T>
T* child(QWidget* window, const char* name) {
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no control %s", name);
    return w;
}

}  // namespace

Q_DECLARE_METATYPE(Op)
Q_DECLARE_METATYPE(When)

class TestLinkLost : public QObject {
    Q_OBJECT
private slots:
    void operation_data();
    void operation();
    void terminal_data();
    void terminal();
    void idleTerminalNotices();
};

void TestLinkLost::operation_data() {
    QTest::addColumn<Op>("op");
    QTest::addColumn<When>("when");
    QTest::addColumn<int>("address");
    QTest::addColumn<bool>("removeName");  // the adapter's name goes with it

    struct OpInfo {
        Op op;
        const char* name;
        int middle, last;
    };
    const OpInfo ops[] = {
        {Op::BasicRetrieve, "basic retrieve", 544, 681},
        {Op::BasicStore, "basic store", 544, 681},
        {Op::AdvancedRetrieve, "advanced retrieve", 601, 632},
        {Op::AdvancedStore, "advanced store", 601, 632},
    };
    for (const OpInfo& o : ops) {
        QTest::addRow("%s: pulled during the ENQ wait", o.name) << o.op << When::EnqWait << -1 << false;
        QTest::addRow("%s: pulled during the identification", o.name)
            << o.op << When::Identify << -1 << false;
        QTest::addRow("%s: pulled at a middle address", o.name)
            << o.op << When::AtAddress << o.middle << false;
        QTest::addRow("%s: pulled at the last address, name gone", o.name)
            << o.op << When::AtAddress << o.last << true;
        QTest::addRow("%s: pulled while idle", o.name) << o.op << When::Idle << -1 << false;
    }
}

void TestLinkLost::operation() {
    QFETCH(Op, op);
    QFETCH(When, when);
    QFETCH(int, address);
    QFETCH(bool, removeName);
    const Block block = blockOf(op);
    const bool store = isStore(op);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString adapter = dir.filePath(QStringLiteral("usb-Korvex-adapter-port0"));
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    korvex::PtySimulator& sim = e2e.sim();
    sim.setMemory(distinctiveImage());
    QVERIFY(sim.makeLink(adapter.toStdString()));
    SerialCommWindow* term = e2e.terminal();
    term->presetPort(adapter, QString());
    e2e.setTimeout(kLongTimeoutMs);
    BasicWindow* basic = e2e.basic();
    AdvancedWindow* advanced = e2e.advanced();
    QWidget* window = block == Block::Basic ? static_cast<QWidget*>(basic) : advanced;
    Form& form = block == Block::Basic ? basic->form() : advanced->form();
    if (store && block == Block::Basic) editBasic(form);
    // The port is open and the flag byte known before the adapter goes.
    e2e.retrieveAdvanced();
    QCOMPARE(EndToEnd::message(advanced), QString::fromLatin1(kRetrievedText));
    if (store && block == Block::Advanced) editAdvanced(form);
    QVERIFY(term->line().isOpen());
    e2e.forget();

    const korvex::Memory before = e2e.memory();
    const State ownBefore = snapshot(block == Block::Basic ? basic->widgets() : advanced->widgets());
    const int flag = storeFlagByte(block, form, heldFlagByte(advanced->form()));
    const std::vector<Write> planned = store ? storeWrites(block, form, flag) : std::vector<Write>{};
    QVERIFY(!store || !planned.empty());

    Puller puller(sim, removeName);
    korvex::Faults faults;
    std::string wanted;
    switch (when) {
        case When::EnqWait:
            faults.silent = true;  // the ENQ goes unanswered while the adapter goes
            wanted = "\x05";
            break;
        case When::Identify:
            faults.ignoreFirstIdentify = 1;
            wanted = "IR*";
            break;
        case When::AtAddress:
            faults.silentAtAddress = address;  // carried out, but the reply never comes
            wanted = store ? writeCommandPrefix(address) : readCommand(address);
            break;
        case When::Idle:
            break;
    }
    sim.setFaults(faults);
    if (when == When::Idle) {
        puller.pull();
        puller.waitPulled();
    } else {
        sim.setTrace([&puller, wanted](bool fromTool, const std::string& bytes) {
            if (fromTool && bytes.find(wanted) != std::string::npos) puller.pull();
        });
    }

    QElapsedTimer timer;
    timer.start();
    run(e2e, op);
    const qint64 elapsed = timer.elapsed();
    puller.waitPulled();

    // Over at once, with the lost-port message.
    QVERIFY2(elapsed < kLongTimeoutMs - 1000, qPrintable(QString::number(elapsed)));
    int writesMade = 0;
    korvex::Memory expected = before;
    std::vector<korvex::Controller::Write> expectedWrites;
    if (when == When::AtAddress && store) {
        for (const Write& w : planned) {
            expected[static_cast<std::size_t>(w.address)] = static_cast<std::uint8_t>(w.value);
            expectedWrites.push_back({w.address, w.value});
            ++writesMade;
            if (w.address == address) break;
        }
    }
    QString text = QString::fromLatin1(kLinkLostText);
    if (writesMade > 0 && writesMade % 5 == 0) text += QStringLiteral("* ");
    QCOMPARE(EndToEnd::message(window), text);
    QCOMPARE(EndToEnd::messageColor(window), QColor(255, 0, 0));
    QCOMPARE(e2e.notes().beeps(), store ? 2 : 1);
    QCOMPARE(e2e.notes().boxes().size(), std::size_t{0});

    // Exactly what was written before the adapter went.
    const QString memoryOff = memoryDifference(expected, sim.memory());
    QVERIFY2(memoryOff.isEmpty(), qPrintable(memoryOff));
    QCOMPARE(e2e.writes(), expectedWrites);
    QCOMPARE(sim.rebootCount(), 0);

    // A retrieve filled what it had read completely, nothing else.
    State ownExpected = ownBefore;
    if (!store && when == When::AtAddress) {
        const std::vector<int> order = addressesOf(readPlan(block));
        const auto failedAt = std::find(order.begin(), order.end(), address) - order.begin();
        std::ptrdiff_t read = 0;
        for (const Spot& spot : readPlan(block)) {
            read += static_cast<std::ptrdiff_t>(spot.addresses.size());
            if (read > failedAt) break;
            applyRead(spot, before, ownExpected);
        }
        if (block == Block::Basic) ownExpected[QStringLiteral("version")] = QStringLiteral("KRVX-E1.07");
    }
    // The advanced store builds the flag byte in PLCconfig right after "MENABLE".
    if (store && block == Block::Advanced && when == When::AtAddress)
        ownExpected[QStringLiteral("PLCconfig")] = signedText(flag);
    const QString off =
        differences(ownExpected, snapshot(block == Block::Basic ? basic->widgets() : advanced->widgets()));
    QVERIFY2(off.isEmpty(), qPrintable(off));

    // The port is closed, and the terminal shows it closed.
    QVERIFY(!term->line().isOpen());
    QVERIFY(child<QPushButton>(term, "openPort")->isEnabled());
    QVERIFY(!child<QPushButton>(term, "closePort")->isEnabled());
    QVERIFY(child<QComboBox>(term, "portChoice")->isEnabled());
    QVERIFY(child<QComboBox>(term, "baudChoice")->isEnabled());
    const QString replies = child<QPlainTextEdit>(term, "responseBox")->toPlainText();
    QVERIFY2(replies.contains(QStringLiteral("(Port lost: ")), qPrintable(replies));
    QCOMPARE(child<QLineEdit>(term, "commandString")->isEnabled(), true);

    // The adapter comes back under its name: the same operation works.
    sim.setTrace({});
    QVERIFY(sim.start());
    QVERIFY(sim.makeLink(adapter.toStdString()));
    sim.setFaults({});
    e2e.forget();
    run(e2e, op);
    QCOMPARE(EndToEnd::message(window), QString::fromLatin1(store ? kStoredText : kRetrievedText));
    QCOMPARE(EndToEnd::messageColor(window), QColor(0, 0, 192));
    QVERIFY(term->line().isOpen());
    QCOMPARE(e2e.notes().boxes().size(), std::size_t{0});
    korvex::Memory complete = before;
    for (const Write& w : planned)
        complete[static_cast<std::size_t>(w.address)] = static_cast<std::uint8_t>(w.value);
    const QString completeOff = memoryDifference(complete, sim.memory());
    QVERIFY2(completeOff.isEmpty(), qPrintable(completeOff));
    if (!store) {
        State all = snapshot(block == Block::Basic ? basic->widgets() : advanced->widgets());
        State fromMemory = all;
        for (const Spot& spot : readPlan(block)) applyRead(spot, sim.memory(), fromMemory);
        const QString readOff = differences(fromMemory, all);
        QVERIFY2(readOff.isEmpty(), qPrintable(readOff));
    }
}

void TestLinkLost::terminal_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("idle");  // pulled before Enter, not during the wait
    QTest::newRow("pulled while a frame waits for its reply") << "@01MR020C2D*" << false;
    QTest::newRow("pulled while IR* waits for the ENQ") << "IR*" << false;
    QTest::newRow("pulled while idle, then Enter") << "IR*" << true;
}

void TestLinkLost::terminal() {
    QFETCH(QString, typed);
    QFETCH(bool, idle);
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    korvex::PtySimulator& sim = e2e.sim();
    SerialCommWindow* term = e2e.terminal();
    e2e.setTimeout(kLongTimeoutMs);
    QVERIFY(term->openCommPort());
    auto* replies = child<QPlainTextEdit>(term, "responseBox");
    auto* line = child<QLineEdit>(term, "commandString");
    replies->clear();
    e2e.forget();

    Puller puller(sim, false);
    korvex::Faults faults;
    faults.silent = true;
    sim.setFaults(faults);
    const std::string wanted = typed.startsWith(QLatin1Char('@')) ? typed.toStdString() : std::string("\x05");
    if (idle) {
        puller.pull();
        puller.waitPulled();
    } else {
        sim.setTrace([&puller, wanted](bool fromTool, const std::string& bytes) {
            if (fromTool && bytes.find(wanted) != std::string::npos) puller.pull();
        });
    }
    QElapsedTimer timer;
    timer.start();
    line->setText(typed);
    QTest::keyClick(line, Qt::Key_Return);
    QVERIFY2(timer.elapsed() < kLongTimeoutMs - 1000, qPrintable(QString::number(timer.elapsed())));
    puller.waitPulled();
    sim.setTrace({});

    const QString device = QString::fromStdString(sim.devicePath());
    QCOMPARE(replies->toPlainText(),
             QStringLiteral("(Port lost: %1 went away)\n(Warning: No Response from PLC)\n").arg(device));
    QCOMPARE(e2e.notes().beeps(), 1);
    QVERIFY(!term->line().isOpen());
    QVERIFY(child<QPushButton>(term, "openPort")->isEnabled());
    QVERIFY(!child<QPushButton>(term, "closePort")->isEnabled());
    QVERIFY(child<QComboBox>(term, "portChoice")->isEnabled());
    // Enter again on the closed port: no reply, at once, and no second loss.
    timer.restart();
    QTest::keyClick(line, Qt::Key_Return);
    QVERIFY(timer.elapsed() < 1000);
    QVERIFY(
        replies->toPlainText().endsWith(QStringLiteral("went away)\n(Warning: No Response from PLC)\n"
                                                       "(Warning: No Response from PLC)\n")));
    // Back (under a new name here): Open Port works.
    QVERIFY(sim.start());
    sim.setFaults({});
    term->presetPort(QString::fromStdString(sim.devicePath()), QString());
    child<QPushButton>(term, "openPort")->click();
    QVERIFY(term->line().isOpen());
    QCOMPARE(e2e.notes().boxes().size(), std::size_t{0});
    line->setText(QStringLiteral("IR*"));
    QTest::keyClick(line, Qt::Key_Return);
    QVERIFY2(replies->toPlainText().endsWith(QStringLiteral("IR01\n")), qPrintable(replies->toPlainText()));
}

// Pulled while nothing is sent: the terminal notices by itself while the
// program waits for the user, and shows the port closed.
void TestLinkLost::idleTerminalNotices() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString adapter = dir.filePath(QStringLiteral("ttyKorvex"));
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    korvex::PtySimulator& sim = e2e.sim();
    QVERIFY(sim.makeLink(adapter.toStdString()));
    SerialCommWindow* term = e2e.terminal();
    term->presetPort(adapter, QString());
    QVERIFY(term->openCommPort());
    auto* replies = child<QPlainTextEdit>(term, "responseBox");
    replies->clear();
    e2e.forget();

    sim.stop();  // pulled, and its name gone with it
    QTRY_VERIFY_WITH_TIMEOUT(!term->line().isOpen(), 5000);
    QVERIFY(child<QPushButton>(term, "openPort")->isEnabled());
    QVERIFY(!child<QPushButton>(term, "closePort")->isEnabled());
    QVERIFY(child<QComboBox>(term, "portChoice")->isEnabled());
    QVERIFY2(replies->toPlainText().startsWith(QStringLiteral("(Port lost: ")),
             qPrintable(replies->toPlainText()));
    QCOMPARE(e2e.notes().boxes().size(), std::size_t{0});

    // A retrieve now says the port cannot be opened, and sends nothing.
    e2e.retrieveBasic();
    QCOMPARE(e2e.notes().boxes().size(), std::size_t{1});
    QVERIFY(e2e.notes().boxes().front().text.contains(QStringLiteral("There is no device")));
    // Back under its name: the retrieve works.
    QVERIFY(sim.start());
    QVERIFY(sim.makeLink(adapter.toStdString()));
    e2e.retrieveBasic();
    QCOMPARE(EndToEnd::message(e2e.basic()), QString::fromLatin1(kRetrievedText));
}

QTEST_MAIN(TestLinkLost)
#include "test_linklost.moc"
