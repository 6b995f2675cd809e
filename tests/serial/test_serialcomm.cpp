// The terminal window `serialComm` on a scripted line: its controls, opening
// and closing the port, Enter in the command line, Clear, Exit, frame close,
// a vanished port and the running-operation lock; and the conveniences around
// them: the system's ports in the port list, the command history, framing for
// a station, readable replies with times, the saved log and the port watch.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <memory>

#include "serial/fakeports.h"
#include "serial/serialcommwindow.h"
#include "support/scriptedline.h"
#include "support/testnotifier.h"

using namespace tarvelin;
using tarvelin::test::FakePorts;
using tarvelin::test::NotifierScope;
using tarvelin::test::ScriptedLine;

namespace {

QString q(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

// A terminal on a scripted line that the test keeps.
struct Rig {
    NotifierScope notes;  // beeps, message boxes, file choosers
    ScriptedLine line;
    std::shared_ptr<FakePorts::State> ports = std::make_shared<FakePorts::State>();
    std::unique_ptr<SerialCommWindow> window;

    Rig() {
        window = std::make_unique<SerialCommWindow>(std::make_unique<tarvelin::test::LineRef>(line),
                                                    &line.clock());
        window->setPortEnumerator(std::make_unique<FakePorts>(ports));
    }
    template <typename T>
    T* get(const char* name) const {
        T* w = window->findChild<T*>(QString::fromLatin1(name));
        if (!w) qFatal("no control %s", name);
        return w;
    }
    QComboBox* list(const char* name) const { return get<QComboBox>(name); }
    QPushButton* button(const char* name) const { return get<QPushButton>(name); }
    QLineEdit* command() const { return get<QLineEdit>("commandString"); }
    QString replies() const { return get<QPlainTextEdit>("responseBox")->toPlainText(); }
    QCheckBox* check(const char* name) const { return get<QCheckBox>(name); }
    QSpinBox* station() const { return get<QSpinBox>("stationNumber"); }
    QStringList portItems() const {
        QStringList items;
        for (int i = 0; i < list("portChoice")->count(); ++i) items << list("portChoice")->itemText(i);
        return items;
    }
    // Opens the port list as the user does, and closes it again.
    void lookAtPortList() {
        list("portChoice")->showPopup();
        list("portChoice")->hidePopup();
    }
    // Opens the port list and chooses the item at `row` with the keyboard.
    void choosePort(int row) {
        QComboBox* ports = list("portChoice");
        ports->showPopup();
        QAbstractItemView* view = ports->view();
        view->setCurrentIndex(ports->model()->index(row, 0));
        QTest::keyClick(view, Qt::Key_Return);
    }
    // Whether Open, Close, the five lists and the time-out box show a closed
    // port (Open and the settings usable, Close not) or an open one.
    bool showsPort(bool open) const {
        bool ok = button("openPort")->isEnabled() != open && button("closePort")->isEnabled() == open &&
                  get<QLineEdit>("timeOutBox")->isEnabled() != open;
        for (const char* name :
             {"portChoice", "baudChoice", "dataBitChoice", "stopBitChoice", "parityChoice"})
            ok = ok && list(name)->isEnabled() != open;
        return ok;
    }
    // Opens the port and clears the reply list and the record of writes.
    void openCleared() {
        open();
        button("clearButton")->click();
        line.clearWrites();
    }
    // Key presses in the command line.
    void press(Qt::Key key) { QTest::keyClick(command(), key); }
    void chooseBaud(const QString& baud) {
        list("baudChoice")->setCurrentIndex(list("baudChoice")->findText(baud));
    }
    void open(const QString& baud = QStringLiteral("9600")) {
        chooseBaud(baud);
        QTest::mouseClick(button("openPort"), Qt::LeftButton);
    }
    void enter(const QString& text, Qt::Key key = Qt::Key_Return) {
        command()->setText(text);
        QTest::keyClick(command(), key);
    }
    // The far side answers a lone ENQ with ENQ and every CR-ended text with
    // `reply` (nothing when empty), `delayMs` later.
    void answer(const std::string& reply, int delayMs = 5, bool enq = true) {
        line.onWrite([=](ScriptedLine& l, const std::string& written) {
            if (written == "\x05") {
                if (enq) l.deliverIn(1, "\x05");
            } else if (!written.empty() && written.back() == '\r' && !reply.empty()) {
                l.deliverIn(delayMs, reply);
            }
        });
    }
};

}  // namespace

class TestSerialComm : public QObject {
    Q_OBJECT
private slots:
    void init();
    void controls_data();
    void controls();
    void captionAndFocusOrder();

    void openGivesStatusLine_data();
    void openGivesStatusLine();
    void closeRestoresAndAddsNothing();
    void openWithoutBaudIsRefused_data();
    void openWithoutBaudIsRefused();
    void openFailureShowsMessageOnce();

    void enter_data();
    void enter();
    void enterTwiceListsTwoReplies();
    void enterOnClosedPortWarns();
    void timeOutBoxIsReadForEachWait_data();
    void timeOutBoxIsReadForEachWait();

    void clearKeepsEverythingElse();
    void exitClosesAndHidesKeepingReplies();
    void frameCloseWaitsForARunningOperation();
    void runningLocksCommandLineAndButtons_data();
    void runningLocksCommandLineAndButtons();

    void lostPortReturnsToClosedState();
    void getCommportFollowsTheListText();
    void portChoiceChangedOnEditAndOnChoice();

    // The system's ports in the port list.
    void openingTheListAddsSystemPorts_data();
    void openingTheListAddsSystemPorts();
    void refreshKeepsTheChoiceQuietly_data();
    void refreshKeepsTheChoiceQuietly();
    void choosingASystemPortOpensItByName();

    // Up and Down in the command line.
    void historyKeys();
    void historyOutlivesTheWindow();

