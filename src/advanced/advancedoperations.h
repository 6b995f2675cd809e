// Retrieve and store of the advanced block, walking the advanced memory map.
#pragma once

namespace tarvelin {

class Form;
class MemoryAccess;
class Directory;

// retrieveButton_Click of the advanced window.
void retrieveAdvancedParameters(Form& form, MemoryAccess& access, Directory& directory);

// updateParameters of the advanced window (after the confirmation).
void updateAdvancedParameters(Form& form, MemoryAccess& access, Directory& directory);

}  // namespace tarvelin
