// Finding a controller: a try, and the parallel scan with its workers, on
// scripted lines and fake clocks; the command line and the terminal window on
// pseudo-terminals.
#include <QComboBox>
#include <QFile>
#include <QJsonDocument>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <map>
#include <mutex>

#include "app/windowregistry.h"
#include "basic/ui/basicwindow.h"
#include "cli/cli.h"
#include "config/busy.h"
#include "serial/scanner.h"
#include "serial/ui/serialcommwindow.h"
#include "sim/pty.h"
#include "support/files.h"
#include "support/scriptedline.h"
#include "support/testnotifier.h"

using namespace tarvelin;
using tarvelin::test::TestNotifier;
using namespace tarvelin::test;
using tarvelin::test::ScriptedLine;

namespace {

// The far side of a scripted line; by default a controller.
struct Far {
    QByteArray onEnq{"\x05"};               // the answer to each ENQ
    QByteArray onIr{"IR1F\r"};              // ... to "IR*" ("|": the rest in a later read)
    QByteArray onVm{"VMKRVX-E1.07\r"};      // ... to "VM*"
    bool echo = false;                      // every write comes back first
    int ignoreIr = 0;                       // the first K "IR*" go unanswered
    int onlyAt = 0;                         // answers only at this baud rate, noise at any other
    QByteArray waiting{};                   // on the line before the port opens
    bool loseOnEnq = false;                 // the port goes away 5 ms after the first ENQ
    bool stopOnEnq = false;                 // the scan is stopped at the first ENQ
    bool loseOnVm = false;                  // ... 5 ms after "VM*"
    bool stopOnVm = false;                  // ... at "VM*"
    OpenError openError = OpenError::None;  // of the first open
};

struct Case {
    Far far{};
    QList<int> bauds{9600};
    int enqWait = 0;
    QString tries{};    // "kind@baud" of each report (a found one must be the controller)
    QString shown{};    // the last report as the user reads it; none: not checked
    QByteArray wire{};  // all that was written; not checked when null
    qint64 elapsed = -1;
    QString found = "31 KRVX-E1.07";  // station and firmware of a find
};

// Plays `far` on `line`; `stop` is called where the far side says so.
void play(ScriptedLine& line, const Far& far, std::function<void()> stop) {
    if (far.openError != OpenError::None) line.failNextOpen({far.openError, {}});
    if (!far.waiting.isEmpty()) line.deliverIn(0, far.waiting.toStdString());
    line.onWrite([&far, stop, irSeen = std::make_shared<int>(0)](ScriptedLine& l, const std::string& w) {
        if (far.echo) l.deliverIn(1, w);
        if (far.onlyAt && l.settings() != std::to_string(far.onlyAt) + ",N,8,1")
            return l.deliverIn(1, std::string(w.size(), '\x85'));
        if (w == "\x05" && far.loseOnEnq) l.loseAt(l.clock().nowMs() + 5);
        if (w == "\x05" && far.stopOnEnq) stop();
        if (w == "\x05") l.deliverIn(2, far.onEnq.toStdString());
        if (w == "IR*\r" && ++*irSeen > far.ignoreIr)
            for (int part = 0; const QByteArray& piece : far.onIr.split('|'))
                l.deliverIn(2 + 3 * part++, piece.toStdString());
        if (w == "VM*\r" && far.loseOnVm) l.loseAt(l.clock().nowMs() + 5);
        if (w == "VM*\r" && far.stopOnVm) stop();
        if (w == "VM*\r") l.deliverIn(2, far.onVm.toStdString());
    });
}

// A port of a scan: its name (the device is "/dev/" and the name), its far
// side, and the tries it should report.
struct PortCase {
    std::string name;
    Far far{};
    QString tries{};
};

const QStringList kKindNames{"Found", "Silent", "Garbled", "Echo", "Invalid", "Unopened", "Refused", "Lost"};

struct FixedPorts final : PortEnumerator {
    explicit FixedPorts(std::vector<SystemPort> ports) : list(std::move(ports)) {}
    std::vector<SystemPort> ports() override { return list; }
    std::vector<SystemPort> list;
};

// Five ports: missing, held by another program, silent, a loopback plug, and
// a controller (station 31) that talks at `speed` only (0: at any).
struct Lineup {
    korvex::PtySimulator controller, silent, loopback, held;
    QSerialPort holder;

