#include "simline.h"

#include <algorithm>

namespace tarvelin::test {

SimulatedLine::SimulatedLine(korvex::Config config) : controller_(std::move(config)) {
    line_.onWrite([this](ScriptedLine& line, const std::string& written) {
        for (const std::string& reply : controller_.receive(written)) {
            const std::size_t pieces = std::clamp<std::size_t>(
                static_cast<std::size_t>(std::max(1, controller_.config().faults.splitReplies)), 1,
                std::max<std::size_t>(reply.size(), 1));
            const std::size_t size = reply.size() / pieces;
            std::size_t at = 0;
            for (std::size_t i = 0; i < pieces; ++i) {
                const std::size_t length = i + 1 == pieces ? reply.size() - at : size;
                line.deliverIn(2 + static_cast<std::int64_t>(i), reply.substr(at, length));
                at += length;
            }
        }
    });
}

}  // namespace tarvelin::test
