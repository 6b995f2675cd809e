// Retrieve and store of the basic block, walking the basic memory map.
#pragma once

#include "config/operations.h"

namespace tarvelin {

class Form;
class MemoryAccess;
class Directory;

// retrieveButton_Click of the basic window: the firmware version and the whole
// basic block into the form.
Outcome retrieveBasicParameters(Form& form, MemoryAccess& access, Directory& directory);

// updateParameters of the basic window: the whole basic block from the form
// to the controller (after the confirmation).
Outcome updateBasicParameters(Form& form, MemoryAccess& access, Directory& directory);

}  // namespace tarvelin
