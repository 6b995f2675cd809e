#include "clisupport.h"

#include <cerrno>
#include <cstring>

#include "advanced/advancedmap.h"
#include "advanced/advancedoperations.h"
#include "base/readablebytes.h"
#include "basic/basicmap.h"
#include "basic/basicoperations.h"
#include "config/form.h"
#include "config/macid.h"
#include "serial/portconnection.h"

namespace tarvelin::cli {

namespace {
// Why a write of print() failed last (errno), for the message at the end:
// by then the stream only knows that it failed.
thread_local int tLastWriteError = 0;
}  // namespace

void print(std::FILE* f, const QString& text) {
    // A message may quote a controller's text or a plan's cell: only its own
    // line breaks (and the progress bar's return) reach the terminal.
    const QByteArray bytes = readableText(text, QStringLiteral("\n\r")).toUtf8();
    errno = 0;
    const auto size = static_cast<std::size_t>(bytes.size());
    if (std::fwrite(bytes.constData(), 1, size, f) != size || std::fflush(f) != 0) tLastWriteError = errno;
}

int lastWriteError() {
    return tLastWriteError;
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

QString openFailureReason(const std::string& message) {
    const std::string first = std::string(kOpenFailedText) + "\n";
    const bool prefixed = message.rfind(first, 0) == 0;
    return QString::fromStdString(prefixed ? message.substr(first.size()) : message);
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

bool confirmed(std::FILE* in, std::FILE* err) {
    if (!platform::isTerminal(in)) {
        print(err, QStringLiteral("Not confirmed: give --yes to store without the question\n"));
        return false;
    }
    print(err, QString::fromLatin1(kConfirmQuestion) + QStringLiteral(" [y/N] "));
    char answer[16] = {};
    if (!std::fgets(answer, sizeof answer, in) || (answer[0] != 'y' && answer[0] != 'Y')) {
        print(err, QStringLiteral("Nothing stored.\n"));
        return false;
    }
    return true;
}

QString shown(const QJsonValue& value) {
    if (value.isString()) return QLatin1Char('"') + readableText(value.toString()) + QLatin1Char('"');
    if (value.isDouble()) return QString::number(value.toInteger());
    return QStringLiteral("(none)");
}

QString macIdOf(const Form& form) {
    QStringList groups;
    for (const Field& field : advancedMap())
        if (field.encoding == Encoding::MacOctet) groups << form.text(field.control);
    const QString shown = groups.join(QLatin1Char('-'));
    const auto mac = parseMacId(shown);
    return mac ? macIdText(*mac) : shown;
}

QString dottedValue(const QJsonObject& values, const QString& array) {
    QStringList octets;
    for (int i = 3; i >= 0; --i) {
        const QJsonValue value = values.value(member(array, i));
        if (value.isUndefined()) return QString();
        octets << (value.isDouble() ? QString::number(value.toInteger()) : value.toString().trimmed());
    }
    return octets.join(QLatin1Char('.'));
}

QStringList differenceLines(const std::vector<Difference>& found, const QJsonObject& wanted,
                            const QJsonObject& held, const MemoryMap& map, const QString& side) {
    QStringList lines;
    const QString line = QStringLiteral("%1: %2 %3, controller %4");
    for (const Difference& d : found) {
        const Field* field = findField(map, d.key);
        const QString array = field && field->encoding == Encoding::Octet
                                  ? d.key.left(d.key.indexOf(QLatin1Char('(')))
                                  : QString();
        const QString whole = array.isEmpty() ? QString() : dottedValue(wanted, array);
        if (whole.isEmpty()) {
            lines << line.arg(d.key, side, shown(d.wanted), shown(d.held));
            continue;
        }
        const QString text = line.arg(array, side, whole, dottedValue(held, array));
        if (!lines.contains(text)) lines << text;
    }
    return lines;
}

Result<void> readRows(const MemoryMap& map, const std::function<bool(const Field&)>& wanted, Form& form,
                      MemoryAccess& access, std::int16_t id) {
    for (const Field& field : map) {
        if (!wanted(field)) continue;
        std::vector<int> bytes;
        for (std::int16_t address : field.addresses()) {
            const auto value = access.read(id, address);
            if (!value) return value.failure();
            bytes.push_back(*value);
        }
        decodeInto(form, field, bytes);
    }
    return {};
}

const CliBlock& cliBlock(bool basic) {
    static const CliBlock blocks[] = {
        {QStringLiteral("basic"), basicMap, &HeadlessDirectory::basic, retrieveBasicParameters,
         updateBasicParameters, 15},
        {QStringLiteral("advanced"), advancedMap, &HeadlessDirectory::advanced, retrieveAdvancedParameters,
         updateAdvancedParameters, 16},
    };
    return blocks[basic ? 0 : 1];
}

Ran runOperation(Operation operation, Form& form, Directory& directory, std::FILE* err, const Shown& shown) {
    StreamMessageLine messages(err, shown);
    MemoryAccess access(messages);
    const Outcome outcome = operation(form, access, directory);
    messages.finish(outcome);
    explainLine(err, outcome);
    return {outcome, messages.caption()};
}

Outcome retrieveBlock(const CliBlock& block, HeadlessDirectory& directory, std::FILE* err,
                      const QString& label, bool quietSuccess) {
    return runOperation(block.retrieve, directory.*block.form, directory, err,
                        {label, block.retrieveMarks, quietSuccess})
        .outcome;
}

}  // namespace tarvelin::cli
