#include "hostlink.h"

#include "base/hexdigits.h"
#include "frame.h"

namespace tarvelin::hostlink {

namespace {

bool isHex(char c) {
    return hexDigitValue(c) >= 0;
}

// The letters of a memory command whose reply the fifth character must repeat.
bool isReadOrWrite(std::string_view frame) {
    return frame.size() >= 5 && frame[3] == 'M' && (frame[4] == 'R' || frame[4] == 'W');
}

// Where a reply ends in two hex digits and "*" after what it must carry,
// they are the check sum of everything before them.
bool checkSumHolds(std::string_view reply, std::size_t dataEnd) {
    const std::size_t n = reply.size();
    if (n < dataEnd + 3 || reply[n - 1] != '*' || !isHex(reply[n - 3]) || !isHex(reply[n - 2])) return true;
    return parseHexDigits(reply.substr(n - 3, 2)) == computeFCS(std::string(reply.substr(0, n - 3)));
}

}  // namespace

bool answersEnq(std::string_view read) {
    return !read.empty() && read.find_first_not_of(kENQ) == std::string_view::npos;
}

bool isEcho(std::string_view reply, std::string_view request) {
    while (!reply.empty() && reply.front() == kENQ) reply.remove_prefix(1);
    return reply == request;
}

Outcome confirm(std::string_view request, std::string_view reply) {
    if (reply.empty()) return Outcome::NoResponse;
    // The byte of a genuine "MR" reply stands where a repeated request has the
    // address: an "MR" that comes back as it went is the line, not a controller.
    if (isReadOrWrite(request) && request[4] == 'R' && isEcho(reply, request)) return Outcome::Echo;
    // Two replies gathered as one: the controller answered twice.
    if (reply.find_first_of("\r\n") != std::string_view::npos) return Outcome::OutOfStep;
    if (reply.size() < 4 || request.size() < 5 || reply.substr(0, 4) != request.substr(0, 4))
        return Outcome::InvalidResponse;
    // "MENABLE" and the reboot are judged by the first four characters alone.
    if (!isReadOrWrite(request)) return Outcome::Success;
    if (reply.size() < 5 || reply[4] != request[4]) return Outcome::InvalidResponse;
    std::size_t dataEnd = 5;
    if (request[4] == 'R') {
        if (reply.size() < 7 || !isHex(reply[5]) || !isHex(reply[6])) return Outcome::InvalidResponse;
        dataEnd = 7;
    }
    return checkSumHolds(reply, dataEnd) ? Outcome::Success : Outcome::InvalidResponse;
}

int dataByte(std::string_view reply) {
    return reply.size() < 7 ? -1 : parseHexDigits(reply.substr(5, 2));
}

Identification identify(std::string_view reply) {
    if (reply.size() >= 4 && reply.substr(0, 2) == "IR" && isHex(reply[2]) && isHex(reply[3]))
        return {Outcome::Success, parseHexDigits(reply.substr(2, 2))};
    if (isEcho(reply, "IR*")) return {Outcome::Echo};
    if (reply.substr(0, 2) == "IR") return {Outcome::InvalidResponse};
    return {};
}

std::string firmwareOf(std::string_view reply) {
    return reply.size() > 2 ? std::string(reply.substr(2, 10)) : std::string();
}

}  // namespace tarvelin::hostlink
