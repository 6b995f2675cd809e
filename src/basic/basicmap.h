// The basic block of configuration memory (520..681) and the controls of the
// basic window that show it, in the order retrieve and store travel.
#pragma once

#include "config/memorymap.h"

namespace tarvelin {

// Address of the configuration flag byte shared with the advanced window.
inline constexpr std::int16_t kFlagByteAddress = 566;

const MemoryMap& basicMap();

}  // namespace tarvelin
