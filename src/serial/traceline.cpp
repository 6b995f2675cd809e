#include "traceline.h"

#include <cstdio>

#include "base/platform.h"
#include "base/readablebytes.h"
#include "base/safefile.h"

namespace tarvelin {

Result<std::unique_ptr<TraceLine>> TraceLine::open(SerialLine& inner, const QString& path) {
    // Nothing that could block an open (a pipe) or is no file at all.
    if (auto refused = refuseAsWriteTarget(path)) return *refused;
    std::unique_ptr<TraceLine> trace(new TraceLine(inner));
    trace->file_.setFileName(path);
    if (!trace->file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return Failure{Outcome::WriteFailed, trace->file_.errorString()};
    trace->note("trace begins", std::string());
    if (trace->failure_) return Failure{Outcome::WriteFailed, *trace->failure_};
    return trace;
}

void TraceLine::note(const char* what, const std::string& text) {
    const long long us =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start_)
            .count();
    // The line is put together in one buffer kept from line to line: no
    // allocation and no floating point on the way of an exchange.
    char stamp[32];
    const int n = std::snprintf(stamp, sizeof stamp, "%6lld.%03lld ", us / 1000, us % 1000);
    line_.assign(stamp, static_cast<std::size_t>(n));
    line_ += what;
    if (!text.empty()) line_.append(1, ' ').append(text);
    line_ += '\n';
    // Unbuffered: one write straight to the file, before the call returns.
    const auto size = static_cast<qint64>(line_.size());
    if (file_.write(line_.data(), size) != size && !failure_) failure_ = file_.errorString();
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

std::unique_ptr<SerialLine> traceInto(std::unique_ptr<SerialLine> line, const QString& path) {
    if (path.isEmpty()) return line;
    auto trace = TraceLine::open(*line, path);
    if (!trace) {
        std::fprintf(stderr, "Cannot write the trace %s: %s\n", qPrintable(path),
                     qPrintable(trace.failure().message));
        return line;
    }
    (*trace)->adopt(std::move(line));
    return std::move(*trace);
}

}  // namespace tarvelin
