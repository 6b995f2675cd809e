// Retrieve and store of the advanced block, walking the advanced memory map.
#pragma once

#include "config/operations.h"

namespace tarvelin {

class Form;
class MemoryAccess;
class Directory;

// retrieveButton_Click of the advanced window.
Outcome retrieveAdvancedParameters(Form& form, MemoryAccess& access, Directory& directory);

// updateParameters of the advanced window (after the confirmation).
Outcome updateAdvancedParameters(Form& form, MemoryAccess& access, Directory& directory);

}  // namespace tarvelin
