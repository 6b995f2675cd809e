// What the commands on the serial line share: the line (traced when asked),
// the terminal over it, the window objects without windows, and the streams.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <memory>
#include <optional>

#include "clioptions.h"
#include "commissioning/headlessdirectory.h"
#include "serial/linefactory.h"
#include "serial/lineterminal.h"

namespace tarvelin::cli {

class Session {
public:
    // The port, baud rate and time-out of the options, on a line of `lines`.
    Session(const Options& options, const LineFactory& lines, std::FILE* out, std::FILE* err, std::FILE* in);

    LineTerminal& terminal() { return *terminal_; }
    const Clock& clock() const { return clock_; }
    HeadlessDirectory& directory() { return *directory_; }
    std::FILE* out() const { return out_; }
    std::FILE* err() const { return err_; }
    std::FILE* in() const { return in_; }

    // The result to standard output, or atomically to the file `output`
    // (when not empty): an existing file is replaced only once the whole
    // result is written. The exit code.
    int writeResult(const QByteArray& bytes, const QString& output);

private:
    std::FILE* out_;
    std::FILE* err_;
    std::FILE* in_;
    std::unique_ptr<SerialLine> line_;
    SteadyClock clock_;
    std::unique_ptr<LineTerminal> terminal_;
    std::unique_ptr<HeadlessDirectory> directory_;
};

}  // namespace tarvelin::cli
