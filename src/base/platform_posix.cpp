#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <cerrno>
#include <cstring>

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

namespace {

QString lastError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Why a file of this kind is no file to read; empty for a regular file.
QString kindProblem(mode_t mode) {
    if (S_ISREG(mode)) return {};
    if (S_ISDIR(mode)) return QStringLiteral("it is a folder, not a file");
    return QStringLiteral("it is not a regular file (a device, a pipe or a socket)");
}

QString tooLarge(qint64 limit) {
    return QStringLiteral("the file is larger than %1")
        .arg(QLocale::c().formattedDataSize(limit, 0, QLocale::DataSizeIecFormat));
}

}  // namespace

FileKind fileKind(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) return FileKind::Missing;
    if (S_ISREG(info.st_mode)) return FileKind::Regular;
    return S_ISDIR(info.st_mode) ? FileKind::Folder : FileKind::Other;
}

QString fileIdentity(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) == 0)
        return QStringLiteral("file %1:%2").arg(info.st_dev).arg(info.st_ino);
    const QFileInfo file(path);
    const QString folder = file.absoluteDir().canonicalPath();
    return QStringLiteral("new ") +
           (folder.isEmpty() ? file.absoluteFilePath() : folder + "/" + file.fileName());
}

std::optional<QByteArray> readRegularFile(const QString& path, qint64 limit, QString* error) {
    const auto fail = [&](const QString& why) -> std::optional<QByteArray> {
        if (error) *error = why;
        return std::nullopt;
    };
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    // Look before opening: a device is not even opened, a pipe not waited for.
    if (::stat(native.constData(), &info) != 0) return fail(lastError());
    if (QString why = kindProblem(info.st_mode); !why.isEmpty()) return fail(why);
    if (info.st_size > limit) return fail(tooLarge(limit));

    // The path may have changed since: open without waiting and look again.
    int fd;
    do fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return fail(lastError());
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &info) != 0) return fail(lastError());
    if (QString why = kindProblem(info.st_mode); !why.isEmpty()) return fail(why);

    QByteArray bytes;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(lastError());
        if (n == 0) break;
        bytes.append(buffer, static_cast<qsizetype>(n));
        if (bytes.size() > limit) return fail(tooLarge(limit));  // it grew while being read
    }
    return bytes;
}

}  // namespace tarvelin::platform
