// What the commands of tarvelin-cli share: the output streams, the message
// line on standard error, the window objects without windows, and the exit
// code of each outcome.
#pragma once

#include <QJsonValue>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <functional>

#include "advanced/advancedform.h"
#include "base/outcome.h"
#include "base/platform.h"
#include "basic/basicform.h"
#include "cli.h"
#include "commissioning/headlessdirectory.h"
#include "config/headlessform.h"
#include "config/memoryaccess.h"
#include "config/memorymap.h"
#include "config/messageline.h"
#include "serial/lineterminal.h"

namespace tarvelin::cli {

// Writes the text (UTF-8) and flushes; a failure shows at the final check of run().
void print(std::FILE* f, const QString& text);

// Standard output could not be written (a full disk, a closed pipe): says so
// on `err` (with the system's reason for `error`, an errno) and gives the exit code.
int outputFailed(std::FILE* err, int error);
// The system's reason for the last failed print(), or 0.
int lastWriteError();

// The exit code of an outcome (the table of --help).
int exitCodeOf(Outcome outcome);

// Where the line itself is at fault (it echoes, or is out of step), the
// message line's "Invalid response from Device!" alone would send the user
// looking at the controller: says what is wrong on `err`.
void explainLine(std::FILE* err, Outcome outcome);

// Asks on the terminal whether to overwrite the controller's configuration
// (no terminal: says to give --yes). True when the answer is yes.
bool confirmed(std::FILE* in, std::FILE* err);

// A profile or plan value in a message: a text in quotes, a number, or "(none)".
QString shown(const QJsonValue& value);

// The MAC ID as the advanced window shows it ("2-4B-58-0-C3-5"): the MAC ID
// rows of the advanced map, as a retrieve put them into `form`.
QString shownMacId(const Form& form);

// Reads the rows of `map` that `wanted` picks into the form, in the order the
// block travels. Stops at the first failed read (its failure is on the
// message line too).
Result<void> readRows(const MemoryMap& map, const std::function<bool(const Field&)>& wanted, Form& form,
                      MemoryAccess& access, std::int16_t id);

// A retrieve or store of the windows.
using Operation = Outcome (*)(Form&, MemoryAccess&, Directory&);

// One block as the commands reach it.
struct CliBlock {
    QString name;  // "basic", "advanced"
    const MemoryMap& (*map)();
    HeadlessForm HeadlessDirectory::*form;
    Operation retrieve;
    Operation store;
    int retrieveMarks;  // the progress steps of its retrieve
};
const CliBlock& cliBlock(bool basic);

struct Ran {
    Outcome outcome;
    QString caption;  // the message the operation ended with
};
// Runs one operation of the windows on a form, with its progress (`marks`
// steps expected) and final message on `err`, and what is wrong with the
// line when it was at fault.
Ran runOperation(Operation operation, Form& form, Directory& directory, std::FILE* err, int marks);

// The window's retrieve of a block into the directory's form, as Ran above.
Outcome retrieveBlock(const CliBlock& block, HeadlessDirectory& directory, std::FILE* err);

// The message line on standard error: the progress marks as a bar when it is
// a terminal, and every final message as a line.
class StreamMessageLine final : public MessageLine {
public:
    StreamMessageLine(std::FILE* err, int expectedMarks)
        : err_(err), tty_(platform::isTerminal(err)), expected_(std::max(1, expectedMarks)) {}
    ~StreamMessageLine() override { endBar(); }

    QString caption() const override { return caption_; }
    void setCaption(const QString& caption) override { caption_ = caption; }
    Rgb color() const override { return color_; }
    void setColor(const Rgb& color) override { color_ = color; }
    Alignment alignment() const override { return alignment_; }
    void setAlignment(Alignment a) override { alignment_ = a; }
    void processEvents() override {
        if (!tty_) return;
        const int marks = static_cast<int>(caption_.count(QStringLiteral("* ")));
        const int width = 30;
        const int filled = std::min(width, marks * width / expected_);
        print(err_, QStringLiteral("\r[%1%2] %3%")
                        .arg(QString(filled, '#'), QString(width - filled, '.'))
                        .arg(std::min(99, marks * 100 / expected_), 2));
        barShown_ = true;
    }
    void beep() override {}  // the message itself says it
    // The message the operation ended with, as a line of its own.
    void finish() {
        endBar();
        const QString text = caption_.trimmed();
        if (!text.isEmpty() && text != QLatin1String("*")) print(err_, text + "\n");
    }

private:
    void endBar() {
        if (barShown_) print(err_, QStringLiteral("\n"));
        barShown_ = false;
    }
    std::FILE* err_;
    bool tty_;
    int expected_;
    bool barShown_ = false;
    QString caption_;
    Rgb color_;
    Alignment alignment_ = Alignment::Center;
};

}  // namespace tarvelin::cli
