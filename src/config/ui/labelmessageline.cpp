#include "labelmessageline.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPalette>

#include "config/ui/readablecolour.h"
#include "serial/ui/notifier.h"

namespace tarvelin {

LabelMessageLine::LabelMessageLine(QLabel& label, Notifier& notifier) : label_(label), notifier_(notifier) {}

QString LabelMessageLine::caption() const {
    return label_.text();
}

void LabelMessageLine::setCaption(const QString& caption) {
    label_.setText(caption);
}

Rgb LabelMessageLine::color() const {
    // The colour the line was given, not the variant a dark palette shows.
    QColor c = look::intendedTextColor(&label_);
    if (!c.isValid()) c = label_.palette().color(QPalette::WindowText);
    return {c.red(), c.green(), c.blue()};
}

void LabelMessageLine::setColor(const Rgb& color) {
    look::setTextColor(&label_, QColor(color.red, color.green, color.blue));
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

void LabelMessageLine::beep() {
    notifier_.beep();
}

}  // namespace tarvelin