    // "Add frame for station".
    void frameForStation_data();
    void frameForStation();
    void stationBoxFollowsTheTick();

    // Readable replies, "Show time", "Save Log...".
    void repliesShowControlCharacters_data();
    void repliesShowControlCharacters();
    void showTimePrefixesLines();
    void saveLogWritesTheListAsShown();
    void saveLogCancelledOrFailing();

    // A lost port is shown at once.
    void lostPortWhileIdleIsShownAtOnce();
    void portWatchWaitsForARunningOperation();
    void portWatchStopsWithThePort();
};

void TestSerialComm::init() {
    // The history lives for the whole run; every test starts without one.
    CommandHistory::ofThisRun().clear();
}

// A list's content is "items|chosen index"; the station box's "value|min|max".
void TestSerialComm::controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("visible");
    const auto row = [](const char* name, const char* content, bool visible) {
        QTest::newRow(name) << name << content << visible;
    };
    row("commandString", "", true);
    row("Label1", "Command String (Press <Enter> to send", true);
    row("exitButton", "Exit", true);
    row("lblPortName", "Port Name :", true);
    row("portChoice", "COM1,COM2,COM3,COM4,COM5,COM6|4", true);
    row("dataBitChoice", "7,8|1", false);
    row("lblDataBits", "Data Bits:", false);
    row("parityChoice", "None,Even,Odd|0", false);
    row("lblParity", "Parity :", false);
    row("baudChoice", "1200,2400,4800,9600,19200,38400,57600,115200|-1", true);
    row("lblBaudRate", "Baud Rate:", true);
    row("stopBitChoice", "1,2|0", false);
    row("lblStopBit", "Stop Bits :", false);
    row("openPort", "Open Port", true);
    row("closePort", "Close Port", true);
    row("Label2", "Response Strings", true);
    row("clearButton", "Clear", true);
    row("responseBox", "", true);
    row("lblTimeOut", "Timeout (ms) :", false);
    row("timeOutBox", "500 ", false);
    // The conveniences: unticked, station 0, at start-up.
    row("addFrame", "Add frame for station", true);
    row("stationNumber", "0|0|255", true);
    row("showTime", "Show time", true);
    row("saveLog", "Save Log...", true);
}

