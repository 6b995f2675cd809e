// The five window objects of the program, each existing at most once and
// created on first use; the one place that knows how they meet.
//
// Closing a window through its frame discards it: the next use creates it
// afresh from its initial state. Hiding keeps it with everything it holds.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "config/busy.h"
#include "config/directory.h"
#include "serial/ui/commandhistory.h"

class QWidget;

namespace tarvelin {

class AboutDialog;
class AdvancedWindow;
class BasicWindow;
class ConfirmDialog;
class Notifier;
class SerialCommWindow;

class WindowRegistry : public QObject, public Directory {
    Q_OBJECT
public:
    // Makes the terminal object; the default drives a real serial port.
    using TerminalFactory = std::function<SerialCommWindow*()>;

    // Every window it makes beeps and shows its boxes through `notifier`,
    // which outlives the registry (a factory's terminal should use it too).
    explicit WindowRegistry(Notifier& notifier, TerminalFactory terminalFactory = {},
                            QObject* parent = nullptr);
    ~WindowRegistry() override;

    // Start-up: the about box, and nothing else.
    void start();

    // Every terminal object made from now on starts with this port text and
    // baud rate chosen (the simulated controller of a demonstration run).
    void setTerminalPreset(const QString& portText, const QString& baudText);
    // The real line of every terminal object made from now on by the default
    // factory is traced into this file (TARVELIN_TRACE); empty: not traced.
    void setTraceFile(const QString& path) { traceFile_ = path; }

    // Directory
    Terminal& terminal() override;
    // The windows' one context: the busy gate every window follows, and the
    // stop request of a program that is ending.
    OperationContext& context() override { return context_; }
    void showTerminal() override;
    void showAdvanced() override;
    FlagByteHolder& flagByteHolder() override;
    void askOverwrite(std::int16_t source) override;
    void displayCommport() override;

    // The window objects; each call creates its window (hidden) when it does
    // not exist.
    AboutDialog* about();
    BasicWindow* basic();
    AdvancedWindow* advanced();
    SerialCommWindow* terminalWindow();
    ConfirmDialog* confirm();

    enum class Window { About, Basic, Advanced, Terminal, Confirm };
    // Whether the window object exists now; creates nothing.
    bool exists(Window window) const;

    bool ended() const { return ended_; }

public slots:
    // The about box's OK: the main window becomes visible.
    void showBasic();
    // Ends the program: every window goes, the port is closed with the
    // terminal. A running retrieve or store is asked to stop first.
    void endProgram();

signals:
    // The program is over; the event loop may end.
    void programEnded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    template <typename W>
    bool alive(const QPointer<W>& window) const;
    void adopt(QWidget* window);
    void runStore(std::int16_t source);
    // The confirmation's list follows the asking window's boxes while it is shown.
    void refreshConfirmation();
    void aboutClosed();

    OperationContext context_;
    Notifier& notifier_;
    TerminalFactory terminalFactory_;
    QString traceFile_;
    // The commands typed during this run: every terminal object walks the same.
    CommandHistory history_;
    QString presetPort_;
    QString presetBaud_;
    QPointer<AboutDialog> about_;
    QPointer<BasicWindow> basic_;
    QPointer<AdvancedWindow> advanced_;
    QPointer<SerialCommWindow> terminal_;
    QPointer<ConfirmDialog> confirm_;
    bool basicShown_ = false;
    bool creatingBasic_ = false;
    bool ended_ = false;
    // Held while the terminal's "Find Controller" runs.
    std::optional<BusyScope> scanHold_;
};

}  // namespace tarvelin
