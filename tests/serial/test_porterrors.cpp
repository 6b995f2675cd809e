// Why a port cannot be opened, told apart on real devices: the terminal's own
// QSerialPort-backed line against pseudo-terminals, files and missing paths.
//
// Every refusal shows one message box, "COM Port already openned by other
// applications" with a second line that gives its own reason, and leaves the
// port closed: Open Port enabled, Close Port and the settings as they were, no
// status line. A retrieve or store that asked for the port sends nothing.
//
// Some cases need a second process: a port held by another program is held
// by a copy of this executable (`--hold DEVICE`), and a device the user may
// not open is tried, when the tests run as root, by a copy running as an
// ordinary user (`--open-as-user DEVICE`).
#include <fcntl.h>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "advanced/advancedwindow.h"
#include "app/windowregistry.h"
#include "basic/basicwindow.h"
#include "serial/portconnection.h"
#include "serial/qtserialline.h"
#include "serial/serialcommwindow.h"
#include "sim/pty.h"
#include "support/testnotifier.h"

using namespace tarvelin;
using tarvelin::test::NotifierScope;
using tarvelin::test::TestNotifier;

namespace {

constexpr const char* kFirstLine = "COM Port already openned by other applications";
constexpr uid_t kNobody = 65534;

template <typename T>
T* child(QWidget* window, const char* name) {
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no control %s", name);
    return w;
}

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// The terminal window on its real serial line, with a port text and 9600 baud.
struct RealTerminal {
    SerialCommWindow window;
    explicit RealTerminal(const QString& portText) { window.presetPort(portText, QStringLiteral("9600")); }
    QPushButton* button(const char* name) { return child<QPushButton>(&window, name); }
    QString replies() { return child<QPlainTextEdit>(&window, "responseBox")->toPlainText(); }
    bool settingsEnabled() {
        return child<QComboBox>(&window, "portChoice")->isEnabled() &&
               child<QComboBox>(&window, "baudChoice")->isEnabled() &&
               child<QLineEdit>(&window, "timeOutBox")->isEnabled();
    }
};

// A copy of this program that holds `device` open through the tool's own
// line until its standard input closes.
class Holder {
public:
    bool start(const QString& device) {
        process_.setProgram(QCoreApplication::applicationFilePath());
        process_.setArguments({QStringLiteral("--hold"), device});
        process_.start();
        if (!process_.waitForStarted(5000)) return false;
        while (!process_.canReadLine()) {
            if (!process_.waitForReadyRead(5000)) return false;
        }
        return process_.readLine().trimmed() == "held";
    }
    ~Holder() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }

private:
    QProcess process_;
};

// What the `--open-as-user` copy printed: the message box texts, the port state.
struct ChildReport {
    bool ran = false;
    QStringList lines;
};

