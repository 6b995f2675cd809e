// tarvelin-cli provision: a plan keyed by MAC ID, one controller or one
// after another; with --check it compares as "compare" does (clicompare.h).
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <functional>
#include <optional>
#include <set>
#include <vector>

#include "clicompare.h"
#include "commissioning/plan.h"
#include "config/comparison.h"
#include "config/profile.h"
#include "serial/lineterminal.h"

namespace tarvelin::cli {

// What provisioning does with one controller.
struct ProvisionSetup {
    const Plan* plan = nullptr;
    const Profile* base = nullptr;  // the base profile, if any
    bool reboot = false;
    bool check = false;  // compare with the plan instead of writing
    // Asked after every command: true stops the store after that command.
    std::function<bool()> stopRequested;
    // Asked once the MAC ID is known: a reason to leave the controller alone
    // ("provisioned earlier in this run"), or empty.
    std::function<QString(const MacId&)> skip;
};

// What was found and done: one line of the report.
struct ProvisionRecord {
    // What was done with a controller that nothing stopped.
    enum class Action { Stored, Compared, Skipped, NotInPlan };

    std::optional<MacId> mac;
    // The MAC ID read after the store when it is another: the cable went to
    // the next controller during the store. The record is reported under both.
    std::optional<MacId> macAfter;
    int station = -1;
    QStringList before;                  // per plan column, as the controller held it
    QStringList after;                   // ... and holds it now (empty when not known)
    Outcome outcome = Outcome::Success;  // what stopped it, if anything
    Action action = Action::Stored;
    QString reason;  // why a value was refused (Refused), or why it was skipped
    struct Found {
        QString block;
        Difference difference;
    };
    std::vector<Found> differences;  // provision --check: plan and controller differ
    QStringList differenceLines;     // ... as differenceLines() shows them

    // The report's word for it: "stored", "verify failed", "not in plan", ...
    QString result() const;
    // The exit code that goes with it.
    int exitCode() const;
    bool stored() const { return outcome == Outcome::Success && action == Action::Stored; }
};

// One controller on the terminal's line: identifies it, reads its MAC ID,
// finds its row, and stores the base profile with the row over it (verified,
// rebooted when asked), or compares them. Progress and messages go to `err`.
ProvisionRecord provisionOne(LineTerminal& terminal, const ProvisionSetup& setup, std::FILE* err);

// The report's header and one record's fields.
QStringList reportHeader(const Plan& plan);
QStringList reportFields(const Plan& plan, const ProvisionRecord& record, const QString& time);

// Makes sure the report can take this plan's lines before anything is sent:
// writes the header into a missing or empty file, and an existing report
// (which must have this plan's columns) anew as it is.
Result<void> prepareReport(const QString& path, const QStringList& header);
// Appends one line to the report: the whole file is written anew and takes
// the old one's place only once written, so no earlier line is ever lost.
Result<void> appendReport(const QString& path, const QStringList& header, const QStringList& fields);

struct ProvisionOptions {
    QString plan;
    QString profile;
    QString report;
    QString timeout;  // milliseconds, for the waits of --loop
    bool reboot = false;
    bool yes = false;
    bool loop = false;
    bool again = false;
    bool check = false;
};

// The command, on the terminal's line; it prints its results to `out`.
int provisionCommand(LineTerminal& terminal, const Clock& clock, const ProvisionOptions& options,
                     std::FILE* out, std::FILE* err, std::FILE* in);

}  // namespace tarvelin::cli
