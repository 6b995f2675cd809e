// The terminal window on a real port: the simulated controller on a
// pseudo-terminal, opened through the terminal's own serial line, chosen from
// the port list, and pulled away.
#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "serial/fakeports.h"
#include "serial/serialcommwindow.h"
#include "sim/pty.h"
#include "support/testnotifier.h"

using namespace tarvelin;
using tarvelin::test::FakePorts;
using tarvelin::test::NotifierScope;

namespace {

struct PtyTerminal {
    SerialCommWindow window;
    QString replies() const { return window.findChild<QPlainTextEdit*>("responseBox")->toPlainText(); }
    QPushButton* button(const char* name) const { return window.findChild<QPushButton*>(name); }
    QComboBox* list(const char* name) const { return window.findChild<QComboBox*>(name); }
    void enter(const QString& text) {
        auto* line = window.findChild<QLineEdit*>("commandString");
        line->setText(text);
        QTest::keyClick(line, Qt::Key_Return);
    }
    QStringList portItems() {
        QStringList items;
        for (int i = 0; i < list("portChoice")->count(); ++i) items << list("portChoice")->itemText(i);
        return items;
    }
    // Opens the port list and chooses the item with the text `device`; false
    // when the list does not offer it.
    bool choosePort(const QString& device) {
        QComboBox* ports = list("portChoice");
        ports->showPopup();
        const int row = ports->findText(device, Qt::MatchFixedString | Qt::MatchCaseSensitive);
        if (row < 0) {
            ports->hidePopup();
            return false;
        }
        ports->view()->setCurrentIndex(ports->model()->index(row, 0));
        QTest::keyClick(ports->view(), Qt::Key_Return);
        return ports->currentText() == device;
    }
    void chooseBaud(const QString& baud) {
        list("baudChoice")->setCurrentIndex(list("baudChoice")->findText(baud));
    }
};

}  // namespace

class TestSerialCommPty : public QObject {
    Q_OBJECT
private slots:
    void identifyByHand();
    void pulledAdapterClosesThePort();

    void portListOffersPseudoTerminalsByName();
};

void TestSerialCommPty::identifyByHand() {
    korvex::Config config;
    config.station = 31;
    config.crlf = true;
    const QString reply = QStringLiteral("IR1F");
    korvex::PtySimulator sim(config);
    QVERIFY(sim.start());
    NotifierScope notes;
    PtyTerminal t;
    t.window.presetPort(QString::fromStdString(sim.devicePath()), "9600");
    QTest::mouseClick(t.button("openPort"), Qt::LeftButton);
    QCOMPARE(notes->boxes().size(), 0u);
    QCOMPARE(t.replies(), QString::fromStdString(sim.devicePath()) + ": Open at 9600,N,8,1\n");
    t.button("clearButton")->click();
    t.enter("IR*");
    QCOMPARE(t.replies(), reply + "\n");
    // Again, with the command line as it was.
    QTest::keyClick(t.window.findChild<QLineEdit*>("commandString"), Qt::Key_Return);
    QCOMPARE(t.replies(), reply + "\n" + reply + "\n");
    QCOMPARE(notes->beeps(), 0);
}

void TestSerialCommPty::pulledAdapterClosesThePort() {
    korvex::PtySimulator sim;
    QVERIFY(sim.start());
    NotifierScope notes;
    PtyTerminal t;
    const QString device = QString::fromStdString(sim.devicePath());
    t.window.presetPort(device, "9600");
    QVERIFY(t.window.openCommPort());
    sim.hangUp();
    t.button("clearButton")->click();
    t.enter("IR*");
    QVERIFY2(t.replies().contains("(Port lost: " + device + " went away)"), qPrintable(t.replies()));
    QVERIFY(t.replies().endsWith("(Warning: No Response from PLC)\n"));
    QVERIFY(t.button("openPort")->isEnabled());
    QVERIFY(!t.button("closePort")->isEnabled());
    QVERIFY(!t.window.line().isOpen());
    // The adapter comes back (under a new name here): Open works again.
    QVERIFY(sim.start());
    t.window.presetPort(QString::fromStdString(sim.devicePath()), QString());
    QVERIFY(t.window.openCommPort());
    t.enter("IR*");
    QVERIFY2(t.replies().endsWith("IR01\n"), qPrintable(t.replies()));
}

void TestSerialCommPty::portListOffersPseudoTerminalsByName() {
    korvex::Config first;
    first.station = 1;
    korvex::Config second;
    second.station = 7;
    korvex::PtySimulator a(first);
    korvex::PtySimulator b(second);
    QVERIFY(a.start());
    QVERIFY(b.start());
    // The ports of this "system": the simulators that are running.
    auto ports = std::make_shared<FakePorts::State>();
    ports->source = [&] {
        std::vector<SystemPort> found;
        if (a.running()) found.push_back({a.devicePath(), "Simulated adapter, serial A"});
        if (b.running()) found.push_back({b.devicePath(), "Simulated adapter, serial B"});
        return found;
    };
    NotifierScope notes;
    PtyTerminal t;
    t.window.setPortEnumerator(std::make_unique<FakePorts>(ports));
    t.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&t.window));
    const QString deviceA = QString::fromStdString(a.devicePath());
    const QString deviceB = QString::fromStdString(b.devicePath());
    QVERIFY(t.choosePort(deviceB));
    QCOMPARE(t.portItems(), (QStringList{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", deviceA, deviceB}));
    t.chooseBaud("9600");
    QTest::mouseClick(t.button("openPort"), Qt::LeftButton);
    QCOMPARE(notes->boxes().size(), 0u);
    QCOMPARE(t.replies(), deviceB + ": Open at 9600,N,8,1\n");
    t.enter("IR*");
    QVERIFY2(t.replies().endsWith("IR07\n"), qPrintable(t.replies()));
    // B is pulled: the terminal says so at once, and B is no longer offered.
    b.hangUp();
    b.stop();
    QTRY_VERIFY_WITH_TIMEOUT(t.replies().endsWith("(Port lost: " + deviceB + " went away)\n"), 5000);
    QVERIFY(t.choosePort(deviceA));
    QCOMPARE(t.portItems(), (QStringList{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", deviceA}));
    QVERIFY(t.window.openCommPort());
    t.enter("IR*");
    QVERIFY2(t.replies().endsWith("IR01\n"), qPrintable(t.replies()));
}

QTEST_MAIN(TestSerialCommPty)
#include "test_serialcomm_pty.moc"
