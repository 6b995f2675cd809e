// How every control of the windows is named.
#pragma once

#include <QString>

namespace tarvelin {

// Every control carries its name twice: as the object name (for the program
// and its tests) and as the accessible description (for screen readers).
template <typename W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setAccessibleDescription(QString::fromLatin1(name));
    return widget;
}

}  // namespace tarvelin
