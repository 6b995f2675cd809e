// Pictures of every window, for the documentation.
#pragma once

#include <QString>

namespace tarvelin {

class WindowRegistry;

// Shows each window in turn (about box, main window, advanced window,
// terminal, the terminal after Find Controller, confirmation) and saves a PNG of each into `directory`. With
// a controller on the line, the configuration windows are first filled by a retrieve and the terminal holds a
// reply. Returns the number of pictures that could not be saved.
int takeScreenshots(WindowRegistry& registry, const QString& directory, bool controllerOnLine);

}  // namespace tarvelin
