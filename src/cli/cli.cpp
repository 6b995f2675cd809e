#include "cli.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

#include "advanced/advancedform.h"
#include "advanced/advancedmap.h"
#include "advanced/advancedoperations.h"
#include "base/platform.h"
#include "base/safefile.h"
#include "basic/basicform.h"
#include "basic/basicmap.h"
#include "basic/basicoperations.h"
#include "cliprovision.h"
#include "cliscan.h"
#include "clisupport.h"
#include "config/codecs.h"
#include "config/memoryaccess.h"
#include "config/messageline.h"
#include "config/profile.h"
#include "serial/lineterminal.h"
#include "serial/qtserialline.h"
#include "serial/replytext.h"
#include "serial/traceline.h"
#include "tarvelin_version.h"

namespace tarvelin::cli {

QString helpText() {
    return QStringLiteral(
        "Usage: tarvelin-cli [--port NAME] [--baud N] [--timeout MS] [--trace FILE] COMMAND ...\n"
        "\n"
        "Reads and writes the Ethernet settings of a Korvex-PLC over a serial line.\n"
        "\n"
        "Commands:\n"
        "  identify                        print the station ID and the firmware version\n"
        "  retrieve basic|advanced|all [--json] [-o FILE]\n"
        "                                  print the settings (JSON: a profile, keyed by control name)\n"
        "  store basic|advanced [--profile FILE] [--set NAME=VALUE ...] [--reboot] [--verify] [--yes]\n"
        "                                  write the settings of a profile; --set overrides one control\n"
        "                                  (\"IP(0)=7\", or a whole address \"IP=10.0.0.7\"); --reboot "
        "restarts\n"
        "                                  the controller after the store; --verify reads everything back;\n"
        "                                  --yes skips the confirmation question. When the profile and\n"
        "                                  --set do not name every control of the block, the block is\n"
        "                                  first read from the controller, so that only what is named\n"
        "                                  changes\n"
        "  send TEXT [--frame STATION]     one exchange as the terminal does, optionally framed for a "
        "station\n"
        "  provision --plan PLAN.csv [--profile BASE.json] [--report REPORT.csv] [--reboot] [--yes]\n"
        "            [--loop [--again]] [--check]\n"
        "                                  reads the controller's MAC ID, finds its row in the plan and\n"
        "                                  stores the base profile with the row's values over it (only\n"
        "                                  the blocks they name; every written byte is read back);\n"
        "                                  --report appends a line per controller (time, MAC ID,\n"
        "                                  station, each planned control before and after, result);\n"
        "                                  --loop provisions one controller after another until Ctrl-C,\n"
        "                                  skipping one provisioned earlier in the run unless --again;\n"
        "                                  --check compares with the plan instead of writing\n"
        "  compare basic|advanced|all --profile FILE [--json] [-o FILE]\n"
        "                                  prints each control whose value on the controller differs\n"
        "                                  from the profile (control, profile value, controller value)\n"
        "  scan [--port NAME ...] [--baud N ...] [--json] [--enq-wait MS]\n"
        "                                  find controllers: tries every port at every baud rate (by\n"
        "                                  default COM1..COM6 and the system's ports, at the terminal's\n"
        "                                  baud rates, 9600 first) and prints port, baud rate, station\n"
        "                                  and firmware of each controller found; sends only ENQ, \"IR*\"\n"
        "                                  and \"VM*\". --port and --baud may be given more than once\n"
        "\n"
        "Options:\n"
        "  --port NAME     COM1..COM6 or a device path (default COM5; on Linux COMn is /dev/ttyS(n-1)\n"
        "                  unless KORVEX_COMn names another device)\n"
        "  --baud N        baud rate (default 9600)\n"
        "  --timeout MS    reply time-out in milliseconds, 1 to 60000 (default 500)\n"
        "  --trace FILE    append every byte sent and read to FILE, one line per write or read:\n"
        "                  milliseconds since the start, sent/read, the bytes (\"<ENQ>\", \"<CR>\")\n"
        "  --enq-wait MS   scan: how long each try waits for the ENQ answer, 1 to 60000 (default:\n"
        "                  two characters at the baud rate plus 100 ms)\n"
        "  -h, --help      this text\n"
        "  --version       the version of tarvelin-cli\n"
        "\n"
        "Results go to standard output, progress and messages to standard error.\n"
        "\n"
        "Profiles and --set values are read strictly: numeric boxes take whole decimal numbers as a\n"
        "retrieve writes them (\"192\", \" 9080\", \"-45\"), texts hold no control characters. A profile\n"
        "is a regular file of at most 1 MiB.\n"
        "\n"
        "Exit codes:\n"
        "  0  success\n"
        "  1  the result could not be written\n"
        "  2  usage error (wrong words, no confirmation) or an unreadable profile or --set: not a\n"
        "     regular file, bad JSON, an unknown key, a wrong type, a value that is not what its\n"
        "     control holds (\"abc\" or \"2.5\" for a number, a control character in a text)\n"
        "  3  the port cannot be opened\n"
        "  4  no response or an invalid response; a line that echoes or is out of step; scan: no\n"
        "     controller found\n"
        "  5  a value does not fit (a number out of range, a text longer than 16 characters or\n"
        "     with a character that has no single-byte code); nothing was sent\n"
        "  6  verify mismatch: the controller reads back other values than were written\n"
        "  7  provision: the controller's MAC ID is not in the plan; nothing was written\n"
        "  8  compare, provision --check: the controller holds values other than planned\n"
        "  130  provision: interrupted (Ctrl-C) during a store; the controller may hold part of it\n"
        "\n"
        "Example: a plan (a header row; MAC as the windows show it or as 02:4B:58:00:C3:05)\n"
        "  MAC,IP,hostName\n"
        "  02:4B:58:00:C3:05,10.0.0.7,Press 7\n"
        "  2-4B-58-0-C3-6,10.0.0.8,\"Press 8, east\"\n"
        "provisioned onto one controller after another, then checked:\n"
        "  tarvelin-cli --port /dev/ttyUSB0 provision --plan line3.csv --profile base.json \\\n"
        "               --report line3-report.csv --loop --yes\n"
        "  tarvelin-cli --port /dev/ttyUSB0 provision --plan line3.csv --profile base.json --check\n"
        "  tarvelin-cli --port /dev/ttyUSB0 compare all --profile base.json\n");
}

namespace {

// What a control's value looks like in plain text output.
QString plainValue(const Form& form, const QString& key, const QJsonValue& value) {
    if (key == QLatin1String("AccessLevel")) {
        static const char* items[] = {"1 - Programmer", "2 - User", "3 - Visitor"};
        const int index = form.selectedIndex(key);
        return index >= 0 && index < 3 ? QString::fromLatin1(items[index]) : QStringLiteral("(none)");
    }
    if (value.isNull()) return QStringLiteral("(none)");
    if (key == QLatin1String("EnablePW") || key.endsWith(QLatin1String("trusted"))) return value.toString();
    return QLatin1Char('"') + value.toString() + QLatin1Char('"');
}

struct Options {
    QString port = QStringLiteral("COM5");
    QString baud = QStringLiteral("9600");
    QString timeout = QStringLiteral("500");
    QString trace;
    QString plan;
    QString report;
    bool loop = false;
    bool again = false;
    bool check = false;
    // Every --port and --baud given, for scan; the other commands take the last.
    QStringList ports;
    QList<int> bauds;
    int enqWait = 0;
    QStringList positional;
    bool json = false;
    QString output;
    QString profile;
    QStringList sets;
    bool reboot = false;
    bool verify = false;
    bool yes = false;
    std::optional<int> frame;
    bool help = false;
    bool version = false;
};

constexpr int kLongestTimeoutMs = 60000;

// Plain decimal digits for a number from `low` to `high`.
bool wholeNumberIn(const QString& text, int low, int high) {
    if (text.isEmpty() || text.size() > 9) return false;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    const int value = text.toInt();
    return value >= low && value <= high;
}

std::optional<Options> parse(const QStringList& args, QString* error) {
    Options o;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        auto value = [&](QString* into) {
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("%1 needs a value").arg(a);
                return false;
            }
            *into = args.at(++i);
            return true;
        };
        if (a == QLatin1String("--port")) {
            if (!value(&o.port)) return std::nullopt;
            o.ports << o.port;
        } else if (a == QLatin1String("--baud")) {
            if (!value(&o.baud)) return std::nullopt;
            bool ok = false;
            if (o.baud.toInt(&ok) <= 0 || !ok) {
                *error = QStringLiteral("--baud takes a baud rate such as 9600");
                return std::nullopt;
            }
            o.bauds << o.baud.toInt();
        } else if (a == QLatin1String("--enq-wait")) {
            QString s;
            if (!value(&s)) return std::nullopt;
            if (!wholeNumberIn(s, 1, kLongestTimeoutMs)) {
                *error = QStringLiteral("--enq-wait takes a whole number of milliseconds from 1 to %1")
                             .arg(kLongestTimeoutMs);
                return std::nullopt;
            }
            o.enqWait = s.toInt();
        } else if (a == QLatin1String("--timeout")) {
            if (!value(&o.timeout)) return std::nullopt;
            if (!wholeNumberIn(o.timeout, 1, kLongestTimeoutMs)) {
                *error = QStringLiteral("--timeout takes a whole number of milliseconds from 1 to %1")
                             .arg(kLongestTimeoutMs);
                return std::nullopt;
            }
        } else if (a == QLatin1String("-o") || a == QLatin1String("--output")) {
            if (!value(&o.output)) return std::nullopt;
        } else if (a == QLatin1String("--profile")) {
            if (!value(&o.profile)) return std::nullopt;
        } else if (a == QLatin1String("--trace")) {
            if (!value(&o.trace)) return std::nullopt;
        } else if (a == QLatin1String("--plan")) {
            if (!value(&o.plan)) return std::nullopt;
        } else if (a == QLatin1String("--report")) {
            if (!value(&o.report)) return std::nullopt;
        } else if (a == QLatin1String("--loop")) {
            o.loop = true;
        } else if (a == QLatin1String("--again")) {
            o.again = true;
        } else if (a == QLatin1String("--check")) {
            o.check = true;
        } else if (a == QLatin1String("--set")) {
            QString s;
            if (!value(&s)) return std::nullopt;
            o.sets << s;
        } else if (a == QLatin1String("--frame")) {
            QString s;
            if (!value(&s)) return std::nullopt;
            bool ok = false;
            const int station = s.toInt(&ok);
            if (!ok || station < 0 || station > 255) {
                *error = QStringLiteral("--frame takes a station number 0 to 255");
                return std::nullopt;
            }
            o.frame = station;
        } else if (a == QLatin1String("--json")) {
            o.json = true;
        } else if (a == QLatin1String("--reboot")) {
            o.reboot = true;
        } else if (a == QLatin1String("--verify")) {
            o.verify = true;
        } else if (a == QLatin1String("--yes") || a == QLatin1String("-y")) {
            o.yes = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.help = true;
        } else if (a == QLatin1String("--version")) {
            o.version = true;
        } else if (a.startsWith(QLatin1String("-")) && a.size() > 1) {
            *error = QStringLiteral("unknown option %1").arg(a);
            return std::nullopt;
        } else {
            o.positional << a;
        }
    }
    return o;
}

