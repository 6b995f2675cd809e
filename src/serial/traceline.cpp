#include "traceline.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/readablebytes.h"
#include "base/safefile.h"

namespace tarvelin {

Result<std::shared_ptr<TraceFile>> TraceFile::open(const QString& path) {
    // Nothing that could block an open (a pipe) or is no file at all.
    if (auto refused = refuseAsWriteTarget(path)) return *refused;
    std::shared_ptr<TraceFile> trace(new TraceFile);
    trace->file_.setFileName(path);
    if (!trace->file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return Failure{Outcome::WriteFailed, trace->file_.errorString()};
    std::string line;
    trace->note(line, std::string(), "trace begins", std::string());
    if (auto failure = trace->writeFailure()) return Failure{Outcome::WriteFailed, *failure};
    return trace;
}

int writeTraceStamp(long long microseconds, char (&stamp)[32]) {
    // No allocation and no floating point on the way of an exchange.
    return std::snprintf(stamp, sizeof stamp, "%6lld.%03lld ", microseconds / 1000, microseconds % 1000);
}

void TraceFile::note(std::string& buffer, const std::string& label, const char* what,
                     const std::string& text) {
    // Held from the time stamp on, so that the file's times never go back.
    std::lock_guard lock(mutex_);
    const long long us =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start_)
            .count();
    char stamp[32];
    buffer.assign(stamp, static_cast<std::size_t>(writeTraceStamp(us, stamp)));
    if (!label.empty()) buffer.append(label).append(": ");
    buffer += what;
    if (!text.empty()) buffer.append(1, ' ').append(text);
    buffer += '\n';
    const auto size = static_cast<qint64>(buffer.size());
    // Unbuffered: one write straight to the file, before the call returns. A
    // write cut short (the disk full) sets no error of the file's: the rest
    // written again fails with the system's reason.
    errno = 0;
    qint64 written = file_.write(buffer.data(), size);
    if (written >= 0 && written < size) {
        const qint64 more = file_.write(buffer.data() + written, size - written);
        written += std::max<qint64>(more, 0);
    }
    if (written == size || failure_) return;
    failure_ = file_.error() != QFileDevice::NoError || !errno ? file_.errorString()
                                                               : QString::fromLocal8Bit(std::strerror(errno));
}

std::optional<QString> TraceFile::writeFailure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

TraceLine::TraceLine(SerialLine& inner, std::shared_ptr<TraceFile> file, std::string label)
    : inner_(inner), file_(std::move(file)), label_(std::move(label)) {}

Result<std::unique_ptr<TraceLine>> TraceLine::open(SerialLine& inner, const QString& path) {
    auto file = TraceFile::open(path);
    if (!file) return file.failure();
    return std::make_unique<TraceLine>(inner, std::move(*file));
}

OpenResult TraceLine::open() {
    const OpenResult result = inner_.open();
    std::string text = inner_.device() + " at " + inner_.settings();
    if (!result.ok())
        text += ": failed" + (result.detail.empty() ? std::string() : " (" + result.detail + ")");
    note("open", text);
    return result;
}

void TraceLine::close() {
    if (inner_.isOpen()) note("close", std::string());
    inner_.close();
}

bool TraceLine::write(const std::string& bytes) {
    const bool ok = inner_.write(bytes);
    note(ok ? "sent" : "not sent", readableBytes(bytes));
    return ok;
}

std::string TraceLine::takeAll() {
    std::string bytes = inner_.takeAll();
    if (!bytes.empty()) note("read", readableBytes(bytes));
    return bytes;
}

}  // namespace tarvelin
