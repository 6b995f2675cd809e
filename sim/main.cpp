// korvex-sim: a Korvex-PLC on a pseudo-terminal, for trying the tool without
// a controller. Prints the device to open, then answers until interrupted.
//
//   $ korvex-sim --crlf
//   /dev/pts/7
//   $ picocom -b 9600 /dev/pts/7     (Enter sends CR, Ctrl-E sends ENQ)

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <variant>

#include "base/readablebytes.h"
#include "base/safefile.h"
#include "config/macid.h"
#include "pty.h"
#include "tarvelin_version.h"

namespace {

const char* const kUsage =
    "Usage: korvex-sim [options]\n"
    "Plays a Korvex-PLC on a pseudo-terminal. Prints the device to open on the first\n"
    "line of its output, then answers host-link requests until interrupted.\n"
    "\n"
    "  --link PATH               also make PATH a symbolic link to the device\n"
    "  --station N               station ID, 0..255 (default 1)\n"
    "  --line-end cr|crlf|lf     how each reply ends (default cr)\n"
    "  --crlf                    the same as --line-end crlf\n"
    "  --replies STYLE           how replies are worded (default short):\n"
    "                              short    @01MRC0 FCS *, acknowledgements @01MW FCS *\n"
    "                              repeat   acknowledgements repeat the request; IR01*, VM...*\n"
    "                              endcode  an end code 00 after the byte or the echoed command\n"
    "                              bare     no FCS and no *\n"
    "                              lower    data, FCS and station digits in lower case\n"
    "  --baud N                  answer no faster than a line of N baud would carry\n"
    "  --line-speed N            answer only while the line is set to N baud; at any\n"
    "                            other speed send back unreadable bytes (default: any speed)\n"
    "  --firmware TEXT           firmware version, 1 to 32 characters (default KRVX-E1.07;\n"
    "                            a controller's has ten, another length plays one that differs)\n"
    "  --mac MAC                 MAC ID, e.g. 02:4B:58:00:C3:05 or 2-4B-58-0-C3-5\n"
    "                            (default 02:4B:58:00:12:34)\n"
    "  --silent                  answer nothing at all\n"
    "  --ignore-identify K       give no reply to the first K \"IR*\"\n"
    "  --stop-after N            answer N framed commands, then nothing more\n"
    "  --silent-at ADDR          no reply to MR/MW at ADDR\n"
    "  --other-station-at ADDR   reply to MR/MW at ADDR as station ID+1\n"
    "  --ignore-write-at ADDR    acknowledge MW at ADDR without storing the byte\n"
    "  --split N                 send each reply in N pieces, 5 ms apart\n"
    "  --silent-command TEXT     no reply to this command text (repeatable),\n"
    "                            e.g. \"VM*\", MENABLE, Mw4011000080\n"
    "  --twice-at ADDR           reply twice to MR/MW at ADDR\n"
    "  --late-at ADDR            hold the reply to MR/MW at ADDR back until the next reply\n"
    "  --echo                    send back every byte the tool writes, ahead of any reply\n"
    "                            (an echoing converter; with --silent, a loopback plug)\n"
    "  --dump FILE               when stopped, write to FILE each byte of memory that differs\n"
    "                            from the factory set-up (\"ADDR VALUE\" in hex) and the reboots\n"
    "  -v, --verbose             show requests and replies on standard error\n"
    "  -h, --help                show this text\n"
    "  --version                 show the version of korvex-sim\n"
    "\n"
    "Numbers and addresses are decimal or 0x hexadecimal (--silent-at 0x20C).\n"
    "\n"
    "Exit codes: 0 stopped by SIGINT, SIGTERM or SIGHUP; 1 no pseudo-terminal, no link,\n"
    "standard output or the dump cannot be written; 2 usage error.\n";

volatile sig_atomic_t gStop = 0;

void onSignal(int) {
    gStop = 1;
}

bool parseNumber(const std::string& text, long low, long high, int& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 0);  // decimal or 0x hex (leading 0 octal)
    if (errno != 0 || *end != '\0' || value < low || value > high) return false;
    out = static_cast<int>(value);
    return true;
}

// The value among `choices` whose name is `text`.
template <class Choices, class T>
bool named(const std::string& text, const Choices& choices, T& out) {
    for (T choice : choices) {
        if (text == korvex::nameOf(choice)) {
            out = choice;
            return true;
        }
    }
    return false;
}

