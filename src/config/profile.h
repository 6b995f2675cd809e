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

#include "memorymap.h"

namespace tarvelin {

class Form;

inline constexpr const char* kProfileFormat = "tarvelin-configuration-profile";
inline constexpr int kProfileVersion = 1;

// The keys of a block's profile, in the order the block travels.
QStringList profileKeys(const MemoryMap& map);

// The block's values as the form holds them.
QJsonObject blockToJson(const Form& form, const MemoryMap& map);

// Checks every key of a block: unknown keys, wrong types, values that do not
// fit. The first problem as a message naming the key, or empty when all is
// well. `block` is "basic" or "advanced" (for the messages).
std::optional<QString> checkBlock(const QJsonObject& values, const MemoryMap& map, const QString& block);

// Puts a checked block into the form through its normal change rules. Keys
// the block does not name are left as they are.
void applyBlock(const QJsonObject& values, Form& form, const MemoryMap& map);

struct Profile {
    std::optional<QJsonObject> basic;
    std::optional<QJsonObject> advanced;
    QJsonObject controller;
};

// Reads and checks a whole profile file; the error names the file and key.
// `refused` tells a value that does not fit (or a wrong type, or an unknown
// key) apart from a file that cannot be read or is no profile.
// A block whose map is not given is only checked to be an object (a window
// checks its own block; the command line both).
std::optional<Profile> readProfile(const QString& path, const MemoryMap* basic, const MemoryMap* advanced,
                                   QString* error, bool* refused = nullptr);
// Writes the profile; false with `error` set when the file cannot be written.
bool writeProfile(const QString& path, const Profile& profile, QString* error);

// The profile-file text of a profile (what writeProfile writes).
QByteArray profileText(const Profile& profile);

}  // namespace tarvelin
