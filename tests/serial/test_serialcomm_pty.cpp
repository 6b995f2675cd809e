// The terminal window on a real port: the simulated controller on a
// pseudo-terminal, opened through the terminal's own serial line. Also the
// conveniences where a port is involved: choosing a pseudo-terminal from the
// port list, framing for a station, readable replies and a port pulled while
// nobody types.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>

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
    void identifyByHand_data();
    void identifyByHand();
    void frameByHand();
    void pulledAdapterClosesThePort();

    void portListOffersPseudoTerminalsByName();
    void realEnumeratorFindsALinkedAdapter();
    void frameForStation_data();
    void frameForStation();
    void controlCharactersFromTheLineAreShown();
    void pulledWhileIdleIsShownAtOnce();
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

void TestSerialCommPty::realEnumeratorFindsALinkedAdapter() {
    korvex::Config config;
    config.station = 12;
    korvex::PtySimulator sim(config);
    QVERIFY(sim.start());
    QTemporaryDir byId;
    QVERIFY(byId.isValid());
    const QString link = byId.filePath("usb-Maker_Korvex_Cable_K12-if00-port0");
    QVERIFY(sim.makeLink(link.toStdString()));
    NotifierScope notes;
    PtyTerminal t;
    t.window.setPortEnumerator(std::make_unique<SystemPortEnumerator>(byId.path().toStdString()));
    t.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&t.window));
    QVERIFY(t.choosePort(link));
    QComboBox* ports = t.list("portChoice");
    const QString description = ports->itemData(ports->currentIndex(), kPortDescriptionRole).toString();
    QVERIFY2(description.startsWith("Maker Korvex Cable K12 (now /dev/"), qPrintable(description));
    t.chooseBaud("9600");
    QVERIFY(t.window.openCommPort());
    // Opened by the name chosen, and named so.
    QCOMPARE(t.replies(), link + ": Open at 9600,N,8,1\n");
    t.enter("IR*");
    QVERIFY2(t.replies().endsWith("IR0C\n"), qPrintable(t.replies()));
}

void TestSerialCommPty::frameForStation_data() {
    QTest::addColumn<int>("station");
    QTest::addColumn<QString>("listed");  // the start of the listed line
    QTest::newRow("the controller's station") << 5 << "@05MR5A";
    QTest::newRow("another station: no reply") << 6 << "(Warning: No Response from PLC)";
    QTest::newRow("station 0: no reply") << 0 << "(Warning: No Response from PLC)";
}

void TestSerialCommPty::frameForStation() {
    QFETCH(int, station);
    QFETCH(QString, listed);
    korvex::Config config;
    config.station = 5;
    korvex::PtySimulator sim(config);
    QVERIFY(sim.start());
    sim.setByte(0x208, 0x5A);
    NotifierScope notes;
    PtyTerminal t;
    t.window.presetPort(QString::fromStdString(sim.devicePath()), "9600");
    QVERIFY(t.window.openCommPort());
    t.button("clearButton")->click();
    t.window.findChild<QCheckBox*>("addFrame")->setChecked(true);
    t.window.findChild<QSpinBox*>("stationNumber")->setValue(station);
    sim.clearLog();
    // Typed without "@", station or FCS: the terminal frames it.
    t.enter("MR0208");
    QVERIFY2(t.replies().startsWith(listed), qPrintable(t.replies()));
    QCOMPARE(t.replies().count('\n'), 1);
    const std::vector<std::string> log = sim.log();
    QVERIFY(!log.empty());
    std::string frame = "MR0208";
    appendFCS(static_cast<std::int16_t>(station), frame);
    QVERIFY2(log.back().find(frame) != std::string::npos, log.back().c_str());
}

void TestSerialCommPty::controlCharactersFromTheLineAreShown() {
    korvex::PtySimulator sim;
    QVERIFY(sim.start());
    sim.setByte(0x208, 0x5A);
    NotifierScope notes;
    PtyTerminal t;
    t.window.presetPort(QString::fromStdString(sim.devicePath()), "9600");
    QVERIFY(t.window.openCommPort());
    t.button("clearButton")->click();
    // A stray STX waits in the port and starts the next reply.
    sim.inject("\x02");
    QTest::qWait(50);
    std::string frame = "MR0208";
    t.window.appendFCS(1, frame);
    t.enter(QString::fromStdString(frame));
    QVERIFY2(t.replies().startsWith("<STX>@01MR5A"), qPrintable(t.replies()));
    QVERIFY(t.replies().endsWith("*\n"));
    QCOMPARE(t.replies().count('\n'), 1);
}

void TestSerialCommPty::pulledWhileIdleIsShownAtOnce() {
    korvex::PtySimulator sim;
    QVERIFY(sim.start());
    NotifierScope notes;
    PtyTerminal t;
    const QString device = QString::fromStdString(sim.devicePath());
    t.window.presetPort(device, "9600");
    QVERIFY(t.window.openCommPort());
    t.enter("IR*");
    QVERIFY(t.replies().endsWith("IR01\n"));
    t.button("clearButton")->click();
    sim.hangUp();
    // Nobody types: the terminal notices by itself.
    QTRY_COMPARE_WITH_TIMEOUT(t.replies(), "(Port lost: " + device + " went away)\n", 5000);
    QVERIFY(!t.window.line().isOpen());
    QVERIFY(t.button("openPort")->isEnabled());
    QVERIFY(!t.button("closePort")->isEnabled());
    QVERIFY(t.list("portChoice")->isEnabled());
    QVERIFY(t.list("baudChoice")->isEnabled());
    QTest::qWait(4 * kPortWatchMs);
    QCOMPARE(t.replies().count("Port lost"), 1);
    QCOMPARE(notes->boxes().size(), 0u);
}

QTEST_MAIN(TestSerialCommPty)
#include "test_serialcomm_pty.moc"
