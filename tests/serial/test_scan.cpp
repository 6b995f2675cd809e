// Finding a controller: a try on a scripted line and a fake clock; the
// parallel scan, the command line and the terminal window on pseudo-terminals.
#include <QComboBox>
#include <QFile>
#include <QJsonDocument>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTest>

#include "app/windowregistry.h"
#include "cli/cli.h"
#include "config/busy.h"
#include "serial/scanner.h"
#include "serial/ui/serialcommwindow.h"
#include "sim/pty.h"
#include "support/files.h"
#include "support/scriptedline.h"
#include "support/testnotifier.h"

using namespace tarvelin;
using tarvelin::test::NotifierScope;
using namespace tarvelin::test;
using tarvelin::test::ScriptedLine;

namespace {

// The far side of a scripted line; by default a controller.
struct Far {
    QByteArray onEnq{"\x05"};               // the answer to each ENQ
    QByteArray onIr{"IR1F\r"};              // ... to "IR*"
    QByteArray onVm{"VMKRVX-E1.07\r"};      // ... to "VM*"
    bool echo = false;                      // every write comes back first
    int ignoreIr = 0;                       // the first K "IR*" go unanswered
    int onlyAt = 0;                         // answers only at this baud rate, noise at any other
    QByteArray waiting{};                   // on the line before the port opens
    bool loseOnEnq = false;                 // the port goes away 5 ms after the first ENQ
    bool stopOnEnq = false;                 // the scan is stopped at the first ENQ
    OpenError openError = OpenError::None;  // of the first open
};

struct Case {
    Far far{};
    QList<int> bauds{9600};
    int enqWait = 0;
    QString tries{};      // "kind@baud" of each report (a found one must be the controller)
    QString detailHas{};  // in the description of the last report
    QByteArray wire{};    // all that was written; not checked when null
    qint64 elapsed = -1;
    QString found = "31 KRVX-E1.07";  // station and firmware of a find
};

const QStringList kKindNames{"Found", "Silent", "Garbled", "Echo", "Invalid", "Unopened", "Refused", "Lost"};

struct FixedPorts final : PortEnumerator {
    explicit FixedPorts(std::vector<SystemPort> ports) : list(std::move(ports)) {}
    std::vector<SystemPort> ports() override { return list; }
    std::vector<SystemPort> list;
};

// Five ports: missing, held by another program, silent, a loopback plug, and
// a controller (station 31) that talks at 19200 only.
struct Lineup {
    korvex::PtySimulator controller, silent, loopback, held;
    QSerialPort holder;

