// One row per operation through the program's own windows and its real serial
// port against the simulated controller on a pseudo-terminal: the wiring from
// the buttons to the controller's memory, proven once. (What the operations
// do under faults is judged on the scripted line.)
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>

#include "config/form.h"
#include "config/memoryaccess.h"
#include "serial/portconnection.h"
#include "serial/ui/serialcommwindow.h"
#include "support/e2e.h"

using namespace tarvelin;
using tarvelin::test::control;
using tarvelin::test::EndToEnd;

Q_DECLARE_METATYPE(tarvelin::Block)
Q_DECLARE_METATYPE(korvex::ReplyStyle)

class TestE2E : public QObject {
    Q_OBJECT
private slots:
    void init() { test::failOnMissingControls(); }
    void operation_data() {
        QTest::addColumn<Block>("block");
        QTest::addColumn<bool>("store");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("address");
        QTest::addColumn<QByteArray>("bytes");          // what the controller holds there
        QTest::addColumn<korvex::ReplyStyle>("style");  // how the controller words its replies
        using S = korvex::ReplyStyle;
        QTest::newRow("basic retrieve, no check sums")
            << Block::Basic << false << "hostName"
            << "Press 7" << 666 << QByteArray("Press 7\0", 8) << S::Bare;
        QTest::newRow("basic store, acknowledged by the request repeated")
            << Block::Basic << true << "svrport"
            << "9081" << 520 << QByteArray("\x23\x79") << S::Repeat;
        QTest::newRow("advanced retrieve, lower-case digits")
            << Block::Advanced << false << "ADzcal(2)"
            << "-45" << 588 << QByteArray("\xFF\xD3") << S::Lower;
        QTest::newRow("advanced store, end codes") << Block::Advanced << true << "TIP2(0)"
                                                   << "8" << 689 << QByteArray("\x08") << S::EndCode;
    }

    // A store follows a retrieve of its window, so it must change nothing but
    // the one control edited.
    void operation() {
        QFETCH(Block, block);
        QFETCH(bool, store);
        QFETCH(QString, control);
        QFETCH(QString, text);
        QFETCH(int, address);
        QFETCH(QByteArray, bytes);
        QFETCH(korvex::ReplyStyle, style);
        EndToEnd e2e;
        QVERIFY(e2e.ready());
        e2e.sim().setStyle(style);
        const korvex::Memory expected = test::factoryWith(address, bytes);
        if (!store) e2e.sim().setMemory(expected);
        e2e.retrieve(block);
        QCOMPARE(e2e.message(block), QString::fromLatin1(kRetrievedText));
        if (store) {
            e2e.form(block).setText(control, text);
            e2e.store(block);
            QCOMPARE(e2e.message(block), QString::fromLatin1(kStoredText));
        } else {
            QCOMPARE(e2e.form(block).text(control), text);
        }
        QVERIFY(e2e.sim().memory() == expected);
        QCOMPARE(e2e.sim().writes().empty(), !store);
        QCOMPARE(e2e.notes().boxes().size(), 0u);
    }

    // The basic store builds the flag byte on what the advanced window holds
    // (through the window registry) without reading it again, and keeps its
    // trust bits.
    void flagByteSharedByTheWindows() {
        EndToEnd e2e;
        QVERIFY(e2e.ready());
        e2e.sim().setMemory(test::factoryWith(566, "\xB4"));  // both trust switches on, no password
        e2e.retrieve(Block::Advanced);
        e2e.sim().clearLog();
        e2e.form(Block::Basic).setChecked(QStringLiteral("EnablePW(0)"), true);
        e2e.store(Block::Basic);
        QCOMPARE(e2e.sim().memory()[566], 0xB6);
        for (const std::string& request : e2e.sim().log())
            QVERIFY(request.find("MR0236") == std::string::npos);
    }

    void terminalSend() {
        EndToEnd e2e;
        QVERIFY(e2e.ready());
        EndToEnd::click(e2e.terminal(), "openPort");
        auto* line = control<QLineEdit>(e2e.terminal(), "commandString");
        line->setText(QStringLiteral("IR*"));
        QTest::keyClick(line, Qt::Key_Return);
        QCOMPARE(e2e.replies(), e2e.adapter() + QStringLiteral(": Open at 9600,N,8,1\nIR01\n"));
        QCOMPARE(e2e.sim().log(), (std::vector<std::string>{"\x05", "IR*"}));
    }

    // The adapter pulled under a store, or while the port idles after a
    // retrieve: the store ends at once (well within its time-out of 20 s) with
    // the lost-port message, the terminal shows the port closed, a store
    // meanwhile cannot open it, and once the adapter is back under its name,
    // Open and the store work again.
    void adapterPulled_data() {
        QTest::addColumn<QString>(
            "when");  // pulled once this is sent (and left unanswered); empty: while idle
        QTest::newRow("in the middle of a store") << "MW020C";
        QTest::newRow("while idle after a retrieve") << "";
    }

    void adapterPulled() {
        QFETCH(QString, when);
        EndToEnd e2e;
        QVERIFY(e2e.ready());
        e2e.setTimeout(20000);
        e2e.retrieve(Block::Basic);
        QVERIFY(e2e.terminal()->line().isOpen());
        e2e.form(Block::Basic).setText(QStringLiteral("IP(0)"), QStringLiteral("9"));
        {
            QElapsedTimer timer;
            timer.start();
            korvex::Faults faults;
            faults.silentCommands = {when.toStdString()};
            e2e.sim().setFaults(faults);
            test::Pull pull(e2e.sim(), when.toStdString());
            if (when.isEmpty()) {
                QTRY_VERIFY_WITH_TIMEOUT(!e2e.terminal()->line().isOpen(), 10000);
            } else {
                e2e.store(Block::Basic);
                QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
                QVERIFY2(e2e.message(Block::Basic).startsWith(QString::fromLatin1(kLinkLostText)),
                         qPrintable(e2e.message(Block::Basic)));
            }
        }
        QVERIFY(!e2e.terminal()->line().isOpen());
        QVERIFY(control(e2e.terminal(), "openPort")->isEnabled());
        QVERIFY(!control(e2e.terminal(), "closePort")->isEnabled());
        QVERIFY2(e2e.replies().contains(QStringLiteral("(Port lost: ")), qPrintable(e2e.replies()));

        e2e.store(Block::Basic);  // still gone: the store cannot open the port
        QCOMPARE(e2e.notes().boxes().size(), 1u);
        QVERIFY(e2e.notes().lastText().startsWith(QString::fromLatin1(kOpenFailedText)));

        e2e.sim().setFaults({});
        QVERIFY(e2e.replug());
        EndToEnd::click(e2e.terminal(), "openPort");
        QVERIFY(e2e.terminal()->line().isOpen());
        e2e.store(Block::Basic);
        QCOMPARE(e2e.message(Block::Basic), QString::fromLatin1(kStoredText));
        QVERIFY(e2e.sim().memory() == test::factoryWith(527, "\x09"));
        QCOMPARE(e2e.notes().boxes().size(), 1u);
    }
};

QTEST_MAIN(TestE2E)
#include "test_e2e.moc"
