#include "e2efixture.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QStringList>
#include <QTest>
#include <cstdio>

#include "advanced/advancedwindow.h"
#include "app/confirmdialog.h"
#include "app/windowregistry.h"
#include "basic/basicwindow.h"
#include "serial/serialcommwindow.h"

namespace tarvelin::test {

namespace {

template <typename T>
T* child(QWidget* window, const char* name) {
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no control %s in %s", name, qPrintable(window->objectName()));
    return w;
}

korvex::Config withFaults(const korvex::Faults& faults) {
    korvex::Config config;
    config.faults = faults;
    return config;
}

}  // namespace

EndToEnd::EndToEnd(korvex::Config config, int paceBaud) : sim_(std::move(config), paceBaud) {
    started_ = sim_.start();
    if (!started_) qWarning("the simulated controller could not open a pseudo-terminal");
    registry_ = std::make_unique<WindowRegistry>();
    registry_->setTerminalPreset(QString::fromStdString(sim_.devicePath()), QStringLiteral("9600"));
    // As the about box's OK: the main window shown, the terminal made hidden.
    registry_->showBasic();
}

EndToEnd::EndToEnd(const korvex::Faults& faults, int paceBaud) : EndToEnd(withFaults(faults), paceBaud) {}

EndToEnd::~EndToEnd() {
    // The windows go first, the terminal last and with it the port; then the
    // simulator stops.
    registry_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

BasicWindow* EndToEnd::basic() {
    return registry_->basic();
}

AdvancedWindow* EndToEnd::advanced() {
    registry_->showAdvanced();
    return registry_->advanced();
}

SerialCommWindow* EndToEnd::terminal() {
    return registry_->terminalWindow();
}

ConfirmDialog* EndToEnd::confirm() {
    return registry_->confirm();
}

Form& EndToEnd::basicForm() {
    return basic()->form();
}

Form& EndToEnd::advancedForm() {
    return advanced()->form();
}

std::vector<korvex::Controller::Write> EndToEnd::writes() const {
    const std::vector<korvex::Controller::Write> all = sim_.writes();
    if (writesSeen_ >= all.size()) return {};
    return {all.begin() + static_cast<std::ptrdiff_t>(writesSeen_), all.end()};
}

void EndToEnd::forget() {
    sim_.clearLog();
    writesSeen_ = sim_.writes().size();
    notes().clear();
}

std::vector<std::string> EndToEnd::commands() const {
    std::vector<std::string> out;
    for (const std::string& request : sim_.log()) {
        if (request == "\x05") continue;
        // "@01" + command + two check-sum digits + "*"
        if (request.size() >= 6 && request.compare(0, 3, "@01") == 0 && request.back() == '*') {
            const std::size_t sumAt = request.size() - 3;
            int sum = 0;
            for (std::size_t i = 0; i < sumAt; ++i) sum ^= static_cast<unsigned char>(request[i]);
            char digits[3];
            std::snprintf(digits, sizeof digits, "%02X", sum);
            if (request.compare(sumAt, 2, digits) == 0) {
                out.push_back(request.substr(3, sumAt - 3));
                continue;
            }
        }
        out.push_back(request);
    }
    return out;
}

korvex::Memory EndToEnd::patternImage() {
    korvex::Memory memory{};
    for (std::size_t a = 0; a < memory.size(); ++a)
        memory[a] = static_cast<std::uint8_t>(((a * 37) ^ (a >> 8)) % 251 + 1);  // 1..251
    return memory;
}

QString EndToEnd::differences(const korvex::Memory& actual, const korvex::Memory& expected) {
    QStringList found;
    int count = 0;
    for (std::size_t a = 0; a < actual.size(); ++a) {
        if (actual[a] == expected[a]) continue;
        if (++count <= 8)
            found << QStringLiteral("%1: %2, expected %3").arg(a).arg(actual[a]).arg(expected[a]);
    }
    if (count == 0) return QString();
    return QStringLiteral("%1 byte(s) differ: ").arg(count) + found.join(QStringLiteral("; "));
}

void EndToEnd::put(korvex::Memory& memory, int address, std::initializer_list<int> bytes) {
    for (int b : bytes) memory[static_cast<std::size_t>(address++)] = static_cast<std::uint8_t>(b);
}

void EndToEnd::putText(korvex::Memory& memory, int address, const std::string& text) {
    for (std::size_t i = 0; i < 16; ++i)
        memory[static_cast<std::size_t>(address) + i] =
            i < text.size() ? static_cast<std::uint8_t>(text[i]) : std::uint8_t{0};
}

QWidget* EndToEnd::window(int which) {
    if (which == 0) return static_cast<QWidget*>(basic());
    return which == 1 ? static_cast<QWidget*>(advanced()) : static_cast<QWidget*>(confirm());
}

void EndToEnd::click(QWidget* window, const char* name) {
    QTest::mouseClick(child<QAbstractButton>(window, name), Qt::LeftButton);
}

void EndToEnd::setTimeout(int ms) {
    child<QLineEdit>(terminal(), "timeOutBox")->setText(QString::number(ms));
}

QLabel* EndToEnd::messageLabel(QWidget* window) {
    return child<QLabel>(window, "messageLabel");
}

QString EndToEnd::message(QWidget* window) {
    return messageLabel(window)->text();
}

QColor EndToEnd::messageColor(QWidget* window) {
    return messageLabel(window)->palette().color(QPalette::WindowText);
}

Qt::Alignment EndToEnd::messageAlignment(QWidget* window) {
    return messageLabel(window)->alignment() & Qt::AlignHorizontal_Mask;
}

bool EndToEnd::enabled(QWidget* window, const char* name) {
    return child<QWidget>(window, name)->isEnabled();
}

}  // namespace tarvelin::test
