#include <io.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include "platform.h"

namespace tarvelin::platform {

// "COM5" names no file to look at: QSerialPort's open says what is wrong.
OpenError inspectDevice(const std::string&) {
    return OpenError::None;
}

bool isTerminal(std::FILE* stream) {
    return stream && ::_isatty(::_fileno(stream));
}

FileKind fileKind(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) return FileKind::Missing;
    if (info.isFile()) return FileKind::Regular;
    return info.isDir() ? FileKind::Folder : FileKind::Other;
}

QString fileIdentity(const QString& path) {
    const QFileInfo file(path);
    if (file.exists()) return QStringLiteral("file ") + file.canonicalFilePath().toLower();
    const QString folder = file.absoluteDir().canonicalPath();
    return QStringLiteral("new ") +
           (folder.isEmpty() ? file.absoluteFilePath() : folder + "/" + file.fileName()).toLower();
}

std::optional<QByteArray> readRegularFile(const QString& path, qint64 limit, QString* error) {
    const auto fail = [&](const QString& why) -> std::optional<QByteArray> {
        if (error) *error = why;
        return std::nullopt;
    };
    const auto tooLarge = [&] {
        return fail(QStringLiteral("the file is larger than %1")
                        .arg(QLocale::c().formattedDataSize(limit, 0, QLocale::DataSizeIecFormat)));
    };
    switch (fileKind(path)) {
        case FileKind::Missing:
            return fail(QStringLiteral("No such file or directory"));
        case FileKind::Folder:
            return fail(QStringLiteral("it is a folder, not a file"));
        case FileKind::Other:
            return fail(QStringLiteral("it is not a regular file (a device, a pipe or a socket)"));
        case FileKind::Regular:
            break;
    }
    QFile file(path);
    if (file.size() > limit) return tooLarge();
    if (!file.open(QIODevice::ReadOnly)) return fail(file.errorString());
    QByteArray bytes = file.read(limit + 1);
    if (bytes.size() > limit) return tooLarge();
    return bytes;
}

}  // namespace tarvelin::platform