// "IP=10.0.0.7" sets IP(3)..IP(0); "IP(0)=7" one box.
std::optional<QJsonObject> overrides(const QStringList& sets, QString* error) {
    QJsonObject values;
    for (const QString& set : sets) {
        const int eq = set.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            *error = QStringLiteral("--set takes NAME=VALUE, not \"%1\"").arg(set);
            return std::nullopt;
        }
        const QString name = set.left(eq);
        const QString value = set.mid(eq + 1);
        static const QStringList dotted{"IP",   "subnet", "gateway", "smtp", "DNS", "TIP1",
                                        "TIP2", "TIP3",   "TIP4",    "TIP5", "TIP6"};
        if (dotted.contains(name)) {
            const QStringList parts = value.split(QLatin1Char('.'));
            if (parts.size() != 4) {
                *error = QStringLiteral("--set %1 takes a dotted address such as 10.0.0.7").arg(name);
                return std::nullopt;
            }
            for (int j = 0; j < 4; ++j) values.insert(member(name, 3 - j), parts.at(j));
            continue;
        }
        if (name == QLatin1String("AccessLevel")) {
            bool ok = false;
            const int level = value.toInt(&ok);
            values.insert(name, ok ? QJsonValue(level) : QJsonValue(value));
            continue;
        }
        values.insert(name, value);
    }
    return values;
}

