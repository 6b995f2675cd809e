// The few things the protocol asks of a serial port, and of a clock.
//
// The exchange never touches QSerialPort directly: it runs against this
// interface so that the whole protocol can be driven by a scripted line on a
// fake clock in tests, and by the real port in the program.
#pragma once

#include <cstdint>
#include <string>

#include "base/platform.h"

namespace tarvelin {

class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic milliseconds; never wraps within a run.
    virtual std::int64_t nowMs() const = 0;
};

class SteadyClock final : public Clock {
public:
    std::int64_t nowMs() const override;
};

class SerialLine {
public:
    virtual ~SerialLine() = default;

    // The device to open next ("/dev/ttyS4", "/dev/pts/3", "COM5" on Windows).
    virtual void setDevice(const std::string& device) = 0;
    virtual std::string device() const = 0;

    // Line settings as "baud,parity,data,stop", e.g. "9600,N,8,1".
    // Returns false when the text cannot be understood.
    virtual bool setSettings(const std::string& settings) = 0;
    // The settings as the port holds them, in the same form.
    virtual std::string settings() const = 0;

    virtual OpenResult open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Sends the bytes as they are (single-byte characters).
    virtual bool write(const std::string& bytes) = 0;
    // Every character that has arrived since the last call; empty when none.
    // Never waits.
    virtual std::string takeAll() = 0;
    // Blocks until something has arrived or `timeoutMs` has passed (at most).
    virtual void waitForData(int timeoutMs) = 0;
    // True once the device has gone away under an open port (adapter pulled,
    // far side closed). Cleared by close() and open().
    virtual bool lost() const = 0;
};

}  // namespace tarvelin
