#include "windowregistry.h"

#include <QCloseEvent>
#include <QWidget>

#include "aboutdialog.h"
#include "advanced/ui/advancedwindow.h"
#include "basic/ui/basicwindow.h"
#include "config/busy.h"
#include "confirmdialog.h"
#include "serial/ui/serialcommwindow.h"

namespace tarvelin {

WindowRegistry::WindowRegistry(Notifier& notifier, TerminalFactory terminalFactory, QObject* parent)
    : QObject(parent), notifier_(notifier), terminalFactory_(std::move(terminalFactory)) {
    if (!terminalFactory_)
        terminalFactory_ = [this] { return new SerialCommWindow(notifier_, nullptr, nullptr, traceFile_); };
}

WindowRegistry::~WindowRegistry() {
    // The configuration windows first: they may still reach the others.
    delete basic_.data();
    delete advanced_.data();
    delete confirm_.data();
    delete about_.data();
    // Last, and with it the port.
    delete terminal_.data();
}

// A window closed through its frame has given up its delete-on-close mark
// and waits to be deleted: it counts as gone, and the next use makes a new
// one. Once the program has ended nothing is made anew.
template <typename W>
bool WindowRegistry::alive(const QPointer<W>& window) const {
    return window && (ended_ || window->testAttribute(Qt::WA_DeleteOnClose));
}

void WindowRegistry::adopt(QWidget* window) {
    window->setAttribute(Qt::WA_DeleteOnClose);
}

bool WindowRegistry::exists(Window window) const {
    switch (window) {
        case Window::About:
            return alive(about_);
        case Window::Basic:
            return alive(basic_);
        case Window::Advanced:
            return alive(advanced_);
        case Window::Terminal:
            return alive(terminal_);
        case Window::Confirm:
            return alive(confirm_);
    }
    return false;
}

void WindowRegistry::start() {
    about()->show();
}

void WindowRegistry::setTerminalPreset(const QString& portText, const QString& baudText) {
    presetPort_ = portText;
    presetBaud_ = baudText;
}

AboutDialog* WindowRegistry::about() {
    if (!alive(about_)) {
        about_ = new AboutDialog;
        adopt(about_);
        connect(about_, &AboutDialog::okClicked, this, &WindowRegistry::showBasic);
        connect(about_, &AboutDialog::closedByFrame, this, &WindowRegistry::aboutClosed);
    }
    return about_;
}

BasicWindow* WindowRegistry::basic() {
    if (!alive(basic_)) {
        // Its load asks the terminal for the port name, creating it hidden.
        creatingBasic_ = true;
        auto* window = new BasicWindow(*this, notifier_);
        creatingBasic_ = false;
        basic_ = window;
        adopt(window);
        connect(window, &BasicWindow::quitRequested, this, &WindowRegistry::endProgram);
        connect(window, &ConfigWindow::changesChanged, this, &WindowRegistry::refreshConfirmation);
    }
    return basic_;
}

AdvancedWindow* WindowRegistry::advanced() {
    if (!alive(advanced_)) {
        advanced_ = new AdvancedWindow(*this, notifier_);
        adopt(advanced_);
        // The basic store may be using the flag byte it holds.
        advanced_->installEventFilter(this);
        connect(advanced_, &ConfigWindow::changesChanged, this, &WindowRegistry::refreshConfirmation);
    }
    return advanced_;
}

SerialCommWindow* WindowRegistry::terminalWindow() {
    if (!alive(terminal_)) {
        SerialCommWindow* window = terminalFactory_();
        if (!presetPort_.isEmpty() || !presetBaud_.isEmpty()) window->presetPort(presetPort_, presetBaud_);
        window->setHistory(history_);
        terminal_ = window;
        adopt(window);
        connect(window, &SerialCommWindow::portChoiceChanged, this, &WindowRegistry::displayCommport);
        connect(&context_.busy(), &Busy::changed, window, &SerialCommWindow::setOperationRunning);
        // A scan is an operation like a retrieve: the other windows wait for it.
        connect(window, &SerialCommWindow::scanRunning, this, [this](bool running) {
            if (running)
                scanHold_.emplace(context_);
            else
                scanHold_.reset();
        });
        window->setOperationRunning(context_.busy().active());
        // A terminal made anew (the last one was closed through its frame)
        // starts from its own choice: the main window shows that one.
        if (alive(basic_)) displayCommport();
    }
    return terminal_;
}

ConfirmDialog* WindowRegistry::confirm() {
    if (!alive(confirm_)) {
        confirm_ = new ConfirmDialog([this](std::int16_t source) { runStore(source); });
        adopt(confirm_);
        connect(&context_.busy(), &Busy::changed, confirm_.data(), &ConfirmDialog::setOperationRunning);
        confirm_->setOperationRunning(context_.busy().active());
    }
    return confirm_;
}

Terminal& WindowRegistry::terminal() {
    return *terminalWindow();
}

namespace {
void bringUp(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}
}  // namespace

void WindowRegistry::showTerminal() {
    bringUp(terminalWindow());
}

void WindowRegistry::showAdvanced() {
    bringUp(advanced());
}

FlagByteHolder& WindowRegistry::flagByteHolder() {
    return *advanced();
}

void WindowRegistry::askOverwrite(std::int16_t source) {
    ConfirmDialog* dialog = confirm();
    dialog->setSource(source);
    bringUp(dialog);
    refreshConfirmation();
}

void WindowRegistry::refreshConfirmation() {
    if (!alive(confirm_) || !confirm_->isVisible()) return;
    ConfigWindow* asker = confirm_->source() == 0 ? static_cast<ConfigWindow*>(basic()) : advanced();
    confirm_->setDetails(asker->confirmationDetails());
}

void WindowRegistry::displayCommport() {
    // The main window's own load shows the port when it is done.
    if (creatingBasic_ || ended_) return;
    basic()->displayCommport();
}

void WindowRegistry::showBasic() {
    basicShown_ = true;
    bringUp(basic());
}

void WindowRegistry::runStore(std::int16_t source) {
    if (source == 0)
        basic()->updateParameters();
    else
        advanced()->updateParameters();
}

void WindowRegistry::aboutClosed() {
    // Closed before OK: no other window exists yet, so the program ends.
    if (!basicShown_) endProgram();
}

void WindowRegistry::endProgram() {
    if (ended_) return;
    ended_ = true;
    const bool running = context_.busy().active();
    if (running) context_.requestStop();
    // Every window goes from the screen now; the objects are deleted with the
    // registry, after a running operation has come back.
    for (QWidget* window : std::initializer_list<QWidget*>{about_, basic_, advanced_, confirm_, terminal_}) {
        if (!window) continue;
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->hide();
    }
    if (terminal_ && !running) terminal_->closePort_Click();
    emit programEnded();
}

bool WindowRegistry::eventFilter(QObject* watched, QEvent* event) {
    // The advanced window stays while a retrieve or store runs: the basic
    // store reaches its flag byte, and its own operations its controls.
    if (event->type() == QEvent::Close && watched == advanced_.data() && context_.busy().active()) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace tarvelin
