// The command-line twin against the simulated controller on a pty: what it
// prints, what it writes, and its exit codes; and the profile buttons of the
// windows.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>

#include "advanced/advancedform.h"
#include "advanced/advancedwindow.h"
#include "app/cli.h"
#include "basic/basicform.h"
#include "basic/basicmap.h"
#include "basic/basicwindow.h"
#include "config/form.h"
#include "config/profile.h"
#include "config/profileactions.h"
#include "e2efixture.h"
#include "serial/serialcommwindow.h"
#include "sim/pty.h"

using namespace tarvelin;
using namespace tarvelin::test;

namespace {

struct Run {
    int code;
    QString out;
    QString err;
};

QString drain(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    QByteArray bytes;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, static_cast<qsizetype>(n));
    std::fclose(f);
    return QString::fromUtf8(bytes);
}

// Standard output is a temporary file unless `out` is given (and then not read).
Run runCli(const QStringList& args, std::FILE* given = nullptr) {
    std::FILE* out = given ? given : std::tmpfile();
    std::FILE* err = std::tmpfile();
    std::FILE* in = std::tmpfile();  // not a terminal: no one answers a question
    const int code = cli::run(args, out, err, in);
    std::fclose(in);
    if (given) std::fclose(given);
    return {code, given ? QString() : drain(out), drain(err)};
}

QStringList on(const korvex::PtySimulator& sim, QStringList args) {
    return QStringList{"--port", QString::fromStdString(sim.devicePath())} + args;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString profileOf(const QString& basicBlock) {
    return QStringLiteral(R"j({"format":"tarvelin-configuration-profile","version":1,"basic":%1})j")
        .arg(basicBlock);
}

// Unblocks anyone stuck opening the FIFO for reading (the fault its rows are
// about), so that such a row fails instead of hanging the test.
class FifoGuard {
public:
    explicit FifoGuard(const QString& path) : path_(QFile::encodeName(path)), thread_([this] { poke(); }) {}
    ~FifoGuard() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

private:
    void poke() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!wake_.wait_for(lock, std::chrono::seconds(3), [this] { return done_; })) {
            const int fd = ::open(path_.constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) ::close(fd);
        }
    }
    QByteArray path_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};

// Files may grow to `bytes` only while it lives (a full disk for the writes in between).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit old_{};
    void (*previous_)(int);
};

bool isCharacterDevice(const char* path) {
    struct stat info {};
    return ::stat(path, &info) == 0 && S_ISCHR(info.st_mode);
}

}  // namespace