// What --dump writes: the bytes that differ from the factory set-up, one a
// line as "ADDR VALUE" in upper-case hex, then the count of reboots.
std::string memoryDump(const korvex::Memory& memory, int reboots) {
    const korvex::Memory factory = korvex::factoryImage();
    std::string text;
    char line[24];  // room for any size_t, as the compiler counts
    for (std::size_t address = 0; address < memory.size(); ++address) {
        if (memory[address] == factory[address]) continue;
        std::snprintf(line, sizeof line, "%04zX %02X\n", address, unsigned{memory[address]});
        text += line;
    }
    return text + "reboots " + std::to_string(reboots) + "\n";
}

int fail(const std::string& message) {
    std::cerr << "korvex-sim: " << message << "\nTry 'korvex-sim --help'.\n";
    return 2;
}

struct Options {
    korvex::Config config;
    int baud = 0;
    int lineSpeed = 0;
    std::string link;
    std::string dump;
    bool verbose = false;
    std::optional<tarvelin::MacId> mac;
};

// The options that take a number: the range it must lie in, where it goes,
// and what the complaint says it needs.
struct NumberOption {
    const char* name;
    long low;
    long high;
    int& (*field)(Options&);
    const char* needs;
};
const NumberOption kNumberOptions[] = {
    {"--station", 0, 255, [](Options& o) -> int& { return o.config.station; }, "a number 0..255"},
    {"--baud", 1, 10'000'000, [](Options& o) -> int& { return o.baud; }, "a positive number"},
    {"--line-speed", 1, 10'000'000, [](Options& o) -> int& { return o.lineSpeed; }, "a positive baud rate"},
    {"--ignore-identify", 0, 1'000'000,
     [](Options& o) -> int& { return o.config.faults.ignoreFirstIdentify; }, "a count"},
    {"--stop-after", 0, 1'000'000'000, [](Options& o) -> int& { return o.config.faults.stopAfterFramed; },
     "a count"},
    {"--silent-at", 0, 0xFFFF, [](Options& o) -> int& { return o.config.faults.silentAtAddress; },
     "an address"},
    {"--other-station-at", 0, 0xFFFF,
     [](Options& o) -> int& { return o.config.faults.otherStationAtAddress; }, "an address"},
    {"--ignore-write-at", 0, 0xFFFF, [](Options& o) -> int& { return o.config.faults.ignoreWriteAtAddress; },
     "an address"},
    {"--twice-at", 0, 0xFFFF, [](Options& o) -> int& { return o.config.faults.twiceAtAddress; },
     "an address"},
    {"--late-at", 0, 0xFFFF, [](Options& o) -> int& { return o.config.faults.lateAtAddress; }, "an address"},
    {"--split", 1, 1000, [](Options& o) -> int& { return o.config.faults.splitReplies; },
     "a count of pieces"},
};

// An option that takes a text: applied to `o`, or the complaint.
std::optional<std::string> applyText(const std::string& arg, const std::string& text, Options& o) {
    if (arg == "--link") {
        o.link = text;
    } else if (arg == "--dump") {
        o.dump = text;
    } else if (arg == "--silent-command") {
        o.config.faults.silentCommands.insert(text);
    } else if (arg == "--line-end") {
        if (!named(text, korvex::kLineEnds, o.config.lineEnd)) return "--line-end needs cr, crlf or lf";
    } else if (arg == "--replies") {
        if (!named(text, korvex::kReplyStyles, o.config.style))
            return "--replies needs short, repeat, endcode, bare or lower";
    } else if (arg == "--firmware") {
        o.config.version = text;
        if (text.empty() || text.size() > 32 || text.find_first_of("\r\n\x05") != std::string::npos)
            return "--firmware needs a text of 1 to 32 characters, without line ends or ENQ";
    } else if (arg == "--mac") {
        if (!(o.mac = tarvelin::parseMacId(QString::fromStdString(text))))
            return "--mac needs a MAC ID such as 02:4B:58:00:C3:05";
    }
    return std::nullopt;
}

// An option without a value: true when `arg` is one.
bool applyFlag(const std::string& arg, Options& o) {
    if (arg == "--crlf")
        o.config.lineEnd = korvex::LineEnd::CRLF;
    else if (arg == "--silent")
        o.config.faults.silent = true;
    else if (arg == "--echo")
        o.config.faults.echo = true;
    else if (arg == "--verbose" || arg == "-v")
        o.verbose = true;
    else
        return false;
    return true;
}

