// The command layer of a configuration window: identification, one-byte
// memory reads and writes, reply judging, and the window's message line.
//
// Each window object owns one instance; its two progress counters live as
// long as the window object and carry over from one operation to the next.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "messageline.h"

namespace tarvelin {

class Terminal;

inline constexpr const char* kNoResponseText = "No Response from Device!";
inline constexpr const char* kInvalidResponseText = "Invalid response from Device!";
inline constexpr const char* kRetrievedText = "Successfully Retrieved Setup Data";
inline constexpr const char* kStoredText = "Setup Data Stored to Device";
inline constexpr const char* kLinkLostText =
    "No Response from Device! The serial port went away (cable or adapter unplugged?)";
inline constexpr const char* kMemoryEnableCommand = "MENABLE";
inline constexpr const char* kRebootCommand = "Mw4011000080";

class MemoryAccess {
public:
    explicit MemoryAccess(MessageLine& line);

    // The terminal used by the operation about to run.
    void setTerminal(Terminal& terminal) { terminal_ = &terminal; }
    Terminal& terminal() const { return *terminal_; }

    // "IR*" up to three times; the station ID, or empty after showNoResponse.
    std::optional<std::int16_t> identifyStation();
    // Sends a frame; the reply when it begins with the frame's first four
    // characters, else empty (with the failure on the message line).
    std::string checkResponse(const std::string& frame);
    // The byte 0..255, or -1.
    int readMemory(std::int16_t id, std::int16_t address);
    // 1 when acknowledged, 0 when not.
    int writeMemory(std::int16_t id, std::int16_t address, std::int16_t value);

    void showNoResponse();
    void clearMessage();
    void showMessage(const QString& text);
    // Red, with a beep: for what the tool itself refuses.
    void showError(const QString& text);
    // Lets pending window events through.
    void processEvents() { line_.processEvents(); }

    // True when the last failed exchange failed because the port went away.
    bool linkLost() const { return linkLost_; }
    // True when the last failed exchange failed on a reply of the wrong kind.
    bool lastFailureInvalid() const { return invalid_; }

    int readCounter() const { return readCounter_; }
    int writeCounter() const { return writeCounter_; }

private:
    void progressMark();
    void noteFailure();

    MessageLine& line_;
    Terminal* terminal_ = nullptr;
    std::int16_t readCounter_ = 0;
    std::int16_t writeCounter_ = 0;
    bool linkLost_ = false;
    bool invalid_ = false;
};

}  // namespace tarvelin
