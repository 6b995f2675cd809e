#include "scanner.h"

#include <algorithm>
#include <set>

#include "base/readablebytes.h"
#include "exchange.h"
#include "hostlink.h"

namespace tarvelin {

namespace {

// A wait is cut into slices this long at most, so that a stop is seen soon.
constexpr int kSliceMs = 20;
// What came back is shown up to this many bytes.
constexpr std::size_t kShownBytes = 24;

std::string shown(const std::string& bytes) {
    std::string text = readableBytes(bytes.substr(0, kShownBytes));
    if (bytes.size() > kShownBytes) text += "...";
    return text;
}

bool isLineEnd(char c) {
    return c == kCR || c == kLF;
}

}  // namespace

const std::vector<int>& terminalBaudRates() {
    static const std::vector<int> rates{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    return rates;
}

std::vector<int> defaultScanBauds() {
    std::vector<int> order{9600};
    const auto& rates = terminalBaudRates();
    for (auto it = rates.rbegin(); it != rates.rend(); ++it)
        if (*it != 9600) order.push_back(*it);
    return order;
}

int enqWaitMs(int baud) {
    if (baud <= 0) return kTurnaroundMs;
    const long long bits = 2 * 10 * 1000LL;  // two characters of ten bits, in bit-milliseconds
    return static_cast<int>((bits + baud - 1) / baud) + kTurnaroundMs;
}

std::string portLabel(const ScanPort& port) {
    return port.name == port.device || port.device.empty() ? port.name : port.name + " (" + port.device + ")";
}

std::vector<ScanPort> scanPorts(const std::vector<std::string>& names, const EnvLookup& env) {
    std::vector<ScanPort> ports;
    std::set<std::string> devices;
    for (const std::string& name : names) {
        const PortTarget target = resolvePort(name, env);
        if (target.device.empty() || !devices.insert(target.device).second) continue;
        ports.push_back({name, target.device});
    }
    return ports;
}

std::vector<std::string> defaultScanPortNames(PortEnumerator& enumerator) {
    std::vector<std::string> names;
    for (int n = 1; n <= 6; ++n) names.push_back("COM" + std::to_string(n));
    for (const SystemPort& port : enumerator.ports()) names.push_back(port.device);
    return names;
}

std::string describeTry(const TryResult& r) {
    const std::string at = portLabel(r.port) + " at " + std::to_string(r.baud) + ": ";
    using K = TryResult::Kind;
    switch (r.kind) {
        case K::Found:
            return at + "found station " + std::to_string(r.station) + ", firmware " +
                   (r.firmware.empty() ? "unknown (no reply to \"VM*\")" : shown(r.firmware));
        case K::Silent:
            return at + "no answer";
        case K::Garbled:
            return at + "no controller at this speed (unreadable bytes: " + r.detail + ")";
        case K::Echo:
            return at +
                   "the line echoes what is sent (a loopback plug or an echoing converter), not a controller";
        case K::Invalid:
            return at + "answers ENQ, but not \"IR*\" as a controller does (" + r.detail + ")";
        case K::Unopened:
            return portLabel(r.port) + ": skipped: " + r.detail;
        case K::Refused:
            return at + r.detail;
        case K::Lost:
            return at + "the port went away";
    }
    return at;
}

Prober::Prober(SerialLine& line, const Clock& clock, ProbeTimes times, const std::atomic<bool>* stop)
    : line_(line), clock_(clock), times_(times), stop_(stop) {}

bool Prober::waitUntil(std::int64_t deadline) {
    const std::int64_t left = deadline - clock_.nowMs();
    if (left > 0) line_.waitForData(static_cast<int>(std::min<std::int64_t>(left, kSliceMs)));
    return !line_.lost() && !stopped();
}

Prober::Wait Prober::callEnq(int ms, std::string& garbage) {
    if (!line_.write(std::string(1, kENQ))) return Wait::Lost;
    const std::int64_t deadline = clock_.nowMs() + ms;
    for (;;) {
        const std::string got = line_.takeAll();
        if (hostlink::answersEnq(got)) return Wait::Answered;
        garbage += got;
        if (line_.lost()) return Wait::Lost;
        if (stopped()) return Wait::Stopped;
        if (clock_.nowMs() >= deadline) return garbage.empty() ? Wait::Silent : Wait::Garbled;
        waitUntil(deadline);
    }
}

Prober::Reply Prober::ask(const std::string& command, int ms) {
    if (!line_.write(command + kCR)) return {Wait::Lost, {}};
    const std::int64_t deadline = clock_.nowMs() + ms;
    std::string buffer;
    for (;;) {
        std::string got = line_.takeAll();
        // Before the reply: a late second ENQ (an echoing converter) or the
        // LF of an earlier CR LF.
        if (buffer.empty()) got.erase(0, got.find_first_not_of(std::string{kENQ, kLF}));
        buffer += got;
        if (!buffer.empty() && isLineEnd(buffer.back())) {
            while (!buffer.empty() && isLineEnd(buffer.back())) buffer.pop_back();
            return {Wait::Answered, buffer};
        }
        if (line_.lost()) return {Wait::Lost, buffer};
        if (stopped()) return {Wait::Stopped, buffer};
        if (clock_.nowMs() >= deadline) return {buffer.empty() ? Wait::Silent : Wait::Garbled, buffer};
        waitUntil(deadline);
    }
}

std::optional<TryResult> Prober::identify(TryResult r) {
    using K = TryResult::Kind;
    const auto ended = [&](Wait how) -> std::optional<TryResult> {
        if (how == Wait::Stopped) return std::nullopt;
        r.kind = K::Lost;
        return r;
    };
    std::string garbage;
    const int firstWait = times_.enqWaitMs > 0 ? times_.enqWaitMs : enqWaitMs(r.baud);
    switch (const Wait how = callEnq(firstWait, garbage)) {
        case Wait::Answered:
            break;
        case Wait::Silent:
            r.kind = K::Silent;
            return r;
        case Wait::Garbled:
            r.kind = K::Garbled;
            r.detail = shown(garbage);
            return r;
        default:
            return ended(how);
    }
    // Asked up to three times, as an identification does, while nothing
    // at all comes back.
    Reply ir = ask("IR*", times_.replyWaitMs);
    for (int attempt = 2; attempt <= 3 && ir.how == Wait::Silent; ++attempt) {
        const Wait how = callEnq(times_.replyWaitMs, garbage);
        if (how == Wait::Lost || how == Wait::Stopped) return ended(how);
        if (how != Wait::Answered) break;
        ir = ask("IR*", times_.replyWaitMs);
    }
    if (ir.how == Wait::Lost || ir.how == Wait::Stopped) return ended(ir.how);
    const hostlink::Identification id =
        ir.how == Wait::Answered ? hostlink::identify(ir.text) : hostlink::Identification{};
    if (id.outcome == Outcome::Echo) {
        r.kind = K::Echo;
        return r;
    }
    if (id.outcome != Outcome::Success) {
        r.kind = K::Invalid;
        r.detail = ir.text.empty() ? "no reply to \"IR*\"" : shown(ir.text);
        return r;
    }
    r.station = id.station;

    const Wait how = callEnq(times_.replyWaitMs, garbage);
    if (how == Wait::Lost || how == Wait::Stopped) return ended(how);
    if (how == Wait::Answered) {
        const Reply vm = ask("VM*", times_.replyWaitMs);
        if (vm.how == Wait::Lost || vm.how == Wait::Stopped) return ended(vm.how);
        if (vm.how == Wait::Answered) r.firmware = hostlink::firmwareOf(vm.text);
    }
    r.kind = K::Found;
    return r;
}

std::optional<TryResult> Prober::tryAt(const ScanPort& port, int baud) {
    if (stopped()) return std::nullopt;
    TryResult r;
    r.port = port;
    r.baud = baud;
    line_.setDevice(port.device);
    if (!line_.setSettings(std::to_string(baud) + ",N,8,1")) {
        r.kind = TryResult::Kind::Refused;
        r.detail = "not a baud rate the port takes";
        return r;
    }
    const OpenResult opened = line_.open();
    if (!opened.ok()) {
        // A port that does not take one baud rate may take the next; one that
        // cannot be opened at all will not open at another.
        r.kind =
            opened.error == OpenError::BadSettings ? TryResult::Kind::Refused : TryResult::Kind::Unopened;
        r.detail = openFailureReason(opened, port.device);
        return r;
    }
    line_.takeAll();  // what waits from before answers nothing of ours
    std::optional<TryResult> result = identify(std::move(r));
    line_.close();
    return result;
}

void Prober::probe(const ScanPort& port, const std::vector<int>& bauds,
                   const std::function<void(const TryResult&)>& report) {
    for (int baud : bauds) {
        const std::optional<TryResult> result = tryAt(port, baud);
        if (!result) return;
        if (report) report(*result);
        if (result->endsPort()) return;
    }
}

PortScan::PortScan(std::vector<ScanPort> ports, std::vector<int> bauds, ProbeTimes times, LineFactory lines)
    : ports_(std::move(ports)), bauds_(std::move(bauds)), times_(times), lines_(std::move(lines)) {}

PortScan::~PortScan() {
    stop();
    wait();
}

void PortScan::start(Report report, Done done) {
    report_ = std::move(report);
    done_ = std::move(done);
    if (ports_.empty()) {
        if (done_) done_(stop_.load());
        return;
    }
    running_ = static_cast<int>(ports_.size());
    for (const ScanPort& port : ports_) {
        workers_.emplace_back(QThread::create([this, port] { work(port); }));
        workers_.back()->start();
    }
}

void PortScan::work(const ScanPort& port) {
    {
        // Made, used and closed on this thread.
        const MadeLine made = lines_.make(port.name);
        Prober prober(*made.line, *made.clock, times_, &stop_);
        prober.probe(port, bauds_, [this](const TryResult& r) {
            std::lock_guard lock(reportMutex_);
            if (report_) report_(r);
        });
    }
    if (--running_ == 0 && done_) done_(stop_.load());
}

void PortScan::wait() {
    for (const auto& worker : workers_) worker->wait();
}

}  // namespace tarvelin
