// tarvelin-bench: what the serial layer costs on top of the line itself.
//
// (a) N framed "MR" exchanges through Exchange::sendCommand on a QtSerialLine
//     against the simulated controller on a pty, and the same N exchanges by a
//     bare termios + poll() loop on the same pty: the floor. Prints both
//     totals and their ratio.
// (b) The CPU the process burns while an identification fails against a
//     silent controller (three "IR*" with the default waits, about 3 s):
//     the waits must sleep, not spin.
//
// (c) The same exchanges through a wire trace (TraceLine) into a file, against
//     the untraced exchange: tracing must not slow an exchange measurably.
// (d) Find Controller: six silent ports at eight baud rates against one
//     port's eight tries (target: at most 1.2 times), and the time from the
//     start of a scan to the find of a controller at 9600 on one of six ports
//     (target: under 0.5 s).
//
// Before the last two lines come the Find Controller figure and the line
// "traced exchange ratio: T"; the last two lines are "exchange ratio: R" and
// "wait cpu: C".

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "scanfigure.h"
#include "serial/exchange.h"
#include "serial/frame.h"
#include "serial/qtserialline.h"
#include "serial/traceline.h"
#include "sim/pty.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// The frames read in both runs: the basic and advanced blocks, over and over.
std::vector<std::string> readFrames(int count) {
    std::vector<std::string> frames;
    frames.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        char cmd[8];
        std::snprintf(cmd, sizeof cmd, "MR%04X", 520 + i % 186);
        std::string frame = cmd;
        tarvelin::appendFCS(1, frame);
        frames.push_back(frame);
    }
    return frames;
}

// The floor: write the frame and CR, read until a read ends in CR.
class TermiosLoop {
public:
    explicit TermiosLoop(const std::string& device) {
        fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) return;
        termios t{};
        ::tcgetattr(fd_, &t);
        ::cfmakeraw(&t);
        ::cfsetspeed(&t, B9600);
        ::tcsetattr(fd_, TCSANOW, &t);
    }
    ~TermiosLoop() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    std::string sendCommand(const std::string& frame) {
        out_ = frame;
        out_ += '\r';
        if (::write(fd_, out_.data(), out_.size()) != static_cast<ssize_t>(out_.size())) return {};
        std::string reply;
        while (reply.empty() || reply.back() != '\r') {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 500) <= 0) return {};
            const ssize_t n = ::read(fd_, buffer_, sizeof buffer_);
            if (n <= 0) return {};
            reply.append(buffer_, static_cast<std::size_t>(n));
        }
        reply.pop_back();
        return reply;
    }

private:
    int fd_ = -1;
    std::string out_;
    char buffer_[256];
};

