// A Korvex-PLC as seen from its RS-232 port: the host-link requests it takes
// and the replies it gives, over a 64 KiB configuration memory.
//
// Pure: no I/O, no threads. Bytes go in as they arrive on the line, replies
// come out as whole texts; the pty wrapper (pty.h) puts it on a real device.
#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "config/korvex.h"
#include "serial/hostlink.h"

namespace korvex {

using tarvelin::kMakerId;  // the first three bytes of every controller's MAC ID

using tarvelin::kENQ;

using Memory = std::array<std::uint8_t, 65536>;

// Addresses of the factory set-up (decimal, as the memory maps give them).
namespace address {
inline constexpr int kServerPort = 520;  // 2 bytes, high first
inline constexpr int kModbusPort = 522;  // 2 bytes, high first
inline constexpr int kIp = 524;
inline constexpr int kSubnet = 528;
inline constexpr int kGateway = 532;
inline constexpr int kDns = 536;
inline constexpr int kSmtp = 540;
inline constexpr int kModbusConnections = 544;
inline constexpr int kAccessLevel = 556;
inline constexpr int kFlags = tarvelin::kFlagByteAddress;
inline constexpr int kCalibration = 568;  // 32 words up to 631
inline constexpr int kMovingAverage = 632;
inline constexpr int kUserName = 634;  // 16 characters each
inline constexpr int kPassword = 650;
inline constexpr int kNodeName = 666;
inline constexpr int kTrustedIps = 682;  // 6 x 4 bytes up to 705
inline constexpr int kMac = 0xFF10;      // 6 bytes up to 0xFF15
}  // namespace address

// The factory set-up of the basic and advanced blocks and the MAC ID;
// everything else 0.
Memory factoryImage();

// Misbehaviour on demand, to see how the tool copes. `silent` and
// `stopAfterFramed` play a controller that does not listen; the other faults
// only lose, spoil, repeat or delay a reply, and the command itself is still
// carried out. `echo` is the line's doing, not the controller's: an echoing
// converter, or with `silent` a loopback plug.
struct Faults {
    bool silent = false;                   // answers nothing at all (not even ENQ)
    int ignoreFirstIdentify = 0;           // the first K "IR*" get no reply (the ENQ is still answered)
    int stopAfterFramed = -1;              // answer this many framed commands, then nothing more (-1: never)
    int silentAtAddress = -1;              // no reply to MR/MW at this address (0..65535); MW still stores
    int otherStationAtAddress = -1;        // reply to MR/MW at this address as station (ID+1)&0xFF
    int ignoreWriteAtAddress = -1;         // MW there is acknowledged but the byte is not stored
    std::set<std::string> silentCommands;  // no reply to these command texts: "VM*", "MENABLE", ...
    int splitReplies = 1;                  // deliver each reply in this many pieces (the pty wrapper does)
    int twiceAtAddress = -1;               // the reply to MR/MW at this address is sent twice
    int lateAtAddress = -1;                // ... is held back, sent behind the next reply that is no ENQ
    bool echo = false;                     // the line sends back every byte, ahead of any reply (see above)
    int damageAtAddress = -1;              // the byte of the MR reply at this address arrives spoilt ("CG")
    int badFcsAtAddress = -1;              // the FCS of the reply to MR/MW at this address is wrong
};

// How a controller words its replies, within what the host-link leaves open
// (the tool's side: serial/hostlink.h). The station and the mnemonic always
// stand first; what follows is the controller's own.
enum class ReplyStyle {
    Short,    // "@01MRC0" FCS "*", an acknowledgement "@01MW" FCS "*" ("ME", "Mw")
    Repeat,   // an acknowledgement repeats the request; "IR01*", "VM...*"
    EndCode,  // an end code "00" after the byte, or after the echoed command
    Bare,     // no FCS and no "*"
    Lower,    // data, FCS and station digits of "IR" in lower case
};
inline constexpr ReplyStyle kReplyStyles[] = {ReplyStyle::Short, ReplyStyle::Repeat, ReplyStyle::EndCode,
                                              ReplyStyle::Bare, ReplyStyle::Lower};
const char* nameOf(ReplyStyle style);

enum class LineEnd { CR, CRLF, LF };
inline constexpr LineEnd kLineEnds[] = {LineEnd::CR, LineEnd::CRLF, LineEnd::LF};
const char* nameOf(LineEnd end);

struct Config {
    int station = 1;                     // 0..255
    LineEnd lineEnd = LineEnd::CR;       // how each reply ends
    std::string version = "KRVX-E1.07";  // the firmware version "VM*" gives (ten characters as a rule)
    Faults faults;
    ReplyStyle style = ReplyStyle::Short;
};

class Controller {
public:
    explicit Controller(Config config = {});

    // Feeds bytes as they arrive on the line; returns the replies now due, each
    // a complete reply text with its line end (the ENQ answer is "\x05" alone).
    //
    // An ENQ byte is a request of its own, answered at once; it also drops any
    // unfinished request text before it (the host starts a new call). Other
    // requests end at CR; LF is ignored wherever it stands.
    std::vector<std::string> receive(std::string_view bytes);

    Memory& memory() { return memory_; }
    const Memory& memory() const { return memory_; }
    // Faults may be changed at any time; restartFaults() begins their counts
    // (ignored identifications, framed commands received) afresh and drops a
    // reply held back by lateAtAddress.
    Config& config() { return config_; }
    const Config& config() const { return config_; }
    void restartFaults();

    // Every complete request in order: "\x05" for an ENQ, other requests
    // without their CR. Requests that get no reply are listed too.
    const std::vector<std::string>& log() const { return log_; }
    void clearLog() { log_.clear(); }

    // Every well-formed MW for this station, in arrival order, whether or not a
    // fault kept the byte from being stored (memory() tells what was stored).
    struct Write {
        int address;
        int value;
        bool operator==(const Write&) const = default;
    };
    const std::vector<Write>& writes() const { return writes_; }
    void clearWrites() { writes_.clear(); }

    int rebootCount() const { return reboots_; }
    int enableCount() const { return enables_; }

private:
    void handle(const std::string& request, std::vector<std::string>& replies);
    void handleFramed(const std::string& frame, std::vector<std::string>& replies);
    std::string finish(std::string reply) const;
    // The reply of `station` to the command text `request` (without "@", ID,
    // FCS, "*"): `data` is the byte of an "MR", empty for an acknowledgement;
    // `mnemonic` the two letters that answer ("MR", "MW", "ME", "Mw", "ER").
    std::string framedReply(int station, std::string_view mnemonic, std::string_view request,
                            std::string data = {}) const;
    // The reply to MR/MW at `address`, as the faults deliver it.
    void reply(int address, std::string text, std::vector<std::string>& replies);

    Config config_;
    Memory memory_;
    std::string pending_;
    std::vector<std::string> log_;
    std::vector<Write> writes_;
    int reboots_ = 0;
    int enables_ = 0;
    int identifiesIgnored_ = 0;
    std::string held_;        // a reply held back by lateAtAddress
    int framedReceived_ = 0;  // framed commands for this station since restartFaults()
    bool stopped_ = false;    // stopAfterFramed has struck
};

}  // namespace korvex
