// Small helpers shared by the shell's dialogs.
#pragma once

#include <QFont>
#include <QLabel>
#include <QString>

namespace tarvelin {

// Every control carries its name as object name and as accessible description.
template <typename W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setAccessibleDescription(QString::fromLatin1(name));
    return widget;
}

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