void TestSerialComm::controls() {
    QFETCH(QString, name);
    QFETCH(QString, content);
    QFETCH(bool, visible);
    Rig rig;
    rig.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
    QWidget* w = rig.window->findChild<QWidget*>(name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(w->isVisible(), visible);
    QCOMPARE(w->accessibleDescription(), name);
    const QStringList parts = content.split('|');
    if (auto* list = qobject_cast<QComboBox*>(w)) {
        QStringList items;
        for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
        QCOMPARE(items, parts[0].split(','));
        QCOMPARE(list->currentIndex(), parts[1].toInt());
        QVERIFY(list->isEditable());
    } else if (auto* spin = qobject_cast<QSpinBox*>(w)) {
        QCOMPARE(QStringList({QString::number(spin->value()), QString::number(spin->minimum()),
                              QString::number(spin->maximum())}),
                 parts);
        QVERIFY(!spin->isEnabled());  // until "Add frame for station" is ticked
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(w)) {
        QCOMPARE(text->toPlainText(), content);
        QVERIFY(!text->isReadOnly());  // a plain editable text
    } else {
        QCOMPARE(w->property("text").toString(), content);
        QCOMPARE(w->property("checked").toBool(), false);
        // "<Enter>" is shown, not taken for markup.
        if (auto* label = qobject_cast<QLabel*>(w)) QCOMPARE(label->textFormat(), Qt::PlainText);
    }
}

void TestSerialComm::captionAndFocusOrder() {
    Rig rig;
    QVERIFY(rig.showsPort(false));
    QVERIFY(!rig.line.isOpen());
    QCOMPARE(rig.window->windowTitle(), QStringLiteral("Serial Port Setup"));
    QCOMPARE(rig.window->objectName(), QStringLiteral("serialComm"));
    rig.window->show();
    QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
    QCOMPARE(QApplication::focusWidget(), rig.command());
    // Tab walks the visible controls in the order of the layout table; the
    // reply list passes Tab on like every other box. The conveniences come
    // last, before the command line again.
    const QStringList expected{"exitButton",  "portChoice", "baudChoice", "openPort", "clearButton",
                               "responseBox", "addFrame",   "showTime",   "saveLog",  "commandString"};
    // Close Port and the station number are disabled at start-up and take no focus.
    for (const QString& next : expected) {
        QWidget* before = QApplication::focusWidget();
        QTest::keyClick(before, Qt::Key_Tab);
        QWidget* now = QApplication::focusWidget();
        QVERIFY(now);
        // An editable list's focus sits in its line edit.
        QString name = now->objectName();
        if (auto* list = qobject_cast<QComboBox*>(now->parentWidget())) name = list->objectName();
        QCOMPARE(name, next);
    }
}

void TestSerialComm::openGivesStatusLine_data() {
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("baud");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("status");
    QTest::newRow("start-up with 9600") << 4 << "9600" << 0 << 1 << 0 << "9600,N,8,1"
                                        << "COM 5: Open at 9600,N,8,1";
    QTest::newRow("COM1 19200") << 0 << "19200" << 0 << 1 << 0 << "19200,N,8,1"
                                << "COM 1: Open at 19200,N,8,1";
    QTest::newRow("odd parity, 7 data bits, 2 stop") << 1 << "4800" << 2 << 0 << 1 << "4800,O,7,2"
                                                     << "COM 2: Open at 4800,O,7,2";
}

void TestSerialComm::openGivesStatusLine() {
    QFETCH(int, port);
    QFETCH(QString, baud);
    QFETCH(int, parity);
    QFETCH(int, dataBits);
    QFETCH(int, stopBits);
    QFETCH(QString, settings);
    QFETCH(QString, status);
    Rig rig;
    rig.list("portChoice")->setCurrentIndex(port);
    rig.list("parityChoice")->setCurrentIndex(parity);
    rig.list("dataBitChoice")->setCurrentIndex(dataBits);
    rig.list("stopBitChoice")->setCurrentIndex(stopBits);
    rig.open(baud);
    QCOMPARE(rig.notes->boxes().size(), 0u);
    QVERIFY(rig.line.isOpen());
    QCOMPARE(q(rig.line.settings()), settings);
    QCOMPARE(rig.replies(), status + "\n");
    QVERIFY(rig.showsPort(true));
    // Opening an open port again is quiet: no new open, no status line.
    QVERIFY(rig.window->openCommPort());
    rig.window->openPort_Click();
    QCOMPARE(rig.line.openCalls(), 1);
    QCOMPARE(rig.replies(), status + "\n");
    QCOMPARE(rig.notes->boxes().size(), 0u);
}

void TestSerialComm::closeRestoresAndAddsNothing() {
    Rig rig;
    rig.open();
    const QString before = rig.replies();
    QTest::mouseClick(rig.button("closePort"), Qt::LeftButton);
    QVERIFY(!rig.line.isOpen());
    QCOMPARE(rig.replies(), before);
    QVERIFY(rig.showsPort(false));
    // Close Port on a closed port does nothing.
    const int closes = rig.line.closeCalls();
    rig.window->closePort_Click();
    QCOMPARE(rig.line.closeCalls(), closes);
}

void TestSerialComm::openWithoutBaudIsRefused_data() {
    QTest::addColumn<QString>("baudText");
    QTest::newRow("start-up: nothing chosen") << QString();
    QTest::newRow("edited to blanks") << "   ";
    QTest::newRow("edited to letters") << "fast";
}

void TestSerialComm::openWithoutBaudIsRefused() {
    QFETCH(QString, baudText);
    Rig rig;
    if (!baudText.isNull()) rig.list("baudChoice")->setEditText(baudText);
    QVERIFY(!rig.window->openCommPort());
    QCOMPARE(rig.notes->boxes().size(), 1u);
    QCOMPARE(rig.notes->boxes()[0].title, QStringLiteral("Tarvelin Configuration"));
    QCOMPARE(rig.notes->boxes()[0].icon, Notifier::Icon::Critical);
    QCOMPARE(rig.notes->lastText(), QString::fromLatin1(kChooseBaudText));
    QCOMPARE(rig.line.openCalls(), 0);
    QCOMPARE(rig.replies(), QString());
    QVERIFY(rig.showsPort(false));
}

void TestSerialComm::openFailureShowsMessageOnce() {
    Rig rig;
    rig.chooseBaud("9600");
    rig.line.failNextOpen({OpenError::Busy, {}});
    bool closeEnabledDuringBox = true;
    rig.notes->onMessage([&](const auto&) { closeEnabledDuringBox = rig.button("closePort")->isEnabled(); });
    QVERIFY(!rig.window->openCommPort());
    QCOMPARE(rig.notes->boxes().size(), 1u);
    const QStringList lines = rig.notes->lastText().split('\n');
    QCOMPARE(lines[0], QStringLiteral("COM Port already openned by other applications"));
    QVERIFY2(lines.value(1).contains("in use by another program"), qPrintable(rig.notes->lastText()));
    QVERIFY(!closeEnabledDuringBox);
    QVERIFY(!rig.line.isOpen());
    QCOMPARE(rig.replies(), QString());
    QVERIFY(rig.showsPort(false));
    // The next try works.
    QVERIFY(rig.window->openCommPort());
    QCOMPARE(rig.notes->boxes().size(), 1u);
}

void TestSerialComm::enter_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("enqAnswered");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("wire");
    QTest::addColumn<QString>("listed");
    QTest::addColumn<int>("beeps");
    const auto row = [](const char* name, const char* command, bool enqAnswered, const char* reply,
                        const char* wire, const char* listed) {
        const bool silent = QByteArray(listed).startsWith("(Warning");
        QTest::newRow(name) << command << enqAnswered << reply << wire << listed << (silent ? 1 : 0);
    };
    const char* warning = "(Warning: No Response from PLC)";
    row("frame answered", "@01XYZ1A*", false, "@01XYZ1A*\r", "@01XYZ1A*\r", "@01XYZ1A*");
    row("frame silent", "@01XYZ1A*", false, "", "@01XYZ1A*\r", warning);
    row("colon text", ":0101", false, "OK\r", ":0101\r", "OK");
    row("identify, CR LF reply", "IR*", true, "IR01\r\n", "\x05IR*\r", "IR01");
    row("identify, no ENQ answer", "IR*", false, "IR01\r", "\x05", warning);
    row("identify, no reply", "IR*", true, "", "\x05IR*\r", warning);
    row("empty line answered", "", true, "?\r", "\x05\r", "?");
    row("empty line silent", "", false, "", "\x05", warning);
    row("blanks kept, sent as typed", " VM* ", true, "VMKRVX-E1.07\r", "\x05 VM* \r", "VMKRVX-E1.07");
}

void TestSerialComm::enter() {
    QFETCH(QString, command);
    QFETCH(bool, enqAnswered);
    QFETCH(QString, reply);
    QFETCH(QString, wire);
    QFETCH(QString, listed);
    QFETCH(int, beeps);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        Rig rig;
        rig.openCleared();
        rig.answer(reply.toStdString(), 5, enqAnswered);
        QSignalSpy reachedTheLine(rig.command(), &QLineEdit::returnPressed);
        rig.command()->clear();
        QTest::keyClicks(rig.command(), command);  // other keys are typed, and send nothing
        QCOMPARE(rig.line.wire(), std::string());
        rig.press(key);
        QCOMPARE(reachedTheLine.count(), 0);  // Enter is swallowed
        QCOMPARE(q(rig.line.wire()), wire);
        QCOMPARE(rig.replies(), listed + "\n");
        QCOMPARE(rig.notes->beeps(), beeps);
        // The command line keeps its text, without the Enter.
        QCOMPARE(rig.command()->text(), command);
    }
}

