// The controller's replies: what the tool accepts, what it refuses, and what
// it reads out of them. The one place these rules live: the exchange, memory
// access, the scan and the commissioning loop all ask here.
//
// A controller fixes only a few things about its replies: an ENQ answers an
// ENQ; a reply ends in CR (or CR LF, or LF); an "IR*" reply begins "IR" and
// the station ID; a framed reply begins with the frame's first four
// characters ("@", the station ID, "M"), and an "MR" reply carries the byte in
// characters 6 and 7. Everything after that is the controller's own: whether
// it repeats the command, adds an end code, closes with an FCS and "*".
//
// Reply styles accepted (station 01; FCS: the two check digits; line end CR,
// CR LF or LF, removed by the exchange):
//
// | style                          | "MR020C"           | "MW020CC0"          | "MENABLE", the reboot     |
// |--------------------------------|--------------------|---------------------|---------------------------|
// | short acknowledgement          | @01MRC0 FCS *      | @01MW FCS *         | @01ME FCS *, @01Mw FCS *  |
// | the request repeated           | @01MRC0 FCS *      | @01MW020CC0 FCS *   | @01MENABLE FCS *, ...     |
// | end code after the command     | @01MRC000 FCS *    | @01MW00 FCS *       | @01MENABLE00 FCS *, ...   |
// | no FCS and no "*"              | @01MRC0            | @01MW               | @01ME, @01Mw              |
// | lower-case data and FCS digits | @01MRc0 fcs *      | @01MW fcs *         | as short                  |
// | characters after the data byte | @01MRC0 020C FCS * | as short            | as short                  |
//
// "IR*" is answered "IR01" or "IR01*" (station digits in either case); "VM*"
// by "VM" and the firmware version, which is characters 3 to 12 of the reply:
// a longer reply is cut there, a shorter one shown as it is.
//
// Refused, and why:
// | reply                                        | outcome         | why |
// |----------------------------------------------|-----------------|------------------------------------------------|
// | first four characters differ ("@02M", "@01m")| InvalidResponse | another station, or not an answer to
// "M..."    | | "MR"/"MW" reply whose fifth letter differs   | InvalidResponse | an answer to another command
// | | "MR" reply without two hex digits at 6 and 7 | InvalidResponse | the byte is damaged | | FCS and "*"
// present, FCS wrong              | InvalidResponse | the reply was damaged on the line              | | "MR"
// reply equal to the request              | Echo            | a real reply has the byte where the address is
// | | "IR*" answered by "IR*"                      | Echo            | a real reply has two station digits |
// | a CR or LF inside the reply                  | OutOfStep       | two replies gathered as one | | anything
// waiting before a command            | OutOfStep       | a reply to no command of ours (memory access)  |
//
// A repeated request is a genuine acknowledgement for "MW", "MENABLE" and the
// reboot. A loopback plug or an echoing converter is still caught before
// anything is written: every operation begins with "IR*", and an echoing
// converter leaves the controller's own reply behind its echo, which the
// out-of-step check before the next command finds.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/outcome.h"

namespace tarvelin {

inline constexpr char kENQ = '\x05';
inline constexpr char kCR = '\r';
inline constexpr char kLF = '\n';

}  // namespace tarvelin

namespace tarvelin::hostlink {

// Whether one read answers the ENQ call: ENQ and nothing else. Several ENQs
// count too: an echoing converter sends our own ENQ back ahead of the
// controller's, and both may come in one read.
bool answersEnq(std::string_view read);

// Whether `reply` is `request` sent back (after any ENQ that came back from
// our own ENQ call): what a loopback plug or an echoing converter does.
bool isEcho(std::string_view reply, std::string_view request);

// Whether `reply` (without its line end) answers the framed `request`:
// Success, InvalidResponse, Echo or OutOfStep (see the tables above). An
// empty reply is NoResponse.
Outcome confirm(std::string_view request, std::string_view reply);

// The byte an accepted "MR" reply carries in characters 6 and 7.
int dataByte(std::string_view reply);

// The reply to "IR*": the station ID, or why there is none.
struct Identification {
    Outcome outcome = Outcome::NoResponse;  // Success, NoResponse (empty, or no "IR"), InvalidResponse, Echo
    int station = -1;                       // 0..255 when Success
};
Identification identify(std::string_view reply);

// The firmware version in the reply to "VM*": characters 3 to 12.
std::string firmwareOf(std::string_view reply);

}  // namespace tarvelin::hostlink
