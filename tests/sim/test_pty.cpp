// The simulator on a real pseudo-terminal, driven through plain termios the
// way any serial program would drive it.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QByteArrayList>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>

#include "sim/pty.h"

using korvex::PtySimulator;

namespace {

// A raw, non-blocking open of the device, closed on scope exit.
class Port {
public:
    explicit Port(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) return;
        termios t{};
        ::tcgetattr(fd_, &t);
        ::cfmakeraw(&t);
        ::cfsetspeed(&t, B9600);
        ::tcsetattr(fd_, TCSANOW, &t);
    }
    ~Port() { close(); }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    bool send(const QByteArray& bytes) {
        return ::write(fd_, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }
    // Reads until a read ends in `end` (or, when `want` is given, until that
    // many bytes came), or `ms` passed; `chunks` counts the reads that
    // brought something.
    QByteArray read(int ms, char end = '\r', qsizetype want = -1, int* chunks = nullptr) {
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(ms - timer.elapsed()) + 1) <= 0) continue;
            if (p.revents & (POLLHUP | POLLERR)) break;
            char buf[256];
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n <= 0) break;
            got.append(buf, n);
            if (chunks) ++*chunks;
            if (want >= 0 ? got.size() >= want : got.endsWith(end)) break;
        }
        return got;
    }

private:
    int fd_ = -1;
};

const QByteArray ENQ("\x05", 1);

}  // namespace

class TestPty : public QObject {
    Q_OBJECT
private slots:
    void exchanges_data();
    void exchanges();
    void splitRepliesComeInPieces();
    void pacingDelaysReplies();
    void keepsWorkingWhenTheToolReopens();
    void linkLeadsToTheDevice();
    void hangUpTakesTheDeviceAway();
    void stopIsPrompt();
};

void TestPty::exchanges_data() {
    QTest::addColumn<int>("station");
    QTest::addColumn<bool>("crlf");
    QTest::addColumn<int>("split");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("ENQ answered alone") << 1 << false << 1 << ENQ << ENQ;
    QTest::newRow("IR*") << 1 << false << 1 << QByteArray("IR*\r") << QByteArray("IR01\r");
    QTest::newRow("IR* station 0x2A, CR LF")
        << 0x2A << true << 1 << QByteArray("IR*\r") << QByteArray("IR2A\r\n");
    QTest::newRow("MR in 3 pieces, CR LF")
        << 1 << true << 3 << QByteArray("@01MR020C2F*\r") << QByteArray("@01MRC02D*\r\n");
    QTest::newRow("more pieces than characters")
        << 1 << false << 50 << QByteArray("@01MENABLE0D*\r") << QByteArray("@01ME49*\r");
}

void TestPty::exchanges() {
    QFETCH(int, station);
    QFETCH(bool, crlf);
    QFETCH(int, split);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    PtySimulator sim;
    sim.setStation(station);
    sim.setCrlf(crlf);
    korvex::Faults faults;
    faults.splitReplies = split;
    sim.setFaults(faults);
    QVERIFY(sim.start());
    QVERIFY(QString::fromStdString(sim.devicePath()).startsWith("/dev/pts/"));
    Port port(sim.devicePath());
    QVERIFY(port.ok());
    QVERIFY(port.send(request));
    QCOMPARE(port.read(3000, crlf ? '\n' : reply.back()), reply);
    QCOMPARE(sim.log().size(), std::size_t{1});
}

void TestPty::splitRepliesComeInPieces() {
    PtySimulator sim;
    korvex::Faults faults;
    faults.splitReplies = 13;  // one character at a time, 5 ms apart
    sim.setFaults(faults);
    QVERIFY(sim.start());
    Port port(sim.devicePath());
    QVERIFY(port.send("VM*\r"));
    QElapsedTimer timer;
    timer.start();
    int chunks = 0;
    QCOMPARE(port.read(3000, '\r', -1, &chunks), QByteArray("VMKRVX-E1.07\r"));
    QVERIFY2(chunks >= 2, qPrintable(QString::number(chunks)));
    QVERIFY2(timer.elapsed() >= 55, qPrintable(QString::number(timer.elapsed())));  // twelve gaps
}

void TestPty::pacingDelaysReplies() {
    PtySimulator sim({}, 1200);  // "IR01" CR: 5 characters, 50 bits, 41.7 ms at 1200 baud
    QVERIFY(sim.start());
    Port port(sim.devicePath());
    QElapsedTimer timer;
    timer.start();
    QVERIFY(port.send("IR*\r"));
    QCOMPARE(port.read(3000), QByteArray("IR01\r"));
    QVERIFY2(timer.elapsed() >= 40, qPrintable(QString::number(timer.elapsed())));
}