ChildReport openAsOrdinaryUser(const QString& device) {
    QProcess process;
    process.setProgram(QCoreApplication::applicationFilePath());
    process.setArguments({QStringLiteral("--open-as-user"), device});
    process.setChildProcessModifier([] {
        // Drop every privilege before the copy starts: an ordinary user.
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(77);
    });
    process.start();
    ChildReport report;
    if (!process.waitForFinished(20000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return report;
    report.ran = true;
    for (const QByteArray& line : process.readAllStandardOutput().split('\n'))
        if (!line.isEmpty()) report.lines << QString::fromUtf8(line);
    return report;
}

}  // namespace

class TestPortErrors : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void refusedOpen_data();
    void refusedOpen();
    void permissionDenied();
    void heldExclusivelyWithoutALock();
    void openWorksOnceTheHolderLetsGo();
    void refusedOpenRefreshesNothing();
    void operationsSendNothingOnARefusedPort_data();
    void operationsSendNothingOnARefusedPort();

private:
    std::unique_ptr<korvex::PtySimulator> sim_;
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestPortErrors::init() {
    sim_ = std::make_unique<korvex::PtySimulator>();
    QVERIFY(sim_->start());
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    ::unsetenv("KORVEX_COM5");
}

void TestPortErrors::cleanup() {
    ::unsetenv("KORVEX_COM5");
    sim_.reset();
    dir_.reset();
}

// How each case is made before Open Port is pressed.
enum class Arrange {
    HeldHere,  // a second line of this program has the pty open
    HeldByAnotherProcess,
    MissingPath,
    DanglingLink,      // the by-id name of an adapter that was pulled
    ComNameToMissing,  // "COM5" with KORVEX_COM5 naming a missing device
    RegularFile,
    Directory,
    NoTerminal,  // a character device that is not a serial line
};
Q_DECLARE_METATYPE(Arrange)

void TestPortErrors::refusedOpen_data() {
    QTest::addColumn<Arrange>("arrange");
    QTest::addColumn<QString>("reason");  // what the second line must say
    QTest::newRow("pty held by a second open in this program")
        << Arrange::HeldHere << "is in use by another program.";
    QTest::newRow("pty held by another process")
        << Arrange::HeldByAnotherProcess << "is in use by another program.";
    QTest::newRow("missing path") << Arrange::MissingPath << "There is no device";
    QTest::newRow("link left by a pulled adapter") << Arrange::DanglingLink << "There is no device";
    QTest::newRow("COM5 leading to a missing device") << Arrange::ComNameToMissing << "There is no device";
    QTest::newRow("regular file") << Arrange::RegularFile << "is not a serial device.";
    QTest::newRow("directory") << Arrange::Directory << "is not a serial device.";
    QTest::newRow("character device without a line (/dev/null)")
        << Arrange::NoTerminal << "is not a serial device.";
}

void TestPortErrors::refusedOpen() {
    QFETCH(Arrange, arrange);
    QFETCH(QString, reason);

    const QString pty = q(sim_->devicePath());
    QString portText;  // what the port list holds
    QString device;    // what the reason must name
    QtSerialLine first;
    Holder holder;
    switch (arrange) {
        case Arrange::HeldHere:
            first.setDevice(sim_->devicePath());
            QVERIFY(first.setSettings("9600,N,8,1"));
            QVERIFY(first.open().ok());
            portText = device = pty;
            break;
        case Arrange::HeldByAnotherProcess:
            QVERIFY(holder.start(pty));
            portText = device = pty;
            break;
        case Arrange::MissingPath:
            portText = device = dir_->filePath(QStringLiteral("ttyUSB9"));
            break;
        case Arrange::DanglingLink: {
            const QString gone = dir_->filePath(QStringLiteral("gone"));
            portText = dir_->filePath(QStringLiteral("usb-Adapter-if00-port0"));
            QVERIFY(QFile::link(gone, portText));
            device = portText;  // a name that leads nowhere is named as typed
            break;
        }
        case Arrange::ComNameToMissing:
            device = dir_->filePath(QStringLiteral("ttyUSB7"));
            ::setenv("KORVEX_COM5", device.toLocal8Bit().constData(), 1);
            portText = QStringLiteral("COM5");
            break;
        case Arrange::RegularFile: {
            portText = device = dir_->filePath(QStringLiteral("capture.txt"));
            QFile file(portText);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("IR01\r");
            break;
        }
        case Arrange::Directory:
            portText = device = dir_->path();
            break;
        case Arrange::NoTerminal:
            portText = device = QStringLiteral("/dev/null");
            break;
    }

    NotifierScope notes;
    RealTerminal t(portText);
    QTest::mouseClick(t.button("openPort"), Qt::LeftButton);

    QCOMPARE(notes->boxes().size(), std::size_t{1});
    const TestNotifier::Box box = notes->boxes().front();
    QCOMPARE(box.icon, Notifier::Icon::Critical);
    const QStringList lines = box.text.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QString::fromLatin1(kFirstLine));
    QVERIFY2(lines[1].contains(reason), qPrintable(lines[1]));
    QVERIFY2(lines[1].contains(device), qPrintable(lines[1]));

    // Closed, and the window says so.
    QVERIFY(!t.window.line().isOpen());
    QVERIFY(t.button("openPort")->isEnabled());
    QVERIFY(!t.button("closePort")->isEnabled());
    QVERIFY(t.settingsEnabled());
    QCOMPARE(t.replies(), QString());

    // openCommPort: the same box once more, and false.
    QVERIFY(!t.window.openCommPort());
    QCOMPARE(notes->boxes().size(), std::size_t{2});
    QCOMPARE(notes->boxes().back().text, box.text);
    QVERIFY(!t.window.line().isOpen());
    QCOMPARE(t.replies(), QString());
    // Nothing went to the controller behind a held pty.
    QVERIFY(sim_->log().empty());
}

