// Small file helpers of the tests.
#pragma once

#include <QFile>
#include <cstdio>
#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

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

#ifndef _WIN32
// Files may grow to 512 bytes only while `on`: a full disk (with SIGXFSZ
// ignored, a write beyond it fails).
inline void setDiskFull(bool on) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = on ? 512 : limit.rlim_max;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}
#endif

}  // namespace tarvelin::test
