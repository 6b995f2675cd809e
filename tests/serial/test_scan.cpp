// Finding a controller: a try on a scripted line and a fake clock; the
// parallel scan, the command line and the terminal window on pseudo-terminals
// (a missing port, a held one, a silent one, a loopback plug and a controller
// that talks at 19200 only).
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>
#include <mutex>

#include "app/cli.h"
#include "app/windowregistry.h"
#include "config/busy.h"
#include "serial/scanner.h"
#include "serial/serialcommwindow.h"
#include "sim/pty.h"
#include "support/scriptedline.h"
#include "support/testnotifier.h"

using namespace tarvelin;
using tarvelin::test::NotifierScope;
using tarvelin::test::ScriptedLine;
using Kind = TryResult::Kind;

namespace {

// The far side of a scripted line.
struct Far {
    QByteArray onEnq{};        // the answer to each ENQ
    QByteArray onIr{};         // ... to "IR*"
    QByteArray onVm{};         // ... to "VM*"
    bool echo = false;         // every write comes back first
    int ignoreIr = 0;          // the first K "IR*" go unanswered
    int onlyAt = 0;            // answers only at this baud rate, noise at any other
    QByteArray waiting{};      // on the line before the port opens
    bool loseOnEnq = false;    // the port goes away 5 ms after the first ENQ
    bool stopOnEnq = false;    // the scan is stopped at the first ENQ
    bool refuse19200 = false;  // the port does not take 19200
    OpenError openError = OpenError::None;
};

struct Case {
    Far far{};
    QList<int> bauds{9600};
    int enqWait = 0;
    QStringList tries{};  // "kind@baud" of each report
    // Of the last report, where given.
    int station = -1;
    QByteArray firmware{};
    QString detailHas{};
    QByteArray wire{};  // all that was written; not checked when null
    qint64 elapsed = -1;
};

const char* kindName(Kind k) {
    static const char* names[] = {"Found",   "Silent",   "Garbled", "Echo",
                                  "Invalid", "Unopened", "Refused", "Lost"};
    return names[static_cast<int>(k)];
}

std::string str(const QByteArray& b) {
    return b.toStdString();
}

// What a tool may send while it scans: ENQ, "IR*" and "VM*", each with CR.
bool onlyScanCommands(std::string sent) {
    for (;;) {
        if (sent.empty()) return true;
        if (sent.front() == '\x05')
            sent.erase(0, 1);
        else if (sent.rfind("IR*\r", 0) == 0 || sent.rfind("VM*\r", 0) == 0)
            sent.erase(0, 4);
        else
            return false;
    }
}

class FixedPorts final : public PortEnumerator {
public:
    explicit FixedPorts(std::vector<SystemPort> ports) : ports_(std::move(ports)) {}
    std::vector<SystemPort> ports() override { return ports_; }

private:
    std::vector<SystemPort> ports_;
};

// Five ports: missing, held by another program, silent, a loopback plug, and
// a controller (station 31) that talks at 19200 only. Records all that the
// tool writes to the simulated ones.
korvex::Config simConfig(int station, bool silent, bool echo) {
    korvex::Config config;
    config.station = station;
    config.faults.silent = silent;
    config.faults.echo = echo;
    return config;
}

struct Lineup {
    korvex::PtySimulator controller{simConfig(31, false, false)};
    korvex::PtySimulator silent{simConfig(1, true, false)};
    korvex::PtySimulator loopback{simConfig(1, true, true)};
    korvex::PtySimulator held;
    QSerialPort holder;
    std::mutex mutex;
    std::string sent;

    Lineup() {
        controller.setLineSpeed(19200);
        for (korvex::PtySimulator* sim : {&controller, &silent, &loopback, &held}) {
            sim->start();
            sim->setTrace([this](bool fromTool, const std::string& bytes) {
                std::lock_guard lock(mutex);
                if (fromTool) sent += bytes;
            });
        }
        holder.setPortName(path(held));
        holder.open(QIODevice::ReadWrite);
    }
    static QString path(const korvex::PtySimulator& sim) { return QString::fromStdString(sim.devicePath()); }
    QStringList ports() const {
        return {"/dev/korvex-missing", path(held), path(silent), path(loopback), path(controller)};
    }
    std::string written() {
        std::lock_guard lock(mutex);
        return sent;
    }
};

struct Run {
    int code;
    QByteArray out;
    QString err;
};

QByteArray drain(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    QByteArray bytes;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
        bytes.append(buffer, qsizetype(n));
    std::fclose(f);
    return bytes;
}

Run runCli(const QStringList& args) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    std::FILE* in = std::tmpfile();
    const int code = cli::run(args, out, err, in);
    std::fclose(in);
    return {code, drain(out), QString::fromUtf8(drain(err))};
}

}  // namespace

