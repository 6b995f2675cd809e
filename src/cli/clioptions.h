// The options of tarvelin-cli: one table of every option the command line
// knows, read into one set of values from which each command takes its own.
// An option may stand anywhere among the words, before or after the command.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace tarvelin::cli {

struct Options {
    // The line (all commands but scan): the last --port and --baud given.
    QString port = QStringLiteral("COM5");
    QString baud = QStringLiteral("9600");
    QString timeout = QStringLiteral("500");
    QString trace;
    // scan: every --port and --baud given, and the wait for the ENQ answer.
    QStringList ports;
    QList<int> bauds;
    int enqWait = 0;
    // retrieve, compare, scan
    bool json = false;
    QString output;
    // store, compare, provision
    QString profile;
    // store
    QStringList sets;
    bool verify = false;
    // store, provision
    bool reboot = false;
    bool yes = false;
    // provision
    QString plan;
    QString report;
    bool loop = false;
    bool again = false;
    bool check = false;
    // send
    std::optional<int> frame;

    bool help = false;
    bool version = false;
    QStringList positional;  // the command and its words
    QStringList given;       // the options given, by their long names ("--output" for -o)
};

// Whether `command` takes the option `name` (its long name): the line's
// options (--port, --baud, --timeout, --trace) go with every command, the
// others with the commands that use them.
bool commandTakes(const QString& command, const QString& name);

// Two options that name one file (the plan, the profile, the report, the
// trace, --output), which would damage each other: "--trace and --plan name
// the same file"; empty when each has its own.
std::optional<QString> fileRoleCollision(const Options& options);

// The words of a command line (without the program name); empty with the
// complaint in `error` when one is wrong.
std::optional<Options> parseOptions(const QStringList& args, QString* error);

}  // namespace tarvelin::cli
