// The message line of a configuration window over its `messageLabel`.
#pragma once

#include "messageline.h"

class QLabel;

namespace tarvelin {

class LabelMessageLine final : public MessageLine {
public:
    // `label` belongs to the window and outlives this object.
    explicit LabelMessageLine(QLabel& label);

    QString caption() const override;
    void setCaption(const QString& caption) override;
    // The colour of the text.
    QColor color() const override;
    void setColor(const QColor& color) override;
    Alignment alignment() const override;
    void setAlignment(Alignment alignment) override;
    void processEvents() override;

private:
    QLabel& label_;
};

}  // namespace tarvelin
