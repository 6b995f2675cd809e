#include "safefile.h"

#include <QSaveFile>
#include <cerrno>
#include <cstring>

#include "platform.h"

namespace tarvelin {

Result<QByteArray> readSmallFile(const QString& path, qint64 limit) {
    QString why;
    if (auto bytes = platform::readRegularFile(path, limit, &why)) return std::move(*bytes);
    return Failure{Outcome::Unreadable, why};
}

std::optional<Failure> refuseAsWriteTarget(const QString& path) {
    const auto fail = [](const QString& why) { return Failure{Outcome::WriteFailed, why}; };
    switch (platform::fileKind(path)) {
        case platform::FileKind::Folder:
            return fail(QStringLiteral("it is a folder, not a file"));
        case platform::FileKind::Other:
            return fail(QStringLiteral("it is not a regular file (a device, a pipe or a socket)"));
        case platform::FileKind::Missing:
        case platform::FileKind::Regular:
            break;
    }
    return std::nullopt;
}

Result<void> writeFileAtomically(const QString& path, const QByteArray& bytes) {
    const auto fail = [](const QString& why) { return Failure{Outcome::WriteFailed, why}; };
    // A device such as /dev/full, a pipe or a folder must never be replaced by a file.
    if (auto refused = refuseAsWriteTarget(path)) return *refused;
    // No direct-write fallback: a file that cannot be replaced whole is not written at all.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return fail(file.errorString());
    // commit() alone would put a temporary file in place that a full disk
    // cut short while its buffer was flushed: flush first and look.
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString why = errno ? QString::fromLocal8Bit(std::strerror(errno)) : file.errorString();
        file.cancelWriting();
        return fail(why);
    }
    if (!file.commit()) return fail(file.errorString());
    return {};
}

}  // namespace tarvelin