// A device the user has no right to open. Arranged in this process for an
// ordinary user; as root, a copy of the test runs as "nobody".
void TestPortErrors::permissionDenied() {
    const QString pty = q(sim_->devicePath());
    QStringList lines;
    if (::geteuid() != 0) {
        QVERIFY(::chmod(sim_->devicePath().c_str(), 0) == 0);
        NotifierScope notes;
        RealTerminal t(pty);
        QTest::mouseClick(t.button("openPort"), Qt::LeftButton);
        QCOMPARE(notes->boxes().size(), std::size_t{1});
        lines = notes->boxes().front().text.split(QLatin1Char('\n'));
        QVERIFY(!t.window.line().isOpen());
        QVERIFY(t.button("openPort")->isEnabled());
        QVERIFY(!t.button("closePort")->isEnabled());
        QCOMPARE(t.replies(), QString());
    } else {
        // Only its owner (root) may use the pty; an ordinary user may not.
        QVERIFY(::chmod(sim_->devicePath().c_str(), 0600) == 0);
        const ChildReport report = openAsOrdinaryUser(pty);
        if (!report.ran) QSKIP("cannot run a copy of the test as an ordinary user here");
        // boxes=<n>, then the box text lines, then open=<0|1>, replies=<text>
        QVERIFY2(report.lines.size() == 5, qPrintable(report.lines.join(QLatin1Char('|'))));
        QCOMPARE(report.lines[0], QStringLiteral("boxes=1"));
        lines = report.lines.mid(1, 2);
        QCOMPARE(report.lines[3], QStringLiteral("open=0 openPort=1 closePort=0"));
        QCOMPARE(report.lines[4], QStringLiteral("replies="));
    }
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QString::fromLatin1(kFirstLine));
    QVERIFY2(lines[1].startsWith(QStringLiteral("Permission denied for ") + pty), qPrintable(lines[1]));
    QVERIFY2(lines[1].contains(QStringLiteral("dialout")), qPrintable(lines[1]));
    QVERIFY(sim_->log().empty());
}

// A program that takes the port for itself alone (TIOCEXCL) but leaves no
// lock file: only the system refuses the second open, and only to an
// ordinary user (root may open it anyway).
void TestPortErrors::heldExclusivelyWithoutALock() {
    const QString pty = q(sim_->devicePath());
    const int held = ::open(sim_->devicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(held >= 0);
    QVERIFY(::ioctl(held, TIOCEXCL) == 0);
    QStringList lines;
    if (::geteuid() != 0) {
        NotifierScope notes;
        RealTerminal t(pty);
        QVERIFY(!t.window.openCommPort());
        QCOMPARE(notes->boxes().size(), std::size_t{1});
        lines = notes->boxes().front().text.split(QLatin1Char('\n'));
        QVERIFY(!t.window.line().isOpen());
        QCOMPARE(t.replies(), QString());
    } else {
        QVERIFY(::chmod(sim_->devicePath().c_str(), 0666) == 0);
        const ChildReport report = openAsOrdinaryUser(pty);
        if (!report.ran) {
            ::close(held);
            QSKIP("cannot run a copy of the test as an ordinary user here");
        }
        QVERIFY2(report.lines.size() == 5, qPrintable(report.lines.join(QLatin1Char('|'))));
        QCOMPARE(report.lines[0], QStringLiteral("boxes=1"));
        lines = report.lines.mid(1, 2);
        QCOMPARE(report.lines[3], QStringLiteral("open=0 openPort=1 closePort=0"));
    }
    ::close(held);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QString::fromLatin1(kFirstLine));
    QCOMPARE(lines[1], QStringLiteral("The port %1 is in use by another program.").arg(pty));
}

// Once the other program lets go, the same Open Port opens the port.
void TestPortErrors::openWorksOnceTheHolderLetsGo() {
    const QString pty = q(sim_->devicePath());
    NotifierScope notes;
    RealTerminal t(pty);
    {
        Holder holder;
        QVERIFY(holder.start(pty));
        QVERIFY(!t.window.openCommPort());
        QCOMPARE(notes->boxes().size(), std::size_t{1});
    }
    QVERIFY(t.window.openCommPort());
    QCOMPARE(notes->boxes().size(), std::size_t{1});
    QCOMPARE(t.replies(), pty + QStringLiteral(": Open at 9600,N,8,1\n"));
    QVERIFY(!t.button("openPort")->isEnabled());
    QVERIFY(t.button("closePort")->isEnabled());
    QCOMPARE(t.window.sendCommand("IR*"), std::string("IR01"));

    // Now this program holds it: a second terminal is refused in turn.
    RealTerminal other(pty);
    QVERIFY(!other.window.openCommPort());
    QCOMPARE(notes->boxes().size(), std::size_t{2});
    QVERIFY(notes->boxes().back().text.endsWith(QStringLiteral("is in use by another program.")));
    // ... and the first still talks.
    QCOMPARE(t.window.sendCommand("IR*"), std::string("IR01"));
}

