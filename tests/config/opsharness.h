// A controller on a scripted line behind the terminal's operations, a
// headless form per window and a message line that remembers what it showed:
// retrieve and store run exactly as in the windows, deterministically and
// without real time.
#pragma once

#include <QStringList>
#include <memory>

#include "advanced/advancedform.h"
#include "basic/basicform.h"
#include "config/directory.h"
#include "config/headlessform.h"
#include "config/memoryaccess.h"
#include "config/messageline.h"
#include "config/operations.h"
#include "serial/lineterminal.h"
#include "serial/notifier.h"
#include "support/simline.h"
#include "support/testnotifier.h"

namespace tarvelin::test {

class RecordingMessageLine final : public MessageLine {
public:
    QString caption() const override { return caption_; }
    void setCaption(const QString& caption) override { caption_ = caption; }
    Rgb color() const override { return color_; }
    void setColor(const Rgb& color) override { color_ = color; }
    Alignment alignment() const override { return alignment_; }
    void setAlignment(Alignment alignment) override { alignment_ = alignment; }
    void processEvents() override { shown_ << caption_; }
    void beep() override { Notifier::current().beep(); }
    // The caption at every "let events through".
    const QStringList& shown() const { return shown_; }

private:
    QString caption_;
    Rgb color_ = kRed;
    Alignment alignment_ = Alignment::Center;
    QStringList shown_;
};

class OpsHarness final : public Directory {
public:
    explicit OpsHarness(korvex::Config config = {});

    korvex::Controller& controller() { return sim_.controller(); }
    ScriptedLine& line() { return sim_.line(); }
    LineTerminal& lineTerminal() { return terminal_; }
    TestNotifier& notifier() { return notifier_; }

    HeadlessForm basicForm;
    HeadlessForm advancedForm;
    RecordingMessageLine basicLine;
    RecordingMessageLine advancedLine;
    MemoryAccess basicAccess{basicLine};
    MemoryAccess advancedAccess{advancedLine};
    FormFlagByteHolder holder{advancedForm};

    Outcome retrieveBasic();
    Outcome storeBasic();
    Outcome retrieveAdvanced();
    Outcome storeAdvanced();

    // Addresses of the MR / MW commands the controller received, in order.
    std::vector<int> readAddresses() const;
    std::vector<int> writeAddresses() const;
    // The framed commands' texts ("MENABLE", "MR020C", ...), in order.
    std::vector<std::string> framedCommands() const;

    // Directory
    Terminal& terminal() override { return terminal_; }
    void showTerminal() override {}
    void showAdvanced() override {}
    FlagByteHolder& flagByteHolder() override { return holder; }
    void askOverwrite(std::int16_t) override {}
    void displayCommport() override {}

private:
    SimulatedLine sim_;
    LineTerminal terminal_;
    TestNotifier notifier_;
    NotifierScope scope_{notifier_};
};

}  // namespace tarvelin::test