// Times one block of exchanges; counts the replies that are not the read's.
template <typename Sender>
double timeBlock(Sender& sender, const std::vector<std::string>& frames, std::size_t from, std::size_t to,
                 int& failures) {
    const auto start = Clock::now();
    for (std::size_t i = from; i < to; ++i) {
        const std::string reply = sender.sendCommand(frames[i]);
        if (reply.size() < 8 || reply.compare(0, 4, frames[i], 0, 4) != 0) ++failures;
    }
    return secondsSince(start);
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int usage() {
    std::fprintf(stderr, "Usage: tarvelin-bench [--count N]\n");
    return 2;
}

// The figures of the exchanges: per block, the tool's time over the floor's
// and the traced exchange's over the untraced one's.
struct ExchangeFigures {
    bool measured = false;
    std::vector<double> ratios;
    std::vector<double> tracedRatios;
};

// The blocks of `frames`, each through the three ways in turn; the totals are
// printed by the caller.
// Exchanges are timed in blocks of this many, the three ways taking turns.
constexpr std::size_t kBlock = 100;

struct Totals {
    double exchange = 0, floor = 0, traced = 0;
};
Totals timeBlocks(TermiosLoop& floor, tarvelin::Exchange& exchange, tarvelin::Exchange& traced,
                  const std::vector<std::string>& frames, ExchangeFigures& figures, int& failures) {
    Totals totals;
    for (std::size_t from = 0; from < frames.size(); from += kBlock) {
        const std::size_t to = std::min(frames.size(), from + kBlock);
        // Alternate which goes first, so neither always follows the other.
        const bool floorFirst = (from / kBlock) % 2 == 0;
        double f = 0, e = 0, t = 0;
        // The traced exchange runs on the far side of the untraced one from the floor.
        if (floorFirst) f = timeBlock(floor, frames, from, to, failures);
        if (!floorFirst) t = timeBlock(traced, frames, from, to, failures);
        e = timeBlock(exchange, frames, from, to, failures);
        if (!floorFirst) f = timeBlock(floor, frames, from, to, failures);
        if (floorFirst) t = timeBlock(traced, frames, from, to, failures);
        totals.floor += f;
        totals.exchange += e;
        totals.traced += t;
        if (f > 0) figures.ratios.push_back(e / f);
        if (e > 0) figures.tracedRatios.push_back(t / e);
    }
    return totals;
}

ExchangeFigures measureExchanges(int count) {
    // (a) Exchanges. Both ways are open on the one device at once (the bare
    // descriptor first: the serial port asks for exclusive use) and take
    // turns in blocks, so that both see the same load of the machine; the
    // ratio is the median of the block ratios.
    korvex::PtySimulator sim;
    if (!sim.start()) {
        std::fprintf(stderr, "tarvelin-bench: cannot open a pseudo-terminal\n");
        return {};
    }
    TermiosLoop floor(sim.devicePath());
    tarvelin::QtSerialLine line;
    line.setDevice(sim.devicePath());
    line.setSettings("9600,N,8,1");
    if (!floor.ok() || !line.open().ok()) {
        std::fprintf(stderr, "tarvelin-bench: cannot open %s\n", sim.devicePath().c_str());
        return {};
    }
    tarvelin::SteadyClock steady;
    tarvelin::Exchange exchange(line, steady, {500, 500});
    QTemporaryDir traceDir;
    auto traceLine = tarvelin::TraceLine::open(line, traceDir.filePath(QStringLiteral("trace.txt")));
    if (!traceLine) {
        std::fprintf(stderr, "tarvelin-bench: cannot write a trace\n");
        return {};
    }
    tarvelin::Exchange traced(**traceLine, steady, {500, 500});

    const std::vector<std::string> frames = readFrames(count);
    int failures = 0;
    timeBlock(floor, frames, 0, std::min<std::size_t>(100, frames.size()), failures);  // warm up
    timeBlock(exchange, frames, 0, std::min<std::size_t>(100, frames.size()), failures);
    failures = 0;

    ExchangeFigures figures;
    const Totals totals = timeBlocks(floor, exchange, traced, frames, figures, failures);
    const double exchangeTotal = totals.exchange, floorTotal = totals.floor, tracedTotal = totals.traced;
    line.close();
    sim.stop();
    std::printf("%d framed MR exchanges each way, in blocks of %zu\n", count, kBlock);
    std::printf("sendCommand over QtSerialLine: %.3f s (%.1f us each)\n", exchangeTotal,
                exchangeTotal * 1e6 / count);
    std::printf("termios + poll() loop:         %.3f s (%.1f us each)\n", floorTotal,
                floorTotal * 1e6 / count);
    std::printf("ratio of the totals: %.3f\n", floorTotal > 0 ? exchangeTotal / floorTotal : -1);
    std::printf("sendCommand through a trace:   %.3f s (%.1f us each)\n", tracedTotal,
                tracedTotal * 1e6 / count);
    if (failures) std::printf("failed exchanges: %d\n", failures);

    figures.measured = true;
    return figures;
}

// The CPU the process burns while an identification fails against a silent
// controller, per second of wall time; -1 when it could not be measured.
double measureWaitCpu() {
    tarvelin::QtSerialLine line;
    tarvelin::SteadyClock steady;
    // (b) Waiting on a silent controller.
    korvex::Config silentConfig;
    silentConfig.faults.silent = true;
    korvex::PtySimulator silent(silentConfig);
    double cpuPerWall = -1;
    if (silent.start()) {
        line.setDevice(silent.devicePath());
        if (line.open().ok()) {
            // The time-out box's defaults: 1000 ms for the ENQ, 500 ms for the reply.
            tarvelin::Exchange waiting(line, steady, {1000, 500});
            const double cpuStart = processCpuSeconds();
            const auto start = Clock::now();
            int answered = 0;
            for (int attempt = 0; attempt < 3; ++attempt)
                if (!waiting.sendCommand("IR*").empty()) ++answered;
            const double wall = secondsSince(start);
            const double cpu = processCpuSeconds() - cpuStart;
            cpuPerWall = cpu / wall;
            std::printf("failed identification: %.3f s wall, %.4f s CPU%s\n", wall, cpu,
                        answered ? " (but something answered!)" : "");
        }
    }

    return cpuPerWall;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int count = 2000;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--count" && i + 1 < argc) {
            count = std::atoi(argv[++i]);
            if (count <= 0) return usage();
        } else {
            return usage();
        }
    }

    const ExchangeFigures figures = measureExchanges(count);
    if (!figures.measured) return 1;
    const double cpuPerWall = measureWaitCpu();

    // (d) Find Controller: six ports in parallel, and the time to a find.
    printScanFigure();

    std::printf("traced exchange ratio: %.3f\n",
                figures.tracedRatios.empty() ? -1.0 : median(figures.tracedRatios));
    std::printf("exchange ratio: %.3f\n", figures.ratios.empty() ? -1.0 : median(figures.ratios));
    std::printf("wait cpu: %.4f\n", cpuPerWall);
    return 0;
}