void TestSerialComm::enterTwiceListsTwoReplies() {
    Rig rig;
    rig.openCleared();
    int n = 0;
    rig.line.onWrite([&](ScriptedLine& l, const std::string& written) {
        if (written == "\x05")
            l.deliverIn(1, "\x05");
        else
            l.deliverIn(3, "IR0" + std::to_string(++n) + "\r");
    });
    rig.enter("IR*");
    QTest::keyClick(rig.command(), Qt::Key_Return);
    QCOMPARE(q(rig.line.wire()), QStringLiteral("\x05IR*\r\x05IR*\r"));
    QCOMPARE(rig.replies(), QStringLiteral("IR01\nIR02\n"));
    QCOMPARE(rig.notes->beeps(), 0);
}

void TestSerialComm::enterOnClosedPortWarns() {
    Rig rig;
    rig.enter("IR*");
    QCOMPARE(rig.line.wire(), std::string());
    QCOMPARE(rig.replies(), QStringLiteral("(Warning: No Response from PLC)\n"));
    QCOMPARE(rig.notes->beeps(), 1);
    QVERIFY(!rig.line.isOpen());
}

void TestSerialComm::timeOutBoxIsReadForEachWait_data() {
    QTest::addColumn<QString>("timeout");
    QTest::addColumn<int>("replyAfterMs");
    QTest::addColumn<bool>("listed");
    QTest::newRow("start-up 500, reply at 501") << "500 " << 501 << false;
    QTest::newRow("0 means 500 for the reply") << "0" << 501 << false;
    QTest::newRow("-5 means 500 for the reply") << "-5" << 499 << true;
}

void TestSerialComm::timeOutBoxIsReadForEachWait() {
    QFETCH(QString, timeout);
    QFETCH(int, replyAfterMs);
    QFETCH(bool, listed);
    Rig rig;
    rig.open();
    rig.button("clearButton")->click();
    // The hidden box is the setting; only the program can change it.
    rig.get<QLineEdit>("timeOutBox")->setText(timeout);
    rig.answer("@01OK\r", replyAfterMs);
    rig.enter("@01XYZ1A*");
    QCOMPARE(rig.replies(),
             listed ? QStringLiteral("@01OK\n") : QStringLiteral("(Warning: No Response from PLC)\n"));
}

void TestSerialComm::clearKeepsEverythingElse() {
    Rig rig;
    rig.open();
    rig.answer("IR01\r");
    rig.enter("IR*");
    QVERIFY(!rig.replies().isEmpty());
    QTest::mouseClick(rig.button("clearButton"), Qt::LeftButton);
    QCOMPARE(rig.replies(), QString());
    QVERIFY(rig.line.isOpen());
    QVERIFY(rig.button("closePort")->isEnabled());
    QCOMPARE(rig.list("baudChoice")->currentText(), QStringLiteral("9600"));
    QCOMPARE(rig.list("portChoice")->currentText(), QStringLiteral("COM5"));
    QCOMPARE(rig.command()->text(), QStringLiteral("IR*"));
}

void TestSerialComm::exitClosesAndHidesKeepingReplies() {
    Rig rig;
    rig.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
    rig.open();
    rig.answer("IR01\r");
    rig.enter("IR*");
    const QString replies = rig.replies();
    QTest::mouseClick(rig.button("exitButton"), Qt::LeftButton);
    QVERIFY(!rig.window->isVisible());
    QVERIFY(!rig.line.isOpen());
    rig.window->show();
    QVERIFY(rig.showsPort(false));
    QCOMPARE(rig.replies(), replies);
    QCOMPARE(rig.list("baudChoice")->currentText(), QStringLiteral("9600"));
    QCOMPARE(rig.command()->text(), QStringLiteral("IR*"));
    // Exit with the port closed just hides.
    QTest::mouseClick(rig.button("exitButton"), Qt::LeftButton);
    QVERIFY(!rig.window->isVisible());
}

// A frame close closes the port, but not while a retrieve or store runs.
void TestSerialComm::frameCloseWaitsForARunningOperation() {
    Rig rig;
    rig.window->show();
    rig.open();
    rig.window->setOperationRunning(true);
    QVERIFY(!rig.window->close());
    QVERIFY(rig.window->isVisible());
    QVERIFY(rig.line.isOpen());
    rig.window->setOperationRunning(false);
    QVERIFY(rig.window->close());
    QVERIFY(!rig.line.isOpen());
    QVERIFY(!rig.window->isVisible());
}

void TestSerialComm::runningLocksCommandLineAndButtons_data() {
    QTest::addColumn<bool>("portOpen");
    QTest::newRow("port closed") << false;
    QTest::newRow("port open") << true;
}

