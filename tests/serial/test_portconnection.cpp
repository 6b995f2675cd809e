// Choosing, opening and closing the one serial port, on a scripted line.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <map>
#include <string>

#include "serial/portconnection.h"
#include "support/scriptedline.h"

using namespace tarvelin;
using tarvelin::test::ScriptedLine;

namespace {

using Env = std::map<std::string, std::string>;

EnvLookup lookupIn(Env env) {
    return [env = std::move(env)](const std::string& name) -> std::optional<std::string> {
        auto it = env.find(name);
        if (it == env.end()) return std::nullopt;
        return it->second;
    };
}

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

PortChoice choice(const char* port, const char* baud, const char* parity = "None", const char* data = "8",
                  const char* stop = "1") {
    return PortChoice{port, baud, parity, data, stop};
}

}  // namespace

Q_DECLARE_METATYPE(tarvelin::OpenError)

class TestPortConnection : public QObject {
    Q_OBJECT
private slots:
    void linksResolvedToTheirTarget();
    void open_data();
    void open();
    void noBaudOpensNothing_data();
    void noBaudOpensNothing();
    void openFailure_data();
    void openFailure();
    void reasonsDiffer();
    void settingsRefusedByTheDevice();
    void openWhenOpenChangesNothing();
    void vanishedDeviceIsOpenedAfresh();
    void close();
};

void TestPortConnection::linksResolvedToTheirTarget() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString device = dir.filePath("ttyFAKE0");
    QFile file(device);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString link = dir.filePath("korvex");
    const QString linkToLink = dir.filePath("plc");
    QVERIFY(QFile::link(device, link));
    QVERIFY(QFile::link(link, linkToLink));
    const QString real = QFileInfo(device).canonicalFilePath();
    // Two names of one adapter meet at one device; the label keeps the name as typed.
    QCOMPARE(q(tarvelin::resolvePort(link.toStdString(), lookupIn({})).device), real);
    QCOMPARE(q(tarvelin::resolvePort(linkToLink.toStdString(), lookupIn({})).device), real);
    QCOMPARE(q(tarvelin::resolvePort(link.toStdString(), lookupIn({})).label), link);
    // So does a COM override that names a link.
    const PortTarget target = tarvelin::resolvePort("COM2", lookupIn({{"KORVEX_COM2", link.toStdString()}}));
    QCOMPARE(q(target.device), real);
    QCOMPARE(q(target.label), QStringLiteral("COM 2"));
}

void TestPortConnection::open_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("parity");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("stop");
    QTest::addColumn<QString>("envValue");  // KORVEX_COM5
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("status");
    const auto row = [](const char* name, const char* port, const char* baud, const char* parity,
                        const char* data, const char* stop, const char* env, const char* device,
                        const char* settings, const char* status) {
        QTest::newRow(name) << port << baud << parity << data << stop << env << device << settings << status;
    };
    row("start-up selections and 9600", "COM5", "9600", "None", "8", "1", "", "/dev/ttyS4", "9600,N,8,1",
        "COM 5: Open at 9600,N,8,1");
    row("COM1 and 19200", "COM1", "19200", "None", "8", "1", "", "/dev/ttyS0", "19200,N,8,1",
        "COM 1: Open at 19200,N,8,1");
    row("Even, 7, 2", "COM5", "4800", "Even", "7", "2", "", "/dev/ttyS4", "4800,E,7,2",
        "COM 5: Open at 4800,E,7,2");
    row("Odd", "COM6", "115200", "Odd", "8", "1", "", "/dev/ttyS5", "115200,O,8,1",
        "COM 6: Open at 115200,O,8,1");
    row("KORVEX_COM5 override", "COM5", "9600", "None", "8", "1", "/nonexistent/ttyUSB3",
        "/nonexistent/ttyUSB3", "9600,N,8,1", "COM 5: Open at 9600,N,8,1");
    row("typed device", "/nonexistent/pts/7", "9600", "None", "8", "1", "", "/nonexistent/pts/7",
        "9600,N,8,1", "/nonexistent/pts/7: Open at 9600,N,8,1");
    row("lower case com3", "com3", "9600", "None", "8", "1", "", "/dev/ttyS2", "9600,N,8,1",
        "COM 3: Open at 9600,N,8,1");
    row("KORVEX_COM5 does not touch COM1", "COM1", "9600", "None", "8", "1", "/nonexistent/ttyUSB3",
        "/dev/ttyS0", "9600,N,8,1", "COM 1: Open at 9600,N,8,1");
    row("typed device ignores the overrides", "/nonexistent/pts/7", "9600", "None", "8", "1",
        "/nonexistent/ttyUSB3", "/nonexistent/pts/7", "9600,N,8,1", "/nonexistent/pts/7: Open at 9600,N,8,1");
}

