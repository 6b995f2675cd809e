// tarvelin-cli provision: a plan keyed by MAC ID, one controller or one
// after another.
#include "cliprovision.h"

#include <QDateTime>
#include <QThread>
#include <csignal>

#include "advanced/advancedmap.h"
#include "basic/basicmap.h"
#include "clisupport.h"
#include "serial/hostlink.h"

namespace tarvelin::cli {

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void onInterrupt(int) {
    gInterrupted = 1;
}

// The signals that end provisioning cleanly while it lives (Ctrl-C, a kill,
// the terminal or the remote session closed): between controllers at once,
// during a store after the command on the line; every wait within 100 ms.
constexpr int kStopSignals[] = {
    SIGINT,
    SIGTERM,
#ifdef SIGHUP
    SIGHUP,
#endif
};

class InterruptScope {
public:
    explicit InterruptScope(LineTerminal& terminal) : terminal_(terminal) {
        gInterrupted = 0;
        for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
            previous_[i] = std::signal(kStopSignals[i], onInterrupt);
        terminal_.setStopToken([] { return gInterrupted != 0; });
    }
    ~InterruptScope() {
        terminal_.setStopToken({});
        for (std::size_t i = 0; i < std::size(kStopSignals); ++i) std::signal(kStopSignals[i], previous_[i]);
    }
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

private:
    LineTerminal& terminal_;
    void (*previous_[std::size(kStopSignals)])(int);
};

bool interrupted() {
    return gInterrupted != 0;
}

// Waits `ms`, or less when interrupted.
void pause(int ms) {
    for (int waited = 0; waited < ms && !interrupted(); waited += 50) QThread::msleep(50);
}

enum class Presence { Answers, Silent, Gone };

// Whether a controller answers the ENQ call on the port (opening it first).
Presence controllerAnswers(LineTerminal& terminal, const Clock& clock, int timeoutMs) {
    PortConnection& connection = terminal.connection();
    if (!connection.isOpen() && !terminal.openCommPort()) return Presence::Gone;
    SerialLine& line = connection.line();
    line.takeAll();
    if (!line.lost() && line.write(std::string(1, kENQ))) {
        const std::int64_t deadline = clock.nowMs() + timeoutMs;
        for (;;) {
            if (hostlink::answersEnq(line.takeAll())) return Presence::Answers;
            const std::int64_t left = deadline - clock.nowMs();
            if (left <= 0 || line.lost() || interrupted()) break;
            line.waitForData(static_cast<int>(std::min<std::int64_t>(left, Exchange::kStopPollMs)));
        }
    }
    if (!line.lost()) return Presence::Silent;
    // A vanished adapter is closed, so that its return opens afresh.
    connection.close();
    return Presence::Gone;
}

QString summaryOf(const ProvisionRecord& record) {
    QString text = record.mac ? macIdText(*record.mac) : QStringLiteral("(MAC ID not read)");
    if (record.station >= 0) text += QStringLiteral(" station %1").arg(record.station);
    text += QStringLiteral(": ") + record.result();
    for (const QString& line : record.differenceLines) text += QStringLiteral("\n  ") + line;
    return text + QLatin1Char('\n');
}

// How often --loop looks for a controller coming or going.
constexpr int kPollMs = 250;
constexpr const char* kBackAfterReboot = "back after its reboot";

// One run of the command: the plan, the base profile and the report, and
// the controllers stored so far.
class Provisioning {
public:
    Provisioning(const ProvisionOptions& options, std::FILE* out, std::FILE* err)
        : options_(options), out_(out), err_(err) {}

    // Reads the plan and the base profile, readies the report and asks for
    // confirmation: kSuccess, or the exit code that ends the run before
    // anything is sent.
    int prepare(std::FILE* in);
    int once(LineTerminal& terminal);
    int loop(LineTerminal& terminal, const Clock& clock);

private:
    ProvisionSetup setup();
    int report(const ProvisionRecord& record);
    void waitUntilGone(LineTerminal& terminal, const Clock& clock, int timeoutMs);

