// The real device path below the windows: QtSerialLine and the port
// connection on pseudo-terminals (the simulated controller behind them),
// files and missing paths, and the system's ports.
// What an ordinary user may not open is tried, when the tests run as root,
// by a copy of this executable running as "nobody" (`--open DEVICE`).
#include <fcntl.h>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "serial/exchange.h"
#include "serial/portconnection.h"
#include "serial/portenumerator.h"
#include "serial/qtserialline.h"
#include "support/e2e.h"

using namespace tarvelin;
namespace fs = std::filesystem;

namespace {

constexpr uid_t kNobody = 65534;

// One simulator and an exchange on the real line, opened.
struct Rig {
    explicit Rig(korvex::Config config = {}) : sim(std::move(config)) {
        if (!sim.start()) return;
        line.setDevice(sim.devicePath());
        opened = line.open().ok();
    }
    korvex::PtySimulator sim;
    QtSerialLine line;
    SteadyClock clock;
    Exchange exchange{line, clock, {2000, 2000}};
    bool opened = false;
};

// The message of a refused open of `device`, or "opened".
std::string refusal(const std::string& device) {
    QtSerialLine line;
    PortConnection connection(line);
    const auto outcome = connection.open({device, "9600", "None", "8", "1"});
    return outcome.kind == PortConnection::OpenAttempt::Refused ? outcome.message : "opened";
}

// ... as an ordinary user: when root, from a copy running as "nobody".
QString refusalAsUser(const QString& device) {
    if (::geteuid() != 0) return QString::fromStdString(refusal(device.toStdString()));
    QProcess copy;
    copy.setChildProcessModifier([] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(77);
    });
    copy.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--open"), device});
    if (!copy.waitForFinished(20000) || copy.exitCode() != 0) return QString();
    return QString::fromUtf8(copy.readAllStandardOutput());
}

}  // namespace

enum class Arrange { Dangling, File, DevNull, NoRight, HeldHere, Exclusive };
Q_DECLARE_METATYPE(Arrange)

class TestDevice : public QObject {
    Q_OBJECT
private slots:
    // Each command twice: what one reply leaves (a line end's LF) never spoils the next.
    void replies_data() {
        QTest::addColumn<bool>("crlf");
        QTest::addColumn<int>("pieces");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QStringList>("requests");  // what the controller received for one
        QTest::newRow("ENQ first, CR LF, in 4 pieces") << true << 4 << "VM*"
                                                       << "VMKRVX-E1.07" << QStringList{"\x05", "VM*"};
        QTest::newRow("a frame without ENQ, one character at a time")
            << false << 100 << "@01MR020C2F*"
            << "@01MRC02D*" << QStringList{"@01MR020C2F*"};
    }

