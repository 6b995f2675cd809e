// Provisioning from a plan and compare: one controller on the scripted line,
// the command around it, and a line of controllers through the real program.
#include <signal.h>

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "cli/cli.h"
#include "cli/cliprovision.h"
#include "serial/ui/serialcommwindow.h"
#include "sim/pty.h"
#include "support/files.h"
#include "support/simline.h"
#include "support/testnotifier.h"

using namespace tarvelin;
using namespace tarvelin::cli;
using namespace tarvelin::test;

namespace {
// The factory MAC ID of the simulated controller, and one of another.
const QByteArray kPlan =
    "MAC,IP,hostName,Tarvelintrusted\n02:4B:58:00:12:34,10.0.0.7,Press 7,\n"
    "2-4B-58-0-C3-6,10.0.0.8,\"Press 8, east\",Yes\n";

struct Scripted {
    explicit Scripted(korvex::Config config = {}) : sim(std::move(config)) {}
    test::SimulatedLine sim;
    LineTerminal terminal{sim.line(), sim.line().clock(),
                          PortChoice{"/dev/scripted", "9600", "None", "8", "1"}};
    std::FILE* err = std::tmpfile();
    ~Scripted() { std::fclose(err); }
    bool wrote(int from, int to) const {
        for (const auto& w : sim.controller().writes())
            if (w.address >= from && w.address <= to) return true;
        return false;
    }
};

}  // namespace

class TestProvision : public QObject {
    Q_OBJECT
private slots:
    void oneController_data() {
        QTest::addColumn<QString>("fault");  // what is different about this controller or run
        QTest::addColumn<QString>("result");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("written");  // "basic", "advanced", "both", "none", or a count of writes
        QTest::addColumn<QStringList>("after");
        const QStringList planned{"192.168.1.5", "10.0.0.7", "Tarvelin", "Press 7", "No", "No"};
        const auto row = [](const char* name, const char* fault, const char* result, int code,
                            const char* written, const QStringList& after = {}) {
            QTest::newRow(name) << QString(fault) << QString(result) << code << QString(written) << after;
        };
        row("the row's basic values only: only the basic block", "", "stored", kSuccess, "basic", planned);
        row("base profile names the advanced block too: both, one reboot after the last", "base,reboot",
            "stored", kSuccess, "both", planned);
        row("not in plan: nothing written", "other MAC", "not in plan", kNotInPlan, "none");
        row("verify failed: no reboot", "ignore write 666,reboot", "verify failed", kVerifyMismatch, "basic");
        row("the cable moved to the next controller during the store: no reboot",
            "moved after 10 writes,reboot", "controller changed during the store", kVerifyMismatch, "basic");
        row("silent", "silent", "no response", kNoResponse, "none");
        row("Ctrl-C during the store: the write on the line finishes, nothing after it",
            "stop after 3 writes", "interrupted", kInterrupted, "3");
        row("Ctrl-C during a check: the same exit code, nothing compared", "check, stop at once",
            "interrupted", kInterrupted, "none");
        row("check: only the controls that differ, nothing written", "check", "differs", kDifferences, "none",
            {"192.168.1.5", "192.168.1.5", "Tarvelin", "Tarvelin", "No", "No"});
        row("provisioned earlier in this run", "skip", "skipped: earlier", kSuccess, "none");
    }

