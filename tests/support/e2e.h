// The real device path: the program's own windows and serial port against the
// simulated controller on a pseudo-terminal, reached through a link that
// stands for the adapter's stable name. A retrieve or store runs inside its
// button's click, so each helper returns after the operation.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "config/ui/profileactions.h"
#include "sim/pty.h"
#include "support/testnotifier.h"

class QWidget;

namespace tarvelin {
class Form;
class SerialCommWindow;
class WindowRegistry;
}  // namespace tarvelin

namespace tarvelin::test {

// A named control of a window; a missing one ends the test run.
QWidget* control(QWidget* window, const char* name);
template <typename T>
T* control(QWidget* window, const char* name) {
    return static_cast<T*>(control(window, name));
}

// The factory image with `bytes` put at `address`.
korvex::Memory factoryWith(int address, const QByteArray& bytes);

class EndToEnd {
public:
    EndToEnd();
    ~EndToEnd();

    bool ready() const { return ready_; }  // check with QVERIFY first
    korvex::PtySimulator& sim() { return sim_; }
    TestNotifier& notes() { return notes_; }
    QString adapter() const { return adapter_; }  // the port text the terminal holds

    QWidget* window(Block block);  // the advanced window is shown on first use
    Form& form(Block block);
    SerialCommWindow* terminal();
    QString message(Block block);  // the window's message line
    QString replies();             // what the terminal lists

    void retrieve(Block block) { click(window(block), "retrieveButton"); }
    void store(Block block);
    static void click(QWidget* window, const char* name);
    // How long the terminal waits for a reply, in milliseconds.
    void setTimeout(int ms);
    // The adapter is plugged in again under its name (a new pseudo-terminal).
    bool replug();

private:
    korvex::PtySimulator sim_;  // outlives the windows: the port closes first
    QTemporaryDir dir_;
    QString adapter_;
    bool ready_ = false;
    TestNotifier notes_;
    std::unique_ptr<WindowRegistry> registry_;
};

// Pulls the adapter from another thread as soon as the tool has sent
// `wanted`, or at once when `wanted` is empty: the simulator hangs up and its
// link goes, as a pulled adapter's stable name does (a dangling link could
// lead to a pseudo-terminal that another test opens under the same number).
class Pull {
public:
    Pull(korvex::PtySimulator& sim, const std::string& wanted);
    ~Pull();

private:
    korvex::PtySimulator& sim_;
    std::atomic<bool> seen_{false};
    std::jthread thread_;
};

}  // namespace tarvelin::test
