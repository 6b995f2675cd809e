// The terminal window on a scripted line: opening and leaving the port, Enter
// and its reply, the command history, the time stamps and the saved log, the
// system's ports in the port list, a port that goes away and the lock while a
// retrieve or store runs; and below the window, the pieces behind its
// conveniences.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "serial/ui/serialcommwindow.h"
#include "support/scriptedline.h"
#include "support/testnotifier.h"

using namespace tarvelin;
using namespace tarvelin::test;
using L = QStringList;

namespace {

const QString kWarning = kNoResponseFromPlcText;

struct FakePorts final : PortEnumerator {
    explicit FakePorts(std::function<std::vector<SystemPort>()> ports) : list(std::move(ports)) {}
    std::vector<SystemPort> ports() override { return list(); }
    std::function<std::vector<SystemPort>()> list;
};

// A terminal that owns a scripted line, with the system's ports as the test says.
struct Rig {
    TestNotifier notes;
    std::unique_ptr<ScriptedLine> own = std::make_unique<ScriptedLine>();
    ScriptedLine& line = *own;
    SerialCommWindow window{notes, std::move(own), &line.clock()};
    std::vector<SystemPort> system;
    int asked = 0;

    Rig() {
        window.setPortEnumerator(std::make_unique<FakePorts>([this] { return ++asked, system; }));
        window.setTimeOfDaySource([] { return QTime(9, 8, 7, 6); });
    }
    template <typename T = QWidget>
    T* get(const char* name) {
        return window.findChild<T*>(QString::fromLatin1(name));
    }
    QLineEdit* command() { return get<QLineEdit>("commandString"); }
    QString replies() { return get<QPlainTextEdit>("responseBox")->toPlainText(); }
    void click(const char* button) { QTest::mouseClick(get(button), Qt::LeftButton); }
    void open() {
        get<QComboBox>("baudChoice")->setCurrentIndex(3);  // 9600
        click("openPort");
    }
    void enter(const QString& text, Qt::Key key = Qt::Key_Return) {
        command()->setText(text);
        QTest::keyClick(command(), key);
    }
    // The far side answers ENQ with ENQ, and a text ending in CR with `reply`.
    void answer(const std::string& reply) {
        line.onWrite([=](ScriptedLine& l, const std::string& written) {
            if (written == "\x05") l.deliverIn(1, "\x05");
            if (written.ends_with('\r') && !reply.empty()) l.deliverIn(5, reply);
        });
    }
    // Open and Close, the port lists and the time-out box agree with the port.
    bool showsPort(bool open) {
        bool ok = get("openPort")->isEnabled() != open && get("closePort")->isEnabled() == open;
        for (const char* name :
             {"portChoice", "baudChoice", "dataBitChoice", "stopBitChoice", "parityChoice", "timeOutBox"})
            ok = ok && get(name)->isEnabled() != open;
        return ok && line.isOpen() == open;
    }
    // The look at the open port between exchanges, as its timer does it.
    bool watchTick() {
        for (QTimer* timer : window.findChildren<QTimer*>())
            if (timer->interval() == kPortWatchMs && timer->isActive())
                return QMetaObject::invokeMethod(timer, "timeout");
        return false;
    }
};

struct Sent {
    int station;  // -1: "Add frame for station" not ticked
    QString typed;
    QByteArray reply;
    QString wire;
    QString listed;
};

// The system's ports at the first look, the choice then made ("item N" or
// "text T"), the ports at the next look, and what the list offers then.
struct Ports {
    L before;
    QString how;
    L after;
    L offered;
    int index;
};

}  // namespace

Q_DECLARE_METATYPE(Sent)
Q_DECLARE_METATYPE(Ports)