void TestSerialComm::runningLocksCommandLineAndButtons() {
    QFETCH(bool, portOpen);
    Rig rig;
    rig.window->show();
    if (portOpen)
        rig.open();
    else
        rig.chooseBaud("9600");
    rig.answer("IR01\r");
    rig.button("clearButton")->click();
    rig.line.clearWrites();

    rig.window->setOperationRunning(true);
    QVERIFY(!rig.command()->isEnabled());
    QVERIFY(!rig.button("openPort")->isEnabled());
    QVERIFY(!rig.button("closePort")->isEnabled());
    QVERIFY(!rig.button("exitButton")->isEnabled());
    // Enter is refused, and so are the buttons' operations.
    rig.command()->setText("IR*");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::sendEvent(rig.command(), &enter);
    rig.window->openPort_Click();
    rig.window->closePort_Click();
    rig.window->exitButton_Click();
    QCOMPARE(rig.line.wire(), std::string());
    QCOMPARE(rig.replies(), QString());
    QCOMPARE(rig.line.isOpen(), portOpen);
    QVERIFY(rig.window->isVisible());
    // The operation itself still opens the port and talks on it.
    QVERIFY(rig.window->openCommPort());
    QCOMPARE(rig.window->sendCommand("IR*"), std::string("IR01"));

    rig.window->setOperationRunning(false);
    QVERIFY(rig.command()->isEnabled());
    QVERIFY(rig.button("exitButton")->isEnabled());
    QVERIFY(!rig.button("openPort")->isEnabled());
    QVERIFY(rig.button("closePort")->isEnabled());
    QVERIFY(!rig.list("portChoice")->isEnabled());
}

void TestSerialComm::lostPortReturnsToClosedState() {
    Rig rig;
    rig.list("portChoice")->setEditText("/dev/ttyUSB7");
    rig.openCleared();
    rig.answer("IR01\r");
    rig.line.loseAt(rig.line.clock().nowMs() + 1);  // pulled before the ENQ answer
    rig.enter("IR*");
    QVERIFY(rig.window->linkLost());
    QVERIFY(!rig.line.isOpen());
    QCOMPARE(rig.replies(), QStringLiteral("(Port lost: /dev/ttyUSB7 went away)\n"
                                           "(Warning: No Response from PLC)\n"));
    QCOMPARE(rig.notes->beeps(), 1);
    QVERIFY(rig.showsPort(false));
    // The adapter is back: Open works again.
    QTest::mouseClick(rig.button("openPort"), Qt::LeftButton);
    QVERIFY(rig.line.isOpen());
    QVERIFY(rig.replies().endsWith("/dev/ttyUSB7: Open at 9600,N,8,1\n"));
    rig.enter("IR*");
    QVERIFY(rig.replies().endsWith("IR01\n"));
    QVERIFY(!rig.window->linkLost());
}

void TestSerialComm::getCommportFollowsTheListText() {
    Rig rig;
    QCOMPARE(rig.window->getCommport(), std::string("COM5"));
    rig.list("portChoice")->setCurrentIndex(1);
    QCOMPARE(rig.window->getCommport(), std::string("COM2"));
    rig.list("portChoice")->setEditText("/dev/ttyUSB0");
    QCOMPARE(rig.window->getCommport(), std::string("/dev/ttyUSB0"));
    rig.list("portChoice")->setCurrentIndex(4);
    rig.open();
    QCOMPARE(rig.window->getCommport(), std::string("COM5"));
    // A preset puts a device and a baud rate; empty texts leave them.
    rig.window->presetPort("/dev/pts/9", "19200");
    QCOMPARE(rig.window->getCommport(), std::string("/dev/pts/9"));
    rig.window->presetPort(QString(), QString());
    QCOMPARE(rig.window->getCommport(), std::string("/dev/pts/9"));
    QCOMPARE(rig.list("baudChoice")->currentText(), QStringLiteral("19200"));
}

void TestSerialComm::portChoiceChangedOnEditAndOnChoice() {
    Rig rig;
    QSignalSpy spy(rig.window.get(), &SerialCommWindow::portChoiceChanged);
    rig.window->show();
    QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
    // Typing into the list's text, and choosing an item.
    QComboBox* list = rig.list("portChoice");
    list->setFocus();
    list->lineEdit()->selectAll();
    QTest::keyClicks(list, "COM3");
    QVERIFY(spy.count() >= 1);
    // Choosing the item whose text is already there tells too.
    spy.clear();
    list->setCurrentIndex(2);
    emit list->activated(2);
    QCOMPARE(spy.count(), 1);
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(rig.window->getCommport(), std::string("COM4"));
}

// ---- The system's ports in the port list ----

void TestSerialComm::openingTheListAddsSystemPorts_data() {
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<QStringList>("descriptions");
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("tooltips");
    QTest::newRow("no ports") << QStringList() << QStringList() << QStringList() << QStringList();
    QTest::newRow("several, in the order reported")
        << QStringList{"/dev/ttyS0", "/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI_A1-if00-port0"}
        << QStringList{"", "FTDI", "FTDI (now /dev/ttyUSB0)"}
        << QStringList{"/dev/ttyS0", "/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI_A1-if00-port0"}
        << QStringList{"/dev/ttyS0", "FTDI", "FTDI (now /dev/ttyUSB0)"};
    // A system that names its ports "COM3" (Windows) gets no second "COM3".
    QTest::newRow("a name already offered") << QStringList{"COM3", "COM7"} << QStringList{"USB serial", ""}
                                            << QStringList{"COM7"} << QStringList{"COM7"};
}

void TestSerialComm::openingTheListAddsSystemPorts() {
    QFETCH(QStringList, devices);
    QFETCH(QStringList, descriptions);
    QFETCH(QStringList, added);
    QFETCH(QStringList, tooltips);
    Rig rig;
    for (qsizetype i = 0; i < devices.size(); ++i)
        rig.ports->ports.push_back({devices[i].toStdString(), descriptions[i].toStdString()});
    rig.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
    QComboBox* list = rig.list("portChoice");
    QCOMPARE(rig.ports->calls, 0);  // nothing is asked until the list is opened
    list->showPopup();
    QCOMPARE(rig.ports->calls, 1);
    QCOMPARE(rig.portItems(), QStringList({"COM1", "COM2", "COM3", "COM4", "COM5", "COM6"}) + added);
    for (qsizetype i = 0; i < added.size(); ++i) {
        const int row = 6 + static_cast<int>(i);
        QCOMPARE(list->itemData(row, Qt::ToolTipRole).toString(), tooltips[i]);
        const QString description = list->itemData(row, kPortDescriptionRole).toString();
        QCOMPARE(description, descriptions[devices.indexOf(added[i])]);
        // The open list is wide enough to show the name with its description.
        const int needed = list->view()->fontMetrics().horizontalAdvance(added[i] + "   " + description);
        QVERIFY2(list->view()->width() >= needed, qPrintable(QString::number(list->view()->width())));
    }
    list->hidePopup();
    // Each opening asks again.
    list->showPopup();
    list->hidePopup();
    QCOMPARE(rig.ports->calls, 2);
    QCOMPARE(rig.portItems().size(), 6 + added.size());
}

