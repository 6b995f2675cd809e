// Reply judging and byte decoding of the memory command layer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/memoryaccess.h"
#include "serial/lineterminal.h"
#include "support/messageline.h"
#include "support/scriptedline.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tarvelin::test::ScriptedLine line;
    tarvelin::LineTerminal terminal(line, line.clock(), {"/dev/fuzz", "9600", "None", "8", "1"});
    const std::string reply(reinterpret_cast<const char*>(data), size);
    line.onWrite([&](tarvelin::test::ScriptedLine& l, const std::string& written) {
        if (written == "\x05")
            l.deliverIn(1, "\x05");
        else
            l.deliverIn(1, reply + "\r");
    });
    tarvelin::test::RecordingMessageLine messages;
    tarvelin::MemoryAccess access(messages);
    access.setTerminal(terminal);
    if (!terminal.openCommPort()) __builtin_trap();
    const auto id = access.identifyStation();
    if (id && (*id < 0 || *id > 255)) __builtin_trap();
    const std::int16_t station = id ? *id : std::int16_t{0};
    const int value = access.readMemory(station, 524);
    if (value < -1 || value > 255) __builtin_trap();
    const int written = access.writeMemory(station, 524, 0xC0);
    if (written != 0 && written != 1) __builtin_trap();
    return 0;
}
