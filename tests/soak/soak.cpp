// tarvelin-soak: hundreds of seeded random cycles of edit -> store -> retrieve
// on both configuration windows against the simulated controller, with random
// faults on the line (seeded, so a run can be repeated exactly).
//
// After every store the controller's whole memory must equal a model of what
// should have been written: the whole block when the store succeeded, exactly
// the bytes before the failure (the failing one included when the controller
// carried it out) when it failed, nothing when it was refused. After every
// retrieve that succeeded the window's fields must equal the memory.
//
//   tarvelin-soak --cycles 500 --seed 7        # a long run
//   tarvelin-soak --cycles 40 --seed 1         # what CTest runs
//
// Exit code 0 when every check passed; 1 at the first mismatch (with the
// cycle, the fault and the difference); 2 on bad arguments.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>

#include "advanced/advancedwindow.h"
#include "app/blockplan.h"
#include "app/e2efixture.h"
#include "app/reliability.h"
#include "basic/basicwindow.h"
#include "config/form.h"
#include "config/memoryaccess.h"
#include "serial/serialcommwindow.h"

using namespace tarvelin;
using namespace tarvelin::test;

namespace {

constexpr int kTimeoutMs = 200;

enum class FaultKind {
    None,
    SilentAt,         // no reply to the read or write of one address (a write is still carried out)
    OtherStationAt,   // another station's reply at one address
    StopAfter,        // the controller stops answering after k framed commands
    IdentifyIgnored,  // the first n "IR*" unanswered (n = 1..3)
    NoEnable,         // "MENABLE" unanswered
    NoReboot,         // the reboot unanswered
    NoVersion,        // "VM*" unanswered
    Split,            // replies in pieces
    CrLf,             // replies end in CR LF
    LinkLost,         // the adapter is pulled after k framed commands
};

const char* nameOf(FaultKind kind) {
    switch (kind) {
        case FaultKind::None:
            return "none";
        case FaultKind::SilentAt:
            return "silent at";
        case FaultKind::OtherStationAt:
            return "other station at";
        case FaultKind::StopAfter:
            return "stops after";
        case FaultKind::IdentifyIgnored:
            return "IR* ignored";
        case FaultKind::NoEnable:
            return "MENABLE unanswered";
        case FaultKind::NoReboot:
            return "reboot unanswered";
        case FaultKind::NoVersion:
            return "VM* unanswered";
        case FaultKind::Split:
            return "split replies";
        case FaultKind::CrLf:
            return "CR LF";
        case FaultKind::LinkLost:
            return "link lost after";
    }
    return "?";
}

struct Fault {
    FaultKind kind = FaultKind::None;
    int value = -1;  // the address, the count k or n, the pieces
};

// One framed command of an operation as the controller sees it.
struct Step {
    enum Kind { ReadFlag, Enable, Write, Read, Reboot } kind;
    int address = -1;
    int value = 0;
};

enum class Result { Done, NoResponse, Invalid, LinkLost, Refused };

const char* nameOf(Result r) {
    switch (r) {
        case Result::Done:
            return "done";
        case Result::NoResponse:
            return "no response";
        case Result::Invalid:
            return "invalid response";
        case Result::LinkLost:
            return "link lost";
        case Result::Refused:
            return "refused";
    }
    return "?";
}

// What an operation should come to, and how far it gets: the index of the
// step that fails (-1: none) and whether that step was carried out.
struct Prediction {
    Result result = Result::Done;
    int failAt = -1;
    bool failedCarriedOut = false;
    bool rebootSkipped = false;  // the controller had stopped before the reboot
};

Prediction predict(const std::vector<Step>& steps, const Fault& fault) {
    Prediction p;
    if (fault.kind == FaultKind::IdentifyIgnored && fault.value >= 3) {
        p.result = Result::NoResponse;
        p.failAt = 0;  // before the first step
        return p;
    }
    for (int i = 0; i < static_cast<int>(steps.size()); ++i) {
        const Step& s = steps[static_cast<std::size_t>(i)];
        Result r = Result::Done;
        bool carried = true;
        switch (fault.kind) {
            case FaultKind::SilentAt:
                if (s.address == fault.value) r = Result::NoResponse;
                break;
            case FaultKind::OtherStationAt:
                if (s.address == fault.value) r = Result::Invalid;
                break;
            case FaultKind::StopAfter:
                if (i == fault.value) r = Result::NoResponse, carried = false;
                break;
            case FaultKind::LinkLost:
                // The k-th command never reaches the controller: the adapter
                // goes while its reply is awaited.
                if (i == fault.value) r = Result::LinkLost, carried = false;
                break;
            case FaultKind::NoEnable:
                if (s.kind == Step::Enable) r = Result::NoResponse;
                break;
            case FaultKind::NoReboot:
                if (s.kind == Step::Reboot) r = Result::NoResponse;
                break;
            default:
                break;
        }
        if (r == Result::Done) continue;
        if (s.kind == Step::Reboot) {
            // Its outcome does not stop the store.
            p.rebootSkipped = !carried;
            return p;
        }
        p.result = r;
        p.failAt = i;
        p.failedCarriedOut = carried;
        return p;
    }
    return p;
}

struct Counts {
    int cycles = 0;
    std::map<std::string, int> stores, retrieves, faults;
    long bytesWritten = 0;
    int reboots = 0, linkLosses = 0, memoryChecks = 0, fieldChecks = 0;
};

class Soak {
public:
    Soak(unsigned seed, bool verbose) : rng_(seed), seed_(seed), verbose_(verbose) {}

