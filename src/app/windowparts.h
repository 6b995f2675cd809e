// Small helpers shared by the shell's dialogs.
#pragma once

#include <QFont>
#include <QLabel>
#include <QString>

#include "serial/ui/named.h"

namespace tarvelin {

// A plain-text label in the Arial typeface.
inline QLabel* makeArialLabel(const char* text, const char* name, int pointSize, bool bold, QWidget* parent) {
    auto* label = named(new QLabel(QString::fromLatin1(text), parent), name);
    label->setTextFormat(Qt::PlainText);
    QFont font(QStringLiteral("Arial"), pointSize);
    font.setBold(bold);
    label->setFont(font);
    return label;
}

}  // namespace tarvelin
