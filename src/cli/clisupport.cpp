#include "clisupport.h"

#include <cerrno>
#include <cstring>

namespace tarvelin::cli {

void print(std::FILE* f, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), f);
    std::fflush(f);
}

int outputFailed(std::FILE* err, int error) {
    const QString why =
        error ? QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error)) : QString();
    print(err, QStringLiteral("tarvelin-cli: cannot write to standard output%1\n").arg(why));
    return kOutputFailed;
}

int exitCodeOf(Outcome outcome) {
    switch (outcome) {
        case Outcome::Success:
            return kSuccess;
        case Outcome::WriteFailed:
            return kOutputFailed;
        case Outcome::Unreadable:
            return kUsage;
        case Outcome::PortNotOpened:
            return kPortNotOpen;
        case Outcome::Refused:
            return kRefused;
        case Outcome::VerifyMismatch:
            return kVerifyMismatch;
        case Outcome::Interrupted:
            return kInterrupted;
        case Outcome::Busy:
        case Outcome::NoResponse:
        case Outcome::LineLost:
        case Outcome::SendFailed:
        case Outcome::InvalidResponse:
        case Outcome::OutOfStep:
        case Outcome::Echo:
            break;
    }
    return kNoResponse;
}

void explainLine(std::FILE* err, Outcome outcome) {
    if (outcome == Outcome::Echo)
        print(err,
              QStringLiteral("The line echoes: the reply was the command itself, not an answer. A loopback "
                             "plug on the port, or a converter that echoes what it sends, is a common "
                             "cause.\n"));
    if (outcome == Outcome::OutOfStep)
        print(err,
              QStringLiteral("The line is out of step: replies came that answer no command (a controller "
                             "that answered twice or late). A loopback plug on the port, or a converter "
                             "that echoes what it sends, is a common cause as well.\n"));
}
}  // namespace tarvelin::cli
