// Small file helpers of the tests.
#pragma once

#include <QFile>
#include <cstdio>

namespace tarvelin::test {

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// All a temporary file holds, which is closed then.
inline QByteArray drain(std::FILE* f) {
    std::rewind(f);
    QFile file;
    QByteArray bytes = file.open(f, QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    file.close();
    std::fclose(f);
    return bytes;
}

}  // namespace tarvelin::test
