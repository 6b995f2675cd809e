// What a configuration window sees of the rest of the program, for tests:
// a terminal that answers nothing (or a simulated controller on a scripted
// line), a flag byte holder, and counters for what the window asked for.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "config/directory.h"
#include "serial/lineterminal.h"
#include "serial/terminal.h"
#include "support/simline.h"

namespace tarvelin::test {

// A terminal whose port never opens.
class StubTerminal final : public Terminal {
public:
    bool openCommPort() override {
        ++opens;
        return false;
    }
    std::string getCommport() override {
        ++portQueries;
        return port;
    }
    std::string sendCommand(const std::string& cmd) override {
        sent.push_back(cmd);
        return {};
    }
    bool linkLost() const override { return false; }

    std::string port = "COM5";
    int opens = 0;
    int portQueries = 0;
    std::vector<std::string> sent;
};

// A controller (the simulated one) behind the terminal's operations.
class SimulatedTerminal {
public:
    explicit SimulatedTerminal(korvex::Config config = {}) : sim_(std::move(config)) {}
    Terminal& terminal() { return terminal_; }
    korvex::Controller& controller() { return sim_.controller(); }

private:
    SimulatedLine sim_;
    LineTerminal terminal_{sim_.line(), sim_.line().clock(),
                           PortChoice{"/dev/scripted-line", "9600", "None", "8", "1"}};
};

class PlainFlagHolder final : public FlagByteHolder {
public:
    double getPLCconfig() override { return value; }
    void setPLCconfig(std::int16_t v) override { value = v; }
    bool flagByteFromController() const override { return fromController; }
    void setFlagByteFromController(bool v) override { fromController = v; }

    double value = 0;
    bool fromController = false;
};

class FakeDirectory final : public Directory {
public:
    Terminal& terminal() override { return terminal_ != nullptr ? *terminal_ : stub; }
    void showTerminal() override { ++terminalShown; }
    void showAdvanced() override { ++advancedShown; }
    FlagByteHolder& flagByteHolder() override {
        ++holderRequests;
        return holder_ != nullptr ? *holder_ : plainHolder;
    }
    void askOverwrite(std::int16_t source) override {
        overwriteSources.push_back(source);
        if (onAskOverwrite) onAskOverwrite(source);
    }
    void displayCommport() override { ++commportRefreshes; }

    // Another terminal / holder instead of the stubs.
    void useTerminal(Terminal& terminal) { terminal_ = &terminal; }
    void useHolder(FlagByteHolder& holder) { holder_ = &holder; }

    StubTerminal stub;
    PlainFlagHolder plainHolder;
    int terminalShown = 0;
    int advancedShown = 0;
    int holderRequests = 0;
    int commportRefreshes = 0;
    std::vector<std::int16_t> overwriteSources;
    std::function<void(std::int16_t)> onAskOverwrite;

private:
    Terminal* terminal_ = nullptr;
    FlagByteHolder* holder_ = nullptr;
};

}  // namespace tarvelin::test
