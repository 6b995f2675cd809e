#include "linefactory.h"

#include <cstdio>

#include "qtserialline.h"

namespace tarvelin {

LineFactory::LineFactory()
    : maker_([](const std::string&) {
          static const SteadyClock steady;
          return MadeLine{std::make_unique<QtSerialLine>(), &steady};
      }) {}

LineFactory::LineFactory(Maker maker) : maker_(std::move(maker)) {}

LineFactory LineFactory::tracingInto(const QString& path) {
    LineFactory lines;
    if (!path.isEmpty() && !lines.traceInto(path)) {
        std::fprintf(stderr, "Cannot write the trace %s: %s\n", qPrintable(path),
                     qPrintable(*lines.traceFailure()));
    }
    return lines;
}

bool LineFactory::traceInto(const QString& path) {
    auto trace = TraceFile::open(path);
    if (!trace) {
        trace_.reset();
        refused_ = trace.failure().message;
        return false;
    }
    trace_ = std::move(*trace);
    refused_.reset();
    return true;
}

std::optional<QString> LineFactory::traceFailure() const {
    if (refused_) return refused_;
    return trace_ ? trace_->writeFailure() : std::nullopt;
}

MadeLine LineFactory::make(const std::string& name) const {
    MadeLine made = maker_(name);
    made.line = traced(std::move(made.line), name);
    return made;
}

std::unique_ptr<SerialLine> LineFactory::traced(std::unique_ptr<SerialLine> line,
                                                const std::string& name) const {
    if (!trace_) return line;
    auto trace = std::make_unique<TraceLine>(*line, trace_, name);
    trace->adopt(std::move(line));
    return trace;
}

}  // namespace tarvelin
