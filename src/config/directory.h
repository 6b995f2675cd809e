// How a configuration window reaches the other window objects.
//
// Each window object exists at most once and is created on first use; the
// application's window registry implements this and hands itself to every
// window it creates.
#pragma once

#include <cstdint>

namespace tarvelin {

class OperationContext;
class Terminal;

// The advanced window's hidden `PLCconfig`: the program's one holder of the
// configuration flag byte at address 566, shared by both windows.
class FlagByteHolder {
public:
    virtual ~FlagByteHolder() = default;
    // The leading number of the text, not rounded.
    virtual double getPLCconfig() = 0;
    // Puts the number into the text with a leading blank (" 18").
    virtual void setPLCconfig(std::int16_t value) = 0;
    // True once the byte in `PLCconfig` came from the controller during the
    // life of this window object (a retrieve, or a store that read it first).
    virtual bool flagByteFromController() const = 0;
    virtual void setFlagByteFromController(bool fromController) = 0;
};

class Directory {
public:
    virtual ~Directory() = default;
    // The terminal object (created hidden on first use): the port and the exchange.
    virtual Terminal& terminal() = 0;
    // What the operations run under: one at a time, and when to stop.
    virtual OperationContext& context() = 0;
    virtual void showTerminal() = 0;
    virtual void showAdvanced() = 0;
    // The advanced window's flag byte holder, creating the window hidden.
    virtual FlagByteHolder& flagByteHolder() = 0;
    // Records the asking window (0 basic, 1 advanced) in the confirmation
    // dialog and shows it without blocking.
    virtual void askOverwrite(std::int16_t source) = 0;
    // Refreshes the basic window's port display (creating the window).
    virtual void displayCommport() = 0;
};

}  // namespace tarvelin