    // One controller: identified, MAC ID read, row found, stored and verified.
    void oneController() {
        QFETCH(QString, fault);
        QFETCH(QString, result);
        QFETCH(int, exitCode);
        QFETCH(QString, written);
        QFETCH(QStringList, after);
        korvex::Config config;
        config.faults.silent = fault.contains(QLatin1String("silent"));
        config.faults.ignoreWriteAtAddress = fault.contains(QLatin1String("ignore write 666")) ? 666 : -1;
        Scripted line(config);
        if (fault.contains(QLatin1String("other MAC"))) line.sim.controller().memory()[0xFF14] = 0xC3;
        const auto plan = parsePlan(kPlan, QStringLiteral("p.csv"));
        QVERIFY(plan);
        Profile base;
        base.advanced = QJsonObject{{QStringLiteral("MovAvgNo"), QStringLiteral("5")}};
        ProvisionSetup setup;
        setup.plan = &*plan;
        setup.base = fault.contains(QLatin1String("base")) ? &base : nullptr;
        setup.reboot = fault.contains(QLatin1String("reboot"));
        setup.check = fault.startsWith(QLatin1String("check"));
        if (fault.contains(QLatin1String("at once")))
            setup.stopRequested = [] { return true; };
        else if (fault.contains(QLatin1String("moved")))
            setup.stopRequested = [&] {
                if (line.sim.controller().writes().size() >= 10)
                    line.sim.controller().memory()[0xFF15] = 0x99;
                return false;
            };
        else if (fault.contains(QLatin1String("stop")))
            setup.stopRequested = [&] { return line.sim.controller().writes().size() >= 3; };
        if (fault == QLatin1String("skip"))
            setup.skip = [](const MacId&) { return QStringLiteral("earlier"); };

        const ProvisionRecord record = provisionOne(line.terminal, setup, line.err);
        QCOMPARE(record.result(), result);
        QCOMPARE(record.exitCode(), exitCode);
        QCOMPARE(record.macAfter.has_value(), fault.contains(QLatin1String("moved")));
        if (!after.isEmpty()) {
            QStringList both;
            for (qsizetype i = 0; i < record.before.size(); ++i)
                both << record.before.at(i) << record.after.value(i);
            QCOMPARE(both, after);
        }
        const bool basic = line.wrote(666, 681);
        const bool advanced = line.wrote(568, 632);
        const QString blocks = basic && advanced ? "both" : basic ? "basic" : advanced ? "advanced" : "none";
        bool isCount = false;
        const int count = written.toInt(&isCount);
        if (isCount)
            QCOMPARE(int(line.sim.controller().writes().size()), count);
        else
            QCOMPARE(blocks, written);
        QCOMPARE(line.sim.controller().rebootCount(), setup.reboot && exitCode == kSuccess ? 1 : 0);
        if (setup.check && exitCode == kDifferences) {
            QCOMPARE(record.differences.size(), std::size_t{5});
            QCOMPARE(record.differences.front().difference.key, QStringLiteral("IP(3)"));  // 10, not 192
            QCOMPARE(record.differences.back().difference.key, QStringLiteral("hostName"));
        }
        if (result != QLatin1String("stored")) return;
        // Every written byte was read back and the MAC ID read again (before
        // the reboot), and the controller now holds the plan.
        QCOMPARE(line.sim.controller().log().back().substr(3, 4),
                 std::string(setup.reboot ? "Mw40" : "MRFF"));
        setup.check = true;
        QCOMPARE(provisionOne(line.terminal, setup, line.err).result(), QStringLiteral("matches"));
    }