void TestSerialComm::refreshKeepsTheChoiceQuietly_data() {
    QTest::addColumn<QString>("how");         // "item N" or "text T"
    QTest::addColumn<QStringList>("before");  // system ports when the choice is made
    QTest::addColumn<QStringList>("after");   // system ports at the next look
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("indexAfter");
    const auto row = [](const char* name, const char* how, QStringList before, QStringList after,
                        const char* text, int indexAfter) {
        QTest::newRow(name) << how << before << after << text << indexAfter;
    };
    row("COM2 chosen", "item 1", {"/dev/ttyUSB0"}, {}, "COM2", 1);
    row("start-up COM5", "", {}, {"/dev/ttyUSB0"}, "COM5", 4);
    row("system port moves down", "item 6", {"/dev/ttyUSB0"}, {"/dev/ttyACM0", "/dev/ttyUSB0"},
        "/dev/ttyUSB0", 7);
    // The text is the user's choice: it stays, only the item is gone.
    row("system port vanished", "item 6", {"/dev/ttyUSB0"}, {"/dev/ttyACM0"}, "/dev/ttyUSB0", 6);
    row("typed name, not a system port", "text /dev/ttyS9", {}, {"/dev/ttyUSB0"}, "/dev/ttyS9", 4);
    row("typed name that appears", "text /dev/ttyUSB0", {}, {"/dev/ttyUSB0"}, "/dev/ttyUSB0", 6);
}

void TestSerialComm::refreshKeepsTheChoiceQuietly() {
    QFETCH(QString, how);
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    QFETCH(QString, text);
    QFETCH(int, indexAfter);
    Rig rig;
    QComboBox* list = rig.list("portChoice");
    const auto offer = [&rig](const QStringList& devices) {
        rig.ports->ports.clear();
        for (const QString& d : devices) rig.ports->ports.push_back({d.toStdString(), "adapter"});
    };
    offer(before);
    rig.lookAtPortList();
    if (how.startsWith("item "))
        list->setCurrentIndex(how.mid(5).toInt());
    else if (how.startsWith("text "))
        list->setEditText(how.mid(5));
    QCOMPARE(list->currentText(), text);
    QSignalSpy spy(rig.window.get(), &SerialCommWindow::portChoiceChanged);
    QSignalSpy edits(list, &QComboBox::editTextChanged);
    offer(after);
    rig.lookAtPortList();
    QCOMPARE(rig.portItems().mid(6), after);  // a vanished port is no longer offered
    QCOMPARE(list->currentText(), text);
    QCOMPARE(rig.window->getCommport(), text.toStdString());
    QCOMPARE(list->currentIndex(), indexAfter);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(edits.count(), 0);
}

void TestSerialComm::choosingASystemPortOpensItByName() {
    Rig rig;
    rig.ports->ports = {{"/dev/ttyUSB3", "FTDI, FT232R USB UART, serial A1"}};
    rig.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
    QSignalSpy spy(rig.window.get(), &SerialCommWindow::portChoiceChanged);
    rig.choosePort(6);
    QCOMPARE(rig.list("portChoice")->currentIndex(), 6);
    // The text is the device name alone: that is what is opened and shown.
    QCOMPARE(rig.window->getCommport(), std::string("/dev/ttyUSB3"));
    QVERIFY(spy.count() >= 1);
    rig.open();
    QVERIFY(rig.line.isOpen());
    QCOMPARE(rig.line.device(), std::string("/dev/ttyUSB3"));
    QCOMPARE(rig.replies(), QStringLiteral("/dev/ttyUSB3: Open at 9600,N,8,1\n"));
    QCOMPARE(rig.notes->boxes().size(), 0u);
    // While open, the list cannot be opened; after Close it can, and it looks again.
    QVERIFY(!rig.list("portChoice")->isEnabled());
    QTest::mouseClick(rig.button("closePort"), Qt::LeftButton);
    rig.lookAtPortList();
    QCOMPARE(rig.ports->calls, 2);
}

// ---- Up and Down in the command line ----

// Up and Down walk the commands sent (the logic is the history's own); the
// line shows what they give with the cursor at its end, and nothing is sent.
void TestSerialComm::historyKeys() {
    Rig rig;
    rig.command()->setText("abc");
    rig.press(Qt::Key_Up);  // no history yet: nothing changes
    QCOMPARE(rig.command()->text(), QStringLiteral("abc"));
    rig.open();
    rig.button("clearButton")->click();
    rig.answer("OK\r");
    rig.enter("IR*");
    rig.enter("VM*");
    rig.line.clearWrites();
    rig.command()->setText("MR02");
    for (Qt::Key key : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down}) rig.press(key);
    QCOMPARE(rig.command()->text(), QStringLiteral("MR02"));  // back at the draft
    rig.press(Qt::Key_Up);
    rig.press(Qt::Key_Up);
    QCOMPARE(rig.command()->text(), QStringLiteral("IR*"));
    QCOMPARE(rig.command()->cursorPosition(), 3);
    QCOMPARE(rig.line.wire(), std::string());
    // Edited, then sent: the edited text goes, and becomes the newest entry.
    QTest::keyClicks(rig.command(), "X");
    rig.press(Qt::Key_Return);
    QCOMPARE(q(rig.line.wire()), QStringLiteral("\x05IR*X\r"));
    QCOMPARE(rig.command()->text(), QStringLiteral("IR*X"));
    rig.press(Qt::Key_Up);
    rig.press(Qt::Key_Up);
    QCOMPARE(rig.command()->text(), QStringLiteral("VM*"));
    // Enter on a recalled line sends it again.
    rig.line.clearWrites();
    rig.press(Qt::Key_Return);
    QCOMPARE(q(rig.line.wire()), QStringLiteral("\x05VM*\r"));
    QCOMPARE(rig.window->history().entries(), (std::deque<QString>{"IR*", "VM*", "IR*X", "VM*"}));
}

