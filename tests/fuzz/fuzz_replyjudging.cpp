// Reply judging and byte decoding of the memory command layer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/memoryaccess.h"
#include "serial/lineterminal.h"
#include "support/scriptedline.h"

namespace {

class QuietLine final : public tarvelin::MessageLine {
public:
    QString caption() const override { return caption_; }
    void setCaption(const QString& c) override { caption_ = c; }
    tarvelin::Rgb color() const override { return color_; }
    void setColor(const tarvelin::Rgb& c) override { color_ = c; }
    void beep() override {}
    Alignment alignment() const override { return alignment_; }
    void setAlignment(Alignment a) override { alignment_ = a; }
    void processEvents() override {}

private:
    QString caption_;
    tarvelin::Rgb color_;
    Alignment alignment_ = Alignment::Center;
};

}  // namespace

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
    QuietLine messages;
    tarvelin::MemoryAccess access(messages);
    access.setTerminal(terminal);
    if (!terminal.openCommPort()) __builtin_trap();
    const auto id = access.identifyStation();
    if (id && (*id < 0 || *id > 255)) __builtin_trap();
    const int value = access.readMemory(id.value_or(0), 524);
    if (value < -1 || value > 255) __builtin_trap();
    const int written = access.writeMemory(id.value_or(0), 524, 0xC0);
    if (written != 0 && written != 1) __builtin_trap();
    return 0;
}
