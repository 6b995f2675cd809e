// End-to-end fixture: the real windows of the program, their real serial
// port (QSerialPort) and the simulated controller on a pseudo-terminal.
//
//     EndToEnd e2e;                       // simulator running, main window shown
//     e2e.sim().setMemory(image);
//     e2e.retrieveBasic();                // clicks the real button; returns when done
//     QCOMPARE(e2e.basicForm().text("IP(3)"), "192");
//     e2e.saveBasic(EndToEnd::Yes);       // Save, then Yes in the confirmation
//     QCOMPARE(e2e.sim().memory(), expected);
//
// A retrieve or store runs inside the button's click (it lets events through
// at its progress marks), so every click helper returns after the operation.
// Windows are drawn offscreen (the test is registered with tarvelin_add_test).
#pragma once

#include <QColor>
#include <QString>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "sim/controller.h"
#include "sim/pty.h"
#include "support/testnotifier.h"

class QLabel;
class QWidget;

namespace tarvelin {
class AdvancedWindow;
class BasicWindow;
class ConfirmDialog;
class Form;
class SerialCommWindow;
class WindowRegistry;
}  // namespace tarvelin

namespace tarvelin::test {

class EndToEnd {
public:
    enum Answer { No, Yes };

    // Starts the simulator (`paceBaud` > 0 delays its replies as a line of
    // that speed would), installs a TestNotifier, builds the window registry
    // with its terminal preset to the simulator's device at 9600 and shows the
    // main window, as the about box's OK does. The port is opened by the
    // first retrieve or store, as in the program.
    explicit EndToEnd(korvex::Config config = {}, int paceBaud = 0);
    explicit EndToEnd(const korvex::Faults& faults, int paceBaud = 0);
    ~EndToEnd();
    EndToEnd(const EndToEnd&) = delete;
    EndToEnd& operator=(const EndToEnd&) = delete;

    // True when the simulator is up (check with QVERIFY first).
    bool ready() const { return started_; }

    // ---- the windows (the main window shown from the start; the others made
    // hidden on first use, as the program does)
    WindowRegistry& registry() { return *registry_; }
    BasicWindow* basic();
    AdvancedWindow* advanced();  // shown
    SerialCommWindow* terminal();
    ConfirmDialog* confirm();
    Form& basicForm();
    Form& advancedForm();

    // ---- the simulated controller
    korvex::PtySimulator& sim() { return sim_; }
    korvex::Memory memory() const { return sim_.memory(); }
    std::vector<std::string> log() const { return sim_.log(); }
    // The MW requests since the last forget() (all of them before the first).
    std::vector<korvex::Controller::Write> writes() const;
    // Replaces the faults and restarts their counts.
    void setFaults(const korvex::Faults& faults) { sim_.setFaults(faults); }
    // Forgets the log, the writes seen so far and the notifier's records.
    void forget();
    // The log as command texts: a frame of station 1 with a correct check
    // sum becomes its command ("MR020C", "MW020CC0", "MENABLE"); the ENQ
    // of each unframed command is left out ("IR*", "VM*" stay); anything
    // else is kept whole, so that a comparison shows it.
    std::vector<std::string> commands() const;

    // ---- the notifier (beeps, message boxes, Yes/No answers)
    TestNotifier& notes() { return notes_.notifier(); }

    // ---- actions through the real buttons
    void retrieveBasic() { click(window(0), "retrieveButton"); }
    void retrieveAdvanced() { click(window(1), "retrieveButton"); }
    // Save on the window, then the confirmation's Yes or No.
    void saveBasic(Answer a) {
        clickSaveBasic();
        answer(a);
    }
    void saveAdvanced(Answer a) {
        clickSaveAdvanced();
        answer(a);
    }
    // Only the Save button: the confirmation stays up, waiting.
    void clickSaveBasic() { click(window(0), "updateButton"); }
    void clickSaveAdvanced() { click(window(1), "updateButton"); }
    void answer(Answer a) { click(window(2), a == Yes ? "yesButton" : "NoButton"); }
    // Clicks a push button of a window by its control name.
    static void click(QWidget* window, const char* name);

    // How long the terminal waits for a reply, in milliseconds (its hidden
    // `timeOutBox`, 500 at start). A silent controller costs this much per
    // request, so tests that expect silence set it low, e.g. 100.
    void setTimeout(int ms);

    // ---- the message line (`messageLabel`) of a window
    static QLabel* messageLabel(QWidget* window);
    static QString message(QWidget* window);
    static QColor messageColor(QWidget* window);
    static Qt::Alignment messageAlignment(QWidget* window);

    // Whether a control of a window can be used now.
    static bool enabled(QWidget* window, const char* name);

    // ---- expectations
    // A memory image with a different non-zero byte at nearly every address
    // (so that a stray write of 0, or of the byte of a neighbour, shows).
    static korvex::Memory patternImage();
    // Empty when equal; otherwise the first differing addresses, for QVERIFY2.
    static QString differences(const korvex::Memory& actual, const korvex::Memory& expected);
    static void put(korvex::Memory& memory, int address, std::initializer_list<int> bytes);
    static void putText(korvex::Memory& memory, int address, const std::string& text);  // 16 bytes, 0-padded

private:
    QWidget* window(int which);  // 0 main, 1 advanced (shown), 2 confirmation

    korvex::PtySimulator sim_;  // outlives the windows: the port closes first
    bool started_ = false;
    NotifierScope notes_;
    std::unique_ptr<WindowRegistry> registry_;
    std::size_t writesSeen_ = 0;
};

}  // namespace tarvelin::test