void TestSerialComm::historyOutlivesTheWindow() {
    {
        Rig first;
        first.enter("IR*");
        first.enter("VM*");
        first.press(Qt::Key_Up);  // a walk left half done
    }
    // A terminal made anew (closed through its frame before) starts with an
    // empty line, and the history of this run.
    Rig second;
    QCOMPARE(second.command()->text(), QString());
    second.press(Qt::Key_Up);
    QCOMPARE(second.command()->text(), QStringLiteral("VM*"));
}

// ---- "Add frame for station" ----

void TestSerialComm::frameForStation_data() {
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<int>("station");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("wire");
    const auto row = [](const char* name, bool ticked, int station, const char* typed, const char* wire) {
        QTest::newRow(name) << ticked << station << typed << wire;
    };
    row("station 1", true, 1, "XYZ", "@01XYZ1A*\r");
    row("station 10 written 0A", true, 10, "ABC", "@0AABC71*\r");
    row("empty line: a full frame", true, 0, "", "@0040*\r");
    row("a typed frame is framed again", true, 1, "@01XYZ1A*", "@01@01XYZ1A*01*\r");
    row("unticked: as typed, after ENQ", false, 5, "MR0208", "\x05MR0208\r");
}

void TestSerialComm::frameForStation() {
    QFETCH(bool, ticked);
    QFETCH(int, station);
    QFETCH(QString, typed);
    QFETCH(QString, wire);
    Rig rig;
    rig.openCleared();
    rig.answer("@01REPLY\r");
    rig.check("addFrame")->setChecked(ticked);
    rig.station()->setValue(station);
    rig.enter(typed);
    QCOMPARE(q(rig.line.wire()), wire);
    QCOMPARE(rig.replies(), QStringLiteral("@01REPLY\n"));
    // The line and the history keep what was typed, not the frame.
    QCOMPARE(rig.command()->text(), typed);
    if (!typed.isEmpty()) QCOMPARE(rig.window->history().entries().back(), typed);
}

void TestSerialComm::stationBoxFollowsTheTick() {
    Rig rig;
    QVERIFY(!rig.check("addFrame")->isChecked());
    QVERIFY(!rig.station()->isEnabled());
    rig.check("addFrame")->click();
    QVERIFY(rig.station()->isEnabled());
    rig.station()->setValue(300);  // beyond the range: 255
    QCOMPARE(rig.station()->value(), 255);
    rig.station()->setValue(-1);
    QCOMPARE(rig.station()->value(), 0);
    rig.window->setOperationRunning(true);
    QVERIFY(!rig.check("addFrame")->isEnabled());
    QVERIFY(!rig.station()->isEnabled());
    rig.window->setOperationRunning(false);
    QVERIFY(rig.check("addFrame")->isEnabled());
    QVERIFY(rig.station()->isEnabled());
    rig.check("addFrame")->click();
    QVERIFY(!rig.station()->isEnabled());
    // The conveniences are no port settings: opening the port leaves them be.
    rig.open();
    QVERIFY(rig.check("addFrame")->isEnabled());
    QVERIFY(rig.check("showTime")->isEnabled());
    QVERIFY(rig.button("saveLog")->isEnabled());
}

// ---- Readable replies, "Show time", "Save Log..." ----

void TestSerialComm::repliesShowControlCharacters_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("listed");
    QTest::newRow("CR inside a reply") << QByteArray("AB\rCD\r") << "AB<CR>CD";
    QTest::newRow("ACK and ENQ") << QByteArray("\x06OK\x05\r") << "<ACK>OK<ENQ>";
    QTest::newRow("Latin-1 letter") << QByteArray("VM\xe9t\r") << QString::fromLatin1("VM\xe9t");
    QTest::newRow("a CR LF end is no part of it") << QByteArray("OK\r\n") << "OK";
}

void TestSerialComm::repliesShowControlCharacters() {
    QFETCH(QByteArray, reply);
    QFETCH(QString, listed);
    Rig rig;
    rig.open();
    rig.button("clearButton")->click();
    rig.answer(reply.toStdString());
    rig.enter("@01XYZ1A*");
    QCOMPARE(rig.replies(), listed + "\n");
    QCOMPARE(rig.notes->beeps(), 0);
}

void TestSerialComm::showTimePrefixesLines() {
    Rig rig;
    QTime now(9, 8, 7, 6);
    rig.window->setTimeOfDaySource([&now] { return now; });
    rig.check("showTime")->setChecked(true);
    rig.open();
    rig.answer("IR01\r");
    rig.enter("IR*");
    now = QTime(23, 59, 59, 999);
    rig.enter("@01XYZ1A*");  // "IR01\r" comes back here too
    rig.answer("");
    now = QTime(0, 0, 0, 0);
    rig.enter("@01XYZ1A*");  // silent: the warning gets its time too
    QCOMPARE(rig.replies(), QStringLiteral("09:08:07.006 COM 5: Open at 9600,N,8,1\n"
                                           "09:08:07.006 IR01\n"
                                           "23:59:59.999 IR01\n"
                                           "00:00:00.000 (Warning: No Response from PLC)\n"));
    // Unticked: later lines have none, earlier ones keep theirs.
    rig.check("showTime")->setChecked(false);
    rig.enter("@01XYZ1A*");
    QVERIFY(
        rig.replies().endsWith("00:00:00.000 (Warning: No Response from PLC)\n"
                               "(Warning: No Response from PLC)\n"));
}