    bool setUp();
    bool cycle(int n);
    const Counts& counts() const { return counts_; }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
    QString randomText();
    void editRandomly(Block block, Form& form);
    // Puts a value the store must refuse into one numeric box; its name.
    QString spoil(Block block, Form& form);
    Fault chooseFault(const std::vector<Step>& steps, bool store, Block block);
    void apply(const Fault& fault);
    void afterOperation(const Fault& fault);
    bool fail(const QString& what);
    bool checkMessage(QWidget* window, Result expected, bool store);
    bool store(Block block);
    bool retrieve(Block block);

    std::mt19937 rng_;
    unsigned seed_;
    bool verbose_;
    int cycle_ = 0;
    QString doing_;
    QTemporaryDir dir_;
    std::string adapter_;
    std::unique_ptr<EndToEnd> e2e_;
    std::unique_ptr<Puller> puller_;
    korvex::Memory model_{};
    Counts counts_;
};

QString Soak::randomText() {
    QString text;
    const int length = pick(0, 16);
    for (int i = 0; i < length; ++i) {
        // Printable ASCII, now and then a character of the upper half.
        const int code = chance(0.1) ? pick(0xA0, 0xFF) : pick(0x20, 0x7E);
        text += QChar(code);
    }
    return text;
}

void Soak::editRandomly(Block block, Form& form) {
    auto maybe = [this] { return chance(0.7); };
    auto dotted = [&](const QString& array) {
        for (int i = 3; i >= 0; --i)
            if (maybe())
                form.setText(QStringLiteral("%1(%2)").arg(array).arg(i), QString::number(pick(0, 255)));
    };
    if (block == Block::Basic) {
        for (const char* array : {"IP", "subnet", "gateway", "smtp", "DNS"})
            dotted(QString::fromLatin1(array));
        for (const char* port : {"svrport", "MBtcpPort"})
            if (maybe())
                form.setText(QString::fromLatin1(port), (chance(0.3) ? QStringLiteral(" ") : QString()) +
                                                            QString::number(pick(0, 65535)));
        if (maybe()) {
            if (chance(0.5))
                form.setText(QStringLiteral("No_of_MBtcp"), QString::number(pick(2, 5)));
            else
                form.setText(QStringLiteral("No_of_Tarvelin"), QString::number(pick(1, 4)));
        }
        for (const char* text : {"username", "password", "hostName"})
            if (maybe()) form.setText(QString::fromLatin1(text), randomText());
        if (maybe()) form.setSelectedIndex(QStringLiteral("AccessLevel"), pick(0, 2));
        if (maybe()) form.setChecked(QStringLiteral("EnablePW(%1)").arg(pick(0, 1)), true);
    } else {
        for (int n = 1; n <= 6; ++n) dotted(QStringLiteral("TIP%1").arg(n));
        for (int k = 0; k < 8; ++k) {
            if (maybe())
                form.setText(QStringLiteral("ADmcal(%1)").arg(k), QString::number(pick(-32768, 65535)));
            if (maybe()) form.setText(QStringLiteral("ADzcal(%1)").arg(k), QString::number(pick(-100, 100)));
        }
        for (int k = 0; k < 4; ++k) {
            if (maybe())
                form.setText(QStringLiteral("DAmcal(%1)").arg(k), QString::number(pick(-32768, 65535)));
            if (maybe()) form.setText(QStringLiteral("DAzcal(%1)").arg(k), QString::number(pick(-100, 100)));
        }
        if (maybe()) form.setText(QStringLiteral("MovAvgNo"), QString::number(pick(1, 9)));
        if (maybe()) form.setChecked(QStringLiteral("Tarvelintrusted(%1)").arg(pick(0, 1)), true);
        if (maybe()) form.setChecked(QStringLiteral("MBtrusted(%1)").arg(pick(0, 1)), true);
    }
    form.setChecked(QStringLiteral("ResetPLC"), chance(0.5));
}

QString Soak::spoil(Block block, Form& form) {
    QString control;
    QString value;
    if (block == Block::Basic) {
        switch (pick(0, 2)) {
            case 0:
                control = QStringLiteral("gateway(%1)").arg(pick(0, 3));
                value = QString::number(pick(256, 999));
                break;
            case 1:
                control = QStringLiteral("svrport");
                value = QString::number(pick(65536, 999999));
                break;
            default:
                control = QStringLiteral("hostName");
                value = QStringLiteral("Pr\u0435ss");  // a Cyrillic "e"
                break;
        }
    } else {
        if (chance(0.5)) {
            control = QStringLiteral("TIP%1(%2)").arg(pick(1, 6)).arg(pick(0, 3));
            value = QString::number(pick(256, 999));
        } else {
            control = QStringLiteral("ADmcal(%1)").arg(pick(0, 7));
            value = QString::number(chance(0.5) ? pick(65536, 99999) : pick(-99999, -32769));
        }
    }
    form.setText(control, value);
    return control + QStringLiteral("=") + value;
}

Fault Soak::chooseFault(const std::vector<Step>& steps, bool store, Block block) {
    Fault f;
    if (chance(store ? 0.45 : 0.6)) return f;
    const int count = static_cast<int>(steps.size());
    switch (pick(0, 9)) {
        case 0:
        case 1:
            f.kind = FaultKind::SilentAt;
            f.value = steps[static_cast<std::size_t>(pick(0, count - 1))].address;
            if (f.value < 0) f.value = 566;
            break;
        case 2:
            f.kind = FaultKind::OtherStationAt;
            f.value = steps[static_cast<std::size_t>(pick(0, count - 1))].address;
            if (f.value < 0) f.value = 524;
            break;
        case 3:
            f.kind = FaultKind::StopAfter;
            f.value = pick(0, count);
            break;
        case 4:
            f.kind = FaultKind::IdentifyIgnored;
            f.value = pick(1, 3);
            break;
        case 5:
            f.kind = store ? FaultKind::NoEnable
                           : (block == Block::Basic ? FaultKind::NoVersion : FaultKind::Split);
            f.value = 3;
            break;
        case 6:
            f.kind = store ? FaultKind::NoReboot : FaultKind::CrLf;
            break;
        case 7:
            f.kind = FaultKind::Split;
            f.value = pick(2, 6);
            break;
        case 8:
            f.kind = FaultKind::CrLf;
            break;
        default:
            f.kind = FaultKind::LinkLost;
            f.value = pick(0, count - 1);
            break;
    }
    return f;
}

void Soak::apply(const Fault& fault) {
    korvex::PtySimulator& sim = e2e_->sim();
    korvex::Faults faults;
    sim.setCrlf(fault.kind == FaultKind::CrLf);
    switch (fault.kind) {
        case FaultKind::SilentAt:
            faults.silentAtAddress = fault.value;
            break;
        case FaultKind::OtherStationAt:
            faults.otherStationAtAddress = fault.value;
            break;
        case FaultKind::StopAfter:
            faults.stopAfterFramed = fault.value;
            break;
        case FaultKind::IdentifyIgnored:
            faults.ignoreFirstIdentify = fault.value;
            break;
        case FaultKind::NoEnable:
            faults.silentCommands = {"MENABLE"};
            break;
        case FaultKind::NoReboot:
            faults.silentCommands = {"Mw4011000080"};
            break;
        case FaultKind::NoVersion:
            faults.silentCommands = {"VM*"};
            break;
        case FaultKind::Split:
            faults.splitReplies = fault.value;
            break;
        case FaultKind::LinkLost: {
            // The controller takes k framed commands; the adapter is pulled while
            // the tool waits for the reply to the next one (which never got
            // through).
            faults.stopAfterFramed = fault.value;
            puller_ = std::make_unique<Puller>(sim);
            Puller* puller = puller_.get();
            auto seen = std::make_shared<int>(0);
            auto pending = std::make_shared<std::string>();
            const int k = fault.value;
            sim.setTrace([puller, seen, pending, k](bool fromTool, const std::string& bytes) {
                if (!fromTool) return;
                *pending += bytes;
                std::size_t end;
                while ((end = pending->find('\r')) != std::string::npos) {
                    const bool framed = pending->find('@') < end;
                    pending->erase(0, end + 1);
                    if (framed && (*seen)++ == k) puller->pull();
                }
            });
            break;
        }
        case FaultKind::None:
        case FaultKind::CrLf:
            break;
    }
    sim.setFaults(faults);
}

void Soak::afterOperation(const Fault& fault) {
    korvex::PtySimulator& sim = e2e_->sim();
    sim.setTrace({});
    if (fault.kind == FaultKind::LinkLost && puller_) {
        puller_->waitPulled();
        if (puller_->pulled()) {
            ++counts_.linkLosses;
            // The adapter comes back under its name.
            sim.start();
            sim.makeLink(adapter_);
        }
        puller_.reset();
    }
    sim.setFaults({});
    sim.setCrlf(false);
}

bool Soak::fail(const QString& what) {
    std::fprintf(stderr, "tarvelin-soak: MISMATCH at cycle %d (seed %u, %s): %s\n", cycle_, seed_,
                 qPrintable(doing_), qPrintable(what));
    std::fprintf(stderr, "  repeat with: tarvelin-soak --seed %u --cycles %d\n", seed_, cycle_);
    return false;
}

bool Soak::checkMessage(QWidget* window, Result expected, bool store) {
    QString text = EndToEnd::message(window);
    const QColor colour = EndToEnd::messageColor(window);
    if (text.endsWith(QStringLiteral("* "))) text.chop(2);  // a write counted towards a mark
    QString wanted;
    switch (expected) {
        case Result::Done:
            wanted = QString::fromLatin1(store ? kStoredText : kRetrievedText);
            break;
        case Result::NoResponse:
            wanted = QString::fromLatin1(kNoResponseText);
            break;
        case Result::Invalid:
            wanted = QString::fromLatin1(kInvalidResponseText);
            break;
        case Result::LinkLost:
            // The loss shows as such; should the wait end first, as no response.
            if (text == QString::fromLatin1(kNoResponseText)) return true;
            wanted = QString::fromLatin1(kLinkLostText);
            break;
        case Result::Refused:
            if (text == QString::fromLatin1(kStoredText) || colour != QColor(255, 0, 0) ||
                text.trimmed().isEmpty())
                return fail(QStringLiteral("expected a refusal, message '%1'").arg(text));
            return true;
    }
    if (text != wanted) return fail(QStringLiteral("message '%1', expected '%2'").arg(text, wanted));
    const QColor wantedColour = expected == Result::NoResponse || expected == Result::LinkLost
                                    ? QColor(255, 0, 0)
                                    : QColor(0, 0, 192);
    if (colour != wantedColour) return fail(QStringLiteral("message colour %1").arg(colour.name()));
    return true;
}

bool Soak::setUp() {
    if (!dir_.isValid()) return false;
    korvex::Config config;
    config.station = pick(0, 255);
    e2e_ = std::make_unique<EndToEnd>(config);
    if (!e2e_->ready()) return false;
    korvex::PtySimulator& sim = e2e_->sim();
    sim.setMemory(distinctiveImage());
    adapter_ = dir_.filePath(QStringLiteral("korvex-adapter")).toStdString();
    if (!sim.makeLink(adapter_)) return false;
    e2e_->terminal()->presetPort(QString::fromStdString(adapter_), QString());
    e2e_->setTimeout(kTimeoutMs);
    e2e_->basic();
    e2e_->advanced();
    model_ = sim.memory();
    return true;
}

bool Soak::store(Block block) {
    BasicWindow* basic = e2e_->basic();
    AdvancedWindow* advanced = e2e_->advanced();
    QWidget* window = block == Block::Basic ? static_cast<QWidget*>(basic) : advanced;
    Form& form = block == Block::Basic ? basic->form() : advanced->form();

    editRandomly(block, form);
    QString spoiled;
    if (chance(0.08)) spoiled = spoil(block, form);

    const bool flagKnown = advanced->flagByteFromController();
    const int held = flagKnown ? heldFlagByte(advanced->form()) : model_[566];
    const int flag = storeFlagByte(block, form, held);
    std::vector<Step> steps;
    if (!flagKnown) steps.push_back({Step::ReadFlag, 566});
    steps.push_back({Step::Enable});
    if (spoiled.isEmpty()) {
        const std::vector<Write> writes = storeWrites(block, form, flag);
        if (writes.empty()) return fail(QStringLiteral("the soak could not plan the store"));
        for (const Write& w : writes) steps.push_back({Step::Write, w.address, w.value});
    }
    if (form.isChecked(QStringLiteral("ResetPLC"))) steps.push_back({Step::Reboot});

    const Fault fault = spoiled.isEmpty() ? chooseFault(steps, true, block) : Fault{};
    doing_ = QStringLiteral("%1 store, fault %2 %3%4")
                 .arg(block == Block::Basic ? QStringLiteral("basic") : QStringLiteral("advanced"),
                      QString::fromLatin1(nameOf(fault.kind)))
                 .arg(fault.value)
                 .arg(spoiled.isEmpty() ? QString() : QStringLiteral(", refused value ") + spoiled);
    ++counts_.faults[nameOf(fault.kind)];
    Prediction p = predict(steps, fault);
    if (!spoiled.isEmpty()) p.result = Result::Refused;

    e2e_->forget();
    const int rebootsBefore = e2e_->sim().rebootCount();
    apply(fault);
    if (block == Block::Basic)
        e2e_->saveBasic(EndToEnd::Yes);
    else
        e2e_->saveAdvanced(EndToEnd::Yes);
    afterOperation(fault);
    ++counts_.stores[nameOf(p.result)];

    // The model: every write up to the failure, the failing one included
    // when the controller carried it out.
    std::vector<korvex::Controller::Write> expectedWrites;
    bool rebooted = false;
    if (p.result != Result::Refused && !(fault.kind == FaultKind::IdentifyIgnored && fault.value >= 3)) {
        for (int i = 0; i < static_cast<int>(steps.size()); ++i) {
            const Step& s = steps[static_cast<std::size_t>(i)];
            if (p.failAt >= 0 && (i > p.failAt || (i == p.failAt && !p.failedCarriedOut))) break;
            if (s.kind == Step::Write) {
                model_[static_cast<std::size_t>(s.address)] = static_cast<std::uint8_t>(s.value);
                expectedWrites.push_back({s.address, s.value});
            }
            if (s.kind == Step::Reboot) rebooted = !p.rebootSkipped;
        }
    }
    counts_.bytesWritten += static_cast<long>(expectedWrites.size());

    if (!checkMessage(window, p.result, true)) return false;
    if (!e2e_->notes().boxes().empty())
        return fail(QStringLiteral("a message box: ") + e2e_->notes().boxes().front().text);
    const QString off = memoryDifference(model_, e2e_->memory());
    ++counts_.memoryChecks;
    if (!off.isEmpty()) return fail(QStringLiteral("memory: ") + off);
    // The user puts the refused value right again.
    if (!spoiled.isEmpty()) form.setText(spoiled.section(QLatin1Char('='), 0, 0), QStringLiteral("1"));
    if (e2e_->writes() != expectedWrites)
        return fail(QStringLiteral("%1 write requests, expected %2")
                        .arg(e2e_->writes().size())
                        .arg(expectedWrites.size()));
    const int reboots = e2e_->sim().rebootCount() - rebootsBefore;
    counts_.reboots += reboots;
    if (reboots != (rebooted ? 1 : 0))
        return fail(QStringLiteral("%1 reboots, expected %2").arg(reboots).arg(rebooted ? 1 : 0));
    return true;
}

bool Soak::retrieve(Block block) {
    BasicWindow* basic = e2e_->basic();
    AdvancedWindow* advanced = e2e_->advanced();
    QWidget* window = block == Block::Basic ? static_cast<QWidget*>(basic) : advanced;
    WidgetForm& widgets = block == Block::Basic ? basic->widgets() : advanced->widgets();

    std::vector<Step> steps;
    for (int a : addressesOf(readPlan(block))) steps.push_back({Step::Read, a});
    const Fault fault = chooseFault(steps, false, block);
    doing_ = QStringLiteral("%1 retrieve, fault %2 %3")
                 .arg(block == Block::Basic ? QStringLiteral("basic") : QStringLiteral("advanced"),
                      QString::fromLatin1(nameOf(fault.kind)))
                 .arg(fault.value);
    ++counts_.faults[nameOf(fault.kind)];
    const Prediction p = predict(steps, fault);

    e2e_->forget();
    apply(fault);
    if (block == Block::Basic)
        e2e_->retrieveBasic();
    else
        e2e_->retrieveAdvanced();
    afterOperation(fault);
    ++counts_.retrieves[nameOf(p.result)];

    if (!checkMessage(window, p.result, false)) return false;
    if (!e2e_->writes().empty()) return fail(QStringLiteral("a retrieve wrote to the controller"));
    const QString off = memoryDifference(model_, e2e_->memory());
    ++counts_.memoryChecks;
    if (!off.isEmpty()) return fail(QStringLiteral("memory after a retrieve: ") + off);
    if (p.result == Result::Done) {
        const State shown = snapshot(widgets);
        State expected = shown;
        for (const Spot& spot : readPlan(block)) applyRead(spot, model_, expected);
        if (block == Block::Basic)
            expected[QStringLiteral("version")] =
                fault.kind == FaultKind::NoVersion ? QString() : QStringLiteral("KRVX-E1.07");
        const QString fields = differences(expected, shown);
        ++counts_.fieldChecks;
        if (!fields.isEmpty()) return fail(QStringLiteral("fields: ") + fields);
    }
    return true;
}

bool Soak::cycle(int n) {
    cycle_ = n;
    ++counts_.cycles;
    const Block block = chance(0.5) ? Block::Basic : Block::Advanced;
    if (!store(block)) return false;
    if (!retrieve(block)) return false;
    if (verbose_) std::printf("cycle %d: %s\n", n, qPrintable(doing_));
    return true;
}

void print(const char* title, const std::map<std::string, int>& counts) {
    int total = 0;
    for (const auto& [name, count] : counts) total += count;
    std::printf("  %-10s %5d", title, total);
    const char* sep = " (";
    for (const auto& [name, count] : counts) {
        std::printf("%s%s %d", sep, name.c_str(), count);
        sep = ", ";
    }
    std::printf("%s\n", total ? ")" : "");
}

// The offscreen platform's complaints about window-manager hints are noise here.
void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (message.startsWith(QStringLiteral("This plugin does not support"))) return;
    if (type == QtDebugMsg || type == QtInfoMsg) return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

int usage() {
    std::fprintf(stderr, "usage: tarvelin-soak [--cycles N] [--seed S] [--verbose]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int cycles = 300;
    unsigned seed = 1;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--cycles" || arg == "--seed") && i + 1 < argc) {
            char* end = nullptr;
            const unsigned long value = std::strtoul(argv[++i], &end, 10);
            if (!end || *end) return usage();
            if (arg == "--cycles")
                cycles = static_cast<int>(value);
            else
                seed = static_cast<unsigned>(value);
        } else if (arg == "--verbose") {
            verbose = true;
        } else {
            return usage();
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietHandler);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    QElapsedTimer timer;
    timer.start();
    Soak soak(seed, verbose);
    if (!soak.setUp()) {
        std::fprintf(stderr, "tarvelin-soak: the simulated controller could not be started\n");
        return 1;
    }
    bool ok = true;
    for (int n = 1; n <= cycles && ok; ++n) ok = soak.cycle(n);
    const Counts& c = soak.counts();
    std::printf("tarvelin-soak: seed %u, %d of %d cycles in %.1f s: %s\n", seed, c.cycles, cycles,
                timer.elapsed() / 1000.0, ok ? "all checks passed" : "MISMATCH");
    print("stores", c.stores);
    print("retrieves", c.retrieves);
    print("faults", c.faults);
    std::printf("  bytes written %ld, reboots %d, link losses %d, memory checks %d, field checks %d\n",
                c.bytesWritten, c.reboots, c.linkLosses, c.memoryChecks, c.fieldChecks);
    return ok ? 0 : 1;
}
