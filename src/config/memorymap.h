// Memory maps as data: one table per block, walked by retrieve and store.
//
// Each row is one control and the bytes behind it. Retrieve visits the rows in
// table order and reads their bytes one command each; store visits them in the
// same order and writes. A row's control changes only once all its bytes are
// read.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "base/outcome.h"

namespace tarvelin {

class Form;
class MemoryAccess;
class OperationContext;

enum class Encoding {
    Octet,        // one byte, plain decimal ("192"); 0..255
    Port,         // two bytes, high first; decimal with a leading blank (" 9080"); 0..65535
    Count,        // one byte, plain decimal; 0..255
    AccessLevel,  // one byte: list position + 49 ("1" is 49); other bytes leave the list alone
    ZeroByte,     // one byte written 0, never read
    FlagByte,     // the flag byte 566: its bits in the row's option pairs (see FlagBit)
    Text16,       // sixteen bytes of single-byte characters, zero-padded
    Word,         // two bytes, high first; shown w, or w - 65536 when w > 32768, with a leading blank
    SignedByte,   // one byte, decimal with a leading blank (" 3")
    MacOctet,     // one byte shown as upper-case hex without leading zero; never written
};

// One bit of the flag byte at 566 and the option pair that shows it: the
// pair's "Yes" (member 0) sets the bit, its "No" clears it. The byte is shared
// by both windows; each block's row names the bits that block owns (EnablePW 2
// in the basic block, Tarvelintrusted 4 and MBtrusted 16 in the advanced), and
// the bits nobody owns are kept as the program holds them.
struct FlagBit {
    QString pair;   // "EnablePW"
    int value;      // 2
    QString label;  // the question the window asks beside the pair: "Use Username/Password?"
};

struct Field {
    QString label;    // how messages name the field: "Gateway", "Trusted IP #3"
    QString control;  // the control: "gateway(3)", "svrport"; the flag byte's row names the
                      // box that shows the whole byte, or nothing (the basic window has none)
    Encoding encoding;
    std::int16_t address;  // the first byte
    std::int64_t low = 0;  // what a store accepts (numeric encodings)
    std::int64_t high = 255;
    std::vector<FlagBit> bits = {};  // the flag byte's row: the bits this block owns
    // The change rule the window runs when this box's text changes (the
    // block's rule, which looks at the control's name); null for none.
    void (*rule)(Form& form, const QString& control) = nullptr;

    int width() const;
    bool readable() const { return encoding != Encoding::ZeroByte; }
    bool writable() const { return encoding != Encoding::MacOctet; }
    // The addresses in the order they travel.
    std::vector<std::int16_t> addresses() const;
};

using MemoryMap = std::vector<Field>;

// Four rows for a dotted address: the leftmost box (index 3) at `first`.
void addOctets(MemoryMap& map, const QString& label, const QString& array, std::int16_t first);

// Puts the bytes of one row into its control.
void decodeInto(Form& form, const Field& field, const std::vector<int>& bytes);

// The flag byte a store of the block writes: `held` (the byte as the program
// holds it) with each bit the map's flag-byte row owns set or cleared by its
// option pair, and anything above the lowest eight bits cleared.
int composeFlagByte(const MemoryMap& map, const Form& form, int held);

// The bytes a store writes for one row; the flag-byte row is built by the
// window's own store (composeFlagByte) and is not handled here. Empty when
// the box's value does not fit (validate() reports that first).
std::optional<std::vector<int>> encodeFrom(const Form& form, const Field& field);

// The first value of the form that the map cannot store, as a message naming
// the field and the range ("Gateway: 300 is not between 0 and 255"); empty
// when every value fits.
std::optional<QString> validate(const Form& form, const MemoryMap& map);

// The same, with the row that cannot be stored (a window highlights its box).
struct Refusal {
    const Field* field;
    QString message;
};
std::optional<Refusal> firstRefusal(const Form& form, const MemoryMap& map);

// Reads every readable row in order into the form. Stops at the first failed
// read (its failure is on the message line already), or as Interrupted after
// the read at which the context asks to stop.
Result<void> retrieveMap(const MemoryMap& map, Form& form, MemoryAccess& access, std::int16_t id,
                         const OperationContext& context,
                         const std::function<void(const Field&, int byte)>& onFlagByte = {});

// What one written row holds, for the read-back.
struct WrittenRow {
    const Field* field;
    std::vector<int> bytes;
};

// Writes every writable row in order. `flagByte` gives the byte for the
// flag-byte row when its turn comes. Stops at the first failed write, or as
// Interrupted after the write at which the context asks to stop. Each row
// fully written is added to `written` when given.
Result<void> storeMap(const MemoryMap& map, const Form& form, MemoryAccess& access, std::int16_t id,
                      const OperationContext& context, const std::function<int()>& flagByte,
                      std::vector<WrittenRow>* written = nullptr);

// The field as a person names it: the label, and for one box of a dotted
// address or of the MAC ID which box from the left ("IP Address, octet 1" for
// IP(3), "MAC ID, octet 6" for MAC(0)).
QString spokenLabel(const Field& field);

// The row behind a control, or nullptr.
const Field* findField(const MemoryMap& map, const QString& control);

// The value of a row's bytes as a person reads it ("Press 8", "9080", "-1").
QString describeBytes(const Field& field, const std::vector<int>& bytes);

}  // namespace tarvelin
