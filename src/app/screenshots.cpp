#include "screenshots.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPalette>
#include <QPixmap>
#include <QTextStream>
#include <QWidget>

#include "aboutdialog.h"
#include "advanced/ui/advancedwindow.h"
#include "basic/ui/basicwindow.h"
#include "confirmdialog.h"
#include "serial/ui/serialcommwindow.h"
#include "windowregistry.h"

namespace tarvelin {

namespace {

// Lets the window be mapped and painted.
void settle(int ms = 300) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool save(QWidget* window, const QDir& dir, const QString& name) {
    window->show();
    window->raise();
    window->activateWindow();
    settle();
    const QString path = dir.filePath(name + QStringLiteral(".png"));
    const bool ok = window->grab().save(path, "PNG");
    QTextStream(stderr) << (ok ? "saved " : "could not save ") << path << Qt::endl;
    return ok;
}

// A dark palette as a dark desktop theme gives one (Fusion's colours).
QPalette darkPalette() {
    QPalette dark;
    const QColor window(53, 53, 53);
    const QColor text(235, 235, 235);
    for (auto [role, colour] : {std::pair{QPalette::Window, window},
                                {QPalette::Button, window},
                                {QPalette::Base, QColor(35, 35, 35)},
                                {QPalette::AlternateBase, window},
                                {QPalette::WindowText, text},
                                {QPalette::Text, text},
                                {QPalette::ButtonText, text},
                                {QPalette::ToolTipBase, window},
                                {QPalette::ToolTipText, text},
                                {QPalette::Highlight, QColor(42, 130, 218)},
                                {QPalette::HighlightedText, text}})
        dark.setColor(role, colour);
    dark.setColor(QPalette::Disabled, QPalette::Text, QColor(127, 127, 127));
    dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(127, 127, 127));
    dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(127, 127, 127));
    return dark;
}

// The three windows again, on a dark palette.
int darkScreenshots(const QList<QPair<QWidget*, QString>>& windows, const QDir& dir) {
    QApplication::setPalette(darkPalette());
    int failed = 0;
    for (const auto& [window, name] : windows) {
        failed += !save(window, dir, name + QStringLiteral("-dark"));
        window->hide();
    }
    return failed;
}

// The terminal after Find Controller, with the port closed.
bool scanScreenshot(SerialCommWindow* terminal, const QDir& dir) {
    terminal->closePort_Click();
    terminal->clearButton_Click();
    terminal->findController_Click();
    QElapsedTimer scanning;
    scanning.start();
    while (terminal->scanning() && scanning.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    const bool saved = save(terminal, dir, QStringLiteral("terminal-scan"));
    terminal->hide();
    return saved;
}

}  // namespace

int takeScreenshots(WindowRegistry& registry, const QString& directory, bool controllerOnLine) {
    QDir dir(directory);
    if (!dir.mkpath(QStringLiteral("."))) {
        QTextStream(stderr) << "cannot make " << directory << Qt::endl;
        return 5;
    }
    int failed = 0;

    registry.start();
    failed += !save(registry.about(), dir, QStringLiteral("about"));

    registry.about()->OKButton_Click();
    BasicWindow* basic = registry.basic();
    if (controllerOnLine) basic->retrieveButton_Click();
    failed += !save(basic, dir, QStringLiteral("basic"));

    registry.showAdvanced();
    AdvancedWindow* advanced = registry.advanced();
    if (controllerOnLine) advanced->retrieveButton_Click();
    failed += !save(advanced, dir, QStringLiteral("advanced"));
    advanced->hide();

    registry.showTerminal();
    SerialCommWindow* terminal = registry.terminalWindow();
    if (controllerOnLine) {
        terminal->openCommPort();
        if (auto* line = terminal->findChild<QLineEdit*>(QStringLiteral("commandString"))) {
            line->setText(QStringLiteral("IR*"));
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
            QApplication::sendEvent(line, &enter);
        }
    }
    failed += !save(terminal, dir, QStringLiteral("terminal"));

    failed += !scanScreenshot(terminal, dir);

    // Edits after the retrieve, marked in the main window and listed by the confirmation.
    basic->form().setText(QStringLiteral("IP(0)"), QStringLiteral("7x"));
    basic->form().setText(QStringLiteral("hostName"), QStringLiteral("Press 7"));
    basic->form().setChecked(QStringLiteral("EnablePW(0)"), true);
    failed += !save(basic, dir, QStringLiteral("basic-changes"));

    registry.askOverwrite(0);
    failed += !save(registry.confirm(), dir, QStringLiteral("confirmation"));
    registry.confirm()->hide();
    failed += darkScreenshots({{basic, QStringLiteral("basic")},
                               {advanced, QStringLiteral("advanced")},
                               {terminal, QStringLiteral("terminal")}},
                              dir);

    registry.endProgram();
    return failed;
}

}  // namespace tarvelin