    void replies() {
        QFETCH(bool, crlf);
        QFETCH(int, pieces);
        QFETCH(QString, command);
        QFETCH(QString, reply);
        QFETCH(QStringList, requests);
        korvex::Config config;
        config.lineEnd = crlf ? korvex::LineEnd::CRLF : korvex::LineEnd::CR;
        config.faults.splitReplies = pieces;
        Rig rig(config);
        QVERIFY(rig.opened);
        std::vector<std::string> expected;
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(QString::fromStdString(rig.exchange.sendCommand(command.toStdString())), reply);
            for (const QString& r : requests) expected.push_back(r.toStdString());
        }
        QCOMPARE(rig.sim.log(), expected);
    }

    // The adapter pulled: the exchange ends at once, the line says so (lost())
    // and later exchanges give up without waiting. "At once" is well within a
    // time-out of 20 s, so that a slow machine does not fail it. (The
    // terminal's watch, which looks at an idle port without sending, is proven
    // end to end.)
    void hangUp_data() {
        QTest::addColumn<QString>("when");  // pulled once this is sent; empty: while idle
        QTest::newRow("while waiting for the ENQ answer") << "\x05";
        QTest::newRow("while idle") << "";
    }

    void hangUp() {
        QFETCH(QString, when);
        korvex::Config config;
        config.faults.silent = true;
        Rig rig(config);
        QVERIFY(rig.opened);
        rig.exchange.setTimes({20000, 20000});
        test::Pull pull(rig.sim, when.toStdString());
        QElapsedTimer timer;
        timer.start();
        const auto reply = rig.exchange.send("IR*");
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(!reply && reply.failure().outcome == Outcome::LineLost);
        QVERIFY(rig.line.lost());
        QVERIFY(!rig.line.write("IR*\r"));  // a lost line takes nothing
        timer.restart();
        QCOMPARE(rig.exchange.sendCommand("@01MR020C2F*"), std::string());
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
    }

    // Bytes that came while nothing waited (a reply too late for its command),
    // not yet read from the system, are cleared before the next command.
    void lateBytesAreClearedBeforeTheNextCommand() {
        Rig rig;
        QVERIFY(rig.opened);
        rig.sim.inject("@01MR00*\r");
        for (int i = 0; i < 2000 && rig.sim.waitingForTool() < 9; ++i) QThread::msleep(5);  // no events
        QCOMPARE(rig.exchange.takePending(), std::string("@01MR00*\r"));
        QCOMPARE(rig.exchange.sendCommand("@01MR020C2F*"), std::string("@01MRC02D*"));
    }

    // Every refusal names its reason under the one first line, and nothing is sent.
    // (A missing path fails as the dangling link does, a folder as the regular file.)
    void refusedOpen_data() {
        QTest::addColumn<Arrange>("arrange");
        QTest::addColumn<QString>("reason");
        QTest::newRow("link left by a pulled adapter") << Arrange::Dangling << "There is no device";
        QTest::newRow("regular file") << Arrange::File << "is not a serial device.";
        QTest::newRow("/dev/null") << Arrange::DevNull << "is not a serial device.";
        QTest::newRow("no right to open") << Arrange::NoRight << "Permission denied for ";
        QTest::newRow("held by this program") << Arrange::HeldHere << "is in use by another program.";
        QTest::newRow("held exclusively, no lock file")
            << Arrange::Exclusive << "is in use by another program.";
    }

    void refusedOpen() {
        QFETCH(Arrange, arrange);
        QFETCH(QString, reason);
        korvex::PtySimulator sim;
        QVERIFY(sim.start());
        QTemporaryDir dir;
        QString device = QString::fromStdString(sim.devicePath());
        QtSerialLine first;
        int exclusive = -1;
        if (arrange == Arrange::Dangling) {
            device = dir.filePath(QStringLiteral("usb-Adapter-if00-port0"));
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), device));
        }
        if (arrange == Arrange::File) {
            device = dir.filePath(QStringLiteral("capture.txt"));
            std::ofstream(device.toStdString()) << "IR01\r";
        }
        if (arrange == Arrange::DevNull) device = QStringLiteral("/dev/null");
        if (arrange == Arrange::NoRight)  // only its owner (root) may use it; nobody at all when not root
            QCOMPARE(::chmod(sim.devicePath().c_str(), ::geteuid() == 0 ? 0600 : 0), 0);
        if (arrange == Arrange::HeldHere) {
            first.setDevice(sim.devicePath());
            QVERIFY(first.open().ok());
        }
        if (arrange == Arrange::Exclusive) {  // TIOCEXCL keeps out everyone but root
            QCOMPARE(::chmod(sim.devicePath().c_str(), 0666), 0);
            exclusive = ::open(sim.devicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
            QVERIFY(exclusive >= 0 && ::ioctl(exclusive, TIOCEXCL) == 0);
        }
        const bool asUser = arrange == Arrange::NoRight || arrange == Arrange::Exclusive;
        const QString text =
            asUser ? refusalAsUser(device) : QString::fromStdString(refusal(device.toStdString()));
        if (exclusive >= 0) ::close(exclusive);
        if (text.isEmpty()) QSKIP("cannot run a copy of the test as an ordinary user here");
        const QStringList lines = text.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], QString::fromLatin1(kOpenFailedText));
        QVERIFY2(lines[1].contains(reason) && lines[1].contains(device), qPrintable(lines[1]));
        if (arrange == Arrange::NoRight)
            QVERIFY2(lines[1].contains(QStringLiteral("dialout")), qPrintable(lines[1]));
        QVERIFY(sim.log().empty());
    }

    // The system's ports: those it reports, sorted, then the stable links
    // (/dev/serial/by-id) that lead to a device now, sorted, each described like
    // the port it leads to where the system knows that port, else by its name.
    void systemPortsThenLinks() {
        korvex::PtySimulator a;
        korvex::PtySimulator b;
        QVERIFY(a.start() && b.start());
        QTemporaryDir dir;
        const std::string at = dir.path().toStdString() + "/";
        const std::string linkA = at + "usb-Maker_Adapter_A1-if00-port0";
        const std::string linkB = at + "usb-Maker_Adapter_B2-if00-port0";
        QVERIFY(b.makeLink(linkB));
        std::error_code ec;
        fs::create_symlink(fs::relative(a.devicePath(), at), linkA, ec);  // as udev makes them
        std::ofstream(at + "notes.txt") << "x";
        fs::create_symlink(at + "notes.txt", at + "usb-Notes-if00-port0", ec);
        fs::create_directory(at + "usb-Folder-if00-port0", ec);
        fs::create_symlink("/dev/no-such-tty-here", at + "usb-Pulled-if00-port0", ec);
        QVERIFY(!ec);
        const std::vector<SystemPort> known{{a.devicePath(), "Maker, Adapter, serial A1"}};
        const std::vector<SystemPort> links{
            {linkA, "Maker, Adapter, serial A1 (now " + fs::canonical(a.devicePath()).string() + ")"},
            {linkB, "Maker Adapter B2 (now " + fs::canonical(b.devicePath()).string() + ")"}};
        QCOMPARE(linkedPorts(at, known), links);
        QVERIFY(linkedPorts(at + "by-id", known).empty());  // no adapter was ever plugged in

        const std::vector<SystemPort> ports = SystemPortEnumerator(at).ports();
        const std::vector<SystemPort> reported = SystemPortEnumerator::reportedPorts();
        QCOMPARE(ports.size(), reported.size() + 2);
        QCOMPARE(ports.back().device, linkB);
        for (std::size_t i = 1; i < reported.size(); ++i)
            QVERIFY(naturalLess(reported[i - 1].device, reported[i].device));
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--open") {
        std::cout << refusal(argv[2]);
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestDevice test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_device.moc"
