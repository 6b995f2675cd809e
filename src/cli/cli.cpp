#include "cli.h"

#include <cerrno>

#include "clicommands.h"
#include "clicontrols.h"
#include "cliprovision.h"
#include "cliscan.h"
#include "clisupport.h"
#include "tarvelin_version.h"

namespace tarvelin::cli {

namespace {

// What --help prints (and a command line without a command).
constexpr char kHelp[] =
    "Usage: tarvelin-cli [--port NAME] [--baud N] [--timeout MS] [--trace FILE] COMMAND ...\n"
    "\n"
    "Reads and writes the Ethernet settings of a Korvex-PLC over a serial line.\n"
    "\n"
    "Commands:\n"
    "  identify                        print the station ID and the firmware version\n"
    "  retrieve basic|advanced|all [--json] [-o FILE]\n"
    "                                  print the settings (JSON: a profile, keyed by control name;\n"
    "                                  -o NAME.json writes JSON too)\n"
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
    "  controls [--json]               list the names --set, profiles and plans take: window label,\n"
    "                                  block, values, default, and the window rule that changes one\n"
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
    "  130  interrupted (Ctrl-C) during an operation; after a store the controller may hold part of it\n"
    "\n"
    "Example: a plan (a header row; MAC as the windows show it or as 02:4B:58:00:C3:05)\n"
    "  MAC,IP,hostName\n"
    "  02:4B:58:00:C3:05,10.0.0.7,Press 7\n"
    "  2-4B-58-0-C3-6,10.0.0.8,\"Press 8, east\"\n"
    "provisioned onto one controller after another, then checked:\n"
    "  tarvelin-cli --port /dev/ttyUSB0 provision --plan line3.csv --profile base.json \\\n"
    "               --report line3-report.csv --loop --yes\n"
    "  tarvelin-cli --port /dev/ttyUSB0 provision --plan line3.csv --profile base.json --check\n"
    "  tarvelin-cli --port /dev/ttyUSB0 compare all --profile base.json\n";

}  // namespace

QString helpText() {
    return QString::fromLatin1(kHelp);
}

namespace {

// What a command is handed: the command line and the streams, and the
// session's line for the commands that work on it.
struct Call {
    const Options& options;
    const QStringList& words;  // the command and its words
    std::FILE* out;
    std::FILE* err;
    const LineFactory& lines;
    Session* session;  // null for scan, which opens lines of its own
};

struct Command {
    const char* name;
    int words;          // with the command itself
    const char* usage;  // the words it takes, for a wrong number of them
    bool onTheLine;
    int (*run)(const Call& call);
};

// JSON when asked for, or when the output file's name ends in ".json".
bool jsonWanted(const Options& o) {
    return o.json || o.output.endsWith(QLatin1String(".json"), Qt::CaseInsensitive);
}

const Command kCommands[] = {
    {"identify", 1, "identify", true, [](const Call& c) { return identifyCommand(*c.session); }},
    {"retrieve", 2, "retrieve basic|advanced|all", true,
     [](const Call& c) {
         return retrieveCommand(*c.session, {c.words.at(1), jsonWanted(c.options), c.options.output});
     }},
    {"store", 2, "store basic|advanced", true,
     [](const Call& c) {
         const Options& o = c.options;
         return storeCommand(*c.session, {c.words.at(1), o.profile, o.sets, o.reboot, o.verify, o.yes});
     }},
    {"send", 2, "send TEXT", true,
     [](const Call& c) {
         return sendCommand(*c.session, {c.words.at(1), c.options.frame});
     }},
    {"provision", 1, "provision --plan PLAN.csv", true,
     [](const Call& c) {
         const Options& o = c.options;
         Session& s = *c.session;
         return provisionCommand(
             s.terminal(), s.clock(),
             {o.plan, o.profile, o.report, o.timeout, o.reboot, o.yes, o.loop, o.again, o.check}, s.out(),
             s.err(), s.in());
     }},
    {"compare", 2, "compare basic|advanced|all --profile FILE", true,
     [](const Call& c) {
         Session& s = *c.session;
         const QString output = c.options.output;
         return compareCommand(
             s.terminal(), c.words.at(1), c.options.profile, jsonWanted(c.options),
             [&s, output](const QByteArray& bytes) { return s.writeResult(bytes, output); }, s.err());
     }},
    {"controls", 1, "controls [--json]", false,
     [](const Call& c) { return controlsCommand(c.options.json, c.out); }},
    {"scan", 1, "scan [--port NAME ...] [--baud N ...]", false,
     [](const Call& c) {
         const Options& o = c.options;
         return scan({o.ports, o.bauds, o.enqWait, o.timeout.toInt(), o.json}, c.lines, c.out, c.err);
     }},
};

const Command* commandNamed(const QString& name) {
    for (const Command& command : kCommands)
        if (name == QLatin1String(command.name)) return &command;
    return nullptr;
}

// The command's words on the session's line (or on lines of its own).
int runOn(const Command* command, const Options& options, std::FILE* out, std::FILE* err, std::FILE* in) {
    const QStringList& p = options.positional;
    const auto wants = [&](int n) {
        if (p.size() == n) return true;
        print(err, QStringLiteral("tarvelin-cli: wrong number of words for %1: it takes %2\n"
                                  "Try tarvelin-cli --help\n")
                       .arg(p.first(), QLatin1String(command->usage)));
        return false;
    };
    LineFactory lines;
    if (!options.trace.isEmpty()) lines.traceInto(options.trace);
    const auto traced = [&](int code) {
        // A trace that could not be written is a result that was not written.
        if (const auto failure = lines.traceFailure()) {
            print(err, QStringLiteral("Cannot write the trace %1: %2\n").arg(options.trace, *failure));
            return code == kSuccess ? kOutputFailed : code;
        }
        return code;
    };
    if (lines.traceFailure()) return traced(kOutputFailed);
    if (command && !command->onTheLine)
        return traced(wants(command->words) ? command->run({options, p, out, err, lines, nullptr}) : kUsage);
    Session session(options, lines, out, err, in);
    if (!command) {
        print(err,
              QStringLiteral("tarvelin-cli: unknown command %1\nTry tarvelin-cli --help\n").arg(p.first()));
        return kUsage;
    }
    return traced(wants(command->words) ? command->run({options, p, out, err, lines, &session}) : kUsage);
}

int runCommand(const QStringList& arguments, std::FILE* out, std::FILE* err, std::FILE* in) {
    QString error;
    const auto options = parseOptions(arguments, &error);
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
    if (options->positional.isEmpty()) {
        print(err, helpText());
        return kUsage;
    }
    const QString& name = options->positional.first();
    if (name == QLatin1String("provision") && !options->sets.isEmpty()) {
        print(err, QStringLiteral("tarvelin-cli: provision takes its values from the plan, not --set\n"));
        return kUsage;
    }
    // Nothing is opened for writing while two roles share a file.
    if (const auto collision = fileRoleCollision(*options)) {
        print(err, QStringLiteral("tarvelin-cli: %1\n").arg(*collision));
        return kUsage;
    }
    // An option the command does not take would be ignored: say so instead.
    for (const QString& option : options->given)
        if (commandNamed(name) && !commandTakes(name, option)) {
            print(err, QStringLiteral("tarvelin-cli: %1 does not take %2\nTry tarvelin-cli --help\n")
                           .arg(name, option));
            return kUsage;
        }
    return runOn(commandNamed(name), *options, out, err, in);
}

}  // namespace

int run(const QStringList& arguments, std::FILE* out, std::FILE* err, std::FILE* in) {
    const int code = runCommand(arguments, out, err, in);
    // Whatever went to standard output must have arrived: a full disk or a
    // closed pipe is no success, nor a result (differences, a controller not
    // in the plan) that nobody could read. A failure's own code stays.
    errno = 0;
    const bool lost = std::fflush(out) != 0 || std::ferror(out);
    if (lost && (code == kSuccess || code == kNotInPlan || code == kDifferences))
        return outputFailed(err, errno ? errno : lastWriteError());
    return code;
}

}  // namespace tarvelin::cli
