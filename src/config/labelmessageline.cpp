#include "labelmessageline.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPalette>

namespace tarvelin {

LabelMessageLine::LabelMessageLine(QLabel& label) : label_(label) {}

QString LabelMessageLine::caption() const {
    return label_.text();
}

void LabelMessageLine::setCaption(const QString& caption) {
    label_.setText(caption);
}

QColor LabelMessageLine::color() const {
    return label_.palette().color(QPalette::WindowText);
}

void LabelMessageLine::setColor(const QColor& color) {
    QPalette palette = label_.palette();
    palette.setColor(QPalette::WindowText, color);
    label_.setPalette(palette);
}

MessageLine::Alignment LabelMessageLine::alignment() const {
    return (label_.alignment() & Qt::AlignHCenter) ? Alignment::Center : Alignment::Left;
}

void LabelMessageLine::setAlignment(Alignment alignment) {
    const Qt::Alignment horizontal = alignment == Alignment::Center ? Qt::AlignHCenter : Qt::AlignLeft;
    label_.setAlignment(horizontal | Qt::AlignVCenter);
}

void LabelMessageLine::processEvents() {
    QCoreApplication::processEvents();
}

}  // namespace tarvelin
