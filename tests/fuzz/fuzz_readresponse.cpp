// Reply assembly fed arbitrary bytes in arbitrary chunks at arbitrary times.
#include <cstddef>
#include <cstdint>
#include <string>

#include "serial/exchange.h"
#include "serial/timeoutbox.h"
#include "support/scriptedline.h"

using tarvelin::Exchange;
using tarvelin::test::ScriptedLine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    ScriptedLine line;
    line.open();
    // First byte: how the time-out box reads; then chunks of (length, delay, bytes).
    const std::string timeouts[] = {"500 ", "0", "-5", "2000", "abc", "1"};
    const std::string timeout = timeouts[data[0] % 6];
    const bool addressed = data[1] & 1;
    std::size_t i = 2;
    std::int64_t at = line.clock().nowMs();
    while (i < size) {
        const std::size_t len = data[i] % 16;
        const std::size_t delay = i + 1 < size ? data[i + 1] * 4 : 0;
        i += 2;
        std::string chunk;
        for (std::size_t k = 0; k < len && i < size; ++k, ++i) chunk += static_cast<char>(data[i]);
        at += static_cast<std::int64_t>(delay);
        line.deliverAt(at, chunk);
    }
    Exchange exchange(line, line.clock(), tarvelin::timesFromBox(timeout));
    const std::string reply = exchange.sendCommand(addressed ? "@01MR020C2E*" : "IR*");
    // Nothing was invented (a CR inside a read stays in the reply, as it should).
    if (reply.size() > size) __builtin_trap();
    // A second exchange takes what the first left behind without harm.
    exchange.sendCommand("@01MR020C2E*");
    return 0;
}
