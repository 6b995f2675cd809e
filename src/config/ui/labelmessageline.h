// The message line of a configuration window over its `messageLabel`.
#pragma once

#include "config/messageline.h"

class QLabel;

namespace tarvelin {

class Notifier;

class LabelMessageLine final : public MessageLine {
public:
    // `label` belongs to the window and outlives this object, as `notifier`
    // does, which beeps for it.
    LabelMessageLine(QLabel& label, Notifier& notifier);

    QString caption() const override;
    void setCaption(const QString& caption) override;
    // The colour of the text.
    Rgb color() const override;
    void setColor(const Rgb& color) override;
    Alignment alignment() const override;
    void setAlignment(Alignment alignment) override;
    void processEvents() override;
    // Through the notifier, so that tests can count it.
    void beep() override;

private:
    QLabel& label_;
    Notifier& notifier_;
};

}  // namespace tarvelin