void TestPty::keepsWorkingWhenTheToolReopens() {
    PtySimulator sim;
    QVERIFY(sim.start());
    for (int round = 0; round < 5; ++round) {
        Port port(sim.devicePath());
        QVERIFY(port.ok());
        QVERIFY(port.send(ENQ));
        QCOMPARE(port.read(2000, '\x05'), ENQ);
        QVERIFY(port.send("IR*\r"));
        QCOMPARE(port.read(2000), QByteArray("IR01\r"));
    }
    // A write through the device changes the simulator's memory, and the
    // thread-safe views see it.
    Port port(sim.devicePath());
    QVERIFY(port.send("@01MENABLE0D*\r@01MW020C992A*\r@01Mw401100008077*\r"));
    QCOMPARE(port.read(2000, '\r', 27), QByteArray("@01ME49*\r@01MW5B*\r@01Mw7B*\r"));
    QCOMPARE(int(sim.memory()[524]), 0x99);
    QCOMPARE(sim.writes(), (std::vector<korvex::Controller::Write>{{524, 0x99}}));
    QCOMPARE(sim.enableCount(), 1);
    QCOMPARE(sim.rebootCount(), 1);
    sim.setByte(525, 0x07);
    QVERIFY(port.send("@01MR020D28*\r"));
    QCOMPARE(port.read(2000), QByteArray("@01MR0759*\r"));
    sim.clearLog();
    QVERIFY(sim.log().empty());
    korvex::Memory blank{};
    sim.setMemory(blank);
    QCOMPARE(int(sim.memory()[524]), 0);
}

void TestPty::linkLeadsToTheDevice() {
    QTemporaryDir dir;
    const std::string link = dir.filePath("korvex0").toStdString();
    {
        PtySimulator sim;
        QVERIFY(!sim.makeLink(link));  // nothing to point at yet
        QVERIFY(sim.start());
        QVERIFY(sim.makeLink(link));
        QVERIFY(sim.makeLink(link));  // replacing its own link is fine
        char target[256] = {};
        QVERIFY(::readlink(link.c_str(), target, sizeof target - 1) > 0);
        QCOMPARE(std::string(target), sim.devicePath());
        Port port(link);
        QVERIFY(port.ok());
        QVERIFY(port.send(ENQ));
        QCOMPARE(port.read(2000, '\x05'), ENQ);
    }
    struct stat st {};
    QCOMPARE(::lstat(link.c_str(), &st), -1);  // the destructor took the link away

    // A real file is never replaced.
    const std::string file = dir.filePath("plain").toStdString();
    QFile f(QString::fromStdString(file));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    PtySimulator sim;
    QVERIFY(sim.start());
    QVERIFY(!sim.makeLink(file));
    QVERIFY(QFileInfo(QString::fromStdString(file)).isFile());
}

void TestPty::hangUpTakesTheDeviceAway() {
    PtySimulator sim;
    QVERIFY(sim.start());
    const std::string path = sim.devicePath();
    Port port(path);
    QVERIFY(port.ok());
    QVERIFY(port.send(ENQ));
    QCOMPARE(port.read(2000, '\x05'), ENQ);

    sim.hangUp();
    QVERIFY(!sim.running());
    pollfd p{port.fd(), POLLIN, 0};
    QCOMPARE(::poll(&p, 1, 1000), 1);
    QVERIFY(p.revents & (POLLHUP | POLLERR));
    char c;
    errno = 0;
    const ssize_t n = ::read(port.fd(), &c, 1);
    QVERIFY(n == 0 || (n < 0 && errno == EIO));
    port.close();
    QVERIFY(!Port(path).ok());  // nothing to open any more

    sim.inject("late");  // no device: nothing happens
    // Started again, it answers on a fresh device.
    QVERIFY(sim.start());
    Port again(sim.devicePath());
    QVERIFY(again.send("IR*\r"));
    QCOMPARE(again.read(2000), QByteArray("IR01\r"));
}

void TestPty::stopIsPrompt() {
    PtySimulator sim;
    QVERIFY(sim.start());
    QElapsedTimer timer;
    timer.start();
    sim.stop();
    QVERIFY2(timer.elapsed() < 180,
             qPrintable(QString::number(timer.elapsed())));  // the reader idles 200 ms a poll
    sim.stop();                                              // twice is harmless
}

QTEST_GUILESS_MAIN(TestPty)
#include "test_pty.moc"
