// The few calls that differ between the systems the tool is built for.
// CMake compiles one of platform_posix.cpp and platform_windows.cpp; no other
// file of the tool (outside the simulated controller, which exists on POSIX
// systems only) calls the system directly.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <optional>
#include <string>

namespace tarvelin {

// Why a port could not be opened.
enum class OpenError {
    None,
    Busy,              // another program (or another name of the same adapter) holds it
    PermissionDenied,  // no right to open the device
    NoSuchDevice,      // nothing at that name
    NotSerialDevice,   // the name exists but is no serial device
    BadSettings,       // the device refused the line settings
    Other,
};

struct OpenResult {
    OpenError error = OpenError::None;
    std::string detail;  // the system's own words, if any
    bool ok() const { return error == OpenError::None; }
};

}  // namespace tarvelin

namespace tarvelin::platform {

// Why `device` cannot be opened, judged by looking at it: None when it looks
// like a character device this user may read and write, or when the system
// gives no way to tell before opening (then the open itself says why).
OpenError inspectDevice(const std::string& device);

// True when `stream` is an interactive terminal (a progress bar is drawn
// there; redirected output gets plain lines).
bool isTerminal(std::FILE* stream);

// What stands at a path (links followed).
enum class FileKind { Missing, Regular, Folder, Other };
FileKind fileKind(const QString& path);

// Equal for two paths of one file: its device and inode (links followed, hard
// links too) where it exists, else the canonical folder and the name.
QString fileIdentity(const QString& path);

// The content of the regular file at `path` (links followed), read without
// ever waiting for a writer: anything but a regular file is refused before it
// is read, and so is one larger than `limit` bytes (also one that grows past
// it while being read). Empty with `error` set (the reason, without the path).
std::optional<QByteArray> readRegularFile(const QString& path, qint64 limit, QString* error);

}  // namespace tarvelin::platform
