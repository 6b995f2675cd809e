// Choosing, opening and closing the one serial port.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "serialline.h"

namespace tarvelin {

// The system's own text for a port that cannot be opened; the reason follows
// on a line of its own.
inline constexpr const char* kOpenFailedText = "COM Port already openned by other applications";
inline constexpr const char* kChooseBaudText =
    "No baud rate is chosen. Choose one in Serial Setup (\"Baud Rate:\") first.";

// What the terminal's lists hold when Open is pressed.
struct PortChoice {
    std::string portText;      // text of the port list: "COM5" or a device name
    std::string baudText;      // chosen baud rate, empty when none is chosen
    std::string parityText;    // "None", "Even" or "Odd"
    std::string dataBitsText;  // "7" or "8"
    std::string stopBitsText;  // "1" or "2"
};

// Where a port-list text leads.
struct PortTarget {
    std::string device;  // what the line opens
    int comNumber = 0;   // 1.. for "COMn", 0 for a device typed by name
    std::string label;   // "COM 5" or the device, as the status line names it
};

using EnvLookup = std::function<std::optional<std::string>(const std::string&)>;
std::optional<std::string> systemEnvironment(const std::string& name);

// "COMn" opens /dev/ttyS(n-1) on Linux unless KORVEX_COMn names another
// device; any other text is a device name, links resolved to the real device
// so that two names of one adapter meet at one lock.
PortTarget resolvePort(const std::string& portText, const EnvLookup& env = systemEnvironment);

// "9600,N,8,1": baud, first letter of the parity, data bits, stop bits.
std::string settingsString(const PortChoice& choice);

// The second line of the open-failure message.
std::string openFailureReason(const OpenResult& result, const std::string& device);

class PortConnection {
public:
    explicit PortConnection(SerialLine& line, EnvLookup env = systemEnvironment);

    // What pressing Open did.
    struct OpenAttempt {
        enum Kind { Opened, AlreadyOpen, Refused } kind = Refused;
        std::string statusLine;  // "COM 5: Open at 9600,N,8,1" when Opened
        std::string message;     // message box text when Refused
    };

    OpenAttempt open(const PortChoice& choice);
    // Closes an open port; false when it was closed already.
    bool close();
    bool isOpen() const { return line_.isOpen(); }
    SerialLine& line() { return line_; }

private:
    SerialLine& line_;
    EnvLookup env_;
    std::string label_;
};

}  // namespace tarvelin