// The options of the command line, or the exit code when the run ends here
// (help, version, a usage error).
std::variant<Options, int> parseOptions(int argc, char** argv) {
    // The options that take a text, and what the complaint says when it is missing.
    static const std::pair<std::string, const char*> kTextOptions[] = {{"--link", "a path"},
                                                                       {"--dump", "a file"},
                                                                       {"--silent-command", "a command text"},
                                                                       {"--line-end", "cr, crlf or lf"},
                                                                       {"--replies", "a reply style"},
                                                                       {"--firmware", "a text"},
                                                                       {"--mac", "a MAC ID"}};
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h" || arg == "--version") {
            std::cout << (arg == "--version" ? "korvex-sim " TARVELIN_VERSION "\n" : kUsage) << std::flush;
            return std::cout ? 0 : 1;
        }
        if (applyFlag(arg, o)) continue;
        const std::string text = i + 1 < argc ? argv[i + 1] : "";
        const auto number = std::find_if(std::begin(kNumberOptions), std::end(kNumberOptions),
                                         [&](const NumberOption& n) { return arg == n.name; });
        if (number != std::end(kNumberOptions)) {
            if (i + 1 >= argc || !parseNumber(text, number->low, number->high, number->field(o)))
                return fail(arg + " needs " + number->needs);
        } else if (const auto textual = std::find_if(std::begin(kTextOptions), std::end(kTextOptions),
                                                     [&](const auto& t) { return t.first == arg; });
                   textual != std::end(kTextOptions)) {
            if (i + 1 >= argc) return fail(arg + " needs " + textual->second);
            if (const auto complaint = applyText(arg, text, o)) return fail(*complaint);
        } else {
            return fail("unknown option '" + arg + "'");
        }
        ++i;
    }
    return o;
}

// Signals are taken before the reader thread starts, so that it inherits
// the mask and only this thread sees them.
void takeStopSignals() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    struct sigaction action {};
    action.sa_handler = onSignal;
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);  // a closed terminal behind --verbose must not end the run
}

// The memory of the stopped simulator into the file of --dump.
bool writeDump(const std::string& dump, korvex::PtySimulator& sim) {
    const std::string text = memoryDump(sim.memory(), sim.rebootCount());
    const auto written = tarvelin::writeFileAtomically(QString::fromLocal8Bit(dump.c_str()),
                                                       QByteArray(text.data(), qsizetype(text.size())));
    if (!written)
        std::cerr << "korvex-sim: cannot write " << dump << ": " << written.failure().message.toStdString()
                  << "\n";
    return bool(written);
}

}  // namespace

int main(int argc, char** argv) {
    auto parsed = parseOptions(argc, argv);
    if (const int* code = std::get_if<int>(&parsed)) return *code;
    const Options& options = std::get<Options>(parsed);
    const korvex::Config& config = options.config;
    const int lineSpeed = options.lineSpeed;
    const std::string& link = options.link;
    const std::string& dump = options.dump;
    const bool verbose = options.verbose;
    const auto& mac = options.mac;
    const int baud = options.baud;

    takeStopSignals();

    korvex::PtySimulator sim(config, baud);
    for (std::size_t i = 0; mac && i < mac->size(); ++i)
        sim.setByte(korvex::address::kMac + static_cast<int>(i), (*mac)[i]);
    sim.setLineSpeed(lineSpeed);
    if (verbose) {
        sim.setTrace([](bool fromTool, const std::string& bytes) {
            std::cerr << (fromTool ? "<- " : "-> ") << tarvelin::readableBytes(bytes) << std::endl;
        });
    }
    if (!sim.start()) {
        std::cerr << "korvex-sim: cannot open a pseudo-terminal: " << std::strerror(errno) << "\n";
        return 1;
    }
    if (!link.empty() && !sim.makeLink(link)) {
        std::cerr << "korvex-sim: cannot make the link " << link << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    if (!(std::cout << sim.devicePath() << std::endl)) {
        sim.stop();
        return 1;
    }
    if (verbose) {
        std::cerr << "korvex-sim: station " << config.station << ", firmware " << config.version
                  << ", replies " << korvex::nameOf(config.style) << ", line end "
                  << korvex::nameOf(config.lineEnd)
                  << (lineSpeed ? ", line speed " + std::to_string(lineSpeed) : "")
                  << (link.empty() ? "" : ", link " + link) << std::endl;
    }

    sigset_t none;
    sigemptyset(&none);
    while (!gStop) sigsuspend(&none);  // only the stop signals are blocked elsewhere

    sim.stop();
    return dump.empty() || writeDump(dump, sim) ? 0 : 1;
}
