// The command-line twin, run through cli::run with file streams against the
// simulated controller on a pseudo-terminal: its words and exit codes, what it
// prints, the values and files it takes, and that it puts on the wire what
// the window puts there.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cstdio>
#include <thread>

#include "basic/basicform.h"
#include "basic/basicmap.h"
#include "cli/cli.h"
#include "cli/clisupport.h"
#include "config/headlessform.h"
#include "config/memoryaccess.h"
#include "config/profile.h"
#include "support/e2e.h"
#include "support/files.h"

using namespace tarvelin;
using tarvelin::test::EndToEnd;
using tarvelin::test::TestNotifier;
using namespace tarvelin::test;

Q_DECLARE_METATYPE(korvex::ReplyStyle)
Q_DECLARE_METATYPE(korvex::LineEnd)

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

// Standard output is a temporary file unless `given` (then not read); standard
// input is no terminal, so no one answers a question.
Run runCli(const QStringList& args, std::FILE* given = nullptr) {
    std::FILE* out = given ? given : std::tmpfile();
    std::FILE* err = std::tmpfile();
    std::FILE* in = std::tmpfile();
    const int code = cli::run(args, out, err, in);
    std::fclose(in);
    if (given) std::fclose(given);
    return {code, given ? QString() : QString::fromUtf8(drain(out)), QString::fromUtf8(drain(err))};
}

QByteArray profileOf(const char* blocks) {
    return QByteArray(R"j({"format":"tarvelin-configuration-profile","version":1,)j") + blocks + "}";
}

// Opens the FIFO for writing now and then, so that a read that should never
// have started fails instead of hanging the test.
std::jthread fifoGuard(const QString& path) {
    return std::jthread([name = QFile::encodeName(path)](std::stop_token stop) {
        while (!stop.stop_requested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK); fd >= 0) ::close(fd);
        }
    });
}

}  // namespace

