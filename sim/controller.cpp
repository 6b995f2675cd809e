#include "controller.h"

#include <cctype>
#include <utility>

#include "base/hexdigits.h"
#include "serial/frame.h"

namespace korvex {

namespace {

using tarvelin::kCR;
using tarvelin::kLF;
// A line that never ends is noise; keep no more of it than this.
constexpr std::size_t kLongestRequest = 4096;

void put(Memory& m, int at, std::initializer_list<int> bytes) {
    for (int b : bytes) m[static_cast<std::size_t>(at++)] = static_cast<std::uint8_t>(b);
}

std::string hex2(int value) {
    return tarvelin::hexAtLeastTwo(static_cast<std::int16_t>(value & 0xFF));
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Upper-case hex digits only, as the host writes them; -1 otherwise.
int parseHex(std::string_view digits) {
    return tarvelin::parseHexDigits(digits, tarvelin::HexCase::Upper);
}

}  // namespace

Memory factoryImage() {
    Memory m{};
    put(m, address::kServerPort, {0x23, 0x78});  // 9080
    put(m, address::kModbusPort, {0x01, 0xF6});  // 502
    put(m, address::kIp, {192, 168, 1, 5});
    put(m, address::kSubnet, {255, 255, 255, 0});
    put(m, address::kGateway, {192, 168, 1, 1});
    // DNS and SMTP servers: 0.0.0.0
    put(m, address::kModbusConnections, {3});
    put(m, address::kAccessLevel, {'1', 0});
    // Flags (566) clear, calibration words (568..631) 0.
    put(m, address::kMovingAverage, {3});
    // User name and password empty.
    const std::string_view node = "Tarvelin";
    for (std::size_t i = 0; i < node.size(); ++i)
        m[address::kNodeName + i] = static_cast<std::uint8_t>(node[i]);
    // Trusted IPs 0.0.0.0.
    put(m, address::kMac, {kMakerId[0], kMakerId[1], kMakerId[2], 0x00, 0x12, 0x34});
    return m;
}

Controller::Controller(Config config) : config_(std::move(config)), memory_(factoryImage()) {}

void Controller::restartFaults() {
    identifiesIgnored_ = 0;
    framedReceived_ = 0;
    stopped_ = false;
    held_.clear();
}

std::vector<std::string> Controller::receive(std::string_view bytes) {
    std::vector<std::string> replies;
    if (config_.faults.echo && !bytes.empty()) replies.emplace_back(bytes);
    for (char c : bytes) {
        if (c == kENQ) {
            pending_.clear();
            log_.emplace_back(1, kENQ);
            if (!config_.faults.silent && !stopped_) replies.emplace_back(1, kENQ);
        } else if (c == kCR) {
            std::string request = std::move(pending_);
            pending_.clear();
            log_.push_back(request);
            std::string late = std::exchange(held_, std::string());
            const std::size_t before = replies.size();
            handle(request, replies);
            if (!late.empty()) {
                if (replies.size() > before)
                    replies.push_back(std::move(late));
                else if (held_.empty())
                    held_ = std::move(late);
            }
        } else if (c == kLF) {
            // The LF of a CR LF line end, or a stray one: not part of any request.
        } else {
            if (pending_.size() >= kLongestRequest) pending_.clear();
            pending_ += c;
        }
    }
    return replies;
}

const char* nameOf(ReplyStyle style) {
    switch (style) {
        case ReplyStyle::Short:
            return "short";
        case ReplyStyle::Repeat:
            return "repeat";
        case ReplyStyle::EndCode:
            return "endcode";
        case ReplyStyle::Bare:
            return "bare";
        case ReplyStyle::Lower:
            return "lower";
    }
    return "?";
}

const char* nameOf(LineEnd end) {
    return end == LineEnd::CR ? "cr" : end == LineEnd::CRLF ? "crlf" : "lf";
}

std::string Controller::finish(std::string reply) const {
    if (config_.lineEnd != LineEnd::LF) reply += kCR;
    if (config_.lineEnd != LineEnd::CR) reply += kLF;
    return reply;
}

std::string Controller::framedReply(int station, std::string_view mnemonic, std::string_view request,
                                    std::string data) const {
    const ReplyStyle style = config_.style;
    const bool ack = data.empty() && mnemonic != "ER";
    if (style == ReplyStyle::Lower) data = lower(std::move(data));
    // Appended piece by piece: GCC 12 sees a false overlap in "@" + text (-Wrestrict).
    std::string text(1, '@');
    text += hex2(station);
    text += (ack && (style == ReplyStyle::Repeat || style == ReplyStyle::EndCode)) ? request : mnemonic;
    text += data;
    if (style == ReplyStyle::EndCode && mnemonic != "ER") text += "00";
    if (style != ReplyStyle::Bare) {
        const std::string fcs = hex2(tarvelin::computeFCS(text));
        text += (style == ReplyStyle::Lower ? lower(fcs) : fcs) + "*";
    }
    return finish(std::move(text));
}

void Controller::reply(int address, std::string text, std::vector<std::string>& replies) {
    const Faults& faults = config_.faults;
    if (address == faults.damageAtAddress && text.size() > 6 && text[4] == 'R') text[6] = 'G';
    const std::size_t star = text.rfind('*');
    if (address == faults.badFcsAtAddress && star != std::string::npos && star >= 2) {
        // The last check digit one higher, in its own case.
        char& digit = text[star - 1];
        const int value = (tarvelin::hexDigitValue(digit) + 1) & 15;
        digit = "0123456789ABCDEF"[value];
        if (config_.style == ReplyStyle::Lower) digit = lower(std::string(1, digit)).front();
    }
    if (address == faults.lateAtAddress && held_.empty()) {
        held_ = std::move(text);
        return;
    }
    if (address == faults.twiceAtAddress) replies.push_back(text);
    replies.push_back(std::move(text));
}

void Controller::handle(const std::string& request, std::vector<std::string>& replies) {
    const Faults& faults = config_.faults;
    if (faults.silent || stopped_) return;
    if (!request.empty() && request.front() == '@') {
        handleFramed(request, replies);
        return;
    }
    if (faults.silentCommands.count(request)) return;
    if (request == "IR*") {
        if (identifiesIgnored_ < faults.ignoreFirstIdentify) {
            ++identifiesIgnored_;
            return;
        }
        const std::string station = hex2(config_.station);
        std::string reply("IR");
        reply += config_.style == ReplyStyle::Lower ? lower(station) : station;
        if (config_.style == ReplyStyle::Repeat) reply += '*';
        replies.push_back(finish(std::move(reply)));
    } else if (request == "VM*") {
        std::string reply("VM");
        reply += config_.version;
        if (config_.style == ReplyStyle::Repeat) reply += '*';
        replies.push_back(finish(std::move(reply)));
    }
    // Anything else unframed is not a command of this controller: no reply.
}

void Controller::handleFramed(const std::string& frame, std::vector<std::string>& replies) {
    const Faults& faults = config_.faults;
    const int station = config_.station & 0xFF;
    // "@", two station digits; a frame for another station (or none we can
    // read) is not ours to answer.
    if (frame.size() < 3 || parseHex(std::string_view(frame).substr(1, 2)) != station) return;

    ++framedReceived_;
    if (faults.stopAfterFramed >= 0 && framedReceived_ > faults.stopAfterFramed) {
        stopped_ = true;
        return;
    }

    const std::size_t n = frame.size();
    const bool wellFormed =
        n >= 6 && frame.back() == '*' &&
        parseHex(std::string_view(frame).substr(n - 3, 2)) == tarvelin::computeFCS(frame.substr(0, n - 3));
    if (!wellFormed) {
        replies.push_back(framedReply(station, "ER", frame));
        return;
    }
    const std::string body = frame.substr(3, n - 6);
    // A silenced command is carried out all the same; only its reply is lost.
    const bool silenced = faults.silentCommands.count(body) > 0 || faults.silentCommands.count(frame) > 0;

    const std::string_view b(body);
    if (body.size() == 6 && b.substr(0, 2) == "MR" && parseHex(b.substr(2, 4)) >= 0) {
        const int at = parseHex(b.substr(2, 4));
        if (silenced || at == faults.silentAtAddress) return;
        const int from = at == faults.otherStationAtAddress ? (station + 1) & 0xFF : station;
        reply(at, framedReply(from, "MR", body, hex2(memory_[static_cast<std::size_t>(at)])), replies);
    } else if (body.size() == 8 && b.substr(0, 2) == "MW" && parseHex(b.substr(2, 4)) >= 0 &&
               parseHex(b.substr(6, 2)) >= 0) {
        const int at = parseHex(b.substr(2, 4));
        const int value = parseHex(b.substr(6, 2));
        writes_.push_back({at, value});
        if (at != faults.ignoreWriteAtAddress)
            memory_[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(value);
        if (silenced || at == faults.silentAtAddress) return;
        const int from = at == faults.otherStationAtAddress ? (station + 1) & 0xFF : station;
        reply(at, framedReply(from, "MW", body), replies);
    } else if (body == "MENABLE") {
        ++enables_;
        if (!silenced) replies.push_back(framedReply(station, "ME", body));
    } else if (body == "Mw4011000080") {
        ++reboots_;  // the memory survives the restart
        if (!silenced) replies.push_back(framedReply(station, "Mw", body));
    } else {
        if (!silenced) replies.push_back(framedReply(station, "ER", body));
    }
}

}  // namespace korvex
