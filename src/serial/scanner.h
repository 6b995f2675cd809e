// Finding a controller: which port, which baud rate, which station.
//
// A try opens one port at one baud rate (8N1), throws away what waits, sends
// ENQ and waits briefly for the controller's lone ENQ; on an answer it asks
// "IR*" for the station ID and "VM*" for the firmware version, and closes the
// port. Nothing else is ever sent: a scan never writes to a controller.
// The prober runs the tries of one port on any line and clock; the port scan
// runs one prober per port, each on a thread and a line of its own.
#pragma once

#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "linefactory.h"
#include "portconnection.h"
#include "portenumerator.h"
#include "serialline.h"

namespace tarvelin {

inline constexpr const char* kFindControllerCaption = "Find Controller";
inline constexpr const char* kStopCaption = "Stop";

// The baud rates of the terminal's list, in the list's order.
const std::vector<int>& terminalBaudRates();
// The order of a scan: 9600 first (where controllers leave the factory),
// then the others of the terminal's list from the fastest down.
std::vector<int> defaultScanBauds();

// The controller's turnaround: how long it may take to answer ENQ once the
// ENQ has arrived.
inline constexpr int kTurnaroundMs = 100;
// The ENQ wait of a try at `baud`: two characters of ten bits (the ENQ out,
// the answer back), rounded up, plus the turnaround.
int enqWaitMs(int baud);

struct ScanPort {
    std::string name;    // as the user names it: "COM5", "/dev/ttyUSB0"
    std::string device;  // what is opened: "/dev/ttyS4"
    bool operator==(const ScanPort&) const = default;
};
// "COM5 (/dev/ttyS4)", or the name alone when it is the device.
std::string portLabel(const ScanPort& port);

// Each name resolved as the port list resolves it; a name that leads to a
// device already listed (another name of the same adapter) is left out.
std::vector<ScanPort> scanPorts(const std::vector<std::string>& names,
                                const EnvLookup& env = systemEnvironment);
// "COM1" to "COM6", then the system's ports: what the terminal's list offers.
std::vector<std::string> defaultScanPortNames(PortEnumerator& enumerator);

struct TryResult {
    enum class Kind {
        Found,     // a controller answered: station and firmware
        Silent,    // nothing came back
        Garbled,   // bytes came back, but no ENQ: no controller at this speed
        Echo,      // the line sends back what it gets: a loopback plug or an echoing converter
        Invalid,   // ENQ was answered, "IR*" not as a controller answers it
        Unopened,  // the port cannot be opened: skipped, with the reason
        Refused,   // the port does not take this baud rate
        Lost,      // the port went away during the try
    };
    Kind kind = Kind::Silent;
    ScanPort port;
    int baud = 0;
    int station = -1;      // Found
    std::string firmware;  // Found: the ten characters after "VM", empty when "VM*" got no reply
    std::string detail;    // the reason (Unopened, Refused), or what came back (Garbled, Invalid)

    // No later baud rate of the port is tried after this.
    bool endsPort() const {
        return kind == Kind::Found || kind == Kind::Echo || kind == Kind::Unopened || kind == Kind::Lost;
    }
};

// One line for the try: "COM1 (/dev/ttyS0) at 9600: no answer".
std::string describeTry(const TryResult& result);

struct ProbeTimes {
    int enqWaitMs = 0;      // the first ENQ wait of a try; 0: enqWaitMs(baud)
    int replyWaitMs = 500;  // the replies to "IR*" and "VM*", and the ENQ waits before them
};

class Prober {
public:
    // `stop` (may be null) is looked at between waits: once set, the try
    // closes the port and gives nothing.
    Prober(SerialLine& line, const Clock& clock, ProbeTimes times, const std::atomic<bool>* stop = nullptr);

    // One try; empty when stopped.
    std::optional<TryResult> tryAt(const ScanPort& port, int baud);
    // The tries of one port, in order, each reported; ends at a result that
    // ends the port, or when stopped.
    void probe(const ScanPort& port, const std::vector<int>& bauds,
               const std::function<void(const TryResult&)>& report);

private:
    enum class Wait { Answered, Silent, Garbled, Lost, Stopped };
    // Sends ENQ and waits up to `ms` for a read that holds ENQ alone (or
    // ENQs alone: an echoing converter with a controller behind it).
    Wait callEnq(int ms, std::string& garbage);
    struct Reply {
        Wait how = Wait::Silent;
        std::string text;  // without its line end; what came when incomplete
    };
    // Sends `command` and CR and collects the reply up to its CR or LF.
    Reply ask(const std::string& command, int ms);
    // Waits for data until `deadline`, in slices so that a stop is seen.
    bool waitUntil(std::int64_t deadline);
    bool stopped() const { return stop_ && stop_->load(); }
    std::optional<TryResult> identify(TryResult result);

    SerialLine& line_;
    const Clock& clock_;
    ProbeTimes times_;
    const std::atomic<bool>* stop_;
};

// The tries of several ports at once: a worker thread per port, each with a
// line of its own from the factory (made on that thread: a QSerialPort lives
// in its thread, and named by its port in a trace); the baud rates of one
// port one after another.
class PortScan {
public:
    // Called on the workers' threads, one call at a time.
    using Report = std::function<void(const TryResult&)>;
    // Called once after the last report (on the last worker's thread, or on
    // the caller's when there is no port), with whether stop() ended it.
    using Done = std::function<void(bool stopped)>;

    PortScan(std::vector<ScanPort> ports, std::vector<int> bauds, ProbeTimes times, LineFactory lines);
    ~PortScan();  // stops and waits
    PortScan(const PortScan&) = delete;
    PortScan& operator=(const PortScan&) = delete;

    void start(Report report, Done done = {});
    // Asks every worker to stop at its next wait; returns at once.
    void stop() { stop_ = true; }
    bool stopRequested() const { return stop_; }
    // Blocks until every worker has ended.
    void wait();
    // start() and wait().
    void run(Report report) {
        start(std::move(report));
        wait();
    }
    std::size_t tries() const { return ports_.size() * bauds_.size(); }

private:
    void work(const ScanPort& port);

    std::vector<ScanPort> ports_;
    std::vector<int> bauds_;
    ProbeTimes times_;
    LineFactory lines_;
    Report report_;
    Done done_;
    std::mutex reportMutex_;
    std::atomic<bool> stop_{false};
    std::atomic<int> running_{0};
    std::vector<std::unique_ptr<QThread>> workers_;
};

}  // namespace tarvelin
