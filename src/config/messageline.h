// The message line of a configuration window (its `messageLabel`), and the
// window's "let pending events through" hook.
#pragma once

#include <QString>

namespace tarvelin {

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

}  // namespace tarvelin