    explicit Lineup(int speed = 19200) {
        controller.setStation(31);
        controller.setLineSpeed(speed);
        korvex::Faults faults;
        faults.silent = true;
        silent.setFaults(faults);
        faults.echo = true;
        loopback.setFaults(faults);
        for (korvex::PtySimulator* sim : {&controller, &silent, &loopback, &held}) sim->start();
        holder.setPortName(path(held));
        holder.open(QIODevice::ReadWrite);
    }
    static QString path(const korvex::PtySimulator& sim) { return QString::fromStdString(sim.devicePath()); }
    QStringList ports() const { return pick("MHSLC"); }
    // The ports of these letters: Missing, Held, Silent, Loopback, Controller.
    QStringList pick(const QString& letters) const {
        const QStringList all{"/dev/korvex-missing", path(held), path(silent), path(loopback),
                              path(controller)};
        QStringList chosen;
        for (QChar letter : letters) chosen << all.value(QStringLiteral("MHSLC").indexOf(letter));
        return chosen;
    }
};

}  // namespace

Q_DECLARE_METATYPE(Case)
Q_DECLARE_METATYPE(QList<PortCase>)

class TestScan : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // COM1 to COM6 lead nowhere here: missing ports, skipped at once.
        for (int n = 1; n <= 6; ++n)
            qputenv(QByteArray("KORVEX_COM") + QByteArray::number(n), "/dev/korvex-none");
    }

    void probe_data() {
        QTest::addColumn<Case>("c");
        auto add = [](const char* name, Case c) { QTest::newRow(name) << c; };

        add("controller: station and firmware, nothing else sent",
            {.tries = "Found@9600", .wire = "\x05IR*\r\x05VM*\r"});
        add("station from the two digits whatever follows; a firmware of one character",
            {.far = {.onIr = "IR1F \r", .onVm = "VM7\r"}, .tries = "Found@9600", .found = "31 7"});
        add("a reply in two reads", {.far = {.onIr = "IR|1F\r"}, .tries = "Found@9600"});
        add("CR LF line ends",
            {.far = {.onIr = "IR1F\r\n", .onVm = "VMKRVX-E1.07\r\n"}, .tries = "Found@9600"});
        add("first IR* unanswered: asked again",
            {.far = {.ignoreIr = 1}, .tries = "Found@9600", .wire = "\x05IR*\r\x05IR*\r\x05VM*\r"});
        add("what waits at open is no answer",
            {.far = {.onEnq = "", .waiting = "\x05IR01\r"}, .tries = "Silent@9600", .wire = "\x05"});
        add("silent: the ENQ wait alone, two characters at 9600 plus turnaround",
            {.far = {.onEnq = ""}, .tries = "Silent@9600", .wire = "\x05", .elapsed = 103});
        add("silent at 1200: two characters take 17 ms",
            {.far = {.onEnq = ""}, .bauds = {1200}, .tries = "Silent@1200", .elapsed = 117});
        add("--enq-wait overrides the wait",
            {.far = {.onEnq = ""}, .enqWait = 40, .tries = "Silent@9600", .elapsed = 40});
        add("wrong speed: noise is no controller",
            {.far = {.onlyAt = 19200},
             .tries = "Garbled@9600",
             .shown = "COM3 (/dev/ttyS2) at 9600: no controller at this speed (unreadable bytes: <85>)",
             .wire = "\x05"});
        add("noise is shown up to 24 bytes",
            {.far = {.onEnq = QByteArray(24, '\x85')},
             .tries = "Garbled@9600",
             .shown = "COM3 (/dev/ttyS2) at 9600: no controller at this speed (unreadable bytes: " +
                      QString("<85>").repeated(24) + ")"});
        add("loopback plug", {.far = {.onEnq = "", .echo = true}, .tries = "Echo@9600", .wire = "\x05IR*\r"});
        add("echoing converter in front of a controller",
            {.far = {.echo = true}, .tries = "Echo@9600", .wire = "\x05IR*\r"});
        add("ENQ answered, IR* not as a controller does",
            {.far = {.onIr = "XYZ\r"},
             .tries = "Invalid@9600",
             .shown = "COM3 (/dev/ttyS2) at 9600: answers ENQ, but not \"IR*\" as a controller does (XYZ)"});
        add("ENQ answered, IR* never", {.far = {.ignoreIr = 3},
                                        .tries = "Invalid@9600",
                                        .shown = "COM3 (/dev/ttyS2) at 9600: answers ENQ, but not \"IR*\" as "
                                                 "a controller does (no reply to \"IR*\")",
                                        .wire = "\x05IR*\r\x05IR*\r\x05IR*\r"});
        add("port lost during the ENQ wait", {.far = {.onEnq = "", .loseOnEnq = true},
                                              .tries = "Lost@9600",
                                              .shown = "COM3 (/dev/ttyS2) at 9600: the port went away"});
        add("stopped during the ENQ wait: no report", {.far = {.onEnq = "", .stopOnEnq = true}});
        add("port lost while VM* waits: no find",
            {.far = {.onVm = "", .loseOnVm = true}, .tries = "Lost@9600"});
        add("stopped while VM* waits: no report", {.far = {.onVm = "", .stopOnVm = true}});
        // A port's rates in order, up to the one that ends it.
        add("rates in order until the controller answers",
            {.far = {.onlyAt = 19200},
             .bauds = {9600, 38400, 19200, 4800},
             .tries = "Garbled@9600 Garbled@38400 Found@19200"});
        add("held port: skipped once with its reason, not at every rate",
            {.far = {.openError = OpenError::Busy},
             .bauds = {9600, 19200},
             .tries = "Unopened@9600",
             .shown = "COM3 (/dev/ttyS2): skipped: The port /dev/ttyS2 is in use by another program.",
             .wire = ""});
        add("a rate the port refuses: the next one is tried", {.far = {.openError = OpenError::BadSettings},
                                                               .bauds = {19200, 9600},
                                                               .tries = "Refused@19200 Found@9600"});
        add("a rate no line takes: said, nothing opened or sent",
            {.bauds = {0},
             .tries = "Refused@0",
             .shown = "COM3 (/dev/ttyS2) at 0: not a baud rate the port takes",
             .wire = ""});
    }

    void probe() {
        QFETCH(Case, c);
        ScriptedLine line;
        std::atomic<bool> stop{false};
        play(line, c.far, [&] { stop = true; });
        Prober prober(line, line.clock(), {c.enqWait, 500}, &stop);
        QStringList tries;
        TryResult last;
        const std::int64_t start = line.clock().nowMs();
        prober.probe({"COM3", "/dev/ttyS2"}, {c.bauds.begin(), c.bauds.end()}, [&](const TryResult& r) {
            tries << QStringLiteral("%1@%2").arg(kKindNames[int(r.kind)]).arg(r.baud);
            last = r;
        });
        QVERIFY(!line.isOpen());
        QCOMPARE(tries.join(' '), c.tries);
        if (last.kind == TryResult::Kind::Found)
            QCOMPARE(QString::number(last.station) + ' ' + QString::fromStdString(last.firmware), c.found);
        if (!c.shown.isEmpty()) QCOMPARE(QString::fromStdString(describeTry(last)), c.shown);
        if (!c.wire.isNull()) QCOMPARE(QByteArray::fromStdString(line.wire()), c.wire);
        if (c.elapsed >= 0) QCOMPARE(line.clock().nowMs() - start, c.elapsed);
        // All a try may send: ENQ, "IR*" and "VM*", each with CR.
        QVERIFY(QRegularExpression("^(\x05|IR\\*\r|VM\\*\r)*$")
                    .match(QString::fromLatin1(line.wire()))
                    .hasMatch());
    }

    // The workers of a scan, each on a scripted line of its own from the
    // factory, on that line's fake clock: each port's tries in order whatever
    // the threads do, one end call, and every line traced under its port's name.
    void portScan_data() {
        QTest::addColumn<QList<PortCase>>("ports");
        QTest::addColumn<bool>("stopped");
        QTest::newRow("every port to its end at once, the default rates in order")
            << QList<PortCase>{{"COM1", {.openError = OpenError::NoSuchDevice}, "Unopened@9600"},
                               {"COM3",
                                {.onEnq = ""},
                                "Silent@9600 Silent@115200 Silent@57600 Silent@38400 Silent@19200 "
                                "Silent@4800 Silent@2400 "
                                "Silent@1200"},
                               {"COM4", {.onEnq = "", .echo = true}, "Echo@9600"},
                               {"COM5",
                                {.onlyAt = 19200},
                                "Garbled@9600 Garbled@115200 Garbled@57600 Garbled@38400 Found@19200"}}
            << false;
        QTest::newRow("stopped: each worker ends at its next wait, unreported")
            << QList<PortCase>{{"COM1", {.onEnq = "", .stopOnEnq = true}}, {"COM2", {.stopOnEnq = true}}}
            << true;
        QTest::newRow("no port: ended at once") << QList<PortCase>{} << false;
    }

    void portScan() {
        QFETCH(QList<PortCase>, ports);
        QFETCH(bool, stopped);
        PortScan* running = nullptr;
        LineFactory lines([&](const std::string& name) {
            auto line = std::make_unique<ScriptedLine>();
            const auto port =
                std::find_if(ports.begin(), ports.end(), [&](auto& p) { return p.name == name; });
            play(*line, port->far, [&running] { running->stop(); });
            const Clock* clock = &line->clock();
            return MadeLine{std::move(line), clock};
        });
        QTemporaryDir dir;
        const QString trace = dir.filePath("trace.txt");
        QVERIFY(lines.traceInto(trace));
        std::vector<ScanPort> scanned;
        for (const PortCase& p : ports) scanned.push_back({p.name, "/dev/" + p.name});
        PortScan scan(scanned, defaultScanBauds(), {0, 500}, lines);
        running = &scan;
        std::map<std::string, QStringList> tries;
        std::vector<bool> ends;
        scan.start(
            [&](const TryResult& r) {
                tries[r.port.name] << QStringLiteral("%1@%2").arg(kKindNames[int(r.kind)]).arg(r.baud);
            },
            [&](bool wasStopped) { ends.push_back(wasStopped); });
        scan.wait();
        QCOMPARE(ends, std::vector<bool>{stopped});
        const QByteArray traced = readAll(trace);
        for (const PortCase& p : ports) {
            QCOMPARE(tries[p.name].join(' '), p.tries);
            if (p.tries.isEmpty()) continue;  // maybe stopped before its port was opened
            const QByteArray open =
                QByteArray::fromStdString(p.name + ": open /dev/" + p.name + " at 9600,N,8,1");
            QVERIFY2(traced.contains(open), traced.constData());
        }
    }

    void defaults() {
        // COM1..COM6 as mapped, then the system's ports; a device under two names once.
        const auto env = [](const std::string& name) {
            return name == "KORVEX_COM5" ? std::optional<std::string>("/dev/ttyUSB0") : std::nullopt;
        };
        FixedPorts system({{"/dev/ttyUSB0", "FTDI"}, {"/dev/ttyACM0", ""}});
        const std::vector<ScanPort> ports = scanPorts(defaultScanPortNames(system), env);
        QCOMPARE(ports.size(), 7u);
        QCOMPARE(ports[0], (ScanPort{"COM1", "/dev/ttyS0"}));
        QCOMPARE(ports[4], (ScanPort{"COM5", "/dev/ttyUSB0"}));
        QCOMPARE(ports[6], (ScanPort{"/dev/ttyACM0", "/dev/ttyACM0"}));
    }

    // With a wide ENQ wait that no try here waits out (the controller
    // answers at any speed, the loopback plug at once): a loaded machine
    // cannot make the controller look silent.
    void commandLine_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("ports");  // the lineup's letters
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");      // "C": the controller's port; a found one in JSON: compact
        QTest::addColumn<QString>("perPort");  // tries of each port, in the order given
        QTest::addColumn<QString>("errHas");
        const auto row = [](const char* name, const QStringList& args, const char* ports, int code,
                            const char* out, const char* perPort, const char* errHas) {
            QTest::newRow(name) << args << QString(ports) << code << out << perPort << errHas;
        };
        row("all ports at once, each to its end; 9600 first", {}, "MHLC", 0,
            "C: 9600 baud, station 31, firmware KRVX-E1.07\n", "1 1 1 1", "is in use by another program");
        row("json", {"--json"}, "MHLC", 0,
            R"([{"baud":9600,"device":"C","firmware":"KRVX-E1.07","port":"C","station":31}])", "1 1 1 1",
            "1 controller(s) found");
        row("none at the rates given: exit 4, empty array", {"--json", "--baud", "9600", "--baud", "4800"},
            "MHL", 4, "[\n]\n", "1 1 1", "No controller found on 3 port(s) at 2 baud rate(s)");
        row("--enq-wait out of range", {"--enq-wait", "0"}, "MHLC", 2, "", "0 0 0 0", "--enq-wait takes");
        row("scan takes no words", {"all"}, "MHLC", 2, "", "0 0 0 0", "wrong number of words");
    }

    void commandLine() {
        QFETCH(QStringList, args);
        QFETCH(QString, ports);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, perPort);
        QFETCH(QString, errHas);
        Lineup lineup(0);
        QStringList command{"scan", "--enq-wait", "2000"};
        for (const QString& port : lineup.pick(ports)) command << "--port" << port;
        std::FILE* files[3] = {std::tmpfile(), std::tmpfile(), std::tmpfile()};
        QCOMPARE(cli::run(command + args, files[0], files[1], files[2]), code);
        std::fclose(files[2]);
        const QByteArray printed = drain(files[0]);
        const QString err = QString::fromUtf8(drain(files[1]));
        QVERIFY2(err.contains(errHas), qPrintable(err));
        QStringList tries;
        for (const QString& port : lineup.pick(ports))
            tries << QString::number(err.count(QRegularExpression(
                "^" + QRegularExpression::escape(port) + "[ :]", QRegularExpression::MultilineOption)));
        QCOMPARE(tries.join(' '), perPort);
        const QString controller = Lineup::path(lineup.controller);
        const QByteArray shown =
            out.startsWith("[{") ? QJsonDocument::fromJson(printed).toJson(QJsonDocument::Compact) : printed;
        QCOMPARE(QString::fromUtf8(shown),
                 out.replace("C:", controller + ":").replace("\"C\"", '"' + controller + '"'));
    }

    // A window closed while its find is on its way (and kept) ends that scan;
    // the next scan counts its own finds only, not the old one's late reports.
    void lateReportsOfAnEndedScan() {
        Lineup lineup;
        TestNotifier notes;
        SerialCommWindow window(notes);
        window.setPortEnumerator(std::make_unique<FixedPorts>(
            std::vector<SystemPort>{{Lineup::path(lineup.controller).toStdString(), ""}}));
        window.show();
        auto* find = window.findChild<QPushButton*>("findController");
        find->click();
        const auto asked = [&] { return std::ranges::count(lineup.controller.log(), std::string("VM*")); };
        for (int i = 0; i < 2000 && asked() == 0; ++i) QThread::msleep(5);  // no events meanwhile
        QThread::msleep(100);
        window.close();
        find->click();
        QTRY_VERIFY_WITH_TIMEOUT(!window.scanning(), 10000);
        const QString replies = window.findChild<QPlainTextEdit*>("responseBox")->toPlainText();
        QVERIFY2(replies.endsWith(" 1 controller(s) found, " + Lineup::path(lineup.controller) +
                                  " at 19200 chosen\n"),
                 qPrintable(replies));
    }

    void findControllerInTheWindow() {
        Lineup lineup;
        TestNotifier notes;
        WindowRegistry registry{notes};
        SerialCommWindow* window = registry.terminalWindow();
        auto* find = window->findChild<QPushButton*>("findController");
        const auto replies = [&] { return window->findChild<QPlainTextEdit*>("responseBox")->toPlainText(); };

        // No controller anywhere: said, with a beep.
        std::vector<SystemPort> system{{"/dev/korvex-missing", ""}};
        window->setPortEnumerator(std::make_unique<FixedPorts>(system));
        find->click();
        QTRY_VERIFY_WITH_TIMEOUT(!window->scanning(), 10000);
        QVERIFY(replies().endsWith("Find Controller: no controller found\n"));
        QCOMPARE(notes.beeps(), 1);
        system.clear();
        for (const QString& p : lineup.ports()) system.push_back({p.toStdString(), ""});
        window->setPortEnumerator(std::make_unique<FixedPorts>(system));

        // Refused while the port is open; nothing is tried.
        window->presetPort(Lineup::path(lineup.silent), "9600");
        window->openPort_Click();
        find->click();
        QCOMPARE(notes.boxes().size(), 1u);
        QVERIFY(notes.lastText().contains("close the port first"));
        QVERIFY(!window->scanning());
        window->closePort_Click();

        // A retrieve that cannot open the port offers Find Controller: declined,
        // nothing is tried; taken, it runs once the retrieve has ended.
        window->presetPort(Lineup::path(lineup.held), "");
        for (bool take : {false, true}) {
            notes.answerOffer(take);
            registry.basic()->retrieveButton_Click();
            QCOMPARE(notes.offers().size(), take ? 2u : 1u);
            QVERIFY(notes.lastText().startsWith("COM Port already openned by other applications"));
            QCOMPARE(window->scanning(), take);
        }
        // It runs as the one operation, tries every port, and chooses the controller.
        QCOMPARE(find->text(), QStringLiteral("Stop"));
        QVERIFY(registry.context().busy().active());
        QTRY_VERIFY_WITH_TIMEOUT(!window->scanning(), 10000);
        QVERIFY(!registry.context().busy().active());
        QCOMPARE(find->text(), QStringLiteral("Find Controller"));
        const QString controller = Lineup::path(lineup.controller);
        QVERIFY2(replies().contains(controller + " at 19200: found station 31, firmware KRVX-E1.07\n"),
                 qPrintable(replies()));
        QVERIFY(replies().contains("COM1 (/dev/korvex-none): skipped: There is no device"));
        QVERIFY(replies().endsWith("Find Controller: 1 controller(s) found, " + controller +
                                   " at 19200 chosen\n"));
        QCOMPARE(window->findChild<QComboBox*>("portChoice")->currentText(), controller);
        QCOMPARE(window->findChild<QComboBox*>("baudChoice")->currentText(), QStringLiteral("19200"));
        registry.basic()->retrieveButton_Click();  // the next click works
        QCOMPARE(registry.basic()->widgets().text("messageLabel"),
                 QStringLiteral("Successfully Retrieved Setup Data"));

        // Esc stops it.
        window->closePort_Click();
        find->click();
        QTest::keyClick(window, Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(!window->scanning(), 2000);
        QVERIFY(replies().endsWith("Find Controller: stopped\n"));
        // So does its button, which reads "Stop" meanwhile.
        find->click();
        QVERIFY(window->scanning());
        find->click();
        QTRY_VERIFY_WITH_TIMEOUT(!window->scanning(), 2000);
        QVERIFY(replies().endsWith("Find Controller: stopped\n"));

        // The window discarded while a scan runs: stopped, not a search that
        // found nothing (which beeps).
        find->click();
        QVERIFY(window->scanning());
        const int beeps = notes.beeps();
        delete window;
        QCOMPARE(notes.beeps(), beeps);
        QVERIFY(!registry.context().busy().active());
    }
};

QTEST_MAIN(TestScan)
#include "test_scan.moc"
