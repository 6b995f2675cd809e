// The command layer of a configuration window: identification, one-byte
// memory reads and writes, reply judging, and the window's message line.
//
// Each step gives its result, or why there is none; a failure is on the
// message line by then. Each window object owns one instance; its two
// progress counters live as long as the window object and carry over from
// one operation to the next.
#pragma once

#include <QString>
#include <cstdint>
#include <string>

#include "base/outcome.h"
#include "messageline.h"

namespace tarvelin {

class Terminal;

inline constexpr const char* kMemoryEnableCommand = "MENABLE";
inline constexpr const char* kRebootCommand = "Mw4011000080";

class MemoryAccess {
public:
    explicit MemoryAccess(MessageLine& line);

    // The terminal used by the operation about to run.
    void setTerminal(Terminal& terminal) { terminal_ = &terminal; }
    Terminal& terminal() const { return *terminal_; }

    // Starts an operation: discards whatever waits on the line, then sends
    // "IR*" up to three times: the station ID, or NoResponse, LineLost,
    // SendFailed, InvalidResponse or Echo.
    Result<std::int16_t> identifyStation();
    // Sends a frame: the reply when it answers the frame, or NoResponse,
    // LineLost, SendFailed, InvalidResponse, OutOfStep or Echo.
    Result<std::string> confirmed(const std::string& frame);
    // Sends a point-to-point command whose reply is not judged ("VM*"): the
    // reply (empty when none came), or OutOfStep when something waited.
    Result<std::string> sendUnjudged(const std::string& command);
    // Reads the byte at `address`.
    Result<int> read(std::int16_t id, std::int16_t address);
    // Writes `value` at `address`; done when acknowledged.
    Result<void> write(std::int16_t id, std::int16_t address, std::int16_t value);

    // The same as the windows have always counted them: the byte 0..255 or
    // -1; 1 when acknowledged, 0 when not.
    int readMemory(std::int16_t id, std::int16_t address);
    int writeMemory(std::int16_t id, std::int16_t address, std::int16_t value);

    // The outcome on the message line (see showOutcome); `text` for those
    // without a caption of their own.
    void show(Outcome outcome, const QString& text = {}) { showOutcome(line_, outcome, text); }
    void clearMessage() { clearMessageLine(line_); }
    // Lets pending window events through.
    void processEvents() { line_.processEvents(); }

    // The station ID of the last good identification; -1 before one.
    std::int16_t station() const { return station_; }

    int readCounter() const { return readCounter_; }
    int writeCounter() const { return writeCounter_; }

private:
    void progressMark();
    // Takes what waits on the line before the next command: done when it is
    // nothing but line ends, else the line is out of step.
    Result<void> lineInStep();
    // The failure `why`, shown.
    Failure failed(Outcome why);

    MessageLine& line_;
    Terminal* terminal_ = nullptr;
    std::int16_t readCounter_ = 0;
    std::int16_t writeCounter_ = 0;
    std::int16_t station_ = -1;
};

}  // namespace tarvelin
