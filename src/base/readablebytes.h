// Bytes of the line as readable text: the one table of control-character
// names in the program (the terminal's reply list, the command line's "send",
// the simulated controller's trace).
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace tarvelin {

// UTF-8 text of `bytes`: control characters named in angle brackets ("<ENQ>",
// "<CR>", "<LF>", "<DEL>"), so that a CR or LF inside a reply neither breaks
// the line nor vanishes; the invisible control range 128 to 159 as two hex
// digits ("<85>"); every other byte as its single-byte (Latin-1) character.
std::string readableBytes(std::string_view bytes);

// Text for a terminal: each control character named as readableBytes names
// it ("<ESC>"), except those in `keep` (a message's own "\n"); every other
// character as it is. A controller's text or a plan's cell can then neither
// steer the terminal nor hide a line.
QString readableText(const QString& text, const QString& keep = QString());

}  // namespace tarvelin
