// tarvelin-cli: the configuration tool without windows, for provisioning
// many controllers from one profile. The same memory maps, retrieve and store
// as the windows run on headless forms with the windows' own change rules.
#pragma once

#include <QStringList>
#include <cstdio>

namespace tarvelin::cli {

enum ExitCode {
    kSuccess = 0,
    kOutputFailed = 1,    // the result could not be written
    kUsage = 2,           // wrong words on the command line, or a profile that cannot be read
    kPortNotOpen = 3,     // the port cannot be opened
    kNoResponse = 4,      // no response or an invalid response from the controller
    kRefused = 5,         // a value does not fit; nothing was sent
    kVerifyMismatch = 6,  // the controller reads back other values than were written
    kNotInPlan = 7,       // provision: the controller's MAC ID is not in the plan; nothing was written
    kDifferences = 8,     // compare, provision --check: the controller holds other values
    kInterrupted = 130,   // Ctrl-C: the operation stopped after the command on the line
};

// Runs one command line (without the program name). Results go to `out`,
// progress and messages to `err`; `in` answers the confirmation question.
int run(const QStringList& arguments, std::FILE* out, std::FILE* err, std::FILE* in);

QString helpText();

}  // namespace tarvelin::cli
