// The provisioning report: a CSV file with a line per controller.
#include <QDir>

#include "base/platform.h"
#include "base/safefile.h"
#include "cli.h"
#include "cliprovision.h"
#include "clisupport.h"

namespace tarvelin::cli {

namespace {

// A report grows by one line per controller; this is hundreds of thousands.
constexpr qint64 kLargestReport = 64 * 1024 * 1024;

}  // namespace

QStringList reportHeader(const Plan& plan) {
    QStringList header{QStringLiteral("time"), QStringLiteral("MAC"), QStringLiteral("station")};
    for (const PlanColumn& column : plan.columns)
        header << column.name + QStringLiteral(" before") << column.name + QStringLiteral(" after");
    return header << QStringLiteral("result");
}

QStringList reportFields(const Plan& plan, const ProvisionRecord& record, const QString& time) {
    QStringList fields{time, record.mac ? macIdText(*record.mac) : QString(),
                       record.station >= 0 ? QString::number(record.station) : QString()};
    for (qsizetype i = 0; i < static_cast<qsizetype>(plan.columns.size()); ++i)
        fields << record.before.value(i) << record.after.value(i);
    return fields << record.result();
}

namespace {

// The report's text so far: empty for a missing or empty file; a report with
// other columns is refused.
Result<QByteArray> reportSoFar(const QString& path, const QStringList& header) {
    const QString name = QDir::toNativeSeparators(path);
    if (platform::fileKind(path) == platform::FileKind::Missing) return QByteArray();
    const auto bytes = readSmallFile(path, kLargestReport);
    if (!bytes)
        return Failure{Outcome::WriteFailed,
                       QStringLiteral("Report %1: %2").arg(name, bytes.failure().message)};
    if (bytes->isEmpty()) return QByteArray();
    const auto records = parseCsv(*bytes);
    QStringList first;
    if (records && !records->empty())
        for (const CsvField& field : records->front()) first << field.value_or(QString());
    if (first != header)
        return Failure{
            Outcome::WriteFailed,
            QStringLiteral("Report %1 has other columns than this plan's report: give another file")
                .arg(name)};
    return *bytes;
}

// The whole report, written anew (it replaces the old file once complete).
Result<void> writeReport(const QString& path, const QByteArray& text) {
    if (auto written = writeFileAtomically(path, text); !written)
        return Failure{Outcome::WriteFailed,
                       QStringLiteral("Cannot write %1: %2")
                           .arg(QDir::toNativeSeparators(path), written.failure().message)};
    return {};
}

}  // namespace

Result<void> prepareReport(const QString& path, const QStringList& header) {
    const auto text = reportSoFar(path, header);
    if (!text) return text.failure();
    // Written anew even when it holds lines: a report that cannot be written
    // (read-only, its folder full or read-only) is found before a controller
    // is changed without its line.
    return writeReport(path, text->isEmpty() ? csvRecord(header) : *text);
}

Result<void> appendReport(const QString& path, const QStringList& header, const QStringList& fields) {
    auto text = reportSoFar(path, header);
    if (!text) return text.failure();
    if (text->isEmpty()) *text = csvRecord(header);
    if (!text->endsWith('\n')) *text += "\r\n";
    return writeReport(path, *text + csvRecord(fields));
}

QString ProvisionRecord::result() const {
    switch (outcome) {
        case Outcome::Success:
            break;
        case Outcome::VerifyMismatch:
            return macAfter ? QStringLiteral("controller changed during the store")
                            : QStringLiteral("verify failed");
        case Outcome::Refused:
            return QStringLiteral("refused: ") + reason;
        case Outcome::Interrupted:
            return QStringLiteral("interrupted");
        case Outcome::PortNotOpened:
            return QStringLiteral("port not opened");
        case Outcome::InvalidResponse:
        case Outcome::OutOfStep:
        case Outcome::Echo:
            return QStringLiteral("invalid response");
        default:
            return QStringLiteral("no response");
    }
    switch (action) {
        case Action::Stored:
            break;
        case Action::Compared:
            return differences.empty() ? QStringLiteral("matches") : QStringLiteral("differs");
        case Action::Skipped:
            return QStringLiteral("skipped: ") + reason;
        case Action::NotInPlan:
            return QStringLiteral("not in plan");
    }
    return QStringLiteral("stored");
}

int ProvisionRecord::exitCode() const {
    if (outcome != Outcome::Success) return exitCodeOf(outcome);
    if (action == Action::NotInPlan) return kNotInPlan;
    if (action == Action::Compared && !differences.empty()) return kDifferences;
    return kSuccess;
}

}  // namespace tarvelin::cli
