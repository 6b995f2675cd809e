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
#include "config/comparison.h"
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

// The reason an open failure message gives, without the windows' first line
// ("COM Port already openned by other applications"), which is no reason.
QString openFailureReason(const std::string& message);

// Where the line itself is at fault (it echoes, or is out of step), the
// message line's "Invalid response from Device!" alone would send the user
// looking at the controller: says what is wrong on `err`.
void explainLine(std::FILE* err, Outcome outcome);

// Asks on the terminal whether to overwrite the controller's configuration
// (no terminal: says to give --yes). True when the answer is yes.
bool confirmed(std::FILE* in, std::FILE* err);

// A profile or plan value in a message: a text in quotes, a number, or "(none)".
QString shown(const QJsonValue& value);

// The MAC ID the advanced map's rows put into `form` as everything the
// command line writes shows it: "02:4B:58:00:C3:05" (as the form holds it
// when that is no MAC ID).
QString macIdOf(const Form& form);

// The four boxes of the dotted address `array` ("IP") in `values` as one
// address, "10.20.30.40"; empty when `values` does not name all four.
QString dottedValue(const QJsonObject& values, const QString& array);

// Each difference as a line "NAME: SIDE WANTED, controller HELD"; the boxes
// of a dotted address `wanted` names whole as one line
// ("IP: plan 10.20.30.40, controller 192.168.1.5").
QStringList differenceLines(const std::vector<Difference>& found, const QJsonObject& wanted,
                            const QJsonObject& held, const MemoryMap& map, const QString& side);

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
// How an operation shows itself on standard error: its bar's label
// ("store basic"), the progress steps expected, and whether its final
// message is kept back when it succeeds (a store's read of the block first).
struct Shown {
    QString label;
    int marks;
    bool quietSuccess = false;
};
// Runs one operation of the windows on a form, with its progress and final
// message on `err`, and what is wrong with the line when it was at fault.
Ran runOperation(Operation operation, Form& form, Directory& directory, std::FILE* err, const Shown& shown);

// The window's retrieve of a block into the directory's form, as Ran above;
// `label` names the bar ("retrieve basic").
Outcome retrieveBlock(const CliBlock& block, HeadlessDirectory& directory, std::FILE* err,
                      const QString& label, bool quietSuccess = false);

// The message line on standard error: the progress marks as a bar labelled
// with the operation when it is a terminal (`bar`), and every final message
// as a line.
class StreamMessageLine final : public MessageLine {
public:
    StreamMessageLine(std::FILE* err, Shown shown, bool bar)
        : err_(err), bar_(bar), shown_(std::move(shown)) {
        shown_.marks = std::max(1, shown_.marks);
    }
    StreamMessageLine(std::FILE* err, const Shown& shown)
        : StreamMessageLine(err, shown, platform::isTerminal(err)) {}
    // A line ended without finish() ended well.
    ~StreamMessageLine() override {
        if (barShown_) drawBar(100);
        endBar(QString());
    }

    QString caption() const override { return caption_; }
    void setCaption(const QString& caption) override { caption_ = caption; }
    Rgb color() const override { return color_; }
    void setColor(const Rgb& color) override { color_ = color; }
    Alignment alignment() const override { return alignment_; }
    void setAlignment(Alignment a) override { alignment_ = a; }
    void processEvents() override {
        const int marks = static_cast<int>(caption_.count(QStringLiteral("* ")));
        drawBar(std::min(99, marks * 100 / shown_.marks));
    }
    void beep() override {}  // the message itself says it
    // The bar ends at 100% or with "failed"; then the message the operation
    // ended with, as a line of its own (unless kept back).
    void finish(Outcome outcome) {
        if (outcome == Outcome::Success) drawBar(100);
        endBar(outcome == Outcome::Success ? QString() : QStringLiteral(" failed"));
        const QString text = caption_.trimmed();
        if (outcome == Outcome::Success && shown_.quietSuccess) return;
        if (!text.isEmpty() && text != QLatin1String("*")) print(err_, text + "\n");
    }

private:
    void drawBar(int percent) {
        if (!bar_) return;
        const int width = 30;
        const int filled = percent * width / 100;
        print(err_, QStringLiteral("\r%1 [%2%3] %4%")
                        .arg(shown_.label, QString(filled, '#'), QString(width - filled, '.'))
                        .arg(percent, 3));
        barShown_ = true;
    }
    void endBar(const QString& end) {
        if (barShown_) print(err_, end + QStringLiteral("\n"));
        barShown_ = false;
    }
    std::FILE* err_;
    bool bar_;
    Shown shown_;
    bool barShown_ = false;
    QString caption_;
    Rgb color_;
    Alignment alignment_ = Alignment::Center;
};

}  // namespace tarvelin::cli
