#include "simline.h"

#include <algorithm>

namespace tarvelin::test {

SimulatedLine::SimulatedLine(korvex::Config config) : controller_(std::move(config)) {
    line_.onWrite([this](ScriptedLine& line, const std::string& written) {
        if (hook_ && !hook_(line, written)) return;
        std::int64_t at = 2;
        for (std::string reply : controller_.receive(written)) {
            const bool lf = reply.size() > 2 && reply.ends_with("\r\n");
            if (lf) reply.pop_back();
            const std::size_t pieces = std::clamp<std::size_t>(
                static_cast<std::size_t>(std::max(1, controller_.config().faults.splitReplies)), 1,
                std::max<std::size_t>(reply.size(), 1));
            const std::size_t size = reply.size() / pieces;
            std::size_t from = 0;
            for (std::size_t i = 0; i < pieces; ++i, ++at) {
                const std::size_t length = i + 1 == pieces ? reply.size() - from : size;
                if (i == 0)
                    line.deliverApartIn(at, reply.substr(from, length));
                else
                    line.deliverIn(at, reply.substr(from, length));
                from += length;
            }
            --at;  // the next reply (or the LF) comes apart, as soon as the last piece
            if (lf) line.deliverApartIn(at, "\n");
        }
    });
}

}  // namespace tarvelin::test