class TestCli : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QVERIFY(dir_.isValid());
        QVERIFY(sim_.start());
        sim_.setFaults({});
        sim_.setMemory(korvex::factoryImage());
        sim_.clearLog();
    }
    void cleanup() { sim_.stop(); }

    void identifyPrintsStationAndFirmware() {
        const Run r = runCli(on(sim_, {"identify"}));
        QCOMPARE(r.code, int(cli::kSuccess));
        QCOMPARE(r.out, QString("Station: 1\nFirmware: KRVX-E1.07\n"));
    }

    void retrieveAsTextAndJson() {
        auto image = korvex::factoryImage();
        EndToEnd::put(image, 524, {10, 0, 0, 7});
        EndToEnd::putText(image, 666, "Press 7");
        image[566] = 0x16;
        sim_.setMemory(image);

        const Run text = runCli(on(sim_, {"retrieve", "basic"}));
        QCOMPARE(text.code, int(cli::kSuccess));
        QVERIFY2(text.out.contains("IP(3) = \"10\"\nIP(2) = \"0\"\n"), qPrintable(text.out));
        QVERIFY(text.out.contains("svrport = \" 9080\"\n"));
        QVERIFY(text.out.contains("hostName = \"Press 7\"\n"));
        QVERIFY(text.out.contains("EnablePW = Yes\n"));
        QVERIFY(text.out.contains("AccessLevel = 1 - Programmer\n"));
        QVERIFY(text.err.contains("Successfully Retrieved Setup Data"));

        const QString path = dir_.filePath("all.json");
        const Run json = runCli(on(sim_, {"retrieve", "all", "--json", "-o", path}));
        QCOMPARE(json.code, int(cli::kSuccess));
        QVERIFY(json.out.isEmpty());
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QJsonObject root = QJsonDocument::fromJson(f.readAll()).object();
        QCOMPARE(root["format"].toString(), QString("tarvelin-configuration-profile"));
        QCOMPARE(root["basic"].toObject()["IP(0)"].toString(), QString("7"));
        QCOMPARE(root["advanced"].toObject()["Tarvelintrusted"].toString(), QString("Yes"));
        QCOMPARE(root["advanced"].toObject()["MovAvgNo"].toString(), QString(" 3"));
        QCOMPARE(root["controller"].toObject()["MAC"].toString(), QString("2-4B-58-0-12-34"));
        QVERIFY(!root["basic"].toObject().contains("MAC(5)"));
    }

    void storeFromProfileWithOverrides() {
        const QString path = dir_.filePath("plant.json");
        QCOMPARE(runCli(on(sim_, {"retrieve", "basic", "--json", "-o", path})).code, int(cli::kSuccess));
        sim_.clearLog();
        const int reboots = sim_.rebootCount();
        const Run r = runCli(on(sim_, {"store", "basic", "--profile", path, "--set", "IP=10.0.0.7", "--set",
                                    "hostName=Press 8", "--set", "AccessLevel=2", "--verify", "--reboot", "--yes"}));
        QCOMPARE(r.code, int(cli::kSuccess));
        QVERIFY(r.err.contains("Setup Data Stored to Device"));
        QVERIFY(!r.err.contains("Retrieved"));  // every control named: nothing read first
        const auto m = sim_.memory();
        QCOMPARE(int(m[524]), 10);
        QCOMPARE(int(m[527]), 7);
        QCOMPARE(int(m[556]), 50);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(&m[666]), 8), QByteArray("Press 8\0", 8));
        QCOMPARE(sim_.rebootCount(), reboots + 1);
    }

    void exitCodes_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("profile");  // written to plant.json first when not empty
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("nothingSent");
        const QString good = R"j({"format":"tarvelin-configuration-profile","version":1,"basic":{"IP(0)":"9"}})j";
        QTest::newRow("no words") << QStringList{} << "" << 2 << "Usage" << true;
        QTest::newRow("unknown command") << QStringList{"frobnicate"} << "" << 2 << "unknown command" << true;
        QTest::newRow("bad baud") << QStringList{"--baud", "x", "identify"} << "" << 2 << "--baud" << true;
        QTest::newRow("malformed profile") << QStringList{"store", "basic", "--profile", "@", "--yes"} << "{nope"
                                           << 2 << "not valid JSON" << true;
        QTest::newRow("store names nothing") << QStringList{"store", "basic", "--yes"} << "" << 2
                                             << "store needs --profile FILE or --set" << true;
        for (const char* timeout : {"2147483648", "1e30", "0", "-5", "abc"})
            QTest::addRow("timeout %s", timeout) << QStringList{"--timeout", timeout, "identify"} << "" << 2
                                                 << "--timeout takes a whole number" << true;
        QTest::newRow("no block") << QStringList{"store", "advanced", "--profile", "@", "--yes"} << good << 2
                                  << "holds no advanced settings" << true;
        QTest::newRow("no confirmation without a terminal")
            << QStringList{"store", "basic", "--profile", "@"} << good << 2 << "--yes" << true;
        QTest::newRow("missing port") << QStringList{"--port", "/nonexistent/tty", "identify"} << "" << 3
                                      << "COM Port already openned by other applications" << true;
        QTest::newRow("send without reply") << QStringList{"--timeout", "50", "send", "@05MR020C2A*"} << "" << 4
                                            << "(Warning: No Response from PLC)" << false;
    }

    void exitCodes() {
        QFETCH(QStringList, args);
        QFETCH(QString, profile);
        QFETCH(int, code);
        QFETCH(QString, message);
        QFETCH(bool, nothingSent);
        const QString path = dir_.filePath("plant.json");
        if (!profile.isEmpty()) writeFile(path, profile.toUtf8());
        args.replaceInStrings(QRegularExpression("^@$"), path);
        if (!args.contains("--port")) args = on(sim_, args);
        const Run r = runCli(args);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        if (nothingSent) QVERIFY(sim_.log().empty());
    }

    // Profiles and --set are read strictly; what cannot be read is 2, what
    // does not fit is 5, and either way nothing is sent.
    void strictValues_data() {
        QTest::addColumn<QString>("block");  // the profile's basic block; none when empty
        QTest::addColumn<QStringList>("sets");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        const QStringList none;
        const QString nul = QStringLiteral(R"j({"hostName":"Press)j") + QChar(0) + QStringLiteral(R"j(7"})j");
        QTest::newRow("letters in a number")
            << R"j({"IP(0)":"abc"})j" << none << 2
            << R"k(key "basic.IP(0)" must be a whole decimal number, not "abc")k";
        QTest::newRow("--set letters")
            << "" << QStringList{"IP(0)=abc"} << 2 << R"k(--set: key "basic.IP(0)" must be)k";
        QTest::newRow("--set empty octet") << "" << QStringList{"IP=1..2.3"} << 2
                                           << R"k(key "basic.IP(2)" must be a whole decimal number, not "")k";
        QTest::newRow("fraction") << R"j({"svrport":9080.5})j" << none << 2 << "not \"9080.5\"";
        QTest::newRow("blank where the box shows none") << R"j({"IP(0)":" 9"})j" << none << 2 << "not \" 9\"";
        QTest::newRow("raw NUL in a text")
            << nul << none << 2 << "hostName\" holds a control character (code 0)";
        QTest::newRow("--set tab in a text") << "" << QStringList{"username=a\tb"} << 2 << "(code 9)";
        QTest::newRow("wrong type") << R"j({"IP(0)":true})j" << none << 2
                                    << "must be a text or a number, not true/false";
        QTest::newRow("unknown key") << R"j({"MAC(5)":"1"})j" << none << 2
                                     << "not a setting of the basic window";
        QTest::newRow("--set unknown key") << "" << QStringList{"Foo=1"} << 2 << "not a setting";
        QTest::newRow("--set no such level")
            << "" << QStringList{"AccessLevel=4"} << 2 << "must be 1, 2, 3 or null";
        QTest::newRow("out of range")
            << R"j({"svrport":"70000"})j" << none << 5 << "70000 is not between 0 and 65535";
        QTest::newRow("--set out of range")
            << "" << QStringList{"IP(0)=300"} << 5 << "300 is not between 0 and 255";
        QTest::newRow("negative octet")
            << R"j({"IP(0)":"-5"})j" << none << 5 << "-5 is not between 0 and 255";
        QTest::newRow("huge number") << R"j({"IP(0)":1e30})j" << none << 5 << "is not between 0 and 255";
        QTest::newRow("endless digits")
            << R"j({"No_of_MBtcp":"99999999999999999999999"})j" << none << 5 << "is not between 0 and 255";
        QTest::newRow("character without a byte")
            << QString::fromUtf8(R"j({"hostName":"Ω"})j") << none << 5 << "cannot be stored";
    }

    void strictValues() {
        QFETCH(QString, block);
        QFETCH(QStringList, sets);
        QFETCH(int, code);
        QFETCH(QString, message);
        QStringList args{"store", "basic", "--yes"};
        if (!block.isEmpty()) {
            writeFile(dir_.filePath("strict.json"), profileOf(block).toUtf8());
            args << "--profile" << dir_.filePath("strict.json");
        }
        for (const QString& set : sets) args << "--set" << set;
        const Run r = runCli(on(sim_, args));
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(sim_.log().empty());
        QVERIFY(sim_.memory() == korvex::factoryImage());
    }

    // A store that names some controls changes only those: the rest is read
    // from the controller first.
    void storeOfSomeControlsChangesOnlyThose_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("profile") << QStringList{"--profile", "@"};
        QTest::newRow("--set alone") << QStringList{"--set", "IP(0)=9"};
    }

    void storeOfSomeControlsChangesOnlyThose() {
        QFETCH(QStringList, args);
        const QString path = dir_.filePath("one.json");
        writeFile(path, profileOf(R"j({"IP(0)":"9"})j").toUtf8());
        args.replaceInStrings(QRegularExpression("^@$"), path);
        const Run r = runCli(on(sim_, QStringList{"store", "basic", "--yes"} + args));
        QCOMPARE(r.code, int(cli::kSuccess));
        auto expected = korvex::factoryImage();
        expected[527] = 9;
        QVERIFY2(sim_.memory() == expected, qPrintable(EndToEnd::differences(sim_.memory(), expected)));
    }

    // Save Profile into an existing file keeps all it holds beyond the saved
    // block, even when that block would not load; the dialog is asked to add
    // ".json" itself, so that its overwrite question is about this file.
    void saveProfileKeepsWhatTheFileHolds() {
        const QString path = dir_.filePath("kept");  // as the dialog gives it
        writeFile(path, R"j({"format":"tarvelin-configuration-profile","version":1,"basic":{"IP(0)":"999"},
                             "advanced":{"MovAvgNo":" 5"},"controller":{"MAC":"2-4B-58-0-12-34"}})j");
        NotifierScope notes;
        notes->answerFile(path);
        HeadlessForm form;
        initBasicForm(form);
        form.setText("IP(0)", "7");
        saveProfileFromWindow(nullptr, form, Block::Basic, basicMap());
        QCOMPARE(notes->lastSuffix(), QString("json"));
        QCOMPARE(notes->boxes().size(), 0u);
        const QJsonObject root = QJsonDocument::fromJson(readFile(path)).object();
        QCOMPARE(root["basic"].toObject()["IP(0)"].toString(), QString("7"));
        // Empty boxes are saved as a store writes them: the file loads again.
        QVERIFY(!checkBlock(root["basic"].toObject(), basicMap(), "basic"));
        QCOMPARE(root["advanced"].toObject(), QJsonObject({{"MovAvgNo", " 5"}}));
        QCOMPARE(root["controller"].toObject()["MAC"].toString(), QString("2-4B-58-0-12-34"));
    }

    // Hostile files and output targets, on the command line and in the
    // windows: refused at once with a clear message, no hang, no crash, no
    // false success, nothing lost; a device stays a device.
    void hostileFilesAndTargets_data() {
        QTest::addColumn<QString>("through");  // store, retrieve, stdout; load, saveProfile, saveLog
        QTest::addColumn<QString>("target");   // a path, or what to make: fifo, big, folder, ...
        QTest::addColumn<int>("code");         // the command line's exit code
        QTest::addColumn<QString>("message");  // on standard error, or in the window's box
        QTest::newRow("profile /dev/zero") << "store"
                                           << "/dev/zero" << 2 << "it is not a regular file";
        QTest::newRow("profile FIFO without writer") << "store"
                                                     << "fifo" << 2 << "it is not a regular file";
        QTest::newRow("profile of 2 MiB") << "store"
                                          << "big" << 2 << "the file is larger than 1 MiB";
        QTest::newRow("profile is a folder") << "store"
                                             << "folder" << 2 << "it is a folder";
        QTest::newRow("profile dangling link") << "store"
                                               << "dangling" << 2 << "No such file or directory";
        QTest::newRow("profile link to a good one") << "store"
                                                    << "link" << 0 << "Setup Data Stored to Device";
        QTest::newRow("-o /dev/full") << "retrieve"
                                      << "full" << 1 << "full: it is not a regular file";
        QTest::newRow("-o unwritable folder") << "retrieve"
                                              << "unwritable" << 1 << "Cannot write";
        QTest::newRow("-o existing, disk full") << "retrieve"
                                                << "existing" << 1 << "Cannot write";
        QTest::newRow("standard output /dev/full")
            << "stdout"
            << "/dev/full" << 1 << "cannot write to standard output: No space left on device";
        QTest::newRow("Load Profile /dev/zero") << "load"
                                                << "/dev/zero" << 0 << "it is not a regular file";
        QTest::newRow("Load Profile FIFO") << "load"
                                           << "fifo" << 0 << "it is not a regular file";
        QTest::newRow("Save Profile /dev/full") << "saveProfile"
                                                << "full" << 0 << "it is not a regular file";
        QTest::newRow("Save Profile existing, disk full") << "saveProfile"
                                                          << "existing" << 0 << "Cannot write";
        QTest::newRow("Save Log /dev/full") << "saveLog"
                                            << "full" << 0 << "it is not a regular file";
        QTest::newRow("Save Log existing, disk full") << "saveLog"
                                                      << "existing" << 0 << "could not be saved";
    }

    void hostileFilesAndTargets() {
        QFETCH(QString, through);
        QFETCH(QString, target);
        QFETCH(int, code);
        QFETCH(QString, message);
        QTemporaryDir rowDir;
        const QString good = rowDir.filePath("good.json");
        QCOMPARE(runCli(on(sim_, {"retrieve", "all", "--json", "-o", good})).code, 0);
        const QByteArray goodBytes = readFile(good);
        QString path = target;
        std::unique_ptr<FifoGuard> guard;
        if (target == "fifo") {
            path = rowDir.filePath("fifo");
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            guard = std::make_unique<FifoGuard>(path);
        } else if (target == "full") {
            // A twin of /dev/full where the superuser may make one: should the
            // guard ever go, a save replaces the twin, not the machine's device.
            path = rowDir.filePath("full");
            if (::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, makedev(1, 7)) != 0)
                path = "/dev/full";
        } else if (target == "big") {
            path = rowDir.filePath("big.json");
            writeFile(path, QByteArray(2 * 1024 * 1024, ' '));
        } else if (target == "folder") {
            path = rowDir.path();
        } else if (target == "dangling" || target == "link") {
            path = rowDir.filePath(target + ".json");
            QVERIFY(QFile::link(target == "link" ? good : rowDir.filePath("gone.json"), path));
        } else if (target == "unwritable") {
            QVERIFY(QDir(rowDir.path()).mkdir("locked"));
            QVERIFY(QFile::setPermissions(rowDir.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner));
            // The superuser writes anywhere but in /sys.
            path = (::access(QFile::encodeName(rowDir.filePath("locked")).constData(), W_OK) == 0
                        ? "/sys/kernel"
                        : rowDir.filePath("locked")) +
                   "/out.json";
        } else if (target == "existing") {
            path = good;
        }
        std::unique_ptr<FileSizeLimit> full;
        const auto diskFull = [&] {
            if (target == "existing") full = std::make_unique<FileSizeLimit>(512);  // the profile is larger
        };

        if (through == "store" || through == "retrieve" || through == "stdout") {
            QStringList args{"store", "basic", "--yes", "--profile", path};
            if (through == "retrieve") args = QStringList{"retrieve", "all", "--json", "-o", path};
            if (through == "stdout") args = QStringList{"retrieve", "basic"};
            diskFull();
            const Run r =
                runCli(on(sim_, args), through == "stdout" ? std::fopen("/dev/full", "w") : nullptr);
            full.reset();
            QCOMPARE(r.code, code);
            QVERIFY2(r.err.contains(message), qPrintable(r.err));
            QVERIFY(!r.err.contains("Setup Data Stored") || code == 0);
        } else {
            EndToEnd e2e;
            QVERIFY(e2e.ready());
            e2e.basicForm().setText("IP(0)", "77");  // an edit not saved anywhere
            e2e.notes().answerFile(path);
            if (through == "saveLog") {
                e2e.terminal()->findChild<QPlainTextEdit*>("responseBox")->setPlainText(QString(2000, 'x'));
                diskFull();
                e2e.terminal()->findChild<QPushButton*>("saveLog")->click();
            } else {
                diskFull();
                EndToEnd::click(e2e.basic(), through == "load" ? "LoadProfile" : "SaveProfile");
            }
            full.reset();
            QCOMPARE(e2e.notes().boxes().size(), 1u);
            QVERIFY2(e2e.notes().lastText().contains(message), qPrintable(e2e.notes().lastText()));
            QCOMPARE(e2e.basicForm().text("IP(0)"), QString("77"));
        }
        QCOMPARE(readFile(good), goodBytes);
        if (target == "full") QVERIFY(isCharacterDevice(QFile::encodeName(path).constData()));
    }

    // A line without a controller: silent, or a loopback plug that sends back
    // everything (through the real port, a store that writes nothing).
    void lineWithoutController_data() {
        QTest::addColumn<bool>("loopback");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("silent") << false << QStringList{"No Response from Device!"};
        QTest::newRow("loopback plug")
            << true << QStringList{"Invalid response from Device!", "loopback plug"};
    }
    void lineWithoutController() {
        QFETCH(bool, loopback);
        QFETCH(QStringList, messages);
        korvex::Faults faults;
        faults.silent = true;
        faults.echo = loopback;
        sim_.setFaults(faults);
        const QString path = dir_.filePath("plant.json");
        writeFile(path, R"j({"format":"tarvelin-configuration-profile","version":1,"basic":{"IP(0)":"9"}})j");
        const auto before = sim_.memory();
        const auto writes = sim_.writes().size();
        const Run r = runCli(on(sim_, {"--timeout", "30", "store", "basic", "--profile", path, "--yes"}));
        QCOMPARE(r.code, int(cli::kNoResponse));
        for (const QString& m : messages) QVERIFY2(r.err.contains(m), qPrintable(r.err));
        QCOMPARE(sim_.writes().size(), writes);
        QVERIFY(sim_.memory() == before);
    }

    void verifyMismatch() {
        const QString path = dir_.filePath("plant.json");
        writeFile(path, R"j({"format":"tarvelin-configuration-profile","version":1,"basic":{"hostName":"Press 8"}})j");
        korvex::Faults faults;
        faults.ignoreWriteAtAddress = 672;  // the '8'
        sim_.setFaults(faults);
        const int reboots = sim_.rebootCount();
        const Run r = runCli(on(sim_, {"store", "basic", "--profile", path, "--verify", "--reboot", "--yes"}));
        QCOMPARE(r.code, int(cli::kVerifyMismatch));
        QVERIFY2(r.err.contains("Verify failed: Node Name reads 'Press i', wrote 'Press 8'"), qPrintable(r.err));
        QCOMPARE(sim_.rebootCount(), reboots);  // never reboot into what was not meant
    }

    void sendFramesForAStation() {
        Run r = runCli(on(sim_, {"send", "IR*"}));
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString("IR01\n"));
        r = runCli(on(sim_, {"send", "MR020C", "--frame", "1"}));
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.startsWith("@01MRC0"), qPrintable(r.out));
        QCOMPARE(sim_.log().back(), std::string("@01MR020C2F*"));
        // The reply shown as the terminal lists it: here an echo of a text
        // with a byte of the invisible range 128..159.
        korvex::Faults echo;
        echo.echo = true;
        sim_.setFaults(echo);
        r = runCli(on(sim_, {"send", QString("@A") + QChar(0x85) + QChar(0xE9)}));
        QCOMPARE(r.out, QString("@A<85>") + QChar(0xE9) + "\n");
    }

    // The command line's store and the window's store of the same values put
    // the same requests on the wire, in the same order.
    void windowAndCommandLineStoreAlike() {
        const QString path = dir_.filePath("same.json");
        writeFile(path, R"j({"format":"tarvelin-configuration-profile","version":1,
            "basic":{"IP(3)":"10","IP(2)":"1","IP(1)":"2","IP(0)":"3","hostName":"Line 4","svrport":"9081",
                     "No_of_MBtcp":"4","username":"op","password":"pw","AccessLevel":3,"EnablePW":"Yes"},
            "advanced":{"TIP2(0)":"8","ADmcal(1)":"-1","ADzcal(2)":"55","MovAvgNo":"5","MBtrusted":"Yes"}})j");
        for (const char* block : {"basic", "advanced"}) {
            const bool basic = QByteArray(block) == "basic";
            sim_.setMemory(korvex::factoryImage());
            sim_.clearLog();
            QCOMPARE(runCli(on(sim_, {"store", block, "--profile", path, "--reboot", "--yes"})).code, 0);
            const auto cliLog = sim_.log();
            const auto cliMemory = sim_.memory();

            // The profile does not name every control: the command line reads
            // the block first, as a user of the window retrieves first.
            EndToEnd e2e;
            QVERIFY(e2e.ready());
            e2e.sim().setMemory(korvex::factoryImage());
            e2e.forget();
            basic ? e2e.retrieveBasic() : e2e.retrieveAdvanced();
            TestNotifier& notes = e2e.notes();
            notes.answerFile(path);
            EndToEnd::click(basic ? static_cast<QWidget*>(e2e.basic()) : static_cast<QWidget*>(e2e.advanced()),
                            "LoadProfile");
            Form& form = basic ? e2e.basicForm() : e2e.advancedForm();
            form.setChecked("ResetPLC", true);
            basic ? e2e.saveBasic(EndToEnd::Yes) : e2e.saveAdvanced(EndToEnd::Yes);
            const auto windowLog = e2e.log();
            for (std::size_t i = 0; i < std::min(windowLog.size(), cliLog.size()); ++i)
                QVERIFY2(windowLog[i] == cliLog[i],
                         qPrintable(QString("request %1: window %2, command line %3")
                                        .arg(i).arg(QString::fromStdString(windowLog[i]), QString::fromStdString(cliLog[i]))));
            QCOMPARE(windowLog.size(), cliLog.size());
            QVERIFY2(e2e.memory() == cliMemory, qPrintable(EndToEnd::differences(e2e.memory(), cliMemory)));
        }
    }

    // Save Profile then Load Profile in the windows brings back every control;
    // a malformed profile changes nothing and says what is wrong.
    void profileRoundTripInTheWindows() {
        EndToEnd e2e;
        QVERIFY(e2e.ready());
        auto image = EndToEnd::patternImage();
        for (int a = 524; a <= 543; ++a) image[a] = a % 200;
        for (int a = 634; a <= 681; ++a) image[a] = 'A' + a % 58;  // texts without control characters
        image[544] = 4;
        image[556] = 51;
        for (int a = 682; a <= 705; ++a) image[a] = a - 600;
        for (int a = 584; a <= 599; ++a) image[a] = a % 2 ? 50 : 0;
        for (int a = 616; a <= 623; ++a) image[a] = a % 2 ? 20 : 0;
        image[632] = 6;
        e2e.sim().setMemory(image);
        e2e.retrieveBasic();
        e2e.retrieveAdvanced();
        QCOMPARE(EndToEnd::message(e2e.advanced()), QString("Successfully Retrieved Setup Data"));

        const QString path = dir_.filePath("round.json");
        for (auto* window : {static_cast<QWidget*>(e2e.basic()), static_cast<QWidget*>(e2e.advanced())}) {
            e2e.notes().answerFile(path);
            EndToEnd::click(window, "SaveProfile");
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QJsonObject saved = QJsonDocument::fromJson(f.readAll()).object();
        QVERIFY(saved.contains("basic"));
        QVERIFY(saved.contains("advanced"));

        // Remember, spoil, load, compare.
        auto snapshot = [](Form& form, const QJsonObject& keys) {
            QStringList values;
            static const QStringList choices{"EnablePW", "AccessLevel", "Tarvelintrusted", "MBtrusted"};
            for (auto it = keys.begin(); it != keys.end(); ++it)
                if (!choices.contains(it.key())) values << it.key() + "=" + form.text(it.key());
            return values;
        };
        const QStringList basicBefore = snapshot(e2e.basicForm(), saved["basic"].toObject());
        const QStringList advancedBefore = snapshot(e2e.advancedForm(), saved["advanced"].toObject());
        const int levelBefore = e2e.basicForm().selectedIndex("AccessLevel");
        EndToEnd::click(e2e.basic(), "DefaultButton");
        EndToEnd::click(static_cast<QWidget*>(e2e.advanced()), "DefaultButton");
        QVERIFY(snapshot(e2e.basicForm(), saved["basic"].toObject()) != basicBefore);

        const QString broken = dir_.filePath("broken.json");
        writeFile(broken, R"j({"format":"tarvelin-configuration-profile","version":1,"basic":{"IP(0)":"7","IP(1)":"999"}})j");
        const QStringList defaults = snapshot(e2e.basicForm(), saved["basic"].toObject());
        e2e.notes().answerFile(broken);
        EndToEnd::click(e2e.basic(), "LoadProfile");
        QCOMPARE(snapshot(e2e.basicForm(), saved["basic"].toObject()), defaults);  // nothing changed
        QVERIFY2(e2e.notes().lastText().contains("IP(1)\": 999 is not between 0 and 255"),
                 qPrintable(e2e.notes().lastText()));

        for (auto* window : {static_cast<QWidget*>(e2e.basic()), static_cast<QWidget*>(e2e.advanced())}) {
            e2e.notes().answerFile(path);
            EndToEnd::click(window, "LoadProfile");
        }
        QCOMPARE(snapshot(e2e.basicForm(), saved["basic"].toObject()), basicBefore);
        QCOMPARE(snapshot(e2e.advancedForm(), saved["advanced"].toObject()), advancedBefore);
        QCOMPARE(e2e.basicForm().selectedIndex("AccessLevel"), levelBefore);
        QCOMPARE(e2e.advancedForm().isChecked("Tarvelintrusted(0)"), (image[566] & 4) != 0);
    }

    // The command line starts from the windows' initial state: the headless
    // forms hold what the windows hold when they are created.
    void headlessFormsStartAsTheWindows() {
        EndToEnd e2e;
        QVERIFY(e2e.ready());
        HeadlessForm basic;
        initBasicForm(basic);
        HeadlessForm advanced;
        initAdvancedForm(advanced);
        const QStringList skip{"commport", "messageLabel"};  // filled at load / by operations
        for (const QString& c : basic.textControls())
            if (!skip.contains(c)) QVERIFY2(basic.text(c) == e2e.basicForm().text(c), qPrintable(c));
        for (const QString& c : advanced.textControls())
            if (!skip.contains(c)) QVERIFY2(advanced.text(c) == e2e.advancedForm().text(c), qPrintable(c));
        QCOMPARE(basic.selectedIndex("AccessLevel"), e2e.basicForm().selectedIndex("AccessLevel"));
        for (const char* c : {"EnablePW(0)", "EnablePW(1)", "ResetPLC", "VerifyAfterSave"})
            QCOMPARE(basic.isChecked(c), e2e.basicForm().isChecked(c));
        for (const char* c : {"MBtrusted(0)", "MBtrusted(1)", "Tarvelintrusted(0)", "Tarvelintrusted(1)", "ResetPLC"})
            QCOMPARE(advanced.isChecked(c), e2e.advancedForm().isChecked(c));
        QVERIFY(basic.textControls().size() >= 30);
        QVERIFY(advanced.textControls().size() > 55);
    }

private:
    QTemporaryDir dir_;
    korvex::PtySimulator sim_;
};

QTEST_MAIN(TestCli)
#include "test_cli.moc"