// A refused open after a good one (the port closed in between) adds no status
// line and leaves the earlier replies alone.
void TestPortErrors::refusedOpenRefreshesNothing() {
    const QString pty = q(sim_->devicePath());
    NotifierScope notes;
    RealTerminal t(pty);
    QVERIFY(t.window.openCommPort());
    t.button("closePort")->click();
    const QString before = t.replies();
    QtSerialLine holder;
    holder.setDevice(sim_->devicePath());
    QVERIFY(holder.setSettings("9600,N,8,1"));
    QVERIFY(holder.open().ok());
    t.button("openPort")->click();
    QCOMPARE(notes->boxes().size(), std::size_t{1});
    QCOMPARE(t.replies(), before);
    QVERIFY(!t.window.line().isOpen());
}

void TestPortErrors::operationsSendNothingOnARefusedPort_data() {
    QTest::addColumn<bool>("advanced");
    QTest::addColumn<bool>("store");
    QTest::newRow("basic retrieve") << false << false;
    QTest::newRow("basic store") << false << true;
    QTest::newRow("advanced retrieve") << true << false;
    QTest::newRow("advanced store") << true << true;
}

void TestPortErrors::operationsSendNothingOnARefusedPort() {
    QFETCH(bool, advanced);
    QFETCH(bool, store);
    const QString pty = q(sim_->devicePath());
    QtSerialLine holder;
    holder.setDevice(sim_->devicePath());
    QVERIFY(holder.setSettings("9600,N,8,1"));
    QVERIFY(holder.open().ok());
    const korvex::Memory before = sim_->memory();

    NotifierScope notes;
    {
        WindowRegistry registry;
        registry.setTerminalPreset(pty, QStringLiteral("9600"));
        QWidget* window = advanced ? static_cast<QWidget*>(registry.advanced()) : registry.basic();
        auto* message = child<QLabel>(window, "messageLabel");
        message->setText(QStringLiteral("earlier text"));
        const QString ip = child<QLineEdit>(window, advanced ? "TIP1(3)" : "IP(3)")->text();

        if (store) {
            if (advanced)
                registry.advanced()->updateParameters();
            else
                registry.basic()->updateParameters();
        } else {
            if (advanced)
                registry.advanced()->retrieveButton_Click();
            else
                registry.basic()->retrieveButton_Click();
        }

        QCOMPARE(notes->boxes().size(), std::size_t{1});
        QCOMPARE(notes->boxes().front().text.section(QLatin1Char('\n'), 0, 0),
                 QString::fromLatin1(kFirstLine));
        QVERIFY(notes->boxes().front().text.endsWith(QStringLiteral("is in use by another program.")));
        // The window shows nothing of its own and changes nothing.
        QCOMPARE(message->text(), QStringLiteral("earlier text"));
        QCOMPARE(child<QLineEdit>(window, advanced ? "TIP1(3)" : "IP(3)")->text(), ip);
        QCOMPARE(notes->beeps(), 0);
        QVERIFY(!registry.terminalWindow()->line().isOpen());
    }
    QVERIFY(sim_->log().empty());
    QVERIFY(sim_->memory() == before);
}

// The helper modes of this executable, then the tests.
namespace {

int holdPort(const char* device) {
    QtSerialLine line;
    line.setDevice(device);
    line.setSettings("9600,N,8,1");
    const OpenResult result = line.open();
    if (!result.ok()) {
        std::cout << "refused " << static_cast<int>(result.error) << std::endl;
        return 1;
    }
    std::cout << "held" << std::endl;
    // Until the test closes our input.
    char c;
    while (std::cin.get(c)) {
    }
    return 0;
}

int openAsUser(int argc, char** argv, const char* device) {
    QApplication app(argc, argv);
    NotifierScope notes;
    RealTerminal t(QString::fromLocal8Bit(device));
    QTest::mouseClick(t.button("openPort"), Qt::LeftButton);
    std::cout << "boxes=" << notes->boxes().size() << "\n";
    for (const auto& box : notes->boxes()) std::cout << box.text.toStdString() << "\n";
    std::cout << "open=" << t.window.line().isOpen() << " openPort=" << t.button("openPort")->isEnabled()
              << " closePort=" << t.button("closePort")->isEnabled() << "\n";
    std::cout << "replies=" << t.replies().toStdString() << std::endl;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--hold") return holdPort(argv[2]);
    if (argc == 3 && std::string(argv[1]) == "--open-as-user") return openAsUser(1, argv, argv[2]);
    QApplication app(argc, argv);
    TestPortErrors test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_porterrors.moc"