class Session {
public:
    Session(const Options& o, std::FILE* out, std::FILE* err, std::FILE* in)
        : options_(o), out_(out), err_(err), in_(in) {
        if (!o.trace.isEmpty()) {
            auto trace = TraceLine::open(line_, o.trace);
            if (trace)
                trace_ = std::move(*trace);
            else
                traceFailure_ = trace.failure().message;
        }
        terminal_ = std::make_unique<LineTerminal>(
            trace_ ? static_cast<SerialLine&>(*trace_) : line_, clock_,
            PortChoice{o.port.toStdString(), o.baud.toStdString(), "None", "8", "1"});
        terminal_->setTimeoutMs(o.timeout.toInt());
        terminal_->onOpenFailure(
            [this](const std::string& message) { print(err_, QString::fromStdString(message) + "\n"); });
        directory_ = std::make_unique<HeadlessDirectory>(*terminal_);
    }

    int identify();
    int retrieve(const QString& what);
    int store(const QString& what);
    int send(const QString& text);
    int provision() {
        ProvisionOptions p{options_.plan,    options_.profile, options_.report,
                           options_.timeout, options_.reboot,  options_.yes,
                           options_.loop,    options_.again,   options_.check};
        return provisionCommand(*terminal_, clock_, p, out_, err_, in_);
    }
    int compare(const QString& what) {
        return compareCommand(
            *terminal_, what, options_.profile, options_.json,
            [this](const QByteArray& bytes) { return writeResult(bytes); }, err_);
    }
    // Why the trace cannot be written: at the start, or at some line since.
    std::optional<QString> traceFailure() const {
        if (traceFailure_) return traceFailure_;
        return trace_ ? trace_->writeFailure() : std::nullopt;
    }

private:
    // The result to standard output, or atomically to the -o file: an
    // existing file is replaced only once the whole result is written.
    int writeResult(const QByteArray& bytes) {
        if (options_.output.isEmpty()) {
            const auto size = static_cast<std::size_t>(bytes.size());
            if (std::fwrite(bytes.constData(), 1, size, out_) != size || std::fflush(out_) != 0)
                return outputFailed(err_, errno);
            return kSuccess;
        }
        if (const auto written = writeFileAtomically(options_.output, bytes); !written) {
            print(err_,
                  QStringLiteral("Cannot write %1: %2\n").arg(options_.output, written.failure().message));
            return exitCodeOf(written.failure().outcome);
        }
        return kSuccess;
    }