void TestPortConnection::open() {
    QFETCH(QString, port);
    QFETCH(QString, baud);
    QFETCH(QString, parity);
    QFETCH(QString, data);
    QFETCH(QString, stop);
    QFETCH(QString, envValue);
    QFETCH(QString, device);
    QFETCH(QString, settings);
    QFETCH(QString, status);
    ScriptedLine line;
    Env env;
    if (!envValue.isEmpty()) env["KORVEX_COM5"] = envValue.toStdString();
    PortConnection connection(line, lookupIn(env));
    const PortChoice c{port.toStdString(), baud.toStdString(), parity.toStdString(), data.toStdString(),
                       stop.toStdString()};

    const auto outcome = connection.open(c);

    QCOMPARE(outcome.kind, PortConnection::Outcome::Opened);
    QCOMPARE(q(outcome.statusLine), status);
    QCOMPARE(q(outcome.message), QString());
    QCOMPARE(q(line.device()), device);
    QCOMPARE(q(line.settings()), settings);
    QVERIFY(line.isOpen());
    QVERIFY(connection.isOpen());
    QCOMPARE(line.openCalls(), 1);
}

void TestPortConnection::noBaudOpensNothing_data() {
    QTest::addColumn<QString>("baud");
    QTest::newRow("none chosen") << "";
    QTest::newRow("edited to text") << "fast";
    QTest::newRow("zero") << "0";
    QTest::newRow("blank inside") << "96 00";
    QTest::newRow("negative") << "-9600";
    QTest::newRow("four hundred digits") << QString(400, '9');
}

void TestPortConnection::noBaudOpensNothing() {
    QFETCH(QString, baud);
    ScriptedLine line;
    PortConnection connection(line, lookupIn({}));
    const auto outcome = connection.open(PortChoice{"COM5", baud.toStdString(), "None", "8", "1"});
    QCOMPARE(outcome.kind, PortConnection::Outcome::Refused);
    QCOMPARE(q(outcome.message), QString::fromLatin1(kChooseBaudText));
    QCOMPARE(q(outcome.statusLine), QString());
    QCOMPARE(line.openCalls(), 0);
    QVERIFY(!line.isOpen());
}

void TestPortConnection::openFailure_data() {
    QTest::addColumn<tarvelin::OpenError>("error");
    QTest::addColumn<QString>("detail");
    QTest::newRow("busy") << OpenError::Busy << "";
    QTest::newRow("permission denied") << OpenError::PermissionDenied << "";
    QTest::newRow("no such device") << OpenError::NoSuchDevice << "";
    QTest::newRow("not a serial device") << OpenError::NotSerialDevice << "";
    QTest::newRow("bad settings") << OpenError::BadSettings << "";
    QTest::newRow("other with the system's words") << OpenError::Other << "Input/output error";
    QTest::newRow("other without words") << OpenError::Other << "";
}

