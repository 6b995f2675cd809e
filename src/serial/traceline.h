// A wire trace: a serial line that writes down everything that passes
// through it, for whoever has to find out what went wrong on a line.
//
// One line of text per write and per read, as it happens:
//
//       0.000 open /dev/ttyUSB0 at 9600,N,8,1
//       0.412 sent <ENQ>
//       9.871 read <ENQ>
//      10.002 sent IR*<CR>
//      21.337 read IR01<CR>
//
// milliseconds since the trace began (monotonic), what happened, and the
// bytes as the terminal shows them. Several lines may trace into one file at
// once (the workers of a scan); each then names its port before what
// happened ("COM3: sent <ENQ>"). Each line reaches the file before the call
// returns (a crash leaves everything before it); the file is appended to,
// never replaced.
#pragma once

#include <QFile>
#include <QString>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "base/outcome.h"
#include "serialline.h"

namespace tarvelin {

// The time stamp in front of a line of the trace: `microseconds` since the
// trace began as milliseconds with three decimals, six digits before the
// point at least, and a blank ("    12.345 "). Written into `stamp`, without
// allocating; gives its length.
int writeTraceStamp(long long microseconds, char (&stamp)[32]);

// The file a trace goes to; its lines may come from any thread.
class TraceFile {
public:
    // The file at `path`: a regular file, made when missing. The failure
    // (WriteFailed) gives the reason, without the path.
    static Result<std::shared_ptr<TraceFile>> open(const QString& path);

    // Writes one line of the trace, put together in `buffer` (kept by the
    // caller from line to line): the time, `label` and a colon when there is
    // one, `what`, and `text` when there is some.
    void note(std::string& buffer, const std::string& label, const char* what, const std::string& text);
    // Why a line could not be written (the first time); empty while every
    // line was.
    std::optional<QString> writeFailure() const;

private:
    TraceFile() = default;

    mutable std::mutex mutex_;
    QFile file_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::optional<QString> failure_;
};

class TraceLine final : public SerialLine {
public:
    // Traces `inner` (which must outlive the trace, unless adopted) into
    // `file`; `label`, when given, goes in front of each line of the trace.
    TraceLine(SerialLine& inner, std::shared_ptr<TraceFile> file, std::string label = {});
    // Traces `inner` into a trace file of its own at `path` (see TraceFile::open).
    static Result<std::unique_ptr<TraceLine>> open(SerialLine& inner, const QString& path);
    // The trace owns the line it traces from now on.
    void adopt(std::unique_ptr<SerialLine> inner) { owned_ = std::move(inner); }

    std::optional<QString> writeFailure() const { return file_->writeFailure(); }

    void setDevice(const std::string& device) override { inner_.setDevice(device); }
    std::string device() const override { return inner_.device(); }
    bool setSettings(const std::string& settings) override { return inner_.setSettings(settings); }
    std::string settings() const override { return inner_.settings(); }
    OpenResult open() override;
    void close() override;
    bool isOpen() const override { return inner_.isOpen(); }
    bool write(const std::string& bytes) override;
    std::string takeAll() override;
    void waitForData(int timeoutMs) override { inner_.waitForData(timeoutMs); }
    bool lost() const override { return inner_.lost(); }

private:
    void note(const char* what, const std::string& text) { file_->note(line_, label_, what, text); }

    SerialLine& inner_;
    std::unique_ptr<SerialLine> owned_;
    std::shared_ptr<TraceFile> file_;
    std::string label_;
    std::string line_;  // the line being written
};

}  // namespace tarvelin
