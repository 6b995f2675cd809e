// The terminal's "Timeout (ms)" box as the waits of an exchange.
//
// The box is read leniently, as every box of the tool: its leading number,
// rounded to whole milliseconds (half to even), a day at most. One number
// serves both waits; a number below 1, or a text that holds none, leaves each
// wait at its own default: 1000 ms for the controller's ENQ, 500 ms for the
// reply.
#pragma once

#include <string>

#include "exchange.h"

namespace tarvelin {

inline constexpr int kEnqDefaultMs = 1000;
inline constexpr int kReplyDefaultMs = 500;

// The box's text as milliseconds; `fallbackMs` below 1 or without a number.
int timeoutBoxMs(const std::string& text, int fallbackMs);

// Both waits as the box gives them.
ExchangeTimes timesFromBox(const std::string& text);

}  // namespace tarvelin
