#include "clisession.h"

#include <cerrno>

#include "base/safefile.h"
#include "clisupport.h"

namespace tarvelin::cli {

Session::Session(const Options& o, const LineFactory& lines, std::FILE* out, std::FILE* err, std::FILE* in)
    : out_(out), err_(err), in_(in), line_(lines.make().line) {
    terminal_ = std::make_unique<LineTerminal>(
        *line_, clock_, PortChoice{o.port.toStdString(), o.baud.toStdString(), "None", "8", "1"});
    terminal_->setTimeoutMs(o.timeout.toInt());
    terminal_->onOpenFailure(
        [this](const std::string& message) { print(err_, openFailureReason(message) + "\n"); });
    directory_ = std::make_unique<HeadlessDirectory>(*terminal_);
}

int Session::writeResult(const QByteArray& bytes, const QString& output) {
    if (output.isEmpty()) {
        const auto size = static_cast<std::size_t>(bytes.size());
        if (std::fwrite(bytes.constData(), 1, size, out_) != size || std::fflush(out_) != 0)
            return outputFailed(err_, errno);
        return kSuccess;
    }
    if (const auto written = writeFileAtomically(output, bytes); !written) {
        print(err_, QStringLiteral("Cannot write %1: %2\n").arg(output, written.failure().message));
        return exitCodeOf(written.failure().outcome);
    }
    return kSuccess;
}

}  // namespace tarvelin::cli
