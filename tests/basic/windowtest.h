// What a configuration window test needs: the rest of the program as fakes
// (a terminal that answers nothing or a simulated controller on a scripted
// line, a flag byte holder, counters for what the window asked for), a window
// built on them, and ways to look at and type into its controls.
#pragma once

#include <QAbstractButton>
#include <QAccessible>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/busy.h"
#include "config/directory.h"
#include "config/widgetform.h"
#include "serial/lineterminal.h"
#include "serial/terminal.h"
#include "support/simline.h"
#include "support/testnotifier.h"

namespace tarvelin::test {

// A terminal whose port never opens.
class StubTerminal final : public Terminal {
public:
    bool openCommPort() override {
        ++opens;
        return false;
    }
    std::string getCommport() override {
        ++portQueries;
        return port;
    }
    std::string sendCommand(const std::string& cmd) override {
        sent.push_back(cmd);
        return {};
    }
    bool linkLost() const override { return false; }
    std::string takePending() override { return {}; }

    std::string port = "COM5";
    int opens = 0;
    int portQueries = 0;
    std::vector<std::string> sent;
};

// A controller (the simulated one) behind the terminal's operations.
class SimulatedTerminal {
public:
    explicit SimulatedTerminal(korvex::Config config = {}) : sim_(std::move(config)) {}
    Terminal& terminal() { return terminal_; }
    korvex::Controller& controller() { return sim_.controller(); }

private:
    SimulatedLine sim_;
    LineTerminal terminal_{sim_.line(), sim_.line().clock(),
                           PortChoice{"/dev/scripted-line", "9600", "None", "8", "1"}};
};

class PlainFlagHolder final : public FlagByteHolder {
public:
    double getPLCconfig() override { return value; }
    void setPLCconfig(std::int16_t v) override { value = v; }
    bool flagByteFromController() const override { return fromController; }
    void setFlagByteFromController(bool v) override { fromController = v; }

    double value = 0;
    bool fromController = false;
};

class FakeDirectory final : public Directory {
public:
    Terminal& terminal() override { return terminal_ != nullptr ? *terminal_ : stub; }
    void showTerminal() override { ++terminalShown; }
    void showAdvanced() override { ++advancedShown; }
    FlagByteHolder& flagByteHolder() override {
        ++holderRequests;
        return holder_ != nullptr ? *holder_ : plainHolder;
    }
    void askOverwrite(std::int16_t source) override {
        overwriteSources.push_back(source);
        if (onAskOverwrite) onAskOverwrite(source);
    }
    void displayCommport() override {}

    // Another terminal / holder instead of the stubs.
    void useTerminal(Terminal& terminal) { terminal_ = &terminal; }
    void useHolder(FlagByteHolder& holder) { holder_ = &holder; }

    StubTerminal stub;
    PlainFlagHolder plainHolder;
    int terminalShown = 0;
    int advancedShown = 0;
    int holderRequests = 0;
    std::vector<std::int16_t> overwriteSources;
    std::function<void(std::int16_t)> onAskOverwrite;

private:
    Terminal* terminal_ = nullptr;
    FlagByteHolder* holder_ = nullptr;
};

// The name a screen reader speaks for a control.
inline QString accessibleName(QWidget* widget) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    return iface != nullptr ? iface->text(QAccessible::Name) : QString();
}

// The names of the controls that Tab visits, from `first` on.
inline QStringList tabWalk(QWidget* window, QWidget* first, int steps) {
    QStringList names;
    QWidget* w = first;
    while (names.size() < steps) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(window) && w->isEnabled())
            names << w->objectName();
        w = w->nextInFocusChain();
        if (w == first) break;
    }
    return names;
}

// Texts a box took on during one assignment, in the order they were
// assigned. The change rules run nested inside each assignment, before a spy
// connected after them hears of it, so the spy lists a box's texts innermost
// first; turned round here.
inline QStringList assignedTexts(const QSignalSpy& spy) {
    QStringList out;
    for (const QList<QVariant>& args : spy) out.prepend(args.at(0).toString());
    return out;
}

// A window of type W on the fakes, made afresh for every test function
// (call makeWindow() from init() and dropWindow() from cleanup()).
template <typename W>
class WindowTest {
protected:
    void makeWindow() {
        notifier_ = std::make_unique<NotifierScope>();
        directory_ = std::make_unique<FakeDirectory>();
        window_ = std::make_unique<W>(*directory_);
    }
    void dropWindow() {
        window_.reset();
        directory_.reset();
        notifier_.reset();
    }
    WidgetForm& w() { return window_->widgets(); }
    LimitedLineEdit* box(const QString& name) { return qobject_cast<LimitedLineEdit*>(w().widget(name)); }
    TestNotifier& notes() { return notifier_->notifier(); }

