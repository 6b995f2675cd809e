// The message line of a configuration window (its `messageLabel`), the
// window's "let pending events through" hook, and how an outcome shows there.
#pragma once

#include <QString>

#include "base/outcome.h"

namespace tarvelin {

inline constexpr const char* kNoResponseText = "No Response from Device!";
inline constexpr const char* kInvalidResponseText = "Invalid response from Device!";
inline constexpr const char* kRetrievedText = "Successfully Retrieved Setup Data";
inline constexpr const char* kStoredText = "Setup Data Stored to Device";
inline constexpr const char* kLinkLostText =
    "No Response from Device! The serial port went away (cable or adapter unplugged?)";
inline constexpr const char* kSendFailedText =
    "The command could not be sent: the serial port refused the write";

// A text colour as red, green and blue (the protocol core draws nothing).
struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kBlue{0, 0, 192};

class MessageLine {
public:
    enum class Alignment { Left, Center };

    virtual ~MessageLine() = default;
    virtual QString caption() const = 0;
    virtual void setCaption(const QString& caption) = 0;
    virtual Rgb color() const = 0;
    virtual void setColor(const Rgb& color) = 0;
    virtual Alignment alignment() const = 0;
    virtual void setAlignment(Alignment alignment) = 0;
    // Lets the window repaint and handle what the user did meanwhile.
    virtual void processEvents() = 0;
    // The system beep that goes with a failure ("No Response from Device!").
    virtual void beep() = 0;
};

// Puts an outcome on the message line: its caption, colour and beep.
//  - Success: `text` (what was done) in blue, centred.
//  - Refused, VerifyMismatch: `text` (what the tool refuses, the difference)
//    in red, centred, with a beep.
//  - NoResponse, LineLost, SendFailed: their own caption in red, with a beep.
//  - InvalidResponse, OutOfStep, Echo: "Invalid response from Device!" in
//    the colour the line has, without a beep.
//  - Anything else shows nothing here: a busy tool does nothing, a port that
//    cannot be opened has its message box, an interrupted operation leaves
//    the line as it was.
void showOutcome(MessageLine& line, Outcome outcome, const QString& text = {});

// The line as an operation begins: blank, blue.
void clearMessageLine(MessageLine& line);

}  // namespace tarvelin
