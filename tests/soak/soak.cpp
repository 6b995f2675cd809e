// tarvelin-soak: seeded random cycles of edit -> store -> retrieve on both
// blocks with random faults, on the bench of the operation table (the windows
// without widgets, the simulated controller on a scripted line, fake time)
// and judged by the same oracle: after every operation the controller's whole
// memory, the commands it got, every control of both windows, the outcome and
// the message line. The same seed repeats the same run.
//
//   tarvelin-soak --cycles 1000 --seed 7     # a long run
//
// Exit code 0 when every check passed; 1 at the first mismatch (naming the
// cycle and the seed); 2 on bad arguments.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "config/operations.h"
#include "support/oracle.h"

using namespace tarvelin;
using namespace tarvelin::test;

namespace {

const char* const kFaultNames[] = {"none",
                                   "busy",
                                   "port gone",
                                   "silent",
                                   "IR* ignored twice",
                                   "IR* ignored thrice",
                                   "no VM*",
                                   "no MENABLE",
                                   "no reboot",
                                   "silent at",
                                   "other station at",
                                   "twice at",
                                   "late at",
                                   "pulled at",
                                   "quit at",
                                   "write lost at",
                                   "does not fit at",
                                   "CR LF",
                                   "split",
                                   "loopback plug",
                                   "echoing converter"};
constexpr int kFaults = sizeof kFaultNames / sizeof *kFaultNames;

void print(const char* title, const std::map<std::string, int>& counts) {
    int total = 0;
    for (const auto& [name, count] : counts) total += count;
    std::printf("  %-10s %5d", title, total);
    const char* separator = " (";
    for (const auto& [name, count] : counts) {
        std::printf("%s%s %d", separator, name.c_str(), count);
        separator = ", ";
    }
    std::printf("%s\n", total ? ")" : "");
}

int usage() {
    std::fprintf(stderr, "usage: tarvelin-soak [--cycles N] [--seed S]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int cycles = 300;
    unsigned seed = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg != "--cycles" && arg != "--seed") || i + 1 >= argc) return usage();
        char* end = nullptr;
        const unsigned long value = std::strtoul(argv[++i], &end, 10);
        if (!end || *end || value > 1'000'000'000) return usage();
        if (arg == "--cycles") cycles = static_cast<int>(value);
        if (arg == "--seed") seed = static_cast<unsigned>(value);
    }

    std::mt19937 random(seed);
    const auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    Bench bench;
    bench.controller().config().station = pick(0, 255);
    std::map<std::string, int> stores, retrieves, faults;
    int cycle = 1;
    QString off;
    for (; cycle <= cycles && off.isEmpty(); ++cycle) {
        const bool basic = pick(0, 1);
        for (const Op op :
             {basic ? Op::StoreBasic : Op::StoreAdvanced, basic ? Op::RetrieveBasic : Op::RetrieveAdvanced}) {
            if (isStore(op)) {
                editForm(bench.form(op), op, random);
                bench.form(op).setChecked(kResetControl, pick(0, 1));
                bench.form(op).setChecked(kVerifyControl, pick(0, 3) == 0);
            }
            // Half the operations meet a fault, at a byte of the block (or at the identification).
            const auto fault = static_cast<Fault>(pick(0, 1) ? 0 : pick(1, kFaults - 1));
            const auto& spots = layout(op);
            const Spot& spot = spots[static_cast<std::size_t>(pick(0, int(spots.size()) - 1))];
            const int address = pick(0, 9) ? spot.address + pick(0, spot.width() - 1) : -1;
            Outcome expected{};
            off = judge(bench, op, fault, address, &expected);
            ++(isStore(op) ? stores : retrieves)[nameOf(expected)];
            ++faults[kFaultNames[static_cast<int>(fault)]];
            if (!off.isEmpty()) {
                std::fprintf(
                    stderr, "tarvelin-soak: MISMATCH at cycle %d (seed %u), %s %s, fault %s at %d: %s\n",
                    cycle, seed, isStore(op) ? "store" : "retrieve", isBasic(op) ? "basic" : "advanced",
                    kFaultNames[static_cast<int>(fault)], address, qPrintable(off));
                std::fprintf(stderr, "  repeat with: tarvelin-soak --seed %u --cycles %d\n", seed, cycle);
                break;
            }
            bench.settle();
        }
    }
    std::printf("tarvelin-soak: seed %u, %d of %d cycles: %s\n", seed, cycle - 1, cycles,
                off.isEmpty() ? "all checks passed" : "MISMATCH");
    print("stores", stores);
    print("retrieves", retrieves);
    print("faults", faults);
    return off.isEmpty() ? 0 : 1;
}
