// The message line of a configuration window (its `messageLabel`), and the
// window's "let pending events through" hook.
#pragma once

#include <QColor>
#include <QString>

namespace tarvelin {

inline const QColor kRed(255, 0, 0);
inline const QColor kBlue(0, 0, 192);

class MessageLine {
public:
    enum class Alignment { Left, Center };

    virtual ~MessageLine() = default;
    virtual QString caption() const = 0;
    virtual void setCaption(const QString& caption) = 0;
    virtual QColor color() const = 0;
    virtual void setColor(const QColor& color) = 0;
    virtual Alignment alignment() const = 0;
    virtual void setAlignment(Alignment alignment) = 0;
    // Lets the window repaint and handle what the user did meanwhile.
    virtual void processEvents() = 0;
};

}  // namespace tarvelin
