// The simulated controller's request parser, fed any bytes in any chunks.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "sim/controller.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    korvex::Config config;
    config.station = data[0];
    config.lineEnd = data[0] & 1 ? korvex::LineEnd::CRLF : korvex::LineEnd::CR;
    config.style = korvex::kReplyStyles[(data[0] >> 1) % std::size(korvex::kReplyStyles)];
    korvex::Controller controller(config);
    std::size_t i = 1;
    while (i < size) {
        const std::size_t len = 1 + data[i] % 24;
        ++i;
        const std::string_view chunk(reinterpret_cast<const char*>(data) + i, std::min(len, size - i));
        i += chunk.size();
        for (const std::string& reply : controller.receive(chunk)) {
            // Every reply is a lone ENQ or ends in its line end.
            if (reply != "\x05" && (reply.empty() || reply.back() != (data[0] & 1 ? '\n' : '\r')))
                __builtin_trap();
        }
    }
    return 0;
}
