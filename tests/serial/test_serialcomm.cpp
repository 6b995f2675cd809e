// The terminal window `serialComm` on a scripted line: its controls, opening
// and closing the port, Enter in the command line, Clear, Exit, frame close,
// a vanished port and the running-operation lock.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "app/lineref.h"
#include "serial/serialcommwindow.h"
#include "support/scriptedline.h"
#include "support/testnotifier.h"

using namespace tarvelin;
using tarvelin::test::NotifierScope;
using tarvelin::test::ScriptedLine;

namespace {

QString q(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

// A terminal on a scripted line that the test keeps.
struct Rig {
    ScriptedLine line;
    std::unique_ptr<SerialCommWindow> window;

    Rig() {
        window = std::make_unique<SerialCommWindow>(std::make_unique<tarvelin::test::LineRef>(line),
                                                    &line.clock());
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
    void controls_data();
    void controls();
    void captionAndFocusOrder();
    void startUpStates();

    void openGivesStatusLine_data();
    void openGivesStatusLine();
    void closeRestoresAndAddsNothing();
    void openWithoutBaudIsRefused_data();
    void openWithoutBaudIsRefused();
    void openFailureShowsMessageOnce_data();
    void openFailureShowsMessageOnce();
    void openCommPortOnOpenPortIsQuiet();
    void openButtonOnOpenPortDoesNothing();

    void enter_data();
    void enter();
    void enterTwiceListsTwoReplies();
    void enterOnClosedPortWarns();
    void otherKeysAreTyped();
    void timeOutBoxIsReadForEachWait_data();
    void timeOutBoxIsReadForEachWait();

    void clearKeepsEverythingElse();
    void exitClosesAndHidesKeepingReplies();
    void frameCloseClosesThePort();
    void frameCloseRefusedWhileRunning();
    void runningLocksCommandLineAndButtons_data();
    void runningLocksCommandLineAndButtons();

    void lostPortReturnsToClosedState();
    void getCommportFollowsTheListText();
    void portChoiceChangedOnEditAndOnChoice();
    void presetPutsDeviceAndBaud();
    void repliesKeepTheirBytes();
};

void TestSerialComm::controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("visible");
    QTest::newRow("commandString") << "commandString"
                                   << "edit"
                                   << "" << true;
    QTest::newRow("Label1") << "Label1"
                            << "label"
                            << "Command String (Press <Enter> to send" << true;
    QTest::newRow("exitButton") << "exitButton"
                                << "button"
                                << "Exit" << true;
    QTest::newRow("lblPortName") << "lblPortName"
                                 << "label"
                                 << "Port Name :" << true;
    QTest::newRow("portChoice") << "portChoice"
                                << "list"
                                << "COM1,COM2,COM3,COM4,COM5,COM6|4" << true;
    QTest::newRow("dataBitChoice") << "dataBitChoice"
                                   << "list"
                                   << "7,8|1" << false;
    QTest::newRow("lblDataBits") << "lblDataBits"
                                 << "label"
                                 << "Data Bits:" << false;
    QTest::newRow("parityChoice") << "parityChoice"
                                  << "list"
                                  << "None,Even,Odd|0" << false;
    QTest::newRow("lblParity") << "lblParity"
                               << "label"
                               << "Parity :" << false;
    QTest::newRow("baudChoice") << "baudChoice"
                                << "list"
                                << "1200,2400,4800,9600,19200,38400,57600,115200|-1" << true;
    QTest::newRow("lblBaudRate") << "lblBaudRate"
                                 << "label"
                                 << "Baud Rate:" << true;
    QTest::newRow("stopBitChoice") << "stopBitChoice"
                                   << "list"
                                   << "1,2|0" << false;
    QTest::newRow("lblStopBit") << "lblStopBit"
                                << "label"
                                << "Stop Bits :" << false;
    QTest::newRow("openPort") << "openPort"
                              << "button"
                              << "Open Port" << true;
    QTest::newRow("closePort") << "closePort"
                               << "button"
                               << "Close Port" << true;
    QTest::newRow("Label2") << "Label2"
                            << "label"
                            << "Response Strings" << true;
    QTest::newRow("clearButton") << "clearButton"
                                 << "button"
                                 << "Clear" << true;
    QTest::newRow("responseBox") << "responseBox"
                                 << "text"
                                 << "" << true;
    QTest::newRow("lblTimeOut") << "lblTimeOut"
                                << "label"
                                << "Timeout (ms) :" << false;
    QTest::newRow("timeOutBox") << "timeOutBox"
                                << "edit"
                                << "500 " << false;
}

void TestSerialComm::controls() {
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, content);
    QFETCH(bool, visible);
    Rig rig;
    rig.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
    QWidget* w = rig.window->findChild<QWidget*>(name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(w->isVisible(), visible);
    QCOMPARE(w->accessibleDescription(), name);
    if (kind == "label") {
        auto* label = qobject_cast<QLabel*>(w);
        QVERIFY(label);
        QCOMPARE(label->text(), content);
        QCOMPARE(label->textFormat(), Qt::PlainText);  // "<Enter>" is shown, not taken for markup
    } else if (kind == "button") {
        auto* button = qobject_cast<QPushButton*>(w);
        QVERIFY(button);
        QCOMPARE(button->text(), content);
        QCOMPARE(button->accessibleName(), QString());  // the caption names it
    } else if (kind == "edit") {
        auto* edit = qobject_cast<QLineEdit*>(w);
        QVERIFY(edit);
        QCOMPARE(edit->text(), content);
        QVERIFY(!edit->accessibleName().isEmpty());
    } else if (kind == "text") {
        auto* text = qobject_cast<QPlainTextEdit*>(w);
        QVERIFY(text);
        QCOMPARE(text->toPlainText(), content);
        QVERIFY(!text->isReadOnly());  // a plain editable text
        QVERIFY(!text->accessibleName().isEmpty());
    } else {
        auto* list = qobject_cast<QComboBox*>(w);
        QVERIFY(list);
        const QStringList parts = content.split('|');
        QStringList items;
        for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
        QCOMPARE(items, parts[0].split(','));
        QCOMPARE(list->currentIndex(), parts[1].toInt());
        QCOMPARE(list->currentText(), parts[1].toInt() < 0 ? QString() : items[parts[1].toInt()]);
        QVERIFY(list->isEditable());
    }
}

void TestSerialComm::captionAndFocusOrder() {
    Rig rig;
    QCOMPARE(rig.window->windowTitle(), QStringLiteral("Serial Port Setup"));
    QCOMPARE(rig.window->objectName(), QStringLiteral("serialComm"));
    rig.window->show();
    QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
    QCOMPARE(QApplication::focusWidget(), rig.command());
    // Tab walks the visible controls in the order of the layout table; the
    // reply list passes Tab on like every other box.
    const QStringList expected{"exitButton",  "portChoice",  "baudChoice",   "openPort",
                               "clearButton", "responseBox", "commandString"};
    // Close Port is disabled at start-up and takes no focus.
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

void TestSerialComm::startUpStates() {
    Rig rig;
    QVERIFY(rig.button("openPort")->isEnabled());
    QVERIFY(!rig.button("closePort")->isEnabled());
    QVERIFY(rig.button("exitButton")->isEnabled());
    QVERIFY(rig.button("clearButton")->isEnabled());
    QVERIFY(rig.command()->isEnabled());
    for (const char* name : {"portChoice", "baudChoice", "dataBitChoice", "stopBitChoice", "parityChoice"})
        QVERIFY2(rig.list(name)->isEnabled(), name);
    QVERIFY(rig.get<QLineEdit>("timeOutBox")->isEnabled());
    QVERIFY(!rig.line.isOpen());
    QCOMPARE(rig.window->getCommport(), std::string("COM5"));
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
    QTest::newRow("COM6 115200") << 5 << "115200" << 0 << 1 << 0 << "115200,N,8,1"
                                 << "COM 6: Open at 115200,N,8,1";
    QTest::newRow("even parity") << 4 << "1200" << 1 << 1 << 0 << "1200,E,8,1"
                                 << "COM 5: Open at 1200,E,8,1";
    QTest::newRow("odd parity") << 4 << "2400" << 2 << 1 << 0 << "2400,O,8,1"
                                << "COM 5: Open at 2400,O,8,1";
    QTest::newRow("7 data bits, 2 stop") << 1 << "4800" << 0 << 0 << 1 << "4800,N,7,2"
                                         << "COM 2: Open at 4800,N,7,2";
}

void TestSerialComm::openGivesStatusLine() {
    QFETCH(int, port);
    QFETCH(QString, baud);
    QFETCH(int, parity);
    QFETCH(int, dataBits);
    QFETCH(int, stopBits);
    QFETCH(QString, settings);
    QFETCH(QString, status);
    NotifierScope notes;
    Rig rig;
    rig.list("portChoice")->setCurrentIndex(port);
    rig.list("parityChoice")->setCurrentIndex(parity);
    rig.list("dataBitChoice")->setCurrentIndex(dataBits);
    rig.list("stopBitChoice")->setCurrentIndex(stopBits);
    rig.open(baud);
    QCOMPARE(notes->boxes().size(), 0u);
    QVERIFY(rig.line.isOpen());
    QCOMPARE(q(rig.line.settings()), settings);
    QCOMPARE(rig.replies(), status + "\n");
    QVERIFY(!rig.button("openPort")->isEnabled());
    QVERIFY(rig.button("closePort")->isEnabled());
    for (const char* name : {"portChoice", "baudChoice", "dataBitChoice", "stopBitChoice", "parityChoice"})
        QVERIFY2(!rig.list(name)->isEnabled(), name);
    QVERIFY(!rig.get<QLineEdit>("timeOutBox")->isEnabled());
}

void TestSerialComm::closeRestoresAndAddsNothing() {
    NotifierScope notes;
    Rig rig;
    rig.open();
    const QString before = rig.replies();
    QTest::mouseClick(rig.button("closePort"), Qt::LeftButton);
    QVERIFY(!rig.line.isOpen());
    QCOMPARE(rig.replies(), before);
    QVERIFY(rig.button("openPort")->isEnabled());
    QVERIFY(!rig.button("closePort")->isEnabled());
    for (const char* name : {"portChoice", "baudChoice", "dataBitChoice", "stopBitChoice", "parityChoice"})
        QVERIFY2(rig.list(name)->isEnabled(), name);
    QVERIFY(rig.get<QLineEdit>("timeOutBox")->isEnabled());
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
    NotifierScope notes;
    Rig rig;
    if (!baudText.isNull()) rig.list("baudChoice")->setEditText(baudText);
    QVERIFY(!rig.window->openCommPort());
    QCOMPARE(notes->boxes().size(), 1u);
    QCOMPARE(notes->boxes()[0].title, QStringLiteral("Tarvelin Configuration"));
    QCOMPARE(notes->boxes()[0].icon, Notifier::Icon::Critical);
    QCOMPARE(notes->lastText(), QString::fromLatin1(kChooseBaudText));
    QCOMPARE(rig.line.openCalls(), 0);
    QCOMPARE(rig.replies(), QString());
    QVERIFY(rig.button("openPort")->isEnabled());
    QVERIFY(!rig.button("closePort")->isEnabled());
}

void TestSerialComm::openFailureShowsMessageOnce_data() {
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("reason");
    QTest::newRow("busy") << int(OpenError::Busy) << "in use by another program";
    QTest::newRow("no device") << int(OpenError::NoSuchDevice) << "Is the adapter plugged in?";
    QTest::newRow("permission") << int(OpenError::PermissionDenied) << "dialout";
}

void TestSerialComm::openFailureShowsMessageOnce() {
    QFETCH(int, error);
    QFETCH(QString, reason);
    NotifierScope notes;
    Rig rig;
    rig.chooseBaud("9600");
    rig.line.failNextOpen({static_cast<OpenError>(error), {}});
    bool closeEnabledDuringBox = true;
    notes->onMessage([&](const auto&) { closeEnabledDuringBox = rig.button("closePort")->isEnabled(); });
    QVERIFY(!rig.window->openCommPort());
    QCOMPARE(notes->boxes().size(), 1u);
    const QStringList lines = notes->lastText().split('\n');
    QCOMPARE(lines[0], QStringLiteral("COM Port already openned by other applications"));
    QVERIFY2(lines.value(1).contains(reason), qPrintable(notes->lastText()));
    QVERIFY(!closeEnabledDuringBox);
    QVERIFY(!rig.line.isOpen());
    QCOMPARE(rig.replies(), QString());
    QVERIFY(rig.button("openPort")->isEnabled());
    QVERIFY(!rig.button("closePort")->isEnabled());
    QVERIFY(rig.list("portChoice")->isEnabled());
    // The next try works.
    QVERIFY(rig.window->openCommPort());
    QCOMPARE(notes->boxes().size(), 1u);
}

void TestSerialComm::openCommPortOnOpenPortIsQuiet() {
    NotifierScope notes;
    Rig rig;
    rig.chooseBaud("9600");
    QVERIFY(rig.window->openCommPort());
    QCOMPARE(rig.line.openCalls(), 1);
    const QString replies = rig.replies();
    QVERIFY(rig.window->openCommPort());
    QCOMPARE(rig.line.openCalls(), 1);
    QCOMPARE(rig.replies(), replies);
    QCOMPARE(notes->boxes().size(), 0u);
}

void TestSerialComm::openButtonOnOpenPortDoesNothing() {
    NotifierScope notes;
    Rig rig;
    rig.open();
    rig.window->openPort_Click();
    QCOMPARE(rig.line.openCalls(), 1);
    QCOMPARE(rig.replies().count('\n'), 1);
}

void TestSerialComm::enter_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("enqAnswered");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("wire");
    QTest::addColumn<QString>("listed");
    QTest::addColumn<int>("beeps");
    const QString warning = QStringLiteral("(Warning: No Response from PLC)");
    QTest::newRow("frame answered") << "@01XYZ1A*" << false << "@01XYZ1A*\r"
                                    << "@01XYZ1A*\r"
                                    << "@01XYZ1A*" << 0;
    QTest::newRow("frame silent") << "@01XYZ1A*" << false << ""
                                  << "@01XYZ1A*\r" << warning << 1;
    QTest::newRow("colon text") << ":0101" << false << "OK\r"
                                << ":0101\r"
                                << "OK" << 0;
    QTest::newRow("identify") << "IR*" << true << "IR01\r"
                              << "\x05IR*\r"
                              << "IR01" << 0;
    QTest::newRow("identify, CR LF reply") << "IR*" << true << "IR01\r\n"
                                           << "\x05IR*\r"
                                           << "IR01" << 0;
    QTest::newRow("identify, no ENQ answer") << "IR*" << false << "IR01\r"
                                             << "\x05" << warning << 1;
    QTest::newRow("identify, no reply") << "IR*" << true << ""
                                        << "\x05IR*\r" << warning << 1;
    QTest::newRow("empty line answered") << "" << true << "?\r"
                                         << "\x05\r"
                                         << "?" << 0;
    QTest::newRow("empty line silent") << "" << false << ""
                                       << "\x05" << warning << 1;
    QTest::newRow("sent unframed, as typed") << "MR0208" << true << "x\r"
                                             << "\x05MR0208\r"
                                             << "x" << 0;
    QTest::newRow("blanks kept") << " VM* " << true << "VMKRVX-E1.07\r"
                                 << "\x05 VM* \r"
                                 << "VMKRVX-E1.07" << 0;
}

void TestSerialComm::enter() {
    QFETCH(QString, command);
    QFETCH(bool, enqAnswered);
    QFETCH(QString, reply);
    QFETCH(QString, wire);
    QFETCH(QString, listed);
    QFETCH(int, beeps);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        NotifierScope notes;
        Rig rig;
        rig.open();
        rig.button("clearButton")->click();
        rig.line.clearWrites();
        rig.answer(reply.toStdString(), 5, enqAnswered);
        QSignalSpy reachedTheLine(rig.command(), &QLineEdit::returnPressed);
        rig.enter(command, key);
        QCOMPARE(reachedTheLine.count(), 0);  // Enter is swallowed
        QCOMPARE(q(rig.line.wire()), wire);
        QCOMPARE(rig.replies(), listed + "\n");
        QCOMPARE(notes->beeps(), beeps);
        // The command line keeps its text, without the Enter.
        QCOMPARE(rig.command()->text(), command);
    }
}

void TestSerialComm::enterTwiceListsTwoReplies() {
    NotifierScope notes;
    Rig rig;
    rig.open();
    rig.button("clearButton")->click();
    rig.line.clearWrites();
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
    QCOMPARE(notes->beeps(), 0);
}

void TestSerialComm::enterOnClosedPortWarns() {
    NotifierScope notes;
    Rig rig;
    rig.enter("IR*");
    QCOMPARE(rig.line.wire(), std::string());
    QCOMPARE(rig.replies(), QStringLiteral("(Warning: No Response from PLC)\n"));
    QCOMPARE(notes->beeps(), 1);
    QVERIFY(!rig.line.isOpen());
}

void TestSerialComm::otherKeysAreTyped() {
    NotifierScope notes;
    Rig rig;
    rig.open();
    rig.line.clearWrites();
    QTest::keyClicks(rig.command(), "IR*");
    QCOMPARE(rig.command()->text(), QStringLiteral("IR*"));
    QCOMPARE(rig.line.wire(), std::string());
}

void TestSerialComm::timeOutBoxIsReadForEachWait_data() {
    QTest::addColumn<QString>("timeout");
    QTest::addColumn<int>("replyAfterMs");
    QTest::addColumn<bool>("listed");
    QTest::newRow("start-up 500, reply at 500") << "500 " << 500 << true;
    QTest::newRow("start-up 500, reply at 501") << "500 " << 501 << false;
    QTest::newRow("2000, reply at 1500") << "2000" << 1500 << true;
    QTest::newRow("0 means 500 for the reply") << "0" << 501 << false;
    QTest::newRow("-5 means 500 for the reply") << "-5" << 499 << true;
}

void TestSerialComm::timeOutBoxIsReadForEachWait() {
    QFETCH(QString, timeout);
    QFETCH(int, replyAfterMs);
    QFETCH(bool, listed);
    NotifierScope notes;
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
    NotifierScope notes;
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
    NotifierScope notes;
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
    QVERIFY(rig.button("openPort")->isEnabled());
    QVERIFY(!rig.button("closePort")->isEnabled());
    QCOMPARE(rig.replies(), replies);
    QCOMPARE(rig.list("baudChoice")->currentText(), QStringLiteral("9600"));
    QCOMPARE(rig.command()->text(), QStringLiteral("IR*"));
    // Exit with the port closed just hides.
    QTest::mouseClick(rig.button("exitButton"), Qt::LeftButton);
    QVERIFY(!rig.window->isVisible());
}

void TestSerialComm::frameCloseClosesThePort() {
    NotifierScope notes;
    Rig rig;
    rig.window->show();
    rig.open();
    QVERIFY(rig.line.isOpen());
    QVERIFY(rig.window->close());
    QVERIFY(!rig.line.isOpen());
    QVERIFY(!rig.window->isVisible());
}

void TestSerialComm::frameCloseRefusedWhileRunning() {
    NotifierScope notes;
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
}

void TestSerialComm::runningLocksCommandLineAndButtons_data() {
    QTest::addColumn<bool>("portOpen");
    QTest::newRow("port closed") << false;
    QTest::newRow("port open") << true;
}

void TestSerialComm::runningLocksCommandLineAndButtons() {
    QFETCH(bool, portOpen);
    NotifierScope notes;
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
    NotifierScope notes;
    Rig rig;
    rig.list("portChoice")->setEditText("/dev/ttyUSB7");
    rig.open();
    rig.button("clearButton")->click();
    rig.line.clearWrites();
    rig.answer("IR01\r");
    rig.line.loseAt(rig.line.clock().nowMs() + 1);  // pulled before the ENQ answer
    rig.enter("IR*");
    QVERIFY(rig.window->linkLost());
    QVERIFY(!rig.line.isOpen());
    QCOMPARE(rig.replies(), QStringLiteral("(Port lost: /dev/ttyUSB7 went away)\n"
                                           "(Warning: No Response from PLC)\n"));
    QCOMPARE(notes->beeps(), 1);
    QVERIFY(rig.button("openPort")->isEnabled());
    QVERIFY(!rig.button("closePort")->isEnabled());
    QVERIFY(rig.list("portChoice")->isEnabled());
    // The adapter is back: Open works again.
    QTest::mouseClick(rig.button("openPort"), Qt::LeftButton);
    QVERIFY(rig.line.isOpen());
    QVERIFY(rig.replies().endsWith("/dev/ttyUSB7: Open at 9600,N,8,1\n"));
    rig.enter("IR*");
    QVERIFY(rig.replies().endsWith("IR01\n"));
    QVERIFY(!rig.window->linkLost());
}

void TestSerialComm::getCommportFollowsTheListText() {
    NotifierScope notes;
    Rig rig;
    QCOMPARE(rig.window->getCommport(), std::string("COM5"));
    rig.list("portChoice")->setCurrentIndex(1);
    QCOMPARE(rig.window->getCommport(), std::string("COM2"));
    rig.list("portChoice")->setEditText("/dev/ttyUSB0");
    QCOMPARE(rig.window->getCommport(), std::string("/dev/ttyUSB0"));
    rig.list("portChoice")->setCurrentIndex(4);
    rig.open();
    QCOMPARE(rig.window->getCommport(), std::string("COM5"));
}

void TestSerialComm::portChoiceChangedOnEditAndOnChoice() {
    Rig rig;
    QSignalSpy spy(rig.window.get(), &SerialCommWindow::portChoiceChanged);
    rig.window->show();
    QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
    // Typing into the list's text.
    QComboBox* list = rig.list("portChoice");
    list->setFocus();
    list->lineEdit()->selectAll();
    QTest::keyClicks(list, "COM3");
    QVERIFY(spy.count() >= 1);
    QCOMPARE(rig.window->getCommport(), std::string("COM3"));
    // Choosing an item, even the one whose text is already there.
    spy.clear();
    list->setCurrentIndex(2);  // "COM3": the text does not change
    emit list->activated(2);
    QCOMPARE(spy.count(), 1);
    spy.clear();
    QTest::keyClick(list, Qt::Key_Down);
    QVERIFY(spy.count() >= 1);
    QCOMPARE(rig.window->getCommport(), std::string("COM4"));
    // Other lists say nothing.
    spy.clear();
    rig.chooseBaud("9600");
    QCOMPARE(spy.count(), 0);
}

void TestSerialComm::presetPutsDeviceAndBaud() {
    Rig rig;
    rig.window->presetPort("/dev/pts/9", "9600");
    QCOMPARE(rig.window->getCommport(), std::string("/dev/pts/9"));
    QCOMPARE(rig.list("baudChoice")->currentIndex(), 3);
    rig.window->presetPort(QString(), QString());
    QCOMPARE(rig.window->getCommport(), std::string("/dev/pts/9"));
    QCOMPARE(rig.list("baudChoice")->currentText(), QStringLiteral("9600"));
}

void TestSerialComm::repliesKeepTheirBytes() {
    NotifierScope notes;
    Rig rig;
    rig.open();
    rig.button("clearButton")->click();
    // A reply with a byte above 127 is listed as that single-byte character.
    rig.answer("VM\xe9t\r");
    rig.enter("VM*");
    QCOMPARE(rig.replies(), QString::fromLatin1("VM\xe9t\n"));
}

QTEST_MAIN(TestSerialComm)
#include "test_serialcomm.moc"
