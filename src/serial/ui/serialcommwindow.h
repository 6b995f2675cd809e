// The terminal window `serialComm`: where the port is chosen, opened and
// closed, where commands are typed by hand, and the one owner of the port for
// everything else in the program.
#pragma once

#include <QString>
#include <QTime>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "commandhistory.h"
#include "notifier.h"
#include "serial/exchange.h"
#include "serial/linefactory.h"
#include "serial/portconnection.h"
#include "serial/portenumerator.h"
#include "serial/scanner.h"
#include "serial/serialline.h"
#include "serial/terminal.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTimer;

namespace tarvelin {

inline constexpr const char* kTerminalCaption = "Serial Port Setup";
inline constexpr const char* kNoResponseFromPlcText = "(Warning: No Response from PLC)";
inline constexpr const char* kInitialTimeoutText = "500 ";
inline constexpr const char* kAddFrameCaption = "Add frame for station";
inline constexpr const char* kShowTimeCaption = "Show time";
inline constexpr const char* kSaveLogCaption = "Save Log...";
// How often an open port is looked at while nothing else uses it.
inline constexpr int kPortWatchMs = 200;
// The item data role of the port list that holds a system port's description.
inline constexpr int kPortDescriptionRole = Qt::UserRole + 1;
// "COM1" to "COM6" come first in the port list.
inline constexpr int kFixedPortItems = 6;

class SerialCommWindow : public QWidget, public Terminal {
    Q_OBJECT
public:
    // Without a line the window drives a real serial port. A test hands in a
    // line of its own and, when that line keeps its own time, its clock (which
    // must outlive the window; a line's own clock does). With `traceFile` the
    // line is traced into that file (the shell's TARVELIN_TRACE). `notifier`
    // beeps and shows the boxes; it outlives the window.
    explicit SerialCommWindow(Notifier& notifier, std::unique_ptr<SerialLine> line = nullptr,
                              const Clock* clock = nullptr, const QString& traceFile = {},
                              QWidget* parent = nullptr);
    ~SerialCommWindow() override;

    // Terminal
    bool openCommPort() override;
    std::string getCommport() override;
    Result<std::string> send(const std::string& cmd) override;
    std::string takePending() override { return exchange_.takePending(); }

    // Puts a device name into the port list and chooses a baud rate (the
    // simulated controller of a demonstration run). Empty texts leave a list
    // as it is.
    void presetPort(const QString& portText, const QString& baudText);

    bool operationRunning() const { return running_; }
    // "Find Controller" is trying the ports.
    bool scanning() const { return scanning_; }
    SerialLine& line() { return *line_; }

    // Where the port list finds the system's ports (the system itself unless
    // a test says otherwise).
    void setPortEnumerator(std::unique_ptr<PortEnumerator> enumerator);
    // Puts the system's ports after "COM1" to "COM6" in the port list; done
    // every time the list is opened. The list's text stays as it was.
    void refreshPortList();
    // The clock behind "Show time" (the time of day unless a test says otherwise).
    void setTimeOfDaySource(std::function<QTime()> source) { timeOfDay_ = std::move(source); }
    // The commands that Up and Down walk through: the window's own until it
    // is handed the run's (which must outlive it).
    CommandHistory& history() { return *history_; }
    void setHistory(CommandHistory& history);

public slots:
    void openPort_Click();
    void closePort_Click();
    void clearButton_Click();
    void exitButton_Click();
    void saveLog_Click();
    // "Find Controller", or "Stop" while it runs.
    void findController_Click();
    // Ends a running scan soon (Stop, Esc); its last line follows.
    void stopScan();
    // A retrieve or store is running: the command line, the port buttons and
    // Exit wait for it, and the window cannot be discarded meanwhile.
    void setOperationRunning(bool running);

signals:
    // The port list's text changed, by editing or by choosing an item.
    void portChoiceChanged();
    // "Find Controller" starts (true) or has ended (false): one operation
    // at a time, so nothing else may use a port meanwhile.
    void scanRunning(bool running);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildAids();
    void finishControls();
    void arrangeControls();
    void commandString_KeyPress();
    void appendResponse(const QString& line);
    void enablePortSettings(bool enable);
    // What the lists hold now.
    PortChoice currentChoice() const;
    // Performs Open; a refusal's message box is shown here. For a retrieve
    // or store (`offerScan`) the box offers "Find Controller" too, which
    // runs once the operation has ended.
    void performOpen(bool offerScan = false);
    // The port went away (under an exchange, or while idle): back to the
    // closed state, with one line saying so.
    void dropLostPort();
    // Looks at the open port between exchanges: a pulled adapter is noticed
    // at once, not at the next command.
    void watchPort();
    // Up and Down in the command line.
    void recallCommand(bool older);
    // Enabled states from the open state of the port and the running flag.
    void refreshStates();
    void startScan();
    void startOfferedScan();
    // Tries reach the window on its own thread, in order; `generation`
    // tells a late one of an earlier scan.
    void scanReport(unsigned generation, const TryResult& result);
    void scanDone(unsigned generation, bool stopped);
    // Stops the scan and waits for its workers (the window goes away).
    void finishScanNow();

    Notifier& notifier_;
    // Where the window's line and each line of Find Controller come from.
    LineFactory lines_;
    std::unique_ptr<SerialLine> line_;
    std::unique_ptr<Clock> ownClock_;
    const Clock* clock_;
    PortConnection connection_;
    Exchange exchange_;
    bool running_ = false;
    bool exchanging_ = false;
    std::unique_ptr<PortEnumerator> enumerator_;
    std::function<QTime()> timeOfDay_;
    CommandHistory ownHistory_;
    CommandHistory* history_ = &ownHistory_;
    QTimer* portWatch_ = nullptr;
    std::unique_ptr<PortScan> scan_;
    bool scanning_ = false;
    unsigned scanGeneration_ = 0;
    int scanFinds_ = 0;
    QString scanChosen_;         // "COM5 at 9600": the first find, chosen in the lists
    bool scanWhenFree_ = false;  // "Find Controller" was chosen during an operation

    QLineEdit* commandString_ = nullptr;
    QLabel* label1_ = nullptr;
    QPushButton* exitButton_ = nullptr;
    QLabel* lblPortName_ = nullptr;
    QComboBox* portChoice_ = nullptr;
    QComboBox* dataBitChoice_ = nullptr;
    QLabel* lblDataBits_ = nullptr;
    QComboBox* parityChoice_ = nullptr;
    QLabel* lblParity_ = nullptr;
    QComboBox* baudChoice_ = nullptr;
    QLabel* lblBaudRate_ = nullptr;
    QComboBox* stopBitChoice_ = nullptr;
    QLabel* lblStopBit_ = nullptr;
    QPushButton* openPort_ = nullptr;
    QPushButton* closePort_ = nullptr;
    QPushButton* findController_ = nullptr;
    QLabel* label2_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    QPlainTextEdit* responseBox_ = nullptr;
    QLabel* lblTimeOut_ = nullptr;
    QLineEdit* timeOutBox_ = nullptr;
    QCheckBox* addFrame_ = nullptr;
    QSpinBox* stationNumber_ = nullptr;
    QCheckBox* showTime_ = nullptr;
    QPushButton* saveLog_ = nullptr;
};

}  // namespace tarvelin
