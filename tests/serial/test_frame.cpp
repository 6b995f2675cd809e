// Host-link framing: "@", station ID, command text, FCS, "*".
#include <QTest>
#include <cstdint>
#include <string>

#include "serial/frame.h"
#include "serial/terminal.h"

using namespace tarvelin;

namespace {
QString q(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}
std::string s(const QString& q) {
    return q.toLatin1().toStdString();
}
}  // namespace

class TestFrame : public QObject {
    Q_OBJECT
private slots:
    void appendFCS_data();
    void appendFCS();
    void appendFCSOverwritesItsArgument();
    void framingTwiceFramesTheFrame();
    void computeFCS_data();
    void computeFCS();
    void fcsIgnoresWhatFollowsTheCommand();
    void hexAtLeastTwo_data();
    void hexAtLeastTwo();
    void terminalFramesTheSameWay();
};

void TestFrame::appendFCS_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("cmd");
    QTest::addColumn<QString>("frame");
    // Worked examples.
    QTest::newRow("station 1 XYZ") << 1 << "XYZ"
                                   << "@01XYZ1A*";
    QTest::newRow("station 10 ABC") << 10 << "ABC"
                                    << "@0AABC71*";
    // Station IDs are two upper-case digits.
    QTest::newRow("station 0") << 0 << "ABC"
                               << "@00ABC00*";
    QTest::newRow("station 15 one digit") << 15 << ""
                                          << "@0F36*";
    QTest::newRow("station 16 two digits") << 16 << ""
                                           << "@1041*";
    QTest::newRow("station 255") << 255 << "MR020C"
                                 << "@FFMR020C2E*";
    // An FCS below 16 keeps its leading zero.
    QTest::newRow("fcs 00") << 0 << "ABC"
                            << "@00ABC00*";
    QTest::newRow("fcs 01") << 1 << "ABC"
                            << "@01ABC01*";
    // An empty command still gives a whole frame: FCS of "@00" is 0x40.
    QTest::newRow("empty command") << 0 << ""
                                   << "@0040*";
    // Lower case is sent, and enters the FCS, as written.
    QTest::newRow("lower case kept") << 0 << "abc"
                                     << "@00abc20*";
    // The commands of the configuration layer.
    QTest::newRow("memory read") << 1 << "MR0208"
                                 << "@01MR020854*";
    QTest::newRow("memory write") << 31 << "MW02A9FF"
                                  << "@1FMW02A9FF57*";
    QTest::newRow("memory enable") << 1 << "MENABLE"
                                   << "@01MENABLE0D*";
    QTest::newRow("reboot lower-case w") << 1 << "Mw4011000080"
                                         << "@01Mw401100008077*";
    // An ID above 255 is written with all its digits, never cut.
    QTest::newRow("station 256") << 256 << "X"
                                 << "@100X29*";
}

void TestFrame::appendFCS() {
    QFETCH(int, id);
    QFETCH(QString, cmd);
    QFETCH(QString, frame);
    std::string text = s(cmd);
    const std::string result = tarvelin::appendFCS(static_cast<std::int16_t>(id), text);
    QCOMPARE(q(result), frame);
    QCOMPARE(q(text), frame);
}

void TestFrame::appendFCSOverwritesItsArgument() {
    std::string cmd = "XYZ";
    const std::string copy = cmd;
    tarvelin::appendFCS(1, cmd);
    QCOMPARE(q(cmd), QStringLiteral("@01XYZ1A*"));
    QCOMPARE(q(copy), QStringLiteral("XYZ"));
}

void TestFrame::framingTwiceFramesTheFrame() {
    std::string cmd = "XYZ";
    tarvelin::appendFCS(1, cmd);
    tarvelin::appendFCS(1, cmd);
    // A second "@" and ID in front, a second FCS and "*" behind.
    QCOMPARE(q(cmd), QStringLiteral("@01@01XYZ1A*01*"));
}

void TestFrame::computeFCS_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("fcs");
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("one character is its code") << QByteArray("A") << 0x41;
    QTest::newRow("one at sign") << QByteArray("@") << 0x40;
    QTest::newRow("worked example 1") << QByteArray("@01XYZ") << 0x1A;
    QTest::newRow("worked example 2") << QByteArray("@0AABC") << 0x71;
    QTest::newRow("pair cancels") << QByteArray("AA") << 0;
    QTest::newRow("lower case differs") << QByteArray("@00abc") << 0x20;
    // Codes above 127 are single bytes 128..255, never sign-extended.
    QTest::newRow("high byte") << QByteArray("\x80\x01") << 0x81;
    QTest::newRow("all bits") << QByteArray("\xFF") << 0xFF;
    QTest::newRow("high bytes cancel") << QByteArray("\xFF\xFF") << 0;
    QTest::newRow("zero byte counts") << QByteArray("A\0B", 3) << (0x41 ^ 0x42);
}

void TestFrame::computeFCS() {
    QFETCH(QByteArray, text);
    QFETCH(int, fcs);
    const std::int16_t got = tarvelin::computeFCS(text.toStdString());
    QCOMPARE(static_cast<int>(got), fcs);
    QVERIFY(got >= 0 && got <= 255);
}

void TestFrame::fcsIgnoresWhatFollowsTheCommand() {
    // The FCS covers "@", the ID digits and the command, not itself, "*" or CR.
    std::string cmd = "XYZ";
    const std::string frame = tarvelin::appendFCS(1, cmd);
    QCOMPARE(static_cast<int>(tarvelin::computeFCS(frame.substr(0, frame.size() - 3))), 0x1A);
    QCOMPARE(q(frame.substr(frame.size() - 3)), QStringLiteral("1A*"));
}

void TestFrame::hexAtLeastTwo_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("hex");
    QTest::newRow("0") << 0 << "00";
    QTest::newRow("5") << 5 << "05";
    QTest::newRow("15") << 15 << "0F";
    QTest::newRow("16") << 16 << "10";
    QTest::newRow("255") << 255 << "FF";
    QTest::newRow("256") << 256 << "100";
    QTest::newRow("4095") << 4095 << "FFF";
    QTest::newRow("4096") << 4096 << "1000";
    QTest::newRow("32767") << 32767 << "7FFF";
    QTest::newRow("-1") << -1 << "FFFF";
    QTest::newRow("-32768") << -32768 << "8000";
    QTest::newRow("-240") << -240 << "FF10";
}

void TestFrame::hexAtLeastTwo() {
    QFETCH(int, value);
    QFETCH(QString, hex);
    QCOMPARE(q(tarvelin::hexAtLeastTwo(static_cast<std::int16_t>(value))), hex);
}

namespace {
class NoLineTerminal final : public Terminal {
public:
    bool openCommPort() override { return false; }
    std::string getCommport() override { return "COM5"; }
    std::string sendCommand(const std::string&) override { return {}; }
    bool linkLost() const override { return false; }
};
}  // namespace

void TestFrame::terminalFramesTheSameWay() {
    NoLineTerminal terminal;
    std::string cmd = "ABC";
    QCOMPARE(q(terminal.appendFCS(10, cmd)), QStringLiteral("@0AABC71*"));
    QCOMPARE(q(cmd), QStringLiteral("@0AABC71*"));
}

QTEST_GUILESS_MAIN(TestFrame)
#include "test_frame.moc"