    const Options& options_;
    std::FILE* out_;
    std::FILE* err_;
    std::FILE* in_;
    QtSerialLine line_;
    SteadyClock clock_;
    std::unique_ptr<TraceLine> trace_;
    std::optional<QString> traceFailure_;
    std::unique_ptr<LineTerminal> terminal_;
    std::unique_ptr<HeadlessDirectory> directory_;
};

int Session::identify() {
    if (!terminal_->openCommPort()) return kPortNotOpen;
    StreamMessageLine messages(err_, 1);
    MemoryAccess access(messages);
    access.setTerminal(*terminal_);
    const auto id = access.identifyStation();
    const auto version = id ? access.sendUnjudged("VM*") : Result<std::string>(id.failure());
    if (!version) {
        messages.finish();
        explainLine(err_, version.failure().outcome);
        return kNoResponse;
    }
    print(out_,
          QStringLiteral("Station: %1\nFirmware: %2\n")
              .arg(*id)
              .arg(QString::fromLatin1(version->substr(std::min<std::size_t>(2, version->size()), 10))));
    return kSuccess;
}

int Session::retrieve(const QString& what) {
    const bool basic = what == QLatin1String("basic") || what == QLatin1String("all");
    const bool advanced = what == QLatin1String("advanced") || what == QLatin1String("all");
    if (!basic && !advanced) {
        print(err_, QStringLiteral("retrieve takes basic, advanced or all\n"));
        return kUsage;
    }
    Profile profile;
    if (basic) {
        StreamMessageLine messages(err_, 15);
        MemoryAccess access(messages);
        const Outcome outcome = retrieveBasicParameters(directory_->basic, access, *directory_);
        messages.finish();
        explainLine(err_, outcome);
        if (outcome != Outcome::Success) return exitCodeOf(outcome);
        profile.basic = blockToJson(directory_->basic, basicMap());
        profile.controller.insert(QStringLiteral("version"),
                                  directory_->basic.text(QStringLiteral("version")));
    }
    if (advanced) {
        StreamMessageLine messages(err_, 16);
        MemoryAccess access(messages);
        const Outcome outcome = retrieveAdvancedParameters(directory_->advanced, access, *directory_);
        messages.finish();
        explainLine(err_, outcome);
        if (outcome != Outcome::Success) return exitCodeOf(outcome);
        profile.advanced = blockToJson(directory_->advanced, advancedMap());
        QStringList mac;
        for (int i = 5; i >= 0; --i) mac << directory_->advanced.text(member(QStringLiteral("MAC"), i));
        profile.controller.insert(QStringLiteral("MAC"), mac.join(QLatin1Char('-')));
        profile.controller.insert(QStringLiteral("PLCconfig"),
                                  directory_->advanced.text(QStringLiteral("PLCconfig")));
    }
    if (options_.json) return writeResult(profileText(profile));

    QString text;
    const auto block = [&](const char* title, const Form& form, const QJsonObject& values,
                           const MemoryMap& map) {
        text += QStringLiteral("[%1]\n").arg(QString::fromLatin1(title));
        for (const QString& key : profileKeys(map))
            text += QStringLiteral("%1 = %2\n").arg(key, plainValue(form, key, values.value(key)));
    };
    text += QStringLiteral("[controller]\n");
    for (auto it = profile.controller.begin(); it != profile.controller.end(); ++it)
        text += QStringLiteral("%1 = \"%2\"\n").arg(it.key(), it.value().toString());
    if (profile.basic) block("basic", directory_->basic, *profile.basic, basicMap());
    if (profile.advanced) block("advanced", directory_->advanced, *profile.advanced, advancedMap());
    return writeResult(text.toUtf8());
}

