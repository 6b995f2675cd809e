#include "support/e2e.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <chrono>

#include "advanced/ui/advancedwindow.h"
#include "app/confirmdialog.h"
#include "app/windowregistry.h"
#include "basic/ui/basicwindow.h"
#include "serial/ui/serialcommwindow.h"

namespace tarvelin::test {

QWidget* control(QWidget* window, const char* name) {
    auto* found = window->findChild<QWidget*>(QString::fromLatin1(name));
    if (!found) qFatal("no control %s in %s", name, qPrintable(window->objectName()));
    return found;
}

korvex::Memory factoryWith(int address, const QByteArray& bytes) {
    korvex::Memory memory = korvex::factoryImage();
    for (int i = 0; i < bytes.size(); ++i)
        memory[static_cast<std::size_t>(address + i)] = static_cast<std::uint8_t>(bytes[i]);
    return memory;
}

EndToEnd::EndToEnd() : adapter_(dir_.filePath(QStringLiteral("usb-Korvex_Adapter-if00-port0"))) {
    ready_ = sim_.start() && sim_.makeLink(adapter_.toStdString());
    registry_ = std::make_unique<WindowRegistry>(notes_);
    registry_->setTerminalPreset(adapter_, QStringLiteral("9600"));
    registry_->showBasic();  // as the about box's OK does
}

EndToEnd::~EndToEnd() {
    registry_.reset();  // the windows first, the terminal and its port last
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QWidget* EndToEnd::window(Block block) {
    if (block == Block::Basic) return registry_->basic();
    registry_->showAdvanced();
    return registry_->advanced();
}

Form& EndToEnd::form(Block block) {
    if (block == Block::Basic) return registry_->basic()->form();
    return static_cast<AdvancedWindow*>(window(block))->form();
}

SerialCommWindow* EndToEnd::terminal() {
    return registry_->terminalWindow();
}

QString EndToEnd::message(Block block) {
    return control<QLabel>(window(block), "messageLabel")->text();
}

QString EndToEnd::replies() {
    return control<QPlainTextEdit>(terminal(), "responseBox")->toPlainText();
}

void EndToEnd::store(Block block) {
    click(window(block), "updateButton");
    click(registry_->confirm(), "yesButton");
}

void EndToEnd::click(QWidget* window, const char* name) {
    QTest::mouseClick(control<QAbstractButton>(window, name), Qt::LeftButton);
}

void EndToEnd::setTimeout(int ms) {
    control<QLineEdit>(terminal(), "timeOutBox")->setText(QString::number(ms));
}

bool EndToEnd::replug() {
    return sim_.start() && sim_.makeLink(adapter_.toStdString());
}

Pull::Pull(korvex::PtySimulator& sim, const std::string& wanted) : sim_(sim) {
    if (wanted.empty()) {
        sim.stop();
        return;
    }
    // The trace runs on the simulator's reader, which stopping joins: the
    // pull itself is left to a thread of its own.
    sim.setTrace([this, wanted](bool fromTool, const std::string& bytes) {
        if (fromTool && bytes.find(wanted) != std::string::npos) seen_ = true;
    });
    thread_ = std::jthread([this](std::stop_token stop) {
        for (;;) {
            if (seen_) return sim_.stop();
            if (stop.stop_requested()) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
}

Pull::~Pull() {
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
    sim_.setTrace({});
}

}  // namespace tarvelin::test
