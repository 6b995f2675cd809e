// Where every line to a port comes from: the terminal's, the command line's,
// and each worker's of a scan. A factory makes real ports unless a test
// hands it lines of its own; once it traces, every line it makes is traced,
// all into one file.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "serialline.h"
#include "traceline.h"

namespace tarvelin {

// A line of one's own and the clock its waits run on (the steady clock for a
// real port; a scripted line keeps its own). The clock lives as long as the
// line.
struct MadeLine {
    std::unique_ptr<SerialLine> line;
    const Clock* clock = nullptr;
};

class LineFactory {
public:
    // Makes a line for the port of that name. Called on whichever thread
    // asks for a line, maybe on several at once.
    using Maker = std::function<MadeLine(const std::string& name)>;

    // Real ports: a QtSerialLine each, on the steady clock.
    LineFactory();
    // The lines `maker` makes.
    explicit LineFactory(Maker maker);

    // The factory of the windows: tracing into the file at `path` (the shell
    // reads TARVELIN_TRACE) unless it is empty. A trace that cannot be
    // written is said on standard error, and the lines go untraced.
    static LineFactory tracingInto(const QString& path);

    // Every line made from now on is traced into the file at `path`. False
    // when it cannot be written (traceFailure() says why).
    bool traceInto(const QString& path);
    // Why the trace cannot be written: from the start, or since some line of
    // it; empty while it can (or when nothing is traced).
    std::optional<QString> traceFailure() const;

    // A new line, closed. `name`, when given, is the port it is for; it names
    // the line in the trace (where several lines trace at the same time).
    MadeLine make(const std::string& name = {}) const;
    // `line` traced as the factory's own are (a line made elsewhere).
    std::unique_ptr<SerialLine> traced(std::unique_ptr<SerialLine> line, const std::string& name = {}) const;

private:
    Maker maker_;
    std::shared_ptr<TraceFile> trace_;
    std::optional<QString> refused_;  // why the trace could not be opened
};

}  // namespace tarvelin
