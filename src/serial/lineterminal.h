// The terminal's public operations without a window: a line, its port
// connection and the exchange, with the port choice held as plain values.
#pragma once

#include <functional>
#include <string>

#include "exchange.h"
#include "portconnection.h"
#include "terminal.h"

namespace tarvelin {

class LineTerminal final : public Terminal {
public:
    LineTerminal(SerialLine& line, const Clock& clock, PortChoice choice, EnvLookup env = systemEnvironment);

    bool openCommPort() override;
    std::string getCommport() override { return choice_.portText; }
    Result<std::string> send(const std::string& cmd) override;
    std::string takePending() override { return exchange_.takePending(); }

    PortChoice& choice() { return choice_; }
    // Both waits of every exchange from now on (500 ms each until set).
    void setTimeoutMs(int ms) { exchange_.setTimes({ms, ms}); }
    // What cuts every wait short (Exchange::setStopToken); none until set.
    void setStopToken(std::function<bool()> token) { exchange_.setStopToken(std::move(token)); }
    PortConnection& connection() { return connection_; }
    // What went wrong at the last failed open.
    const std::string& lastOpenMessage() const { return lastOpenMessage_; }
    // Called for every failed open with its message (a command line prints it).
    void onOpenFailure(std::function<void(const std::string&)> report) { onOpenFailure_ = std::move(report); }

private:
    PortChoice choice_;
    PortConnection connection_;
    Exchange exchange_;
    std::string lastOpenMessage_;
    std::function<void(const std::string&)> onOpenFailure_;
};

}  // namespace tarvelin