    // Puts `text` into a box as the user does, typed over its whole content
    // (an empty text: Backspace), or as the program does.
    void enterText(const QString& name, const QString& text, bool typed) {
        LimitedLineEdit* b = box(name);
        if (!typed) {
            window_->form().setText(name, text);
            return;
        }
        b->selectAll();
        if (text.isEmpty())
            QTest::keyClick(b, Qt::Key_Backspace);
        else
            QTest::keyClicks(b, text);
    }

    // The checks both windows share.
    void checkTitleAndSize(const char* title, int width, int height) {
        QCOMPARE(window_->windowTitle(), QString::fromLatin1(title));
        // About this size once laid out and shown (fonts differ between desktops).
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        QVERIFY2(qAbs(window_->width() - width) <= 60, qPrintable(QString::number(window_->width())));
        QVERIFY2(qAbs(window_->height() - height) <= 60, qPrintable(QString::number(window_->height())));
    }
    // A button, option or check box, spoken by its caption.
    void checkCaption(const QString& name, const QString& caption) {
        auto* button = qobject_cast<QAbstractButton*>(w().widget(name));
        QVERIFY2(button != nullptr, qPrintable(name));
        QCOMPARE(button->text(), caption);
        QCOMPARE(accessibleName(button), caption);
    }
    // What a screen reader speaks for a control (nothing of its own: empty).
    void checkSpoken(const QString& name, const QString& spoken) {
        QWidget* widget = w().widget(name);
        QCOMPARE(spoken.isEmpty() ? widget->accessibleName() : accessibleName(widget), spoken);
    }
    // Every control registered under its name, which it carries; the message
    // line empty, bold, red and centred.
    void checkControlsAndMessageLine() {
        for (const QString& name : w().names()) {
            QCOMPARE(window_->template findChild<QWidget*>(name), w().widget(name));
            QCOMPARE(w().widget(name)->accessibleDescription(), name);
        }
        auto* message = qobject_cast<QLabel*>(w().widget("messageLabel"));
        QCOMPARE(message->text(), QString());
        QCOMPARE(message->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QVERIFY(message->font().bold());
        QCOMPARE(message->font().pointSizeF(), 8.25);
        QVERIFY(message->alignment() & Qt::AlignHCenter);
        QCOMPARE(message->textFormat(), Qt::PlainText);
    }
    // Save beeps once, then asks the confirmation for window `source`;
    // nothing is written yet.
    void checkSaveBeepsThenAsks(std::int16_t source) {
        int beepsWhenAsked = -1;
        directory_->onAskOverwrite = [&](std::int16_t) { beepsWhenAsked = notes().beeps(); };
        QTest::mouseClick(w().widget("updateButton"), Qt::LeftButton);
        QCOMPARE(directory_->overwriteSources, std::vector<std::int16_t>{source});
        QCOMPARE(beepsWhenAsked, 1);
        QCOMPARE(directory_->stub.opens, 0);
        directory_->onAskOverwrite = nullptr;
    }
    // While an operation runs, `held` are disabled and `free` are not; a window
    // made meanwhile starts so too; afterwards all are usable again.
    void checkBusyHolds(const QStringList& held, const QStringList& free) {
        {
            BusyScope busy;
            for (const QString& name : held) QVERIFY2(!w().widget(name)->isEnabled(), qPrintable(name));
            for (const QString& name : free) QVERIFY2(w().widget(name)->isEnabled(), qPrintable(name));
            W other(*directory_);
            for (const QString& name : held)
                QVERIFY2(!other.widgets().widget(name)->isEnabled(), qPrintable(name));
        }
        for (const QString& name : held) QVERIFY2(w().widget(name)->isEnabled(), qPrintable(name));
    }
    // The message line after a retrieve that completed: blue, centred.
    void checkRetrieved() {
        auto* message = qobject_cast<QLabel*>(w().widget("messageLabel"));
        QCOMPARE(message->text(), QStringLiteral("Successfully Retrieved Setup Data"));
        QCOMPARE(message->palette().color(QPalette::WindowText), QColor(0, 0, 192));
        QVERIFY(message->alignment() & Qt::AlignHCenter);
        QVERIFY(w().widget("retrieveButton")->isEnabled());  // back once it ended
    }

    std::unique_ptr<FakeDirectory> directory_;
    std::unique_ptr<W> window_;
    std::unique_ptr<NotifierScope> notifier_;
};

}  // namespace tarvelin::test