Q_DECLARE_METATYPE(Case)

class TestScan : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void probe_data();
    void probe();
    void defaults();
    void parallelScanOnPtys();
    void commandLine_data();
    void commandLine();
    void findControllerInTheWindow();
};

void TestScan::initTestCase() {
    // COM1 to COM6 lead nowhere here: missing ports, skipped at once.
    for (int n = 1; n <= 6; ++n)
        qputenv(QByteArray("KORVEX_COM") + QByteArray::number(n), "/dev/korvex-none");
}

void TestScan::probe_data() {
    QTest::addColumn<Case>("c");
    const QByteArray enq("\x05");
    const Far controller{.onEnq = enq, .onIr = "IR1F\r", .onVm = "VMKRVX-E1.07\r"};
    auto with = [&](auto change) {
        Far f = controller;
        change(f);
        return f;
    };
    auto add = [](const char* name, Case c) { QTest::newRow(name) << c; };

    add("controller: station and firmware, nothing else sent", {.far = controller,
                                                                .tries = {"Found@9600"},
                                                                .station = 31,
                                                                .firmware = "KRVX-E1.07",
                                                                .wire = "\x05IR*\r\x05VM*\r"});
    add("CR LF line ends", {.far = with([](Far& f) { f.onIr = "IR1F\r\n", f.onVm = "VMKRVX-E1.07\r\n"; }),
                            .tries = {"Found@9600"},
                            .station = 31,
                            .firmware = "KRVX-E1.07"});
    add("first IR* unanswered: asked again", {.far = with([](Far& f) { f.ignoreIr = 1; }),
                                              .tries = {"Found@9600"},
                                              .station = 31,
                                              .wire = "\x05IR*\r\x05IR*\r\x05VM*\r"});
    add("no reply to VM*: found, firmware unknown", {.far = with([](Far& f) { f.onVm.clear(); }),
                                                     .tries = {"Found@9600"},
                                                     .station = 31,
                                                     .firmware = ""});
    add("what waits at open is no answer",
        {.far = {.waiting = "\x05IR01\r"}, .tries = {"Silent@9600"}, .wire = "\x05"});
    add("silent: the ENQ wait alone, two characters at 9600 plus turnaround",
        {.tries = {"Silent@9600"}, .wire = "\x05", .elapsed = 103});
    add("silent at 1200: the wait grows with the character time",
        {.bauds = {1200}, .tries = {"Silent@1200"}, .elapsed = 117});
    add("--enq-wait overrides the wait", {.enqWait = 40, .tries = {"Silent@9600"}, .elapsed = 40});
    add("wrong speed: noise is no controller", {.far = with([](Far& f) { f.onlyAt = 19200; }),
                                                .tries = {"Garbled@9600"},
                                                .detailHas = "<85>",
                                                .wire = "\x05"});
    add("loopback plug", {.far = {.echo = true}, .tries = {"Echo@9600"}, .wire = "\x05IR*\r"});
    add("echoing converter in front of a controller",
        {.far = with([](Far& f) { f.echo = true; }), .tries = {"Echo@9600"}, .wire = "\x05IR*\r"});
    add("ENQ answered, IR* not as a controller does",
        {.far = with([](Far& f) { f.onIr = "XYZ\r"; }), .tries = {"Invalid@9600"}, .detailHas = "XYZ"});
    add("ENQ answered, IR* never", {.far = with([](Far& f) { f.ignoreIr = 3; }),
                                    .tries = {"Invalid@9600"},
                                    .detailHas = "no reply",
                                    .wire = "\x05IR*\r\x05IR*\r\x05IR*\r"});
    add("port lost during the ENQ wait", {.far = {.loseOnEnq = true}, .tries = {"Lost@9600"}});
    add("stopped during the ENQ wait: no report", {.far = {.stopOnEnq = true}, .tries = {}});
    // A port's rates in order, up to the one that ends it.
    add("rates in order until the controller answers",
        {.far = with([](Far& f) { f.onlyAt = 19200; }),
         .bauds = {9600, 38400, 19200, 4800},
         .tries = {"Garbled@9600", "Garbled@38400", "Found@19200"},
         .station = 31});
    add("held port: skipped once with its reason, not at every rate",
        {.far = {.openError = OpenError::Busy},
         .bauds = {9600, 19200},
         .tries = {"Unopened@9600"},
         .detailHas = "in use by another program",
         .wire = ""});
    add("a rate the port refuses: the next one is tried", {.far = with([](Far& f) { f.refuse19200 = true; }),
                                                           .bauds = {19200, 9600},
                                                           .tries = {"Refused@19200", "Found@9600"}});
}