class TestCli : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid() && sim_.start());
        std::signal(SIGXFSZ, SIG_IGN);  // a write beyond the limit fails instead
    }
    void init() {
        sim_.setFaults({});
        sim_.setMemory(korvex::factoryImage());
        sim_.clearLog();
    }

    // The words, the strict values of profiles and --set, and what is printed.
    // Unreadable words or values are 2, a port that cannot be opened 3, a value
    // that does not fit 5; none of them sends anything.
    void words_data() {
        QTest::addColumn<QStringList>("args");  // "@" stands for the profile
        QTest::addColumn<QByteArray>("profile");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("shown");  // on standard output or error, or in the -o file; "!": not
        const auto row = [](const QByteArray& name, const QStringList& args, int code,
                            const QStringList& shown, const QByteArray& profile = {}) {
            QTest::newRow(name.constData()) << args << profile << code << shown;
        };
        row("no words", {}, 2, {"Usage"});
        row("unknown command", {"frobnicate"}, 2, {"unknown command frobnicate"});
        row("too few words", {"retrieve"}, 2,
            {"wrong number of words for retrieve: it takes retrieve basic|advanced|all"});
        row("scan on an empty port name", {"scan", "--port", ""}, 2, {"--port takes a port name"});
        row("unknown option", {"--fast", "identify"}, 2, {"unknown option --fast"});
        row("option without its value", {"identify", "--port"}, 2, {"--port needs a value"});
        row("retrieve what", {"retrieve", "everything"}, 2, {"retrieve takes basic, advanced or all"});
        row("store what", {"store", "all", "--yes", "--set", "IP(0)=1"}, 2,
            {"store takes basic or advanced"});
        for (const char* ms : {"0", "60001", "9999999999", "12a"})
            row(QByteArray("--timeout ") + ms, {"--timeout", ms, "identify"}, 2,
                {"--timeout takes a whole number of milliseconds from 1 to 60000"});
        for (const char* baud : {"x", "0"})
            row(QByteArray("--baud ") + baud, {"--baud", baud, "identify"}, 2, {"--baud takes a baud rate"});
        for (const char* station : {"256", "-1"})
            row(QByteArray("--frame ") + station, {"send", "MR020C", "--frame", station}, 2,
                {"--frame takes a station number 0 to 255"});
        row("store names nothing", {"store", "basic", "--yes"}, 2, {"store needs --profile FILE or --set"});
        row("no confirmation without a terminal", {"store", "basic", "--set", "IP(0)=9"}, 2, {"give --yes"});
        // How --set words become values; what a value may be is the profile check's.
        const auto set = [](const char* value) {
            return QStringList{"store", "basic", "--yes", "--set", value};
        };
        row("--set without a value", set("IP"), 2, {"--set takes NAME=VALUE"});
        row("--set address of three parts", set("IP=10.0.7"), 2, {"--set IP takes a dotted address"});
        row("--set out of range", set("IP(0)=300"), 5, {"300 is not between 0 and 255"});
        row("--set a count the window's split changes", set("No_of_MBtcp=7"), 5, {"7 would be stored as 5"});
        row("an option the command does not take", {"provision", "--plan", "p.csv", "-o", "x"}, 2,
            {"provision does not take --output"});
        row("a switch the command does not take", {"retrieve", "basic", "--yes"}, 2,
            {"retrieve does not take --yes"});
        row("--set names the nearest", set("ip=10.0.0.7"), 2,
            {"--set ip: not a setting of either window (nearest: IP)"});
        row("plan names the nearest", {"provision", "--plan", "@", "--yes"}, 2, {"(nearest: hostName)"},
            "MAC,hostname\n02:4B:58:00:12:34,x\n");
        row("controls", {"controls"}, 0,
            {"IP              basic    IP Address\n                dotted address, 0 to 255 each; "
             "default "
             "192.168.1.5\n",
             "0 to 255; default 3; a window rule keeps 2 to 5\n",
             "ADzcal(0..7)    advanced ADC zero offset Ch1..8\n",
             "EnablePW        basic    Use Username/Password?\n                Yes or No; default "
             "No\n"});
        row("controls as JSON", {"controls", "--json"}, 0,
            {"\"label\": \"IP Address, octet 1\"", "\"maxLength\": 16", "\"default\": \"Tarvelin\""});
        const QStringList storeBasic{"store", "basic", "--yes", "--profile", "@"};
        row("malformed profile", storeBasic, 2, {"not valid JSON"}, "{nope");
        row("profile without the block", {"store", "advanced", "--yes", "--profile", "@"}, 2,
            {"holds no advanced settings"}, profileOf(R"j("basic":{"IP(0)":"9"})j"));
        // Keys are read in sorted order: one after "format" and "version" is still looked at.
        row("profile of another version", storeBasic, 2, {"key \"version\" must be 1"},
            QByteArray(R"j({"format":"tarvelin-configuration-profile","version":2,"basic":{"IP(0)":"9"}})j"));
        row("a JSON file of another kind", storeBasic, 2,
            {"key \"format\" must be \"tarvelin-configuration-profile\""},
            QByteArray(R"j({"format":"tarvelin-plan","version":1,"basic":{"IP(0)":"9"}})j"));
        row("profile: an unknown key", storeBasic, 2, {"key \"zone\" is not part of a profile"},
            profileOf(R"j("basic":{"IP(0)":"9"},"zone":1)j"));
        // Two roles of one file are refused before anything is opened for writing.
        row("a trace that cannot be written: nothing done", {"--trace", "/", "controls"}, 1,
            {"Cannot write the trace /: ", "!IP "});
        row("--trace onto the plan", {"--trace", "@", "provision", "--plan", "@", "--check"}, 2,
            {"--plan and --trace name the same file"}, "MAC,IP\n1-2-3-4-5-6,1.2.3.4\n");
        row("-o onto the profile", {"compare", "basic", "--profile", "@", "-o", "@"}, 2,
            {"--profile and --output name the same file"}, profileOf(R"j("basic":{"IP(0)":"9"})j"));
        row("a plan cell that would steer the terminal", {"provision", "--plan", "@", "--check"}, 2,
            {"\"<ESC>]0;x<BEL>\" is not a dotted address"}, "MAC,IP\n1-2-3-4-5-6,\x1b]0;x\x07\n");
        row("compare: a block that names nothing", {"compare", "basic", "--profile", "@"}, 2,
            {"key \"basic\" names no setting"}, profileOf(R"j("basic":{})j"));
        row("profile: true for a number", storeBasic, 2, {"must be a text or a number, not true/false"},
            profileOf(R"j("basic":{"IP(0)":true})j"));
        row("profile: a huge number", storeBasic, 5, {"1e+30 is not between 0 and 255"},
            profileOf(R"j("basic":{"IP(0)":1e30})j"));
        row("missing port: only the true reason", {"--port", "/nonexistent/tty", "identify"}, 3,
            {"There is no device /nonexistent/tty", QString("!") + kOpenFailedText});
        row("shortest time-out, station 0 silent", {"--timeout", "1", "send", "MR020C", "--frame", "0"}, 4,
            {"(Warning: No Response from PLC)"});
        row("identify, longest time-out", {"--timeout", "60000", "identify"}, 0,
            {"Station: 1\nFirmware: KRVX-E1.07\n"});
        row("send framed for a station", {"send", "MR020C", "--frame", "1"}, 0, {"@01MRC02D*\n"});
        row("retrieve basic as text", {"retrieve", "basic"}, 0,
            {"IP = 192.168.1.5\nsubnet = 255.255.255.0\n", "svrport = \" 9080\"\n",
             "hostName = \"Tarvelin\"\n", "EnablePW = No\n", "AccessLevel = 1 - Programmer\n",
             "Successfully Retrieved Setup Data", "!IP(3)"});
        row("retrieve all as a profile", {"retrieve", "all", "--json"}, 0,
            {"\"IP(0)\": \"5\"", "\"MovAvgNo\": \" 3\"", "\"Tarvelintrusted\": \"No\"",
             "\"MAC\": \"02:4B:58:00:12:34\""});
        row("retrieve -o NAME.json writes JSON", {"retrieve", "basic", "-o", "@"}, 0, {"\"IP(3)\": \"192\""});
        const QByteArray address =
            profileOf(R"j("basic":{"IP(3)":"10","IP(2)":"20","IP(1)":"30","IP(0)":"40"})j");
        row("compare: an address as one value", {"compare", "basic", "--profile", "@"}, 8,
            {"IP: profile 10.20.30.40, controller 192.168.1.5\n", "!IP(3)"}, address);
        row("compare: one box alone", {"compare", "basic", "--profile", "@"}, 8,
            {"IP(0): profile \"7\", controller \"5\"\n"}, profileOf(R"j("basic":{"IP(0)":"7"})j"));
        row("provision --check: an address as one value", {"provision", "--plan", "@", "--check"}, 8,
            {"\n  IP: plan 10.0.0.7, controller 192.168.1.5\n"}, "MAC,IP\n02:4B:58:00:12:34,10.0.0.7\n");
    }

    void words() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, profile);
        QFETCH(int, code);
        QFETCH(QStringList, shown);
        QVERIFY(writeAll(dir_.filePath("profile.json"), profile));
        args.replaceInStrings(QRegularExpression("^@$"), dir_.filePath("profile.json"));
        const Run r = runCli(on(args));
        QCOMPARE(r.code, code);
        const QString said =
            r.out + r.err + QString::fromUtf8(args.contains("-o") ? readAll(args.last()) : "");
        for (const QString& text : shown)
            QVERIFY2(said.contains(text.mid(text.startsWith('!'))) != text.startsWith('!'), qPrintable(said));
        QVERIFY(!said.contains(QChar(0x1B)));
        if (code == 2 || code == 3 || code == 5) {  // nothing sent, nothing written
            QVERIFY(sim_.log().empty());
            QCOMPARE(readAll(dir_.filePath("profile.json")), profile);
        }
    }

    // A controller of each reply style the tool accepts, through the real
    // port: retrieved, stored with read-back and reboot, compared,
    // provisioned from a plan and found by the scan.
    void styles_data() {
        QTest::addColumn<korvex::ReplyStyle>("style");
        QTest::addColumn<korvex::LineEnd>("lineEnd");
        QTest::addColumn<int>("station");
        QTest::addColumn<QString>("firmware");  // what the controller says; the tool shows ten characters
        using S = korvex::ReplyStyle;
        using E = korvex::LineEnd;
        QTest::newRow("short, CR") << S::Short << E::CR << 1 << "KRVX-E1.07";
        QTest::newRow("repeat, CR LF") << S::Repeat << E::CRLF << 2 << "KRVX-E1.07";
        QTest::newRow("endcode, LF") << S::EndCode << E::LF << 3 << "KRVX-E1.07-B12";
        QTest::newRow("bare, CR") << S::Bare << E::CR << 4 << "E1.07";
        QTest::newRow("lower, CR LF") << S::Lower << E::CRLF << 0x1A << "KRVX-E1.07";
    }

    void styles() {
        QFETCH(korvex::ReplyStyle, style);
        QFETCH(korvex::LineEnd, lineEnd);
        QFETCH(int, station);
        QFETCH(QString, firmware);
        sim_.setStyle(style);
        sim_.setLineEnd(lineEnd);
        sim_.setStation(station);
        sim_.setVersion(firmware.toStdString());
        const auto restore = qScopeGuard([this] {
            sim_.setStyle(korvex::ReplyStyle::Short);
            sim_.setLineEnd(korvex::LineEnd::CR);
            sim_.setStation(1);
            sim_.setVersion("KRVX-E1.07");
        });
        const QString before = dir_.filePath("before.json"), after = dir_.filePath("after.json");
        const QString plan = dir_.filePath("plan.csv");
        QCOMPARE(runCli(on({"retrieve", "all", "--json", "-o", before})).code, 0);
        QVERIFY(readAll(before).contains(("\"version\": \"" + firmware.left(10) + '"').toUtf8()));
        const int reboots = sim_.rebootCount();
        const Run stored =
            runCli(on({"store", "basic", "--set", "IP=10.0.0.7", "--verify", "--reboot", "--yes"}));
        QVERIFY2(stored.code == 0, qPrintable(stored.err));
        QCOMPARE(sim_.rebootCount(), reboots + 1);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(&sim_.memory()[524]), 4),
                 QByteArray("\x0A\0\0\x07", 4));
        QCOMPARE(runCli(on({"retrieve", "all", "--json", "-o", after})).code, 0);
        const Run same = runCli(on({"compare", "all", "--profile", after}));
        QCOMPARE(same.code, 0);
        QCOMPARE(runCli(on({"compare", "basic", "--profile", before})).code, 8);
        QVERIFY(writeAll(plan, "MAC,IP,hostName\n02:4B:58:00:12:34,10.0.0.9,Styled\n"));
        const Run provisioned = runCli(on({"provision", "--plan", plan, "--yes"}));
        QVERIFY2(provisioned.code == 0, qPrintable(provisioned.err));
        QCOMPARE(sim_.memory()[527], 9);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(&sim_.memory()[666]), 7),
                 QByteArray("Styled\0", 7));
        const Run found =
            runCli({"scan", "--port", QString::fromStdString(sim_.devicePath()), "--baud", "9600"});
        QCOMPARE(found.code, 0);
        QVERIFY2(
            found.out.contains(QStringLiteral("station %1, firmware %2").arg(station).arg(firmware.left(10))),
            qPrintable(found.out));
    }

    // A store changes what it names and nothing else: what it does not name is
    // read from the controller first. It never reboots into what was not meant.
    void store_data() {
        QTest::addColumn<QStringList>("args");  // "@all": a profile naming every box
        QTest::addColumn<int>("fault");         // 1: a loopback plug; 2: the controller keeps no byte at 672
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("address");
        QTest::addColumn<QByteArray>("bytes");  // the change to the controller's memory
        QTest::addColumn<bool>("readsFirst");
        QTest::newRow("every box named, verified, rebooted")
            << QStringList{"--profile", "@all", "--set", "IP=10.0.0.7", "--verify", "--reboot"} << 0 << 0
            << kStoredText << 524 << QByteArray("\x0A\x00\x00\x07", 4) << false;
        QTest::newRow("loopback plug: nothing written")
            << QStringList{"--set", "IP(0)=9"} << 1 << 4 << "Invalid response from Device!\nThe line echoes"
            << 0 << QByteArray() << false;
        QTest::newRow("verify mismatch")
            << QStringList{"--set", "hostName=Press 8", "--verify", "--reboot"} << 2 << 6
            << "Verify failed: Node Name reads 'Press i', wrote 'Press 8'" << 666
            << QByteArray("Press i\0", 8) << true;
    }

    void store() {
        QFETCH(QStringList, args);
        QFETCH(int, fault);
        QFETCH(int, code);
        QFETCH(QString, shown);
        QFETCH(int, address);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, readsFirst);
        QCOMPARE(runCli(on({"retrieve", "basic", "--json", "-o", dir_.filePath("@all")})).code, 0);
        args.replaceInStrings(QRegularExpression("^@"), dir_.filePath("@"));
        korvex::Faults faults;
        faults.silent = faults.echo = fault == 1;
        faults.ignoreWriteAtAddress = fault == 2 ? 672 : -1;  // the '8'
        sim_.setFaults(faults);
        const int reboots = sim_.rebootCount();
        sim_.clearLog();
        const Run r = runCli(on(QStringList{"store", "basic", "--yes"} + args));
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(shown), qPrintable(r.err));
        QVERIFY(!r.err.contains(QLatin1String(kRetrievedText)));  // the read first is quiet
        const auto log = sim_.log();
        // Besides the flag byte, the block is read before anything is written.
        const auto has = [](const char* command) {
            return [command](const std::string& s) { return s.find(command) != s.npos; };
        };
        const auto firstWrite = std::find_if(log.begin(), log.end(), has("MW"));
        QCOMPARE(std::count_if(log.begin(), firstWrite, has("MR")) > 1, readsFirst);
        QVERIFY(sim_.memory() == test::factoryWith(address, bytes));
        QCOMPARE(sim_.rebootCount(), reboots + (code == 0 && args.contains("--reboot") ? 1 : 0));
    }

    // The bar is labelled with the operation and ends at 100% or with the
    // failure; a quiet success adds no message.
    void progressBar_data() {
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<bool>("quiet");
        QTest::addColumn<QString>("shown");
        const QString half =
            QStringLiteral("\rstore basic [") + QString(15, '#') + QString(15, '.') + "]  50%";
        QTest::newRow("success") << Outcome::Success << false
                                 << half + "\rstore basic [" + QString(30, '#') + "] 100%\nDone\n";
        QTest::newRow("quiet success") << Outcome::Success << true << QString(30, '#') + "] 100%\n";
        QTest::newRow("failure") << Outcome::NoResponse << true << half + " failed\nDone\n";
    }
    void progressBar() {
        QFETCH(Outcome, outcome);
        QFETCH(bool, quiet);
        QFETCH(QString, shown);
        std::FILE* err = std::tmpfile();
        {
            cli::StreamMessageLine line(err, {QStringLiteral("store basic"), 4, quiet}, true);
            line.setCaption("* * ");
            line.processEvents();
            line.setCaption("Done");
            line.finish(outcome);
        }
        const QString said = QString::fromUtf8(drain(err));
        QVERIFY2(said.endsWith(shown), qPrintable(said));
    }

    // Save Profile into an existing file keeps all it holds beyond the saved
    // block, even when that block would not load; the dialog is asked to add
    // ".json" itself, so that its overwrite question is about this file.
    void saveProfileKeepsWhatTheFileHolds() {
        const QString path = dir_.filePath("kept");
        QVERIFY(writeAll(
            path,
            profileOf(R"j("basic":{"IP(0)":"999"},"advanced":{"MovAvgNo":" 5"},"controller":{"MAC":"x"})j")));
        TestNotifier notes;
        notes.answerFile(path);
        HeadlessForm form;
        initBasicForm(form);
        form.setText("IP(0)", "7");
        form.setChecked("EnablePW(0)", true);
        saveProfileFromWindow(notes, nullptr, form, Block::Basic, basicMap());
        QCOMPARE(notes.lastSuffix(), QString("json"));
        QCOMPARE(notes.boxes().size(), 0u);
        const QJsonObject root = QJsonDocument::fromJson(readAll(path)).object();
        QCOMPARE(root["basic"].toObject()["IP(0)"].toString(), QString("7"));
        QCOMPARE(root["basic"].toObject()["EnablePW"].toString(), QString("Yes"));
        QVERIFY(!checkBlock(root["basic"].toObject(), basicMap(), "basic"));  // empty boxes saved as stored
        QCOMPARE(root["advanced"].toObject(), QJsonObject({{"MovAvgNo", " 5"}}));
        QCOMPARE(root["controller"].toObject(), QJsonObject({{"MAC", "x"}}));
    }

    // Hostile files and output targets, on the command line and in the windows:
    // refused at once with a clear message, no hang, no false success, nothing
    // lost; a device stays a device.
    void hostileFilesAndTargets_data() {
        QTest::addColumn<QString>("through");  // store, retrieve, stdout; load, saveProfile
        QTest::addColumn<QString>(
            "target");                  // a path, or what to make: fifo, big, full, existing (disk full)
        QTest::addColumn<int>("code");  // the command line's exit code
        QTest::addColumn<QString>("message");  // on standard error, or in the window's box
        const auto row = [](const char* name, const char* through, const char* target, int code,
                            const QString& message) {
            QTest::newRow(name) << QString(through) << QString(target) << code << message;
        };
        const QString device = QStringLiteral("it is not a regular file");
        row("profile FIFO without a writer", "store", "fifo", 2, device);
        row("profile missing", "store", "missing", 2, "No such file or directory");
        row("profile of 2 MiB", "store", "big", 2, "the file is larger than 1 MiB");
        row("-o /dev/full", "retrieve", "full", 1, "full: " + device);
        row("-o existing, disk full", "retrieve", "existing", 1, "Cannot write");
        row("standard output /dev/full", "stdout", "/dev/full", 1,
            "cannot write to standard output: No space left on device");
        // Differences nobody could read are no result: exit 1, not 8.
        row("provision --check, standard output /dev/full", "check", "/dev/full", 1,
            "cannot write to standard output: No space left on device");
        row("Load Profile FIFO", "load", "fifo", 0, device);
        row("Save Profile existing, disk full", "saveProfile", "existing", 0, "Cannot write");
    }

    void hostileFilesAndTargets() {
        QFETCH(QString, through);
        QFETCH(QString, target);
        QFETCH(int, code);
        QFETCH(QString, message);
        QTemporaryDir rowDir;
        const QString good = rowDir.filePath("good.json");
        QCOMPARE(runCli(on({"retrieve", "all", "--json", "-o", good})).code, 0);
        const QByteArray goodBytes = readAll(good);
        QString path = target == "existing"     ? good
                       : target.startsWith('/') ? target
                                                : rowDir.filePath(target);
        std::jthread guard;
        if (target == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            guard = fifoGuard(path);
        } else if (target == "full") {
            // A twin of /dev/full where the superuser may make one: should the
            // check ever go, a save replaces the twin, not the machine's device.
            if (::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, makedev(1, 7)) != 0)
                path = "/dev/full";
        } else if (target == "big") {
            QVERIFY(writeAll(path, QByteArray(2 * 1024 * 1024, ' ')));
        }
        const bool diskFull = target == "existing";  // the file is larger than the disk allows
        if (through == "store" || through == "retrieve" || through == "stdout" || through == "check") {
            QStringList args{"store", "basic", "--yes", "--profile", path};
            if (through == "retrieve") args = QStringList{"retrieve", "all", "--json", "-o", path};
            if (through == "stdout") args = QStringList{"retrieve", "basic"};
            const QString plan = rowDir.filePath("plan.csv");
            QVERIFY(writeAll(plan, "MAC,hostName\n02:4B:58:00:12:34,Press 9\n"));
            if (through == "check") args = QStringList{"provision", "--plan", plan, "--check"};
            setDiskFull(diskFull);
            const Run r = runCli(on(args), target == "/dev/full" ? std::fopen("/dev/full", "w") : nullptr);
            setDiskFull(false);
            QCOMPARE(r.code, code);
            QVERIFY2(r.err.contains(message), qPrintable(r.err));
            QVERIFY(!r.err.contains(QLatin1String(kStoredText)));
        } else {  // through the windows' buttons
            EndToEnd e2e;
            QVERIFY(e2e.ready());
            e2e.notes().answerFile(path);
            e2e.form(Block::Basic).setText("IP(0)", "77");  // an edit not saved anywhere
            setDiskFull(diskFull);
            EndToEnd::click(e2e.window(Block::Basic), through == "load" ? "LoadProfile" : "SaveProfile");
            setDiskFull(false);
            QCOMPARE(e2e.notes().boxes().size(), 1u);
            QVERIFY2(e2e.notes().lastText().contains(message), qPrintable(e2e.notes().lastText()));
            QCOMPARE(e2e.form(Block::Basic).text("IP(0)"), QString("77"));
        }
        QCOMPARE(readAll(good), goodBytes);
        struct stat info {};
        if (target == "full")
            QVERIFY(::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISCHR(info.st_mode));
    }

    // The command line's store and the window's store of one profile put the
    // same requests on the wire, in the same order. The profile does not name
    // every box: the command line reads the block first, as a user of the window
    // retrieves first.
    void windowAndCommandLineStoreAlike() {
        const QString path = dir_.filePath("same.json");
        QVERIFY(writeAll(path,
                         profileOf(R"j("basic":{"IP(3)":"10","IP(0)":"3","hostName":"Line 4","svrport":"9081",
        "No_of_MBtcp":"4","username":"op","password":"pw","AccessLevel":3,"EnablePW":"Yes"},
        "advanced":{"TIP2(0)":"8","ADmcal(1)":"-1","ADzcal(2)":"55","MovAvgNo":"5","MBtrusted":"Yes"})j")));
        for (const Block block : {Block::Basic, Block::Advanced}) {
            init();
            const QString name = block == Block::Basic ? "basic" : "advanced";
            QCOMPARE(runCli(on({"store", name, "--profile", path, "--reboot", "--yes"})).code, 0);
            EndToEnd e2e;
            QVERIFY(e2e.ready());
            e2e.retrieve(block);
            e2e.notes().answerFile(path);
            EndToEnd::click(e2e.window(block), "LoadProfile");
            e2e.form(block).setChecked("ResetPLC", true);
            e2e.store(block);
            QCOMPARE(e2e.sim().log(), sim_.log());
            QVERIFY(e2e.sim().memory() == sim_.memory());
        }
    }

private:
    QStringList on(QStringList args) const {
        if (!args.contains(QStringLiteral("--port")))
            args = QStringList{QStringLiteral("--port"), QString::fromStdString(sim_.devicePath())} + args;
        return args;
    }
    QTemporaryDir dir_;
    korvex::PtySimulator sim_;
};

QTEST_MAIN(TestCli)
#include "test_cli.moc"