    const ProvisionOptions& options_;
    std::FILE* out_;
    std::FILE* err_;
    std::optional<Plan> plan_;
    std::optional<Profile> base_;
    QStringList header_;
    std::set<MacId> stored_;
    std::optional<MacId> rebooted_;  // stored and rebooted just now: its return is no new arrival
};

int Provisioning::prepare(std::FILE* in) {
    if (options_.plan.isEmpty()) {
        print(err_, QStringLiteral("provision needs --plan FILE\n"));
        return kUsage;
    }
    auto plan = readPlan(options_.plan);
    if (!plan) {
        print(err_, plan.failure().message + "\n");
        return exitCodeOf(plan.failure().outcome);
    }
    plan_ = std::move(*plan);
    if (!options_.profile.isEmpty()) {
        auto profile = readProfile(options_.profile, &basicMap(), &advancedMap());
        if (!profile) {
            print(err_, profile.failure().message + "\n");
            return exitCodeOf(profile.failure().outcome);
        }
        base_ = std::move(*profile);
    }
    if (!base_)
        for (const PlanRow& row : plan_->rows)
            if (row.basic.isEmpty() && row.advanced.isEmpty()) {
                print(err_, QStringLiteral("Plan %1: row %2 names nothing to store (only a MAC ID), and no "
                                           "--profile gives the values\n")
                                .arg(options_.plan)
                                .arg(row.number));
                return kUsage;
            }
    header_ = reportHeader(*plan_);
    if (!options_.report.isEmpty()) {
        if (auto ready = prepareReport(options_.report, header_); !ready) {
            print(err_, ready.failure().message + "\n");
            return kOutputFailed;
        }
    }
    if (!options_.check && !options_.yes && !confirmed(in, err_)) return kUsage;
    return kSuccess;
}

ProvisionSetup Provisioning::setup() {
    ProvisionSetup setup;
    setup.plan = &*plan_;
    setup.base = base_ ? &*base_ : nullptr;
    setup.reboot = options_.reboot;
    setup.check = options_.check;
    setup.stopRequested = interrupted;
    setup.skip = [this](const MacId& mac) {
        if (rebooted_ == mac) return QString::fromLatin1(kBackAfterReboot);
        if (!options_.again && !options_.check && stored_.count(mac))
            return QStringLiteral("provisioned earlier in this run");
        return QString();
    };
    return setup;
}

// One controller, reported: its summary line, and its line in the report.
int Provisioning::report(const ProvisionRecord& record) {
    const QDateTime now = QDateTime::currentDateTime();
    const QString time = now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate);
    std::vector<ProvisionRecord> lines{record};
    if (record.macAfter) {
        lines.push_back(record);
        lines.back().mac = record.macAfter;
    }
    for (const ProvisionRecord& line : lines) {
        print(out_, summaryOf(line));
        if (options_.report.isEmpty()) continue;
        if (auto appended = appendReport(options_.report, header_, reportFields(*plan_, line, time));
            !appended) {
            print(err_, appended.failure().message + "\n");
            return kOutputFailed;
        }
    }
    return kSuccess;
}

int Provisioning::once(LineTerminal& terminal) {
    const ProvisionRecord record = provisionOne(terminal, setup(), err_);
    if (record.outcome == Outcome::PortNotOpened) return kPortNotOpen;  // nothing to report
    const int reported = report(record);
    return reported != kSuccess ? reported : record.exitCode();
}

// Until the controller goes: the adapter gone, or two calls in a row unanswered.
void Provisioning::waitUntilGone(LineTerminal& terminal, const Clock& clock, int timeoutMs) {
    for (int unanswered = 0; unanswered < 2 && !interrupted();) {
        pause(kPollMs);
        const Presence presence = controllerAnswers(terminal, clock, timeoutMs);
        unanswered = presence == Presence::Gone ? 2 : presence == Presence::Silent ? unanswered + 1 : 0;
    }
}

int Provisioning::loop(LineTerminal& terminal, const Clock& clock) {
    const int timeoutMs = options_.timeout.toInt() > 0 ? options_.timeout.toInt() : 500;
    std::string lastOpenMessage;
    terminal.onOpenFailure([&](const std::string& message) {
        if (message != lastOpenMessage) print(err_, openFailureReason(message) + "\n");
        lastOpenMessage = message;
    });
    const ProvisionSetup visit = setup();
    int firstFailure = kSuccess;
    print(err_, QStringLiteral("Waiting for a controller on %1 (Ctrl-C ends)\n")
                    .arg(QString::fromStdString(terminal.getCommport())));
    while (!interrupted()) {
        if (controllerAnswers(terminal, clock, timeoutMs) != Presence::Answers) {
            pause(kPollMs);
            continue;
        }
        lastOpenMessage.clear();
        const ProvisionRecord record = provisionOne(terminal, visit, err_);
        // The controller just stored and rebooted answers again: the same
        // visit, nothing to do or say.
        const bool backAfterReboot = record.outcome == Outcome::Success &&
                                     record.action == ProvisionRecord::Action::Skipped && rebooted_ &&
                                     record.mac == rebooted_;
        if (!backAfterReboot) {
            rebooted_.reset();
            if (const int reported = report(record); reported != kSuccess) return reported;
            if (record.exitCode() != kSuccess && firstFailure == kSuccess) firstFailure = record.exitCode();
            if (record.stored()) {
                stored_.insert(*record.mac);
                if (options_.reboot) rebooted_ = record.mac;
            }
        }
        if (record.outcome == Outcome::Interrupted) break;
        waitUntilGone(terminal, clock, timeoutMs);
        if (!interrupted()) print(err_, QStringLiteral("Waiting for the next controller (Ctrl-C ends)\n"));
    }
    return firstFailure;
}

}  // namespace

int provisionCommand(LineTerminal& terminal, const Clock& clock, const ProvisionOptions& options,
                     std::FILE* out, std::FILE* err, std::FILE* in) {
    Provisioning provisioning(options, out, err);
    if (const int prepared = provisioning.prepare(in); prepared != kSuccess) return prepared;
    InterruptScope scope(terminal);
    return options.loop ? provisioning.loop(terminal, clock) : provisioning.once(terminal);
}

}  // namespace tarvelin::cli
