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
// bytes as the terminal shows them. Each line reaches the file before the
// call returns (a crash leaves everything before it); the file is appended
// to, never replaced.
#pragma once

#include <QFile>
#include <QString>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "base/outcome.h"
#include "serialline.h"

namespace tarvelin {

class TraceLine final : public SerialLine {
public:
    // Traces `inner` (which must outlive the trace, unless adopted) into the
    // file at `path`: a regular file, made when missing. The failure
    // (WriteFailed) gives the reason, without the path.
    static Result<std::unique_ptr<TraceLine>> open(SerialLine& inner, const QString& path);
    // The trace owns the line it traces from now on.
    void adopt(std::unique_ptr<SerialLine> inner) { owned_ = std::move(inner); }

    // Why a line of the trace could not be written (the first time); empty
    // while every line was.
    const std::optional<QString>& writeFailure() const { return failure_; }

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
    explicit TraceLine(SerialLine& inner) : inner_(inner) {}
    void note(const char* what, const std::string& text);

    SerialLine& inner_;
    std::unique_ptr<SerialLine> owned_;
    QFile file_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::optional<QString> failure_;
    std::string line_;  // the line being written
};

// The line of the windows traced into the file at `path` (the shell reads
// TARVELIN_TRACE); an empty path leaves it as it is. A trace that cannot be
// written is said on standard error and the line is used untraced.
std::unique_ptr<SerialLine> traceInto(std::unique_ptr<SerialLine> line, const QString& path);

}  // namespace tarvelin
