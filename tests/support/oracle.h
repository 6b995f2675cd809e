// The oracle of the operation table and the soak run: what a retrieve or a
// store must do on the bench. It is independent of the program's memory maps
// only: the fields' addresses, travel order, labels, ranges and encodings are
// worked out here from the controller's memory layout, so that it can judge
// the maps and the codecs. Everything else it takes from the program as it
// is: the message and command texts, the control names, the outcome kinds,
// the progress counters of memory access, and the forms of the bench with
// the windows' change rules. A fault in those is for other tests to find.
#pragma once

#include <QMap>
#include <random>
#include <vector>

#include "support/faults.h"

namespace tarvelin::test {

enum class Kind { Octet, Port, Count, Text, Level, Zero, PasswordBit, TrustBits, Gain, Offset, Average, Mac };

// One field: its control (or option pair), how messages name it, its first byte.
struct Spot {
    Kind kind;
    QString control;
    QString label;
    int address;
    int width() const;
};

// The fields `op` travels, in order: a store writes the zero byte after the
// access level and never the MAC ID; a retrieve reads the MAC ID.
const std::vector<Spot>& layout(Op op);
const Spot* spotAt(Op op, int address);

// A controller image in which every field differs from the factory set-up and
// from the windows' initial texts.
korvex::Memory distinctiveImage();
// Puts random values that fit into every box and choice `op` stores (plain
// decimal numbers: the oracle reads no others).
void editForm(HeadlessForm& form, Op op, std::mt19937& random);

// Every value control of both forms: the text, "#n" for the access level
// list, "on"/"off" for option buttons.
using State = QMap<QString, QString>;
State snapshot(const Bench& bench);

struct Expectation {
    Outcome outcome = Outcome::Success;
    korvex::Memory memory{};
    State state;
    std::vector<std::string> sent;  // framed commands that reach the controller: "MR020C", "MENABLE", ...
    QString caption;
    Rgb color;
    int beeps = 0;  // counted since the bench was made
};

// What `op` must do on the bench as it stands, the fault applied already.
Expectation expect(Bench& bench, Op op, Fault fault, int address);

// Applies the fault, runs `op` and compares all it did with the oracle: the
// differences, or empty. The fault stays until Bench::settle().
QString judge(Bench& bench, Op op, Fault fault, int address, Outcome* expected = nullptr);

const char* nameOf(Outcome outcome);

}  // namespace tarvelin::test