    Lineup() {
        controller.setStation(31);
        controller.setLineSpeed(19200);
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
    QStringList ports() const {
        return {"/dev/korvex-missing", path(held), path(silent), path(loopback), path(controller)};
    }
};

}  // namespace

Q_DECLARE_METATYPE(Case)

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
        add("CR LF line ends",
            {.far = {.onIr = "IR1F\r\n", .onVm = "VMKRVX-E1.07\r\n"}, .tries = "Found@9600"});
        add("first IR* unanswered: asked again",
            {.far = {.ignoreIr = 1}, .tries = "Found@9600", .wire = "\x05IR*\r\x05IR*\r\x05VM*\r"});
        add("what waits at open is no answer",
            {.far = {.onEnq = "", .waiting = "\x05IR01\r"}, .tries = "Silent@9600", .wire = "\x05"});
        add("silent: the ENQ wait alone, two characters at 9600 plus turnaround",
            {.far = {.onEnq = ""}, .tries = "Silent@9600", .wire = "\x05", .elapsed = 103});
        add("--enq-wait overrides the wait",
            {.far = {.onEnq = ""}, .enqWait = 40, .tries = "Silent@9600", .elapsed = 40});
        add("wrong speed: noise is no controller",
            {.far = {.onlyAt = 19200}, .tries = "Garbled@9600", .detailHas = "<85>", .wire = "\x05"});
        add("loopback plug", {.far = {.onEnq = "", .echo = true}, .tries = "Echo@9600", .wire = "\x05IR*\r"});
        add("echoing converter in front of a controller",
            {.far = {.echo = true}, .tries = "Echo@9600", .wire = "\x05IR*\r"});
        add("ENQ answered, IR* not as a controller does",
            {.far = {.onIr = "XYZ\r"}, .tries = "Invalid@9600", .detailHas = "XYZ"});
        add("ENQ answered, IR* never", {.far = {.ignoreIr = 3},
                                        .tries = "Invalid@9600",
                                        .detailHas = "no reply",
                                        .wire = "\x05IR*\r\x05IR*\r\x05IR*\r"});
        add("port lost during the ENQ wait", {.far = {.onEnq = "", .loseOnEnq = true}, .tries = "Lost@9600"});
        add("stopped during the ENQ wait: no report", {.far = {.onEnq = "", .stopOnEnq = true}});
        // A port's rates in order, up to the one that ends it.
        add("rates in order until the controller answers",
            {.far = {.onlyAt = 19200},
             .bauds = {9600, 38400, 19200, 4800},
             .tries = "Garbled@9600 Garbled@38400 Found@19200"});
        add("held port: skipped once with its reason, not at every rate",
            {.far = {.openError = OpenError::Busy},
             .bauds = {9600, 19200},
             .tries = "Unopened@9600",
             .detailHas = "in use by another program",
             .wire = ""});
        add("a rate the port refuses: the next one is tried", {.far = {.openError = OpenError::BadSettings},
                                                               .bauds = {19200, 9600},
                                                               .tries = "Refused@19200 Found@9600"});
    }

    void probe() {
        QFETCH(Case, c);
        ScriptedLine line;
        std::atomic<bool> stop{false};
        int irSeen = 0;
        if (c.far.openError != OpenError::None) line.failNextOpen({c.far.openError, {}});
        if (!c.far.waiting.isEmpty()) line.deliverIn(0, c.far.waiting.toStdString());
        line.onWrite([&](ScriptedLine& l, const std::string& w) {
            if (c.far.echo) l.deliverIn(1, w);
            if (c.far.onlyAt && l.settings() != std::to_string(c.far.onlyAt) + ",N,8,1")
                return l.deliverIn(1, std::string(w.size(), '\x85'));
            if (w == "\x05" && c.far.loseOnEnq) l.loseAt(l.clock().nowMs() + 5);
            if (w == "\x05" && c.far.stopOnEnq) stop = true;
            if (w == "\x05") l.deliverIn(2, c.far.onEnq.toStdString());
            if (w == "IR*\r" && ++irSeen > c.far.ignoreIr) l.deliverIn(2, c.far.onIr.toStdString());
            if (w == "VM*\r") l.deliverIn(2, c.far.onVm.toStdString());
        });
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
        QVERIFY2(QString::fromStdString(describeTry(last)).contains(c.detailHas), describeTry(last).c_str());
        if (!c.wire.isNull()) QCOMPARE(QByteArray::fromStdString(line.wire()), c.wire);
        if (c.elapsed >= 0) QCOMPARE(line.clock().nowMs() - start, c.elapsed);
        // All a try may send: ENQ, "IR*" and "VM*", each with CR.
        QVERIFY(QRegularExpression("^(\x05|IR\\*\r|VM\\*\r)*$")
                    .match(QString::fromLatin1(line.wire()))
                    .hasMatch());
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

    void commandLine_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");      // "C": the controller's port; a found one in JSON: compact
        QTest::addColumn<QString>("perPort");  // tries of each port, in the order given
        QTest::addColumn<QString>("errHas");
        const auto row = [](const char* name, const QStringList& args, int code, const char* out,
                            const char* perPort, const char* errHas) {
            QTest::newRow(name) << args << code << out << perPort << errHas;
        };
        row("all ports at once, each to its end", {}, 0, "C: 19200 baud, station 31, firmware KRVX-E1.07\n",
            "1 1 8 1 5", "is in use by another program");
        row("json", {"--json"}, 0,
            R"([{"baud":19200,"device":"C","firmware":"KRVX-E1.07","port":"C","station":31}])", "1 1 8 1 5",
            "1 controller(s) found");
        row("none at the rates given: exit 4, empty array", {"--json", "--baud", "9600", "--baud", "4800"}, 4,
            "[\n]\n", "1 1 2 1 2", "No controller found");
        row("--enq-wait out of range", {"--enq-wait", "0"}, 2, "", "0 0 0 0 0", "--enq-wait takes");
        row("scan takes no words", {"all"}, 2, "", "0 0 0 0 0", "wrong number of words");
    }

    void commandLine() {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, perPort);
        QFETCH(QString, errHas);
        Lineup lineup;
        QStringList command{"scan", "--enq-wait", "20"};
        for (const QString& port : lineup.ports()) command << "--port" << port;
        std::FILE* files[3] = {std::tmpfile(), std::tmpfile(), std::tmpfile()};
        QCOMPARE(cli::run(command + args, files[0], files[1], files[2]), code);
        std::fclose(files[2]);
        const QByteArray printed = drain(files[0]);
        const QString err = QString::fromUtf8(drain(files[1]));
        QVERIFY2(err.contains(errHas), qPrintable(err));
        QStringList tries;
        for (const QString& port : lineup.ports())
            tries << QString::number(err.count(QRegularExpression(
                "^" + QRegularExpression::escape(port) + "[ :]", QRegularExpression::MultilineOption)));
        QCOMPARE(tries.join(' '), perPort);
        const QString controller = Lineup::path(lineup.controller);
        const QByteArray shown =
            out.startsWith("[{") ? QJsonDocument::fromJson(printed).toJson(QJsonDocument::Compact) : printed;
        QCOMPARE(QString::fromUtf8(shown),
                 out.replace("C:", controller + ":").replace("\"C\"", '"' + controller + '"'));
    }

    void findControllerInTheWindow() {
        Lineup lineup;
        NotifierScope notes;
        WindowRegistry registry;
        SerialCommWindow* window = registry.terminalWindow();
        std::vector<SystemPort> system;
        for (const QString& p : lineup.ports()) system.push_back({p.toStdString(), ""});
        window->setPortEnumerator(std::make_unique<FixedPorts>(system));
        auto* find = window->findChild<QPushButton*>("findController");
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

        // Esc stops it.
        find->click();
        QTest::keyClick(window, Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(!window->scanning(), 2000);
        QVERIFY(replies().endsWith("Find Controller: stopped\n"));
    }
};

QTEST_MAIN(TestScan)
#include "test_scan.moc"
