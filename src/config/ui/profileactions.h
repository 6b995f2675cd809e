// "Save Profile..." and "Load Profile..." of the configuration windows.
#pragma once

#include <functional>

#include "config/memorymap.h"

class QBoxLayout;
class QWidget;

namespace tarvelin {

class Form;
class Notifier;
class WidgetForm;

enum class Block { Basic, Advanced };

// Asks for a file and writes this window's block into it. Whatever else an
// existing file at that path holds is kept. A failed write shows a box and
// leaves the old file as it was.
void saveProfileFromWindow(Notifier& notifier, QWidget* window, const Form& form, Block block,
                           const MemoryMap& map);

// Asks for a profile and loads this window's block into the form. The whole
// file is checked first; on any problem a message box names it and nothing
// changes. True when the form was changed.
bool loadProfileIntoWindow(Notifier& notifier, QWidget* window, Form& form, Block block,
                           const MemoryMap& map);

// The row of a configuration window that carries "Load Profile...", "Save
// Profile..." and the "Verify after save" check box (unticked), wired to the
// two operations above, which ask and answer through `notifier`. The
// controls join `form` as "LoadProfile", "SaveProfile" and "VerifyAfterSave".
// `loaded` runs after a profile changed the form.
QBoxLayout* makeProfileRow(Notifier& notifier, QWidget* window, WidgetForm& form, Block block,
                           const MemoryMap& map, std::function<void()> loaded = {});

}  // namespace tarvelin