void TestPortConnection::openFailure() {
    QFETCH(tarvelin::OpenError, error);
    QFETCH(QString, detail);
    ScriptedLine line;
    line.failNextOpen({error, detail.toStdString()});
    PortConnection connection(line, lookupIn({}));

    const auto outcome = connection.open(choice("COM5", "9600"));

    QCOMPARE(outcome.kind, PortConnection::Outcome::Refused);
    QCOMPARE(q(outcome.statusLine), QString());
    QVERIFY(!line.isOpen());
    const QStringList lines = q(outcome.message).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QStringLiteral("COM Port already openned by other applications"));
    // The reason names the device, and keeps the system's own words.
    QVERIFY2(lines[1].contains(QStringLiteral("/dev/ttyS4")), qPrintable(lines[1]));
    if (!detail.isEmpty()) QVERIFY2(lines[1].contains(detail), qPrintable(lines[1]));
}

void TestPortConnection::reasonsDiffer() {
    QSet<QString> reasons;
    for (OpenError e : {OpenError::Busy, OpenError::PermissionDenied, OpenError::NoSuchDevice,
                        OpenError::NotSerialDevice, OpenError::BadSettings, OpenError::Other}) {
        const QString reason = q(tarvelin::openFailureReason({e, {}}, "/dev/ttyS4"));
        QVERIFY(!reason.isEmpty());
        QVERIFY(!reason.contains(QLatin1Char('\n')));
        reasons.insert(reason);
    }
    QCOMPARE(reasons.size(), 6);
    QCOMPARE(q(tarvelin::openFailureReason({}, "/dev/ttyS4")), QString());
}

void TestPortConnection::settingsRefusedByTheDevice() {
    ScriptedLine line;
    PortConnection connection(line, lookupIn({}));
    // "Mark" gives the letter M, which the line does not take.
    const auto outcome = connection.open(choice("COM5", "9600", "Mark"));
    QCOMPARE(outcome.kind, PortConnection::Outcome::Refused);
    QCOMPARE(q(outcome.message).section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("COM Port already openned by other applications"));
    QCOMPARE(line.openCalls(), 0);
    QVERIFY(!line.isOpen());
}

void TestPortConnection::openWhenOpenChangesNothing() {
    ScriptedLine line;
    PortConnection connection(line, lookupIn({}));
    QCOMPARE(connection.open(choice("COM5", "9600")).kind, PortConnection::Outcome::Opened);

    const auto again = connection.open(choice("COM1", "19200"));

    QCOMPARE(again.kind, PortConnection::Outcome::AlreadyOpen);
    QCOMPARE(q(again.statusLine), QString());
    QCOMPARE(q(again.message), QString());
    QCOMPARE(line.openCalls(), 1);
    QCOMPARE(line.closeCalls(), 0);
    QCOMPARE(q(line.device()), QStringLiteral("/dev/ttyS4"));
    QCOMPARE(q(line.settings()), QStringLiteral("9600,N,8,1"));
}

void TestPortConnection::vanishedDeviceIsOpenedAfresh() {
    ScriptedLine line;
    PortConnection connection(line, lookupIn({}));
    QCOMPARE(connection.open(choice("COM5", "9600")).kind, PortConnection::Outcome::Opened);
    line.setLost(true);
    const auto outcome = connection.open(choice("COM5", "9600"));
    QCOMPARE(outcome.kind, PortConnection::Outcome::Opened);
    QCOMPARE(line.closeCalls(), 1);
    QCOMPARE(line.openCalls(), 2);
    QVERIFY(!line.lost());
}

void TestPortConnection::close() {
    ScriptedLine line;
    PortConnection connection(line, lookupIn({}));
    QVERIFY(!connection.close());  // closed already: nothing to do
    QCOMPARE(line.closeCalls(), 0);
    QCOMPARE(connection.open(choice("COM5", "9600")).kind, PortConnection::Outcome::Opened);
    QVERIFY(connection.close());
    QVERIFY(!line.isOpen());
    QVERIFY(!connection.close());
    QCOMPARE(line.closeCalls(), 1);
    // Opened again after a close, with a fresh status line.
    const auto outcome = connection.open(choice("COM1", "19200"));
    QCOMPARE(outcome.kind, PortConnection::Outcome::Opened);
    QCOMPARE(q(outcome.statusLine), QStringLiteral("COM 1: Open at 19200,N,8,1"));
}

QTEST_GUILESS_MAIN(TestPortConnection)
#include "test_portconnection.moc"
