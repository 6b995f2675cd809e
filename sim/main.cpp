// korvex-sim: a Korvex-PLC on a pseudo-terminal, for trying the tool without
// a controller. Prints the device to open, then answers until interrupted.
//
//   $ korvex-sim --crlf
//   /dev/pts/7
//   $ picocom -b 9600 /dev/pts/7     (Enter sends CR, Ctrl-E sends ENQ)

#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

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

}  // namespace

int main(int argc, char** argv) {
    korvex::Config config;
    int baud = 0;
    int lineSpeed = 0;
    std::string link;
    std::string dump;
    bool verbose = false;
    std::optional<tarvelin::MacId> mac;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        auto number = [&](long low, long high, int& out) {
            std::string text;
            return value(text) && parseNumber(text, low, high, out);
        };
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage << std::flush;
            return std::cout ? 0 : 1;
        } else if (arg == "--link") {
            if (!value(link)) return fail("--link needs a path");
        } else if (arg == "--station") {
            if (!number(0, 255, config.station)) return fail("--station needs a number 0..255");
        } else if (arg == "--crlf") {
            config.lineEnd = korvex::LineEnd::CRLF;
        } else if (arg == "--line-end") {
            std::string text;
            if (!value(text) || !named(text, korvex::kLineEnds, config.lineEnd))
                return fail("--line-end needs cr, crlf or lf");
        } else if (arg == "--replies") {
            std::string text;
            if (!value(text) || !named(text, korvex::kReplyStyles, config.style))
                return fail("--replies needs short, repeat, endcode, bare or lower");
        } else if (arg == "--baud") {
            if (!number(1, 10'000'000, baud)) return fail("--baud needs a positive number");
        } else if (arg == "--line-speed") {
            if (!number(1, 10'000'000, lineSpeed)) return fail("--line-speed needs a positive baud rate");
        } else if (arg == "--version") {
            std::cout << "korvex-sim " TARVELIN_VERSION "\n" << std::flush;
            return std::cout ? 0 : 1;
        } else if (arg == "--firmware") {
            if (!value(config.version) || config.version.empty() || config.version.size() > 32 ||
                config.version.find_first_of("\r\n\x05") != std::string::npos)
                return fail("--firmware needs a text of 1 to 32 characters, without line ends or ENQ");
        } else if (arg == "--mac") {
            std::string text;
            if (!value(text) || !(mac = tarvelin::parseMacId(QString::fromStdString(text))))
                return fail("--mac needs a MAC ID such as 02:4B:58:00:C3:05");
        } else if (arg == "--silent") {
            config.faults.silent = true;
        } else if (arg == "--ignore-identify") {
            if (!number(0, 1'000'000, config.faults.ignoreFirstIdentify))
                return fail("--ignore-identify needs a count");
        } else if (arg == "--stop-after") {
            if (!number(0, 1'000'000'000, config.faults.stopAfterFramed))
                return fail("--stop-after needs a count");
        } else if (arg == "--silent-at") {
            if (!number(0, 0xFFFF, config.faults.silentAtAddress))
                return fail("--silent-at needs an address");
        } else if (arg == "--other-station-at") {
            if (!number(0, 0xFFFF, config.faults.otherStationAtAddress))
                return fail("--other-station-at needs an address");
        } else if (arg == "--ignore-write-at") {
            if (!number(0, 0xFFFF, config.faults.ignoreWriteAtAddress))
                return fail("--ignore-write-at needs an address");
        } else if (arg == "--twice-at") {
            if (!number(0, 0xFFFF, config.faults.twiceAtAddress)) return fail("--twice-at needs an address");
        } else if (arg == "--late-at") {
            if (!number(0, 0xFFFF, config.faults.lateAtAddress)) return fail("--late-at needs an address");
        } else if (arg == "--echo") {
            config.faults.echo = true;
        } else if (arg == "--split") {
            if (!number(1, 1000, config.faults.splitReplies)) return fail("--split needs a count of pieces");
        } else if (arg == "--silent-command") {
            std::string text;
            if (!value(text)) return fail("--silent-command needs a command text");
            config.faults.silentCommands.insert(text);
        } else if (arg == "--dump") {
            if (!value(dump)) return fail("--dump needs a file");
        } else if (arg == "--verbose" || arg == "-v") {
            verbose = true;
        } else {
            return fail("unknown option '" + arg + "'");
        }
    }

    // Signals are taken before the reader thread starts, so that it inherits
    // the mask and only this thread sees them.
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
    if (!dump.empty()) {
        const std::string text = memoryDump(sim.memory(), sim.rebootCount());
        const auto written = tarvelin::writeFileAtomically(QString::fromLocal8Bit(dump.c_str()),
                                                           QByteArray(text.data(), qsizetype(text.size())));
        if (!written) {
            std::cerr << "korvex-sim: cannot write " << dump << ": "
                      << written.failure().message.toStdString() << "\n";
            return 1;
        }
    }
    return 0;
}
