#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform.h"

namespace tarvelin::platform {

OpenError inspectDevice(const std::string& device) {
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0)
        return errno == EACCES ? OpenError::PermissionDenied : OpenError::NoSuchDevice;
    if (!S_ISCHR(st.st_mode)) return OpenError::NotSerialDevice;
    if (::access(device.c_str(), R_OK | W_OK) != 0)
        return errno == EACCES || errno == EPERM ? OpenError::PermissionDenied : OpenError::Other;
    return OpenError::None;
}

bool isTerminal(std::FILE* stream) {
    return stream && ::isatty(::fileno(stream));
}

}  // namespace tarvelin::platform