class TestTerminal : public QObject {
    Q_OBJECT
private slots:
    // The hidden lists as set (parity, data bits, stop bits); the line listed
    // once open, or the message box when the port stays shut.
    void open_data() {
        QTest::addColumn<QList<int>>("lists");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<QString>("status");
        QTest::newRow("odd, 7 bits, 2 stop") << QList<int>{2, 0, 1} << false << "COM 5: Open at 9600,O,7,2";
        QTest::newRow("port in use") << QList<int>{0, 1, 0} << true << "";
    }
    void open() {
        QFETCH(QList<int>, lists);
        QFETCH(bool, busy);
        QFETCH(QString, status);
        Rig r;
        for (const char* name : {"parityChoice", "dataBitChoice", "stopBitChoice"})
            r.get<QComboBox>(name)->setCurrentIndex(lists.takeFirst());
        if (busy) r.line.failNextOpen({OpenError::Busy, {}});
        r.open();
        QCOMPARE(r.replies(), busy ? "" : status + "\n");
        QVERIFY(r.showsPort(!busy));
        QCOMPARE(r.notes.boxes().size(), busy ? 1u : 0u);
        QVERIFY(r.notes.offers().empty());  // Open Port offers no Find Controller
        // Once open, opening again is quiet; Close Port adds nothing either.
        QVERIFY(r.window.openCommPort() && r.window.openCommPort());
        QCOMPARE(r.line.openCalls(), busy ? 2 : 1);
        r.click("closePort");
        QVERIFY(r.showsPort(false));
        QCOMPARE(r.replies().count('\n'), 1);
    }