int Session::store(const QString& what) {
    const bool basic = what == QLatin1String("basic");
    if (!basic && what != QLatin1String("advanced")) {
        print(err_, QStringLiteral("store takes basic or advanced\n"));
        return kUsage;
    }
    if (options_.profile.isEmpty() && options_.sets.isEmpty()) {
        print(err_, QStringLiteral("store needs --profile FILE or --set NAME=VALUE\n"));
        return kUsage;
    }
    const MemoryMap& map = basic ? basicMap() : advancedMap();
    QJsonObject values;
    if (!options_.profile.isEmpty()) {
        const auto profile = readProfile(options_.profile, &basicMap(), &advancedMap());
        if (!profile) {
            print(err_, profile.failure().message + "\n");
            return exitCodeOf(profile.failure().outcome);
        }
        const auto& block = basic ? profile->basic : profile->advanced;
        if (!block) {
            print(err_, QStringLiteral("Profile %1 holds no %2 settings\n").arg(options_.profile, what));
            return kUsage;
        }
        values = *block;
    }
    QString error;
    const auto extra = overrides(options_.sets, &error);
    if (!extra) {
        print(err_, error + "\n");
        return kUsage;
    }
    if (auto problem = checkBlock(*extra, map, what)) {
        print(err_, QStringLiteral("--set: %1\n").arg(problem->message));
        return exitCodeOf(problem->outcome);
    }
    bool everyControlNamed = true;
    for (const QString& key : profileKeys(map))
        everyControlNamed = everyControlNamed && (values.contains(key) || extra->contains(key));

    if (!options_.yes) {
        if (!platform::isTerminal(in_)) {
            print(err_, QStringLiteral("Not confirmed: give --yes to store without the question\n"));
            return kUsage;
        }
        print(err_,
              QStringLiteral("Are you sure you want to overwrite existing Tarvelin configurations? [y/N] "));
        char answer[16] = {};
        if (!std::fgets(answer, sizeof answer, in_) || (answer[0] != 'y' && answer[0] != 'Y')) {
            print(err_, QStringLiteral("Nothing stored.\n"));
            return kUsage;
        }
    }
    HeadlessForm& form = basic ? directory_->basic : directory_->advanced;
    if (!everyControlNamed) {
        // What neither the profile nor --set names stays as the controller
        // has it: read the block first, as the window's retrieve does.
        StreamMessageLine messages(err_, basic ? 15 : 16);
        MemoryAccess access(messages);
        const Outcome outcome = basic ? retrieveBasicParameters(form, access, *directory_)
                                      : retrieveAdvancedParameters(form, access, *directory_);
        messages.finish();
        explainLine(err_, outcome);
        if (outcome != Outcome::Success) return exitCodeOf(outcome);
    }
    applyBlock(values, form, map);
    applyBlock(*extra, form, map);
    form.setChecked(QStringLiteral("ResetPLC"), options_.reboot);
    form.setChecked(QStringLiteral("VerifyAfterSave"), options_.verify);

    StreamMessageLine messages(err_, options_.verify ? 30 : 15);
    MemoryAccess access(messages);
    const Outcome outcome = basic ? updateBasicParameters(form, access, *directory_)
                                  : updateAdvancedParameters(form, access, *directory_);
    messages.finish();
    explainLine(err_, outcome);
    return exitCodeOf(outcome);
}

