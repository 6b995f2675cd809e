// Replies as the terminal lists them: control characters made visible.
#pragma once

#include <QString>
#include <string>

namespace tarvelin {

// The bytes of a reply as a line of the reply list (see readableBytes).
QString readableReply(const std::string& bytes);

}  // namespace tarvelin
