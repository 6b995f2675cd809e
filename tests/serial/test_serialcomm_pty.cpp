// The terminal window on a real port: the simulated controller on a
// pseudo-terminal, opened through the terminal's own serial line.
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "serial/serialcommwindow.h"
#include "sim/pty.h"
#include "support/testnotifier.h"

using namespace tarvelin;
using tarvelin::test::NotifierScope;

namespace {

struct PtyTerminal {
    SerialCommWindow window;
    QString replies() const { return window.findChild<QPlainTextEdit*>("responseBox")->toPlainText(); }
    QPushButton* button(const char* name) const { return window.findChild<QPushButton*>(name); }
    void enter(const QString& text) {
        auto* line = window.findChild<QLineEdit*>("commandString");
        line->setText(text);
        QTest::keyClick(line, Qt::Key_Return);
    }
};

}  // namespace

class TestSerialCommPty : public QObject {
    Q_OBJECT
private slots:
    void identifyByHand_data();
    void identifyByHand();
    void frameByHand();
    void pulledAdapterClosesThePort();
};

void TestSerialCommPty::identifyByHand_data() {
    QTest::addColumn<int>("station");
    QTest::addColumn<bool>("crlf");
    QTest::addColumn<QString>("reply");
    QTest::newRow("station 1, CR") << 1 << false << "IR01";
    QTest::newRow("station 31, CR LF") << 31 << true << "IR1F";
}

void TestSerialCommPty::identifyByHand() {
    QFETCH(int, station);
    QFETCH(bool, crlf);
    QFETCH(QString, reply);
    korvex::Config config;
    config.station = station;
    config.crlf = crlf;
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

void TestSerialCommPty::frameByHand() {
    korvex::PtySimulator sim;
    QVERIFY(sim.start());
    sim.setByte(0x208, 0x5A);
    NotifierScope notes;
    PtyTerminal t;
    t.window.presetPort(QString::fromStdString(sim.devicePath()), "9600");
    QVERIFY(t.window.openCommPort());
    t.button("clearButton")->click();
    std::string frame = "MR0208";
    t.window.appendFCS(1, frame);
    t.enter(QString::fromStdString(frame));
    QVERIFY2(t.replies().startsWith("@01MR5A"), qPrintable(t.replies()));
    // A frame for another station gets no reply: a beep and the warning.
    t.enter("@02MR020857*");
    QVERIFY(t.replies().endsWith("(Warning: No Response from PLC)\n"));
    QCOMPARE(notes->beeps(), 1);
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

QTEST_MAIN(TestSerialCommPty)
#include "test_serialcomm_pty.moc"