    // Each row is sent with Return and with Enter.
    void enter_data() {
        QTest::addColumn<Sent>("s");
        QTest::newRow("answered, CR LF, readable")
            << Sent{-1, "IR*", "\x06IR01\x05\r\n", "\x05IR*\r", "<ACK>IR01<ENQ>"};
        QTest::newRow("silent") << Sent{-1, "@01XYZ1A*", "", "@01XYZ1A*\r", kWarning};
        QTest::newRow("framed, station 10") << Sent{10, "ABC", "@0AOK\r", "@0AABC71*\r", "@0AOK"};
        QTest::newRow("framed, empty line") << Sent{0, "", "@00OK\r", "@0040*\r", "@00OK"};
    }
    void enter() {
        QFETCH(Sent, s);
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
            Rig r;
            r.open();
            r.click("clearButton");
            r.line.clearWrites();
            r.answer(s.reply.toStdString());
            r.get<QCheckBox>("addFrame")->setChecked(s.station >= 0);
            r.get<QSpinBox>("stationNumber")->setValue(s.station);
            QSignalSpy reachedTheLine(r.command(), &QLineEdit::returnPressed);
            r.enter(s.typed, key);
            QCOMPARE(reachedTheLine.count(), 0);
            QCOMPARE(QString::fromLatin1(r.line.wire()), s.wire);
            QCOMPARE(r.replies(), s.listed + "\n");
            QCOMPARE(r.notes.beeps(), s.listed == kWarning ? 1 : 0);
            // The line and the history keep what was typed, not the frame.
            QCOMPARE(r.command()->text(), s.typed);
            const auto& kept = r.window.history().entries();
            QCOMPARE(L(kept.begin(), kept.end()), s.typed.isEmpty() ? L{} : L{s.typed});
        }
    }

    // Up and Down walk the commands of this run; the line shows what they
    // give, and nothing is sent.
    void historyKeys() {
        CommandHistory run;
        run.add("IR*");
        run.add("VM*");
        Rig r;
        r.window.setHistory(run);
        r.command()->setText("MR02");
        for (Qt::Key key : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down})
            QTest::keyClick(r.command(), key);
        QCOMPARE(r.command()->text(), "MR02");  // back at the draft
        QTest::keyClick(r.command(), Qt::Key_Up);
        QCOMPARE(r.command()->text(), "VM*");
        QCOMPARE(r.command()->cursorPosition(), 3);
        QCOMPARE(r.line.writes().size(), 0u);
    }

    // Lines get the time of day while "Show time" is ticked; "Save Log..."
    // writes the list as shown, each line ending in CR LF, or says why not.
    void logAndShowTime() {
        Rig r;
        r.open();
        r.answer("VM\xe9t\r");
        r.enter("@01");
        r.get<QCheckBox>("showTime")->setChecked(true);
        r.enter("@01");
        r.answer("");
        r.enter("@01");
        QTemporaryDir dir;
        const QString path = dir.filePath("terminal.log");
        r.click("saveLog");  // cancelled: nothing written
        QVERIFY(!QFile::exists(path));
        for (const QString& target : {path, dir.filePath("no/such/folder/terminal.log"), dir.path()}) {
            r.notes.answerFile(target);
            r.click("saveLog");
        }
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(),
                 "COM 5: Open at 9600,N,8,1\r\nVM\xc3\xa9t\r\n09:08:07.006 VM\xc3\xa9t\r\n"
                 "09:08:07.006 (Warning: No Response from PLC)\r\n");
        QCOMPARE(r.notes.boxes().size(), 2u);
        for (const auto& box : r.notes.boxes())
            QVERIFY(box.text.startsWith("The log could not be saved to "));
    }

    // The system's ports follow "COM1" to "COM6" each time the list is opened,
    // with their description (else their name) as tool tip; the choice stays,
    // quietly.
    // A rate preset for the line (where a scan found the controller) becomes
    // the list's own item, so the arrow keys step on from it; a rate the list
    // lacks is kept as it is; none leaves the choice alone.
    void presetRate() {
        const std::tuple<QString, QString, QString> rows[] = {{"1200", "1200", "2400"},
                                                              {"115200", "115200", "115200"},
                                                              {"4800", "4800", "9600"},
                                                              {"250000", "250000", ""},
                                                              {"", "9600", "19200"}};
        for (const auto& [preset, shown, next] : rows) {
            Rig r;
            auto* list = r.get<QComboBox>("baudChoice");
            list->setCurrentIndex(3);  // 9600
            r.window.presetPort(QStringLiteral("COM 5"), preset);
            QCOMPARE(list->currentText(), shown);
            QCOMPARE(r.get<QComboBox>("portChoice")->currentText(), QStringLiteral("COM 5"));
            if (next.isEmpty()) continue;
            QTest::keyClick(list, Qt::Key_Down);
            QCOMPARE(list->currentText(), next);
        }
    }

    void portList_data() {
        QTest::addColumn<Ports>("p");
        QTest::newRow("a name offered already") << Ports{{}, "", {"COM1", "COM3", "COM7"}, {"COM7"}, 4};
        QTest::newRow("chosen port moves down") << Ports{
            {"/dev/ttyUSB0"}, "item 6", {"/dev/ttyS0", "/dev/ttyUSB0"}, {"/dev/ttyS0", "/dev/ttyUSB0"}, 7};
        QTest::newRow("chosen port gone")
            << Ports{{"/dev/ttyUSB0"}, "item 6", {"/dev/ttyS0"}, {"/dev/ttyS0"}, 6};
        QTest::newRow("typed name appears")
            << Ports{{}, "text /dev/ttyUSB0", {"/dev/ttyUSB0"}, {"/dev/ttyUSB0"}, 6};
    }
    void portList() {
        QFETCH(Ports, p);
        Rig r;
        auto* list = r.get<QComboBox>("portChoice");
        const auto look = [&](const L& devices) {
            r.system.clear();
            for (const QString& d : devices)
                r.system.push_back({d.toStdString(), d == "COM7" ? "" : "adapter"});
            list->showPopup();
            list->hidePopup();
        };
        look(p.before);
        if (p.how.startsWith("item ")) list->setCurrentIndex(p.how.mid(5).toInt());
        if (p.how.startsWith("text ")) list->setEditText(p.how.mid(5));
        const QString chosen = list->currentText();
        QSignalSpy changed(&r.window, &SerialCommWindow::portChoiceChanged);
        look(p.after);
        QCOMPARE(r.asked, 2);
        L items, tips;
        for (int i = kFixedPortItems; i < list->count(); ++i) {
            items << list->itemText(i);
            tips << list->itemData(i, Qt::ToolTipRole).toString();
        }
        QCOMPARE(items, p.offered);
        QCOMPARE(tips, L(p.offered).replaceInStrings(QRegularExpression("^/dev/.*"), "adapter"));
        QCOMPARE(QString::fromStdString(r.window.getCommport()), chosen);  // a gone port's too
        QCOMPARE(list->currentIndex(), p.index);
        QCOMPARE(changed.count(), 0);
    }

    // The port goes away under an exchange, while idle (seen by the look
    // between exchanges), or while a retrieve or store holds it (which sees
    // it itself).
    void lostPort_data() {
        QTest::addColumn<QString>("when");
        QTest::newRow("under an exchange") << "exchange";
        QTest::newRow("idle") << "idle";
        QTest::newRow("idle, after a change of the window") << "changed";
        QTest::newRow("while an operation runs") << "running";
    }
    void lostPort() {
        QFETCH(QString, when);
        Rig r;
        r.get<QComboBox>("portChoice")->setEditText("/dev/ttyUSB7");
        r.open();
        r.click("clearButton");
        const QString lost = "(Port lost: /dev/ttyUSB7 went away)\n";
        // The look takes nothing that waits, and no time.
        r.line.deliverIn(0, "stray");
        const std::int64_t before = r.line.clock().nowMs();
        const int takes = r.line.takeCalls();
        QVERIFY(r.watchTick());
        QVERIFY(r.line.takeCalls() == takes && r.line.clock().nowMs() == before);
        r.line.takeAll();
        if (when == "exchange") {
            r.line.loseAt(before + 1);
            r.enter("@01");
            QCOMPARE(r.replies(), lost + kWarning + "\n");
        } else {
            if (when == "changed") r.get<QCheckBox>("addFrame")->click();
            r.window.setOperationRunning(when == "running");
            r.line.setLost(true);
            r.watchTick();
            QCOMPARE(r.replies(), when == "running" ? "" : lost);
            r.window.setOperationRunning(false);
            r.watchTick();
            QVERIFY(!r.watchTick());  // said once; the look stops with the port
            QCOMPARE(r.replies(), lost);
        }
        QCOMPARE(r.notes.beeps(), when == "exchange" ? 1 : 0);
        QVERIFY(r.showsPort(false));
    }

    // Tab moves on from the response list to the next control rather than
    // typing into it: keyboard users are never trapped there.
    void tabLeavesTheResponses() {
        Rig r;
        r.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&r.window));
        auto* box = r.get<QPlainTextEdit>("responseBox");
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), r.get("addFrame"));
        QCOMPARE(r.replies(), QString());
    }

    // While a retrieve or store runs, the command line, the port buttons and
    // the window frame wait; the operation itself opens the port and talks.
    void lockedWhileRunning() {
        Rig r;
        r.window.show();
        r.get<QComboBox>("baudChoice")->setCurrentIndex(3);
        r.answer("IR01\r");
        r.get<QCheckBox>("addFrame")->setChecked(true);
        r.window.setOperationRunning(true);
        for (const char* name :
             {"commandString", "openPort", "closePort", "exitButton", "addFrame", "stationNumber"})
            QVERIFY2(!r.get(name)->isEnabled(), name);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
        r.command()->setText("IR*");
        QApplication::sendEvent(r.command(), &enter);
        r.window.openPort_Click();
        r.window.exitButton_Click();
        QVERIFY(!r.line.isOpen() && r.window.isVisible());
        r.window.findController_Click();
        QVERIFY(!r.window.scanning());
        QCOMPARE(r.notes.lastText(), "Find Controller waits until the running retrieve or store has ended.");
        QVERIFY(r.window.openCommPort());
        QCOMPARE(r.window.sendCommand("IR*"), "IR01");
        QCOMPARE(r.replies(), "COM 5: Open at 9600,N,8,1\n");
        r.window.setOperationRunning(false);
        QVERIFY(r.command()->isEnabled() && r.get("exitButton")->isEnabled() &&
                r.get("stationNumber")->isEnabled());
        QVERIFY(r.showsPort(true));
    }

    // "+X" sends X ("+" alone: the empty line), "U:draft" presses Up with the
    // line holding "draft", "D" presses Down; each Up and Down gives a text or "-".
    void history_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("kept");
        const auto row = [](const char* name, const char* script, const char* given, const char* kept) {
            QTest::newRow(name) << script << given << kept;
        };
        row("empty", "U:x D", "-|-", "");
        row("Up to the oldest", "+A +B U: U: U:", "B|A|-", "A,B");
        row("Down to the draft", "+A +B U:typed U: D D D", "B|A|B|typed|-", "A,B");
        row("the draft of each walk", "+A U:one D U:two D", "A|one|A|two", "A");
        row("sending ends the walk", "+A +B U: +C U:", "B|C", "A,B,C");
        row("repeats in a row kept once", "+A +A +B +A", "", "A,B,A");
        row("the empty line not kept", "+A U:x + U:", "A|A", "A");
    }
    void history() {
        QFETCH(QString, script);
        QFETCH(QString, given);
        QFETCH(QString, kept);
        CommandHistory h;
        L got;
        for (const QString& step : script.split(' ', Qt::SkipEmptyParts)) {
            if (step.startsWith('+'))
                h.add(step.mid(1));
            else
                got << (step.startsWith("U:") ? h.older(step.mid(2)) : h.newer()).value_or("-");
        }
        QCOMPARE(got.join('|'), given);
        QCOMPARE(L(h.entries().begin(), h.entries().end()).join(','), kept);
        // At most a hundred are kept: the oldest go.
        for (int i = 1; i <= 101; ++i) h.add(QString::number(i));
        QCOMPARE(h.entries().size(), CommandHistory::kMostKept);
        QCOMPARE(h.entries().front(), "2");
    }

    // How the port list orders and describes the system's ports.
    void describeAdapters() {
        const QStringList order =
            QString(
                "ttyACM9 ttyS ttyS0 ttyS00 ttyS02 ttyS2 ttyS10 usb-2-port10 usb-10-port1 "
                "x99999999999999999999 x100000000000000000000")
                .split(' ');
        for (qsizetype i = 1; i < order.size(); ++i) {
            const std::string a = order[i - 1].toStdString();
            const std::string b = order[i].toStdString();
            QVERIFY2(naturalLess(a, b) && !naturalLess(b, a), b.c_str());
        }
        QVERIFY(!naturalLess("ttyS2", "ttyS2"));
        QString listed;
        for (const SystemPort& p :
             distinctPorts({{"ttyS10", "a"}, {"ttyS2", "b"}, {"ttyS10", "c"}, {"ttyS02", "d"}}))
            listed += QString::fromStdString(p.device + "=" + p.description + " ");
        QCOMPARE(listed, "ttyS02=d ttyS2=b ttyS10=a ");
        QCOMPARE(describePort(" FTDI ", "FT232R\t", " A1"), "FTDI, FT232R, serial A1");
        QCOMPARE(describePort("", "", "0001"), "serial 0001");
        QCOMPARE(describePort("Arduino (x)", "arduino (X)", ""), "Arduino (x)");
        QCOMPARE(describePort("Prolific Inc.", "Prolific", ""), "Prolific Inc., Prolific");
        QCOMPARE(describeLinkName("usb-FTDI_FT232R__A9-if00-port0"), "FTDI FT232R A9");
        QCOMPARE(describeLinkName("usb-Silicon_Labs_0001-if0a"), "Silicon Labs 0001");
        QCOMPARE(describeLinkName("pci-Oxford_OX952-port0"), "Oxford OX952-port0");
        QCOMPARE(describeLinkName("_my_adapter"), "my adapter");
    }
};

QTEST_MAIN(TestTerminal)
#include "test_terminal.moc"