void TestScan::probe() {
    QFETCH(Case, c);
    ScriptedLine line;
    std::atomic<bool> stop{false};
    int irSeen = 0;
    const Far& far = c.far;
    if (far.openError != OpenError::None) line.failNextOpen({far.openError, {}});
    if (!far.waiting.isEmpty()) line.deliverIn(0, str(far.waiting));
    line.onWrite([&](ScriptedLine& l, const std::string& w) {
        if (far.echo) l.deliverIn(1, w);
        if (far.onlyAt && l.settings() != std::to_string(far.onlyAt) + ",N,8,1") {
            l.deliverIn(1, std::string(w.size(), '\x85'));
            return;
        }
        if (w == "\x05") {
            if (far.loseOnEnq) l.loseAt(l.clock().nowMs() + 5);
            if (far.stopOnEnq) stop = true;
            l.deliverIn(2, str(far.onEnq));
        } else if (w == "IR*\r" && ++irSeen > far.ignoreIr) {
            l.deliverIn(2, str(far.onIr));
        } else if (w == "VM*\r") {
            l.deliverIn(2, str(far.onVm));
        }
    });
    Prober prober(line, line.clock(), {c.enqWait, 500}, &stop);
    QStringList tries;
    TryResult last;
    const std::int64_t start = line.clock().nowMs();
    const std::vector<int> bauds(c.bauds.begin(), c.bauds.end());
    for (int baud : bauds) {
        // A port that refuses a rate says so when it is opened at it.
        if (far.refuse19200 && baud == 19200) line.failNextOpen({OpenError::BadSettings, {}});
        const auto r = prober.tryAt({"COM3", "/dev/ttyS2"}, baud);
        QVERIFY(!line.isOpen());
        if (!r) break;
        tries << QStringLiteral("%1@%2").arg(kindName(r->kind)).arg(r->baud);
        last = *r;
        if (r->endsPort()) break;
    }
    QCOMPARE(tries, c.tries);
    if (c.station >= 0) QCOMPARE(last.station, c.station);
    if (!c.firmware.isNull()) QCOMPARE(QByteArray::fromStdString(last.firmware), c.firmware);
    if (!c.detailHas.isEmpty())
        QVERIFY2(QString::fromStdString(describeTry(last)).contains(c.detailHas), describeTry(last).c_str());
    if (!c.wire.isNull()) QCOMPARE(QByteArray::fromStdString(line.wire()), c.wire);
    if (c.elapsed >= 0) QCOMPARE(line.clock().nowMs() - start, c.elapsed);
    QVERIFY(onlyScanCommands(line.wire()));
}

void TestScan::defaults() {
    QCOMPARE(defaultScanBauds(), (std::vector<int>{9600, 115200, 57600, 38400, 19200, 4800, 2400, 1200}));
    QCOMPARE(enqWaitMs(115200), kTurnaroundMs + 1);
    // COM1..COM6 as mapped, then the system's ports; a device under two names once.
    const auto env = [](const std::string& name) -> std::optional<std::string> {
        if (name == "KORVEX_COM5") return "/dev/ttyUSB0";
        return std::nullopt;
    };
    FixedPorts system({{"/dev/ttyUSB0", "FTDI"}, {"/dev/ttyACM0", ""}});
    const std::vector<ScanPort> ports = scanPorts(defaultScanPortNames(system), env);
    QCOMPARE(ports.size(), 7u);
    QCOMPARE(ports[0], (ScanPort{"COM1", "/dev/ttyS0"}));
    QCOMPARE(ports[4], (ScanPort{"COM5", "/dev/ttyUSB0"}));
    QCOMPARE(ports[6], (ScanPort{"/dev/ttyACM0", "/dev/ttyACM0"}));
}

void TestScan::parallelScanOnPtys() {
    Lineup lineup;
    std::vector<std::string> names;
    for (const QString& p : lineup.ports()) names.push_back(p.toStdString());
    PortScan scan(scanPorts(names), defaultScanBauds(), {20, 500});
    std::map<std::string, QStringList> byPort;
    scan.run([&](const TryResult& r) { byPort[r.port.name] << kindName(r.kind); });

    const auto triesOf = [&](const QString& port) { return byPort[port.toStdString()].join(' '); };
    QStringList ports = lineup.ports();
    QCOMPARE(triesOf(ports[0]), QStringLiteral("Unopened"));
    QCOMPARE(triesOf(ports[1]), QStringLiteral("Unopened"));
    QCOMPARE(triesOf(ports[2]), QStringLiteral("Silent ").repeated(8).trimmed());
    QCOMPARE(triesOf(ports[3]), QStringLiteral("Echo"));
    QCOMPARE(triesOf(ports[4]), QStringLiteral("Garbled Garbled Garbled Garbled Found"));
    QVERIFY(onlyScanCommands(lineup.written()));
    QVERIFY(lineup.controller.writes().empty());
}

