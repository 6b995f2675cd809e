// One operation at a time, and a way to ask the running one to stop.
//
// A retrieve or store lets window events through at its progress marks; while
// it runs, nothing may start a second exchange. Everything that could (the
// retrieve, save and factory-default buttons, the confirmation's Yes, the
// terminal's command line and port buttons) follows the gate's `changed`.
//
// Each program owns one context and hands it to the operations: the window
// registry for the windows, the command line for its commands, provisioning
// with its Ctrl-C flag as the stop token.
#pragma once

#include <QObject>
#include <functional>

namespace tarvelin {

// The busy gate.
class Busy : public QObject {
    Q_OBJECT
public:
    bool active() const { return depth_ > 0; }

signals:
    void changed(bool busy);

private:
    friend class BusyScope;
    int depth_ = 0;
};

// What the operations run under: the busy gate, and whether the running one
// is to stop after the command just done.
class OperationContext {
public:
    // `stopToken`, when given, is asked after every command as well.
    explicit OperationContext(std::function<bool()> stopToken = {}) : stopToken_(std::move(stopToken)) {}
    OperationContext(const OperationContext&) = delete;
    OperationContext& operator=(const OperationContext&) = delete;

    Busy& busy() { return busy_; }
    const Busy& busy() const { return busy_; }

    // Asks the running operation to stop at its next chance (the program is
    // quitting). Forgotten when the next operation begins.
    void requestStop() { stopRequested_ = true; }
    bool stopRequested() const { return stopRequested_ || (stopToken_ && stopToken_()); }

private:
    friend class BusyScope;
    Busy busy_;
    std::function<bool()> stopToken_;
    bool stopRequested_ = false;
};

// Marks an operation as running for its lifetime.
class BusyScope {
public:
    explicit BusyScope(OperationContext& context);
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    OperationContext& context_;
};

}  // namespace tarvelin