    // Appending writes the whole report anew: no earlier line is ever lost, and
    // a report of another plan is never mixed in.
    void reportKeepsEveryLine() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("r.csv"));
        const QStringList header{"time", "MAC", "result"};
        QVERIFY(prepareReport(path, header));
        QVERIFY(appendReport(path, header, {"t1", "m1", "stored"}));
        QVERIFY(prepareReport(path, header));
        QVERIFY(appendReport(path, header, {"t2", "m2", "not in plan"}));
        QCOMPARE(readAll(path), csvRecord(header) + csvRecord({"t1", "m1", "stored"}) +
                                    csvRecord({"t2", "m2", "not in plan"}));
        const QByteArray before = readAll(path);
        QVERIFY(!prepareReport(path, {"time", "MAC", "IP before", "result"}));
        QVERIFY(!appendReport(path, {"time", "MAC", "IP before", "result"}, {"t3", "m3", "", "stored"}));
        QCOMPARE(readAll(path), before);
        QVERIFY(
            !appendReport(dir.filePath(QStringLiteral("no/such/folder.csv")), header, {"t", "m", "stored"}));
    }

    void nothingSentBeforeTheChecks_data() {
        QTest::addColumn<QByteArray>("plan");
        QTest::addColumn<QByteArray>("report");  // what the report file holds before
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("diskFull");
        QTest::addColumn<int>("exitCode");
        const QByteArray lines = reportHeader(*parsePlan(kPlan, "p.csv")).join(',').toUtf8() + "\r\n" +
                                 QByteArray(600, 'x') + "\r\n";
        QTest::newRow("a plan with a bad row") << kPlan + "1-2-3-4-5-6,1.2.3.400,x,\n"
                                               << QByteArray() << true << false << int(kRefused);
        QTest::newRow("a row that names nothing, and no base profile")
            << kPlan + "1-2-3-4-5-6,,,\n"
            << QByteArray() << true << false << int(kUsage);
        QTest::newRow("a report of another plan")
            << kPlan << QByteArray("time,MAC,result\r\n") << true << false << int(kOutputFailed);
        QTest::newRow("a report that holds lines and cannot be written")
            << kPlan << lines << true << true << int(kOutputFailed);
        QTest::newRow("not confirmed") << kPlan << QByteArray() << false << false << int(kUsage);
        QTest::newRow("all well: one line in the report")
            << kPlan << QByteArray() << true << false << int(kSuccess);
    }

    void nothingSentBeforeTheChecks() {
        QFETCH(QByteArray, plan);
        QFETCH(QByteArray, report);
        QFETCH(bool, yes);
        QFETCH(bool, diskFull);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        ProvisionOptions options;
        options.plan = dir.filePath(QStringLiteral("plan.csv"));
        options.report = dir.filePath(QStringLiteral("report.csv"));
        options.yes = yes;
        QVERIFY(writeAll(options.plan, plan) && (report.isEmpty() || writeAll(options.report, report)));
        Scripted line;
        std::FILE* out = std::tmpfile();
        setDiskFull(diskFull);
        const int code =
            provisionCommand(line.terminal, line.sim.line().clock(), options, out, line.err, line.err);
        setDiskFull(false);
        QCOMPARE(code, exitCode);
        std::fclose(out);
        QCOMPARE(line.sim.line().writes().empty(), exitCode != kSuccess);
        if (exitCode == kSuccess) QCOMPARE(readAll(options.report).count('\n'), 2);
    }

    void compareFindsExactlyTheChangedControls() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.json"));
        QVERIFY(writeAll(path, QByteArray("{'format':'tarvelin-configuration-profile','version':1,"
                                          "'basic':{'IP(0)':'5','svrport':'9080','hostName':'Press 7'},"
                                          "'advanced':{'MovAvgNo':4,'MBtrusted':'No'}}")
                                   .replace('\'', '"')));
        Scripted line;
        QByteArray result;
        const auto keep = [&](const QByteArray& bytes) {
            result = bytes;
            return int(kSuccess);
        };
        QCOMPARE(compareCommand(line.terminal, QStringLiteral("all"), path, true, keep, line.err),
                 int(kDifferences));
        QStringList found;
        for (const auto& d :
             QJsonDocument::fromJson(result).object().value(QLatin1String("differences")).toArray())
            found << d.toObject().value(QLatin1String("control")).toString() + "=" +
                         d.toObject().value(QLatin1String("controller")).toString();
        QCOMPARE(found, (QStringList{"hostName=Tarvelin", "MovAvgNo= 3"}));
        QCOMPARE(line.sim.controller().writes().size(), std::size_t{0});
    }

    // The terminal window traces its line into the file the shell hands it
    // (TARVELIN_TRACE).
    void windowsTraceTheirLine() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("trace.txt"));
        test::TestNotifier notes;
        SerialCommWindow window(notes, std::make_unique<test::ScriptedLine>(), nullptr, path);
        QVERIFY(window.line().open().ok());
        window.line().write("IR*\r");
        QVERIFY2(readAll(path).contains(" sent IR*<CR>\n"), readAll(path).constData());
    }

    // The real program on pseudo-terminals, as a line is commissioned: no
    // adapter at first; a controller; the cable moved to the next one (the
    // adapter stays, the first falls silent); the adapter pulled and the first
    // controller back on another; one not in the plan; then Ctrl-C. The trace
    // holds every exchange, and the exit code is the first failure's. Each
    // step waits for what the program says or sends, never for a fixed time.
    void aLineOfControllers() {
        QTemporaryDir dir;
        const QString port = dir.filePath(QStringLiteral("port"));
        const QString report = dir.filePath(QStringLiteral("report.csv"));
        const QString trace = dir.filePath(QStringLiteral("trace.txt"));
        QVERIFY(writeAll(dir.filePath(QStringLiteral("plan.csv")), kPlan));
        QProcess cli;
        cli.start(QStringLiteral(TARVELIN_CLI),
                  {"--port", port, "--timeout", "100", "--trace", trace, "provision", "--plan",
                   dir.filePath(QStringLiteral("plan.csv")), "--report", report, "--loop", "--yes"});
        QVERIFY(cli.waitForStarted());
        QByteArray said;  // standard error so far
        const auto waitFor = [&](const std::function<bool()>& done) {
            for (QDeadlineTimer t(10000); !done() && cli.state() == QProcess::Running && !t.hasExpired();) {
                cli.waitForReadyRead(50);
                said += cli.readAllStandardError();
            }
            return done();
        };
        const auto calls = [&] { return readAll(trace).count(" sent <ENQ>"); };
        std::unique_ptr<korvex::PtySimulator> sim;
        QStringList summaries;
        int departures = 0, missingAdapters = 0;
        const std::tuple<int, int, bool> visits[] = {
            {0x12, 0x34, false}, {0xC3, 0x06, true}, {0x12, 0x34, false}, {0x99, 0x99, true}};
        for (const auto& [mac4, mac5, sameAdapter] : visits) {
            if (sim) {
                // The last one answers two more calls: no new arrival. Then it goes.
                const qsizetype before = calls();
                QVERIFY(waitFor([&] { return calls() >= before + 2; }));
                if (sameAdapter)
                    sim->setFaults({.silent = true, .silentCommands = {}});
                else
                    sim.reset();
                ++departures;
                QVERIFY(waitFor([&] { return said.count("Waiting for the next controller") == departures; }));
            }
            if (!sim) {
                ++missingAdapters;  // said before the adapter (re)appears
                QVERIFY(waitFor([&] { return said.count("There is no device") == missingAdapters; }));
                sim = std::make_unique<korvex::PtySimulator>();
                QVERIFY(sim->start() && sim->makeLink(port.toStdString()));
            }
            sim->setByte(0xFF14, mac4);
            sim->setByte(0xFF15, mac5);
            sim->setFaults({});
            for (QDeadlineTimer t(10000);
                 cli.state() == QProcess::Running && !cli.canReadLine() && !t.hasExpired();)
                cli.waitForReadyRead(100);
            summaries << QString::fromUtf8(cli.readLine()).trimmed();
            if (mac5 == 0x06)
                QCOMPARE(QString::fromLatin1(reinterpret_cast<const char*>(&sim->memory()[666]), 13),
                         QStringLiteral("Press 8, east"));
        }
        // The terminal closed (SIGHUP) ends it as Ctrl-C does.
        ::kill(static_cast<pid_t>(cli.processId()), SIGHUP);
        QVERIFY(cli.waitForFinished(5000));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), int(kNotInPlan));
        QCOMPARE(summaries,
                 (QStringList{"02:4B:58:00:12:34 station 1: stored", "02:4B:58:00:C3:06 station 1: stored",
                              "02:4B:58:00:12:34 station 1: skipped: provisioned earlier in this run",
                              "02:4B:58:00:99:99 station 1: not in plan"}));
        QCOMPARE(readAll(report).count('\n'), 5);
        // No adapter at first, and again once it was pulled: said once each time,
        // with the true reason alone.
        said += cli.readAllStandardError();
        QCOMPARE(said.count("There is no device"), 2);
        QVERIFY(!said.contains(kOpenFailedText));
        QVERIFY(readAll(trace).contains(" sent @01MW029A50"));  // "P" of "Press 7" at 666
    }
};

QTEST_MAIN(TestProvision)
#include "test_provision.moc"
