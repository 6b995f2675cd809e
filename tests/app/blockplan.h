// The two memory blocks as the reliability tests and the soak tool see them:
// which control each byte belongs to, in the order the bytes travel, and what
// a retrieve should show and a store should write. Written out from the
// blocks' layout on their own (not taken from the program's tables), so that
// they can judge the program.
#pragma once

#include <QMap>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "sim/controller.h"

namespace tarvelin {
class Form;
class WidgetForm;
}  // namespace tarvelin

namespace tarvelin::test {

enum class Kind {
    Octet,        // one byte, plain decimal
    Port,         // two bytes, high first; " 9080"
    Count,        // No_of_MBtcp, with the connection split behind it
    Text,         // sixteen single-byte characters, zero padded
    Level,        // AccessLevel: the digit's code 49..51
    Zero,         // the zero byte after the access level (written, never read)
    PasswordBit,  // 566 as the basic window sees it
    TrustBits,    // 566 as the advanced window sees it
    Word,         // two bytes, high first; w, or w - 65536 above 32768
    Average,      // MovAvgNo: one byte, " 3"
    Mac,          // one byte as upper-case hex without leading zero; never written
};

// One field: its control and its bytes, in travel order.
struct Spot {
    Kind kind;
    QString control;
    std::vector<int> addresses;
};

enum class Block { Basic, Advanced };

// The reads of a retrieve (basic: 75, advanced: 80) and the writes of a store
// (basic: 76, advanced: 74), field by field, in order.
const std::vector<Spot>& readPlan(Block block);
const std::vector<Spot>& writePlan(Block block);

// Every address of a plan in order, flattened.
std::vector<int> addressesOf(const std::vector<Spot>& plan);

// The state of a window's value controls, by control name: the text of text
// boxes and labels, "#n" for the selected position of a list, "on"/"off" for
// option buttons and check boxes. The message line is left out.
using State = QMap<QString, QString>;
State snapshot(const WidgetForm& form);
// "IP(3): '10' (was '192'); ..." for the names whose values differ; empty
// when both are the same.
QString differences(const State& expected, const State& actual);

// What a completed read of `spot` puts into the controls (on top of `state`).
void applyRead(const Spot& spot, const korvex::Memory& memory, State& state);

// The bytes a store writes for `spot`, read from the form's texts; `flagByte`
// stands for the shared byte 566. Plain decimal texts only (the tests write
// them so) and empty boxes (0); empty when a text is no plain number.
std::optional<std::vector<int>> bytesFor(const Spot& spot, const Form& form, int flagByte);

// The shared byte as each window's store builds it from what PLCconfig holds.
int basicFlagByte(int held, bool passwordYes);
int advancedFlagByte(int held, bool tarvelinYes, bool modbusYes);

// A number as the windows show ports, words and PLCconfig: " 22", "-1".
QString signedText(long long value);

// "MR0208" / "MW0208" for an address (the command text of a read or write).
std::string readCommand(int address);
std::string writeCommandPrefix(int address);

// "first difference at 0x0208: 35, expected 31"; empty when equal.
QString memoryDifference(const korvex::Memory& expected, const korvex::Memory& actual);

// A controller image in which every field of both blocks differs from the
// windows' initial texts (and from the factory set-up).
korvex::Memory distinctiveImage();
inline constexpr const char* kDistinctiveVersion = "KRVX-E3.14";

}  // namespace tarvelin::test
