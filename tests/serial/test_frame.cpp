// Host-link framing: "@", station ID, command text, FCS, "*".
#include <QTest>
#include <cstdint>
#include <string>

#include "serial/frame.h"

using namespace tarvelin;

class TestFrame : public QObject {
    Q_OBJECT
private slots:
    void appendFCS_data();
    void appendFCS();
    void framingTwiceFramesTheFrame();
    void computeFCS_data();
    void computeFCS();
};

void TestFrame::appendFCS_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("cmd");
    QTest::addColumn<QString>("frame");
    const auto row = [](const char* name, int id, const char* cmd, const char* frame) {
        QTest::newRow(name) << id << QString::fromLatin1(cmd) << QString::fromLatin1(frame);
    };
    row("worked example, station 1", 1, "XYZ", "@01XYZ1A*");
    row("station 10 is 0A", 10, "ABC", "@0AABC71*");
    row("station 0, FCS 00 keeps two digits", 0, "ABC", "@00ABC00*");
    row("FCS 01", 1, "ABC", "@01ABC01*");
    row("station 15, one digit padded", 15, "", "@0F36*");
    row("station 255", 255, "MR020C", "@FFMR020C2E*");
    row("empty command: FCS of \"@00\" is 40", 0, "", "@0040*");
    row("lower case kept as written", 0, "abc", "@00abc20*");
    row("memory write", 31, "MW02A9FF", "@1FMW02A9FF57*");
    row("reboot, lower-case w", 1, "Mw4011000080", "@01Mw401100008077*");
    // An ID above 255 is written with all its digits, never cut.
    row("station 256", 256, "X", "@100X29*");
}

void TestFrame::appendFCS() {
    QFETCH(int, id);
    QFETCH(QString, cmd);
    QFETCH(QString, frame);
    std::string text = cmd.toStdString();
    const std::string result = tarvelin::appendFCS(static_cast<std::int16_t>(id), text);
    QCOMPARE(QString::fromStdString(result), frame);
    QCOMPARE(QString::fromStdString(text), frame);  // the argument is overwritten
}

void TestFrame::framingTwiceFramesTheFrame() {
    std::string cmd = "XYZ";
    tarvelin::appendFCS(1, cmd);
    tarvelin::appendFCS(1, cmd);
    // A second "@" and ID in front, a second FCS and "*" behind.
    QCOMPARE(QString::fromStdString(cmd), QStringLiteral("@01@01XYZ1A*01*"));
}

void TestFrame::computeFCS_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("fcs");
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("one character is its code") << QByteArray("A") << 0x41;
    QTest::newRow("worked example") << QByteArray("@01XYZ") << 0x1A;
    QTest::newRow("pair cancels") << QByteArray("AA") << 0;
    // Codes above 127 are single bytes 128..255, never sign-extended.
    QTest::newRow("high byte") << QByteArray("\x80\x01") << 0x81;
    QTest::newRow("all bits") << QByteArray("\xFF") << 0xFF;
    QTest::newRow("zero byte counts") << QByteArray("A\0B", 3) << (0x41 ^ 0x42);
}

void TestFrame::computeFCS() {
    QFETCH(QByteArray, text);
    QFETCH(int, fcs);
    QCOMPARE(static_cast<int>(tarvelin::computeFCS(text.toStdString())), fcs);
}

QTEST_GUILESS_MAIN(TestFrame)
#include "test_frame.moc"
