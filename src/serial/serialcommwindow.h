// The terminal window `serialComm`: where the port is chosen, opened and
// closed, where commands are typed by hand, and the one owner of the port for
// everything else in the program.
#pragma once

#include <QString>
#include <QWidget>
#include <memory>
#include <string>

#include "exchange.h"
#include "portconnection.h"
#include "serialline.h"
#include "terminal.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tarvelin {

inline constexpr const char* kTerminalCaption = "Serial Port Setup";
inline constexpr const char* kNoResponseFromPlcText = "(Warning: No Response from PLC)";
inline constexpr const char* kInitialTimeoutText = "500 ";

class SerialCommWindow : public QWidget, public Terminal {
    Q_OBJECT
public:
    // Without a line the window drives a real serial port. A test hands in a
    // line of its own and, when that line keeps its own time, its clock (which
    // must outlive the window; a line's own clock does).
    explicit SerialCommWindow(std::unique_ptr<SerialLine> line = nullptr, const Clock* clock = nullptr,
                              QWidget* parent = nullptr);
    ~SerialCommWindow() override;

    // Terminal
    bool openCommPort() override;
    std::string getCommport() override;
    std::string sendCommand(const std::string& cmd) override;
    bool linkLost() const override { return exchange_.linkLost(); }

    // Puts a device name into the port list and chooses a baud rate (the
    // simulated controller of a demonstration run). Empty texts leave a list
    // as it is.
    void presetPort(const QString& portText, const QString& baudText);

    bool operationRunning() const { return running_; }
    SerialLine& line() { return *line_; }

public slots:
    void openPort_Click();
    void closePort_Click();
    void clearButton_Click();
    void exitButton_Click();
    // A retrieve or store is running: the command line, the port buttons and
    // Exit wait for it, and the window cannot be discarded meanwhile.
    void setOperationRunning(bool running);

signals:
    // The port list's text changed, by editing or by choosing an item.
    void portChoiceChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void arrangeControls();
    void commandString_KeyPress();
    void appendResponse(const QString& line);
    void enablePortSettings(bool enable);
    // What the lists hold now.
    PortChoice currentChoice() const;
    // Performs Open; the outcome's message box is shown here.
    void performOpen();
    // The port went away under an exchange: back to the closed state.
    void dropLostPort();
    // Enabled states from the open state of the port and the running flag.
    void refreshStates();

    std::unique_ptr<SerialLine> line_;
    std::unique_ptr<Clock> ownClock_;
    const Clock* clock_;
    PortConnection connection_;
    Exchange exchange_;
    bool running_ = false;

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
    QLabel* label2_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    QPlainTextEdit* responseBox_ = nullptr;
    QLabel* lblTimeOut_ = nullptr;
    QLineEdit* timeOutBox_ = nullptr;
};

}  // namespace tarvelin
