// Replies as the terminal lists them: control characters made visible.
#pragma once

#include <QString>
#include <string>

namespace tarvelin {

// The bytes of a reply as a line of the reply list. Control characters are
// named in angle brackets ("<ENQ>", "<CR>", "<LF>", "<DEL>"), so that a CR or
// LF inside a reply neither breaks the line nor vanishes; the invisible
// control range 128 to 159 is shown as two hex digits ("<85>"); every other
// byte is its single-byte (Latin-1) character.
QString readableReply(const std::string& bytes);

}  // namespace tarvelin
