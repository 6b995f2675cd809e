#include "cliprovision.h"

#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QThread>
#include <csignal>

#include "advanced/advancedform.h"
#include "advanced/advancedmap.h"
#include "advanced/advancedoperations.h"
#include "base/safefile.h"
#include "basic/basicform.h"
#include "basic/basicmap.h"
#include "basic/basicoperations.h"
#include "cli.h"
#include "clisupport.h"
#include "config/form.h"
#include "serial/hostlink.h"

namespace tarvelin::cli {

namespace {

// A report grows by one line per controller; this is hundreds of thousands.
constexpr qint64 kLargestReport = 64 * 1024 * 1024;
// How often --loop looks for a controller coming or going.
constexpr int kPollMs = 250;
constexpr const char* kBackAfterReboot = "back after its reboot";

// The profile keys a map row stands for.
QStringList keysOfField(const Field& field) {
    switch (field.encoding) {
        case Encoding::PasswordFlag:
            return {QStringLiteral("EnablePW")};
        case Encoding::TrustFlags:
            return {QStringLiteral("Tarvelintrusted"), QStringLiteral("MBtrusted")};
        case Encoding::ZeroByte:
        case Encoding::MacOctet:
            return {};
        default:
            return {field.control};
    }
}

// Reads the rows behind `keys` into the form, in the order the block travels.
Result<void> readRows(const MemoryMap& map, const QSet<QString>& keys, Form& form, MemoryAccess& access,
                      std::int16_t id) {
    for (const Field& field : map) {
        bool wanted = false;
        for (const QString& key : keysOfField(field)) wanted = wanted || keys.contains(key);
        if (!wanted) continue;
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

// The values provisioning wants in one block: the base's, the row's over them.
QJsonObject wantedValues(const Profile* base, const QJsonObject& row, bool basic) {
    QJsonObject values;
    if (base) values = (basic ? base->basic : base->advanced).value_or(QJsonObject());
    for (auto it = row.begin(); it != row.end(); ++it) values.insert(it.key(), it.value());
    return values;
}

QString shown(const QJsonValue& value) {
    if (value.isString()) return QLatin1Char('"') + value.toString() + QLatin1Char('"');
    if (value.isDouble()) return QString::number(value.toInteger());
    return QStringLiteral("(none)");
}

}  // namespace

ProvisionRecord provisionOne(LineTerminal& terminal, const ProvisionSetup& setup, std::FILE* err) {
    ProvisionRecord record;
    // The window objects of this controller: nothing carries over from the
    // one before (above all not the flag byte). A store asks after every
    // command whether to stop.
    HeadlessDirectory directory(terminal, setup.stopRequested);
    const auto stopped = [&] { return setup.stopRequested && setup.stopRequested(); };
    const auto fail = [&](Outcome outcome, const QString& caption = QString()) {
        record.outcome = outcome;
        record.reason = caption.trimmed();
        return record;
    };

    std::int16_t id = 0;
    MacId mac{};
    {
        StreamMessageLine messages(err, 2);
        MemoryAccess access(messages);
        Result<std::int16_t> station = beginOperation(access, directory.terminal());
        for (int i = 0; station && i < 6; ++i) {
            const auto byte = access.read(*station, static_cast<std::int16_t>(-240 + i));  // 0xFF10..0xFF15
            if (!byte) station = byte.failure();
            mac[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(byte ? *byte : 0);
        }
        if (!station) {
            messages.finish();
            explainLine(err, station.failure().outcome);
            return fail(station.failure().outcome);
        }
        id = *station;
        record.station = id;
        record.mac = mac;
    }
    if (setup.skip) {
        if (const QString reason = setup.skip(mac); !reason.isEmpty()) {
            record.action = ProvisionRecord::Action::Skipped;
            record.reason = reason;
            return record;
        }
    }
    const PlanRow* row = setup.plan->find(mac);
    if (!row) {
        record.action = ProvisionRecord::Action::NotInPlan;
        return record;
    }

    struct Block {
        bool basic;
        HeadlessForm& form;
        const MemoryMap& map;
        QJsonObject wanted;
        QSet<QString> keys;  // what to read: the plan's columns, and what the store keeps
    };
    std::vector<Block> blocks{
        {true, directory.basic, basicMap(), wantedValues(setup.base, row->basic, true), {}},
        {false, directory.advanced, advancedMap(), wantedValues(setup.base, row->advanced, false), {}}};
    for (const PlanColumn& column : setup.plan->columns)
        for (const QString& key : keysOfName(column.name)) blocks[column.basic ? 0 : 1].keys.insert(key);
    for (Block& block : blocks) {
        if (block.wanted.isEmpty()) continue;
        for (const QString& key : profileKeys(block.map))
            if (setup.check ? block.wanted.contains(key) : !block.wanted.contains(key))
                block.keys.insert(key);
    }

    // What the controller holds now.
    {
        StreamMessageLine messages(err, 20);
        MemoryAccess access(messages);
        access.setTerminal(directory.terminal());
        for (const Block& block : blocks) {
            if (auto read = readRows(block.map, block.keys, block.form, access, id); !read) {
                messages.finish();
                explainLine(err, read.failure().outcome);
                return fail(read.failure().outcome);
            }
        }
    }
    const auto columnTexts = [&] {
        QStringList texts;
        for (const PlanColumn& column : setup.plan->columns)
            texts << columnText(column.name, blockToJson(column.basic ? directory.basic : directory.advanced,
                                                         column.basic ? basicMap() : advancedMap()));
        return texts;
    };
    record.before = columnTexts();
    if (stopped()) return fail(Outcome::Interrupted);

    if (setup.check) {
        record.after = record.before;
        for (const Block& block : blocks)
            for (const Difference& d :
                 differences(block.wanted, blockToJson(block.form, block.map), block.map))
                record.differences.push_back(
                    {block.basic ? QStringLiteral("basic") : QStringLiteral("advanced"), d});
        record.action = ProvisionRecord::Action::Compared;
        return record;
    }

    // The stores: every byte read back; a reboot after the last block only.
    const bool both = !blocks[0].wanted.isEmpty() && !blocks[1].wanted.isEmpty();
    for (Block& block : blocks) {
        if (block.wanted.isEmpty()) continue;
        if (stopped()) return fail(Outcome::Interrupted);
        applyBlock(block.wanted, block.form, block.map);
        block.form.setChecked(QString::fromLatin1(kVerifyControl), true);
        block.form.setChecked(QString::fromLatin1(kResetControl), setup.reboot && (!both || !block.basic));
        StreamMessageLine messages(err, 30);
        MemoryAccess access(messages);
        const Outcome outcome = block.basic ? updateBasicParameters(block.form, access, directory)
                                            : updateAdvancedParameters(block.form, access, directory);
        messages.finish();
        explainLine(err, outcome);
        if (outcome != Outcome::Success) return fail(outcome, messages.caption());
    }
    record.after = columnTexts();
    return record;
}

QString ProvisionRecord::result() const {
    switch (outcome) {
        case Outcome::Success:
            break;
        case Outcome::VerifyMismatch:
            return QStringLiteral("verify failed");
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

}  // namespace

Result<void> prepareReport(const QString& path, const QStringList& header) {
    const auto text = reportSoFar(path, header);
    if (!text) return text.failure();
    if (!text->isEmpty()) return {};
    if (auto written = writeFileAtomically(path, csvRecord(header)); !written)
        return Failure{Outcome::WriteFailed,
                       QStringLiteral("Cannot write %1: %2")
                           .arg(QDir::toNativeSeparators(path), written.failure().message)};
    return {};
}

Result<void> appendReport(const QString& path, const QStringList& header, const QStringList& fields) {
    auto text = reportSoFar(path, header);
    if (!text) return text.failure();
    if (text->isEmpty()) *text = csvRecord(header);
    if (!text->endsWith('\n')) *text += "\r\n";
    if (auto written = writeFileAtomically(path, *text + csvRecord(fields)); !written)
        return Failure{Outcome::WriteFailed,
                       QStringLiteral("Cannot write %1: %2")
                           .arg(QDir::toNativeSeparators(path), written.failure().message)};
    return {};
}

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void onInterrupt(int) {
    gInterrupted = 1;
}

// Ctrl-C (and SIGTERM) end provisioning cleanly while it lives: between
// controllers at once, during a store after the command on the line.
class InterruptScope {
public:
    InterruptScope() {
        gInterrupted = 0;
        previousInt_ = std::signal(SIGINT, onInterrupt);
        previousTerm_ = std::signal(SIGTERM, onInterrupt);
    }
    ~InterruptScope() {
        std::signal(SIGINT, previousInt_);
        std::signal(SIGTERM, previousTerm_);
    }
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

private:
    void (*previousInt_)(int);
    void (*previousTerm_)(int);
};

bool interrupted() {
    return gInterrupted != 0;
}

// Waits `ms`, or less when interrupted.
void pause(int ms) {
    for (int waited = 0; waited < ms && !interrupted(); waited += 50) QThread::msleep(50);
}

enum class Presence { Answers, Silent, Gone };

// Whether a controller answers the ENQ call on the port (opening it first).
Presence controllerAnswers(LineTerminal& terminal, const Clock& clock, int timeoutMs) {
    PortConnection& connection = terminal.connection();
    if (!connection.isOpen() && !terminal.openCommPort()) return Presence::Gone;
    SerialLine& line = connection.line();
    line.takeAll();
    if (!line.lost() && line.write(std::string(1, kENQ))) {
        const std::int64_t deadline = clock.nowMs() + timeoutMs;
        for (;;) {
            if (hostlink::answersEnq(line.takeAll())) return Presence::Answers;
            const std::int64_t left = deadline - clock.nowMs();
            if (left <= 0 || line.lost()) break;
            line.waitForData(static_cast<int>(left));
        }
    }
    if (!line.lost()) return Presence::Silent;
    // A vanished adapter is closed, so that its return opens afresh.
    connection.close();
    return Presence::Gone;
}

QString summaryOf(const ProvisionRecord& record) {
    QString text = record.mac ? macIdText(*record.mac) : QStringLiteral("(MAC ID not read)");
    if (record.station >= 0) text += QStringLiteral(" station %1").arg(record.station);
    text += QStringLiteral(": ") + record.result();
    for (const auto& found : record.differences)
        text += QStringLiteral("\n  %1: plan %2, controller %3")
                    .arg(found.difference.key, shown(found.difference.wanted), shown(found.difference.held));
    return text + QLatin1Char('\n');
}

bool confirmed(std::FILE* in, std::FILE* err) {
    if (!platform::isTerminal(in)) {
        print(err, QStringLiteral("Not confirmed: give --yes to store without the question\n"));
        return false;
    }
    print(err, QStringLiteral("Are you sure you want to overwrite existing Tarvelin configurations? [y/N] "));
    char answer[16] = {};
    if (!std::fgets(answer, sizeof answer, in) || (answer[0] != 'y' && answer[0] != 'Y')) {
        print(err, QStringLiteral("Nothing stored.\n"));
        return false;
    }
    return true;
}

}  // namespace

int provisionCommand(LineTerminal& terminal, const Clock& clock, const ProvisionOptions& options,
                     std::FILE* out, std::FILE* err, std::FILE* in) {
    if (options.plan.isEmpty()) {
        print(err, QStringLiteral("provision needs --plan FILE\n"));
        return kUsage;
    }
    const auto plan = readPlan(options.plan);
    if (!plan) {
        print(err, plan.failure().message + "\n");
        return exitCodeOf(plan.failure().outcome);
    }
    std::optional<Profile> base;
    if (!options.profile.isEmpty()) {
        auto profile = readProfile(options.profile, &basicMap(), &advancedMap());
        if (!profile) {
            print(err, profile.failure().message + "\n");
            return exitCodeOf(profile.failure().outcome);
        }
        base = std::move(*profile);
    }
    const QStringList header = reportHeader(*plan);
    if (!options.report.isEmpty()) {
        if (auto ready = prepareReport(options.report, header); !ready) {
            print(err, ready.failure().message + "\n");
            return kOutputFailed;
        }
    }
    if (!options.check && !options.yes && !confirmed(in, err)) return kUsage;

    InterruptScope scope;
    std::set<MacId> stored;
    std::optional<MacId> rebooted;  // stored and rebooted just now: its return is no new arrival
    ProvisionSetup setup;
    setup.plan = &*plan;
    setup.base = base ? &*base : nullptr;
    setup.reboot = options.reboot;
    setup.check = options.check;
    setup.stopRequested = interrupted;
    setup.skip = [&](const MacId& mac) {
        if (rebooted == mac) return QString::fromLatin1(kBackAfterReboot);
        if (!options.again && !options.check && stored.count(mac))
            return QStringLiteral("provisioned earlier in this run");
        return QString();
    };

    // One controller, reported.
    const auto handle = [&](ProvisionRecord& record) {
        const QDateTime now = QDateTime::currentDateTime();
        const QString time = now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate);
        print(out, summaryOf(record));
        if (options.report.isEmpty()) return kSuccess;
        if (auto appended = appendReport(options.report, header, reportFields(*plan, record, time));
            !appended) {
            print(err, appended.failure().message + "\n");
            return kOutputFailed;
        }
        return kSuccess;
    };

    if (!options.loop) {
        ProvisionRecord record = provisionOne(terminal, setup, err);
        if (record.outcome == Outcome::PortNotOpened) return kPortNotOpen;  // nothing to report
        const int reported = handle(record);
        return reported != kSuccess ? reported : record.exitCode();
    }

    const int timeoutMs = options.timeout.toInt() > 0 ? options.timeout.toInt() : 500;
    std::string lastOpenMessage;
    terminal.onOpenFailure([&](const std::string& message) {
        if (message != lastOpenMessage) print(err, QString::fromStdString(message) + "\n");
        lastOpenMessage = message;
    });
    int firstFailure = kSuccess;
    print(err, QStringLiteral("Waiting for a controller on %1 (Ctrl-C ends)\n")
                   .arg(QString::fromStdString(terminal.getCommport())));
    while (!interrupted()) {
        if (controllerAnswers(terminal, clock, timeoutMs) != Presence::Answers) {
            pause(kPollMs);
            continue;
        }
        lastOpenMessage.clear();
        ProvisionRecord record = provisionOne(terminal, setup, err);
        // The controller just stored and rebooted answers again: the same
        // visit, nothing to do or say.
        const bool backAfterReboot = record.outcome == Outcome::Success &&
                                     record.action == ProvisionRecord::Action::Skipped && rebooted &&
                                     record.mac == rebooted;
        if (!backAfterReboot) {
            rebooted.reset();
            if (const int reported = handle(record); reported != kSuccess) return reported;
            if (record.exitCode() != kSuccess && firstFailure == kSuccess) firstFailure = record.exitCode();
            if (record.stored()) {
                stored.insert(*record.mac);
                if (options.reboot) rebooted = record.mac;
            }
        }
        if (record.outcome == Outcome::Interrupted) break;
        // Until it goes: the adapter gone, or two calls in a row unanswered.
        for (int unanswered = 0; unanswered < 2 && !interrupted();) {
            pause(kPollMs);
            const Presence presence = controllerAnswers(terminal, clock, timeoutMs);
            unanswered = presence == Presence::Gone ? 2 : presence == Presence::Silent ? unanswered + 1 : 0;
        }
        if (!interrupted()) print(err, QStringLiteral("Waiting for the next controller (Ctrl-C ends)\n"));
    }
    return firstFailure;
}

int compareCommand(LineTerminal& terminal, const QString& what, const QString& profilePath, bool json,
                   const std::function<int(const QByteArray&)>& writeResult, std::FILE* err) {
    const bool all = what == QLatin1String("all");
    if (!all && what != QLatin1String("basic") && what != QLatin1String("advanced")) {
        print(err, QStringLiteral("compare takes basic, advanced or all\n"));
        return kUsage;
    }
    if (profilePath.isEmpty()) {
        print(err, QStringLiteral("compare needs --profile FILE\n"));
        return kUsage;
    }
    const auto profile = readProfile(profilePath, &basicMap(), &advancedMap());
    if (!profile) {
        print(err, profile.failure().message + "\n");
        return exitCodeOf(profile.failure().outcome);
    }
    const bool basic = (all && profile->basic) || what == QLatin1String("basic");
    const bool advanced = (all && profile->advanced) || what == QLatin1String("advanced");
    if ((basic && !profile->basic) || (advanced && !profile->advanced) || (!basic && !advanced)) {
        print(err, all ? QStringLiteral("Profile %1 holds no settings\n").arg(profilePath)
                       : QStringLiteral("Profile %1 holds no %2 settings\n").arg(profilePath, what));
        return kUsage;
    }

    HeadlessDirectory directory(terminal);
    QJsonArray found;
    QString text;
    for (const bool isBasic : {true, false}) {
        if (isBasic ? !basic : !advanced) continue;
        HeadlessForm& form = isBasic ? directory.basic : directory.advanced;
        const MemoryMap& map = isBasic ? basicMap() : advancedMap();
        StreamMessageLine messages(err, isBasic ? 15 : 16);
        MemoryAccess access(messages);
        const Outcome outcome = isBasic ? retrieveBasicParameters(form, access, directory)
                                        : retrieveAdvancedParameters(form, access, directory);
        messages.finish();
        explainLine(err, outcome);
        if (outcome != Outcome::Success) return exitCodeOf(outcome);
        const QString block = isBasic ? QStringLiteral("basic") : QStringLiteral("advanced");
        for (const Difference& d :
             differences(isBasic ? *profile->basic : *profile->advanced, blockToJson(form, map), map)) {
            found.append(QJsonObject{{QStringLiteral("block"), block},
                                     {QStringLiteral("control"), d.key},
                                     {QStringLiteral("profile"), d.wanted},
                                     {QStringLiteral("controller"), d.held}});
            text +=
                QStringLiteral("%1: profile %2, controller %3\n").arg(d.key, shown(d.wanted), shown(d.held));
        }
    }
    const QByteArray result = json ? QJsonDocument(QJsonObject{{QStringLiteral("differences"), found}})
                                         .toJson(QJsonDocument::Indented)
                                   : text.toUtf8();
    if (const int written = writeResult(result); written != kSuccess) return written;
    if (found.isEmpty()) print(err, QStringLiteral("No differences\n"));
    return found.isEmpty() ? kSuccess : kDifferences;
}

}  // namespace tarvelin::cli
