// The advanced block of configuration memory (566..705) and the MAC ID
// (0xFF10..0xFF15), with the controls of the advanced window, in the order
// retrieve and store travel.
#pragma once

#include "config/memorymap.h"

namespace tarvelin {

const MemoryMap& advancedMap();

}  // namespace tarvelin
