// Why something ended as it did: one value that travels from the line, the
// exchange and the memory access layer to a window's message line, to the
// command line's exit code and to a provisioning report. The described
// results stay beside it where the windows count on them (readMemory -1,
// writeMemory 0/1, openCommPort false); this says why.
#pragma once

#include <QString>
#include <optional>
#include <utility>

namespace tarvelin {

enum class Outcome {
    Success,          // "Successfully Retrieved Setup Data" / "Setup Data Stored to Device"
    Busy,             // another operation is running; nothing was done
    PortNotOpened,    // the port could not be opened; nothing was sent
    NoResponse,       // no reply within the time-out
    LineLost,         // the port went away (adapter pulled, cable cut)
    SendFailed,       // the line did not take a command (its driver refused or timed out the write)
    InvalidResponse,  // a reply that does not answer the command
    OutOfStep,        // replies that belong to no command wait on the line
    Echo,             // the reply is the command itself: a loopback plug or an echoing converter
    Refused,          // a value does not fit; nothing was sent
    Unreadable,       // a file or a value that is not what it must be (bad JSON, unknown key, ...)
    WriteFailed,      // a result or a file could not be written
    VerifyMismatch,   // the read-back differs from what was written
    Interrupted,      // asked to stop between two commands (the program is quitting)
};

// A failure with the words that explain it ("Profile a.json: key ...").
struct Failure {
    Outcome outcome = Outcome::Unreadable;
    QString message;
};

// A value, or the failure that kept it from being had.
template <class T>
class Result {
public:
    Result(T value) : value_(std::move(value)) {}
    Result(Failure failure) : failure_(std::move(failure)) {}

    explicit operator bool() const { return value_.has_value(); }
    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    // Meaningful only when there is no value.
    const Failure& failure() const { return failure_; }

private:
    std::optional<T> value_;
    Failure failure_;
};

// Done, or the failure that stopped it.
template <>
class Result<void> {
public:
    Result() = default;
    Result(Failure failure) : failure_(std::move(failure)) {}

    explicit operator bool() const { return !failure_; }
    const Failure& failure() const { return *failure_; }

private:
    std::optional<Failure> failure_;
};

// Success, or why there is no value.
template <class T>
Outcome outcomeOf(const Result<T>& result) {
    return result ? Outcome::Success : result.failure().outcome;
}

// True for the outcomes of a line that answers, but not as a controller does:
// the message line shows "Invalid response from Device!" for all of them.
constexpr bool isInvalidReply(Outcome o) {
    return o == Outcome::InvalidResponse || o == Outcome::OutOfStep || o == Outcome::Echo;
}

}  // namespace tarvelin