int Session::send(const QString& text) {
    std::string cmd = text.toLatin1().toStdString();
    if (options_.frame) terminal_->appendFCS(static_cast<std::int16_t>(*options_.frame), cmd);
    if (!terminal_->openCommPort()) return kPortNotOpen;
    const std::string reply = terminal_->sendCommand(cmd);
    if (reply.empty()) {
        print(err_, QStringLiteral("(Warning: No Response from PLC)\n"));
        return kNoResponse;
    }
    print(out_, readableReply(reply) + "\n");
    return kSuccess;
}

int runCommand(const QStringList& arguments, std::FILE* out, std::FILE* err, std::FILE* in) {
    QString error;
    const auto options = parse(arguments, &error);
    if (!options) {
        print(err, QStringLiteral("tarvelin-cli: %1\nTry tarvelin-cli --help\n").arg(error));
        return kUsage;
    }
    if (options->help) {
        print(out, helpText());
        return kSuccess;
    }
    if (options->version) {
        const bool written =
            std::fputs("tarvelin-cli " TARVELIN_VERSION "\n", out) >= 0 && std::fflush(out) == 0;
        return written ? kSuccess : kOutputFailed;
    }
    const QStringList& p = options->positional;
    if (p.isEmpty()) {
        print(err, helpText());
        return kUsage;
    }
    const QString command = p.first();
    const auto wants = [&](int n) {
        if (p.size() == n) return true;
        print(err, QStringLiteral("tarvelin-cli: wrong number of words for %1\nTry tarvelin-cli --help\n")
                       .arg(command));
        return false;
    };
    if (command == QLatin1String("provision") && !options->sets.isEmpty()) {
        print(err, QStringLiteral("tarvelin-cli: provision takes its values from the plan, not --set\n"));
        return kUsage;
    }
    if (command == QLatin1String("scan")) {
        if (!wants(1)) return kUsage;
        return scan(
            {options->ports, options->bauds, options->enqWait, options->timeout.toInt(), options->json}, out,
            err);
    }
    Session session(*options, out, err, in);
    const auto traced = [&](int code) {
        // A trace that could not be written is a result that was not written.
        if (const auto failure = session.traceFailure()) {
            print(err, QStringLiteral("Cannot write the trace %1: %2\n").arg(options->trace, *failure));
            return code == kSuccess ? kOutputFailed : code;
        }
        return code;
    };
    if (session.traceFailure()) return traced(kOutputFailed);
    if (command == QLatin1String("identify")) return traced(wants(1) ? session.identify() : kUsage);
    if (command == QLatin1String("retrieve")) return traced(wants(2) ? session.retrieve(p.at(1)) : kUsage);
    if (command == QLatin1String("store")) return traced(wants(2) ? session.store(p.at(1)) : kUsage);
    if (command == QLatin1String("send")) return traced(wants(2) ? session.send(p.at(1)) : kUsage);
    if (command == QLatin1String("provision")) return traced(wants(1) ? session.provision() : kUsage);
    if (command == QLatin1String("compare")) return traced(wants(2) ? session.compare(p.at(1)) : kUsage);
    print(err, QStringLiteral("tarvelin-cli: unknown command %1\nTry tarvelin-cli --help\n").arg(command));
    return kUsage;
}

}  // namespace

int run(const QStringList& arguments, std::FILE* out, std::FILE* err, std::FILE* in) {
    const int code = runCommand(arguments, out, err, in);
    if (code != kSuccess) return code;
    // Whatever went to standard output must have arrived: a full disk or a
    // closed pipe is no success.
    errno = 0;
    if (std::fflush(out) != 0 || std::ferror(out)) return outputFailed(err, errno);
    return code;
}

}  // namespace tarvelin::cli
