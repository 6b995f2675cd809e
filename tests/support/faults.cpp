#include "faults.h"

#include <cstdio>
#include <optional>

#include "advanced/advancedoperations.h"
#include "basic/basicform.h"
#include "basic/basicoperations.h"
#include "config/busy.h"
#include "support/oracle.h"

namespace tarvelin::test {

// The directory keeps the terminal made after it: it is not used before then.
Bench::Bench()
    : HeadlessDirectory(lineTerminal),
      lineTerminal(sim.line(), sim.line().clock(), {"/dev/scripted-line", "9600", "None", "8", "1"},
                   [](const std::string&) { return std::nullopt; }) {
    controller().memory() = distinctiveImage();
}

Outcome Bench::run(Op op) {
    std::optional<BusyScope> other;
    if (busy_) other.emplace(context());
    switch (op) {
        case Op::RetrieveBasic:
            return retrieveBasicParameters(basic, basicAccess, *this);
        case Op::StoreBasic:
            return updateBasicParameters(basic, basicAccess, *this);
        case Op::RetrieveAdvanced:
            return retrieveAdvancedParameters(advanced, advancedAccess, *this);
        case Op::StoreAdvanced:
            break;
    }
    return updateAdvancedParameters(advanced, advancedAccess, *this);
}

void Bench::apply(Op op, Fault fault, int address) {
    korvex::Faults& f = controller().config().faults;
    // The command for `address` ("@", station, "MR" or "MW", four digits), or "IR*" for -1.
    const auto isFor = [address](const std::string& w) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%04X", address & 0xFFFF);
        return address < 0 ? w == "IR*\r" : w.size() > 9 && w[0] == '@' && w.compare(5, 4, digits) == 0;
    };
    if (fault == Fault::Busy) busy_ = true;
    if (fault == Fault::PortGone) line().setLost(true);
    if (fault == Fault::PortGone) line().failNextOpen({OpenError::NoSuchDevice, {}});
    if (fault == Fault::Silent || fault == Fault::Loopback) f.silent = true;
    if (fault == Fault::Loopback || fault == Fault::Echo) f.echo = true;
    if (fault == Fault::IdentifyTwice || fault == Fault::IdentifyThrice)
        f.ignoreFirstIdentify = fault == Fault::IdentifyTwice ? 2 : 3;
    if (fault == Fault::NoVersion) f.silentCommands = {"VM*"};
    if (fault == Fault::NoEnable) f.silentCommands = {kMemoryEnableCommand};
    if (fault == Fault::NoReboot) f.silentCommands = {kRebootCommand};
    if (fault == Fault::SilentAt) f.silentAtAddress = address;
    if (fault == Fault::OtherStationAt) f.otherStationAtAddress = address;
    if (fault == Fault::TwiceAt) f.twiceAtAddress = address;
    if (fault == Fault::LateAt) f.lateAtAddress = address;
    if (fault == Fault::IgnoreWriteAt) f.ignoreWriteAtAddress = address;
    if (fault == Fault::DamagedAt) f.damageAtAddress = address;
    if (fault == Fault::BadFcsAt) f.badFcsAtAddress = address;
    if (fault == Fault::CrLf) controller().config().lineEnd = korvex::LineEnd::CRLF;
    if (fault == Fault::Split) f.splitReplies = 3;
    if (fault == Fault::LostAt)
        sim.setHook([isFor](ScriptedLine& l, const std::string& w) {
            if (isFor(w)) l.setLost(true);
            return !isFor(w);
        });
    if (fault == Fault::QuitAt)
        sim.setHook([this, isFor](ScriptedLine&, const std::string& w) {
            if (isFor(w)) context().requestStop();
            return true;
        });
    // A value that does not fit where one can be put: an octet, a port, a gain, a text.
    const Spot* spot = fault == Fault::Unfit ? spotAt(op, address) : nullptr;
    if (spot && spot->kind == Kind::Octet) form(op).setText(spot->control, QStringLiteral("256"));
    if (spot && spot->kind == Kind::Port) form(op).setText(spot->control, QStringLiteral("70000"));
    if (spot && spot->kind == Kind::Gain) form(op).setText(spot->control, QStringLiteral("65536"));
    if (spot && spot->kind == Kind::Text) form(op).setText(spot->control, QStringLiteral("Ω-7"));
}

void Bench::settle() {
    controller().config().faults = {};
    controller().config().lineEnd = korvex::LineEnd::CR;
    controller().config().style = korvex::ReplyStyle::Short;
    controller().restartFaults();
    sim.setHook({});
    busy_ = false;
    line().setLost(false);
    line().clock().advance(60'000);
    line().takeAll();
}

}  // namespace tarvelin::test
