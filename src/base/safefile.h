// Reading and writing the user's files (profiles, logs, results) so that a
// hostile path cannot hang the program or exhaust its memory, and a failed
// write never damages what the file held before.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "outcome.h"

namespace tarvelin {

// The most a profile may hold; a profile is a few kilobytes.
inline constexpr qint64 kLargestProfile = 1024 * 1024;

// The content of a regular file (links followed) of at most `limit` bytes.
// Anything else (a folder, a pipe, a device, a larger file) is refused at
// once, without waiting for it and without reading it. The failure
// (Unreadable) gives the reason, without the path.
Result<QByteArray> readSmallFile(const QString& path, qint64 limit);

// Writes `bytes` to `path` through a temporary file next to it, which takes
// the place of the old file only once every byte is written. An existing
// target that is not a regular file (a device such as /dev/full, a pipe, a
// folder) is refused: it must never be replaced by a file. The failure
// (WriteFailed) gives the reason, without the path; the old file is then as
// it was.
Result<void> writeFileAtomically(const QString& path, const QByteArray& bytes);

// Why nothing may be written at `path` (WriteFailed): it is a folder, or no
// regular file (a device, a pipe or a socket). A missing file may be made.
std::optional<Failure> refuseAsWriteTarget(const QString& path);

}  // namespace tarvelin
