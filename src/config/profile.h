// Settings profiles: the editable values of a configuration window, by
// control name, in a small JSON file the user can keep, edit and load into
// the windows or the command line.
//
//   {
//     "format": "tarvelin-configuration-profile",
//     "version": 1,
//     "basic":    { "IP(3)": "192", ..., "AccessLevel": 1, "EnablePW": "No" },
//     "advanced": { "TIP1(3)": "10", ..., "Tarvelintrusted": "Yes", "MovAvgNo": "3" },
//     "controller": { ... }      // written by a retrieve for information, ignored on load
//   }
//
// Box texts are JSON strings (numbers are accepted for numeric boxes);
// "AccessLevel" is 1, 2 or 3 (null: none chosen); option pairs are "Yes" or
// "No" (null: neither). The MAC ID, firmware version, port and the hidden flag
// byte are not part of a profile.
#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>

#include "base/outcome.h"
#include "memorymap.h"

namespace tarvelin {

class Form;

inline constexpr const char* kProfileFormat = "tarvelin-configuration-profile";
inline constexpr int kProfileVersion = 1;

// What a profile key holds: a box's text, the access level's list position,
// or the choice of an option pair (one bit of the flag byte).
enum class KeyKind { Text, Level, Pair };

struct ProfileKey {
    QString name;  // the control ("IP(3)", "AccessLevel") or the option pair ("EnablePW")
    KeyKind kind;
    const Field* field;  // the row behind it (for a pair, the flag byte's)
};

// The keys of a block's profile, in the order the block travels: every row
// the store writes, except the flag byte, for which the option pairs of its
// bits stand.
std::vector<ProfileKey> profileKeysOf(const MemoryMap& map);
QStringList profileKeys(const MemoryMap& map);
// The key `name` of the block; empty when the block has none.
std::optional<ProfileKey> findProfileKey(const MemoryMap& map, const QString& name);

// The block's values as the form holds them.
QJsonObject blockToJson(const Form& form, const MemoryMap& map);

// What is wrong with a profile or with a command line's overrides. A value
// of the right kind that the controller cannot store (a number out of range,
// a text too long or with a character that has no single-byte code) does not
// fit; anything else (an unknown key, a wrong type, a text that is not a
// whole decimal number in a numeric box, a control character in a text, a
// file that is no profile) makes the profile unreadable.
// Checks every key of a block strictly: profiles are our own format, so a
// value must be what its control holds. Numeric boxes take whole decimal
// numbers ("192", " 9080", "-45": a leading blank where the box shows one) or
// whole JSON numbers; texts hold no control characters. `block` is "basic" or
// "advanced" (for the messages). Empty when all is well.
// A failure is Refused (the value does not fit) or Unreadable (anything else).
std::optional<Failure> checkBlock(const QJsonObject& values, const MemoryMap& map, const QString& block);

// A whole decimal number as a retrieve writes it, the one rule for every
// numeric value of a profile, a plan or --set: digits, a minus sign in front,
// a leading blank where the box shows one (`blank`), and no leading zero.
bool wholeDecimal(const QString& text, bool blank);

// Puts a checked block into the form through its normal change rules. Keys
// the block does not name are left as they are.
void applyBlock(const QJsonObject& values, Form& form, const MemoryMap& map);

struct Profile {
    std::optional<QJsonObject> basic;
    std::optional<QJsonObject> advanced;
    QJsonObject controller;
};

// Reads and checks a whole profile file (a regular file of at most 1 MiB;
// anything else is refused without waiting for it). A block whose map is not
// given is only checked to be an object (a window checks its own block; the
// command line both).
Result<Profile> readProfile(const QString& path, const MemoryMap* basic, const MemoryMap* advanced);

// The JSON object a file holds, unchecked; empty when it cannot be read or
// holds no JSON object. Save Profile keeps what an existing file holds.
std::optional<QJsonObject> readProfileLoosely(const QString& path);

// The profile-file text of a profile.
QByteArray profileText(const Profile& profile);

// The profile-file text of `root` (an existing file's object) with `block`
// set to `values`: everything else the file held stays.
QByteArray profileTextWith(QJsonObject root, const QString& block, const QJsonObject& values);

}  // namespace tarvelin
