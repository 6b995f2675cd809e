// The basic block of configuration memory (520..681) and the controls of the
// basic window that show it, in the order retrieve and store travel.
#pragma once

#include "config/korvex.h"
#include "config/memorymap.h"

namespace tarvelin {

const MemoryMap& basicMap();

}  // namespace tarvelin