void TestScan::commandLine_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");  // "json": an array with the controller
    QTest::addColumn<QString>("errHas");
    QTest::newRow("every kind of port, plain") << QStringList{} << 0
                                               << "C: 19200 baud, station 31, firmware "
                                                  "KRVX-E1.07\n"
                                               << "is in use by another program";
    QTest::newRow("json") << QStringList{"--json"} << 0 << "json"
                          << "1 controller(s) found";
    QTest::newRow("none at the rates given: exit 4, empty array")
        << QStringList{"--json", "--baud", "9600", "--baud", "4800"} << 4 << "[\n]\n"
        << "No controller found";
    QTest::newRow("--enq-wait out of range") << QStringList{"--enq-wait", "0"} << 2 << ""
                                             << "--enq-wait takes";
    QTest::newRow("scan takes no words") << QStringList{"all"} << 2 << ""
                                         << "wrong number of words";
}

void TestScan::commandLine() {
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, errHas);
    Lineup lineup;
    QStringList command{"scan", "--enq-wait", "20"};
    for (const QString& port : lineup.ports()) command << "--port" << port;
    const Run run = runCli(command + args);
    QCOMPARE(run.code, code);
    QVERIFY2(run.err.contains(errHas), qPrintable(run.err));
    const QString controller = Lineup::path(lineup.controller);
    if (out == QLatin1String("json")) {
        const QJsonArray found = QJsonDocument::fromJson(run.out).array();
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0].toObject(), (QJsonObject{{"port", controller},
                                                   {"device", controller},
                                                   {"baud", 19200},
                                                   {"station", 31},
                                                   {"firmware", "KRVX-E1.07"}}));
    } else {
        QCOMPARE(QString::fromUtf8(run.out), out.replace("C:", controller + ":"));
    }
    QVERIFY(onlyScanCommands(lineup.written()));
}

void TestScan::findControllerInTheWindow() {
    Lineup lineup;
    NotifierScope notes;
    WindowRegistry registry;
    SerialCommWindow* window = registry.terminalWindow();
    std::vector<SystemPort> system;
    for (const QString& p : lineup.ports()) system.push_back({p.toStdString(), ""});
    window->setPortEnumerator(std::make_unique<FixedPorts>(system));
    auto* find = window->findChild<QPushButton*>("findController");
    auto* ports = window->findChild<QComboBox*>("portChoice");
    auto* bauds = window->findChild<QComboBox*>("baudChoice");
    const auto replies = [&] { return window->findChild<QPlainTextEdit*>("responseBox")->toPlainText(); };

    // Refused while the port is open; nothing is tried.
    window->presetPort(Lineup::path(lineup.silent), "9600");
    window->openPort_Click();
    find->click();
    QCOMPARE(notes->boxes().size(), 1u);
    QVERIFY(notes->lastText().contains("close the port first"));
    QVERIFY(!window->scanning());
    window->closePort_Click();

    // Runs as the one operation, tries every port, and chooses the controller.
    find->click();
    QCOMPARE(find->text(), QStringLiteral("Stop"));
    QVERIFY(Busy::instance().active());
    QTRY_VERIFY_WITH_TIMEOUT(!window->scanning(), 10000);
    QVERIFY(!Busy::instance().active());
    QCOMPARE(find->text(), QStringLiteral("Find Controller"));
    const QString controller = Lineup::path(lineup.controller);
    QVERIFY2(replies().contains(controller + " at 19200: found station 31, firmware KRVX-E1.07\n"),
             qPrintable(replies()));
    QVERIFY(replies().contains("COM1 (/dev/korvex-none): skipped: There is no device"));
    QVERIFY(
        replies().endsWith("Find Controller: 1 controller(s) found, " + controller + " at 19200 chosen\n"));
    QCOMPARE(ports->currentText(), controller);
    QCOMPARE(bauds->currentText(), QStringLiteral("19200"));

    // Esc stops it.
    find->click();
    QTest::keyClick(window, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!window->scanning(), 2000);
    QVERIFY(replies().endsWith("Find Controller: stopped\n"));
    QVERIFY(onlyScanCommands(lineup.written()));
}

QTEST_MAIN(TestScan)
#include "test_scan.moc"