void TestSerialComm::saveLogWritesTheListAsShown() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("terminal.log");
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an older, longer log that is replaced entirely\r\n");
    }
    Rig rig;
    QTime now(12, 0, 1, 20);
    rig.window->setTimeOfDaySource([&now] { return now; });
    rig.open();
    rig.answer("\x06OK\r");
    rig.enter("@01XYZ1A*");
    rig.check("showTime")->setChecked(true);
    rig.answer("VM\xe9t\r");
    rig.enter("@01XYZ1A*");
    rig.notes->answerFile(path);
    QTest::mouseClick(rig.button("saveLog"), Qt::LeftButton);
    QCOMPARE(rig.notes->fileRequests().size(), 1u);
    QCOMPARE(rig.notes->fileRequests()[0], QStringLiteral("Save Log"));
    QCOMPARE(rig.notes->boxes().size(), 0u);
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("COM 5: Open at 9600,N,8,1\r\n"
                                         "<ACK>OK\r\n"
                                         "12:00:01.020 VM\xc3\xa9t\r\n"));
    saved.close();
    // The list itself is unchanged; an empty list gives an empty file.
    QCOMPARE(rig.replies().count('\n'), 3);
    rig.button("clearButton")->click();
    rig.notes->answerFile(path);
    rig.button("saveLog")->click();
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray());
}

// Cancelled, nothing is written; a path that cannot be written is reported.
void TestSerialComm::saveLogCancelledOrFailing() {
    QTemporaryDir dir;
    Rig rig;
    rig.open();
    rig.button("saveLog")->click();  // no path given: the user cancelled
    QCOMPARE(rig.notes->fileRequests().size(), 1u);
    QCOMPARE(rig.notes->boxes().size(), 0u);
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    for (const QString& path : {dir.filePath("no/such/folder/terminal.log"), dir.path()}) {
        rig.notes->clear();
        rig.notes->answerFile(path);
        rig.button("saveLog")->click();
        QCOMPARE(rig.notes->boxes().size(), 1u);
        QCOMPARE(rig.notes->boxes()[0].title, QStringLiteral("Tarvelin Configuration"));
        QCOMPARE(rig.notes->boxes()[0].icon, Notifier::Icon::Warning);
        QVERIFY2(rig.notes->lastText().startsWith("The log could not be saved to " +
                                                  QDir::toNativeSeparators(path)),
                 qPrintable(rig.notes->lastText()));
    }
    QCOMPARE(rig.replies(), QStringLiteral("COM 5: Open at 9600,N,8,1\n"));
    QVERIFY(rig.line.isOpen());
}

// ---- A lost port is shown at once ----

void TestSerialComm::lostPortWhileIdleIsShownAtOnce() {
    Rig rig;
    rig.list("portChoice")->setEditText("/dev/ttyUSB7");
    rig.open();
    rig.button("clearButton")->click();
    const std::int64_t clockBefore = rig.line.clock().nowMs();
    rig.line.setLost(true);  // pulled while nobody types
    QTRY_COMPARE_WITH_TIMEOUT(rig.replies(), QStringLiteral("(Port lost: /dev/ttyUSB7 went away)\n"),
                              20 * kPortWatchMs);
    QVERIFY(!rig.line.isOpen());
    QVERIFY(rig.showsPort(false));
    QCOMPARE(rig.notes->beeps(), 0);
    // Said once.
    QTest::qWait(4 * kPortWatchMs);
    QCOMPARE(rig.replies().count("Port lost"), 1);
    // The next command meets a closed port: the usual warning, no second line.
    rig.enter("IR*");
    QCOMPARE(rig.replies(), QStringLiteral("(Port lost: /dev/ttyUSB7 went away)\n"
                                           "(Warning: No Response from PLC)\n"));
    // Looking at the port took no time on the line.
    QCOMPARE(rig.line.clock().nowMs(), clockBefore);
}

void TestSerialComm::portWatchWaitsForARunningOperation() {
    Rig rig;
    rig.open();
    rig.button("clearButton")->click();
    rig.window->setOperationRunning(true);
    rig.line.setLost(true);
    // The running retrieve or store notices the loss in its own exchanges.
    QTest::qWait(4 * kPortWatchMs);
    QVERIFY(rig.line.isOpen());
    QCOMPARE(rig.replies(), QString());
    rig.window->setOperationRunning(false);
    QTRY_COMPARE_WITH_TIMEOUT(rig.replies().count("(Port lost: "), 1, 20 * kPortWatchMs);
    QVERIFY(!rig.line.isOpen());
    QVERIFY(rig.showsPort(false));
}

void TestSerialComm::portWatchStopsWithThePort() {
    Rig rig;
    rig.open();
    // Something arrives while nobody asked: the watch leaves it in the port.
    rig.line.deliverIn(0, "stray");
    const int takes = rig.line.takeCalls();
    const int waits = rig.line.waitCalls();
    QTRY_VERIFY_WITH_TIMEOUT(rig.line.waitCalls() > waits, 20 * kPortWatchMs);
    QCOMPARE(rig.line.takeCalls(), takes);
    QCOMPARE(rig.line.pending(), std::size_t{1});
    QVERIFY(rig.line.isOpen());
    // Closed: nothing more is looked at.
    QTest::mouseClick(rig.button("closePort"), Qt::LeftButton);
    const int closedWaits = rig.line.waitCalls();
    QTest::qWait(4 * kPortWatchMs);
    QCOMPARE(rig.line.waitCalls(), closedWaits);
}

QTEST_MAIN(TestSerialComm)
#include "test_serialcomm.moc"
