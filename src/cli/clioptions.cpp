#include "clioptions.h"

#include <iterator>

#include "base/platform.h"

namespace tarvelin::cli {

namespace {

constexpr int kLongestTimeoutMs = 60000;

// Plain decimal digits for a number from `low` to `high`.
bool wholeNumberIn(const QString& text, int low, int high) {
    if (text.isEmpty() || text.size() > 9) return false;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    const int value = text.toInt();
    return value >= low && value <= high;
}

using Complaint = std::optional<QString>;

// One option: a switch, a value kept as given, or a value that is checked or
// gathered by `keep`.
struct OptionRow {
    const char* name;
    const char* alias;  // or null
    bool Options::*flag = nullptr;
    QString Options::*text = nullptr;
    // Keeps the value in the options; the complaint when it is not one the
    // option takes.
    Complaint (*keep)(Options& o, const QString& value) = nullptr;

    bool takesValue() const { return !flag; }
};

Complaint keepPort(Options& o, const QString& value) {
    if (value.isEmpty()) return QStringLiteral("--port takes a port name such as COM5 or /dev/ttyUSB0");
    o.port = value;
    o.ports << value;
    return {};
}

Complaint keepBaud(Options& o, const QString& value) {
    bool ok = false;
    if (value.toInt(&ok) <= 0 || !ok) return QStringLiteral("--baud takes a baud rate such as 9600");
    o.baud = value;
    o.bauds << value.toInt();
    return {};
}

Complaint keepEnqWait(Options& o, const QString& value) {
    if (!wholeNumberIn(value, 1, kLongestTimeoutMs))
        return QStringLiteral("--enq-wait takes a whole number of milliseconds from 1 to %1")
            .arg(kLongestTimeoutMs);
    o.enqWait = value.toInt();
    return {};
}

Complaint keepTimeout(Options& o, const QString& value) {
    if (!wholeNumberIn(value, 1, kLongestTimeoutMs))
        return QStringLiteral("--timeout takes a whole number of milliseconds from 1 to %1")
            .arg(kLongestTimeoutMs);
    o.timeout = value;
    return {};
}

Complaint keepSet(Options& o, const QString& value) {
    o.sets << value;
    return {};
}

Complaint keepFrame(Options& o, const QString& value) {
    bool ok = false;
    const int station = value.toInt(&ok);
    if (!ok || station < 0 || station > 255) return QStringLiteral("--frame takes a station number 0 to 255");
    o.frame = station;
    return {};
}

const OptionRow kOptions[] = {
    {"--port", nullptr, nullptr, nullptr, keepPort},
    {"--baud", nullptr, nullptr, nullptr, keepBaud},
    {"--enq-wait", nullptr, nullptr, nullptr, keepEnqWait},
    {"--timeout", nullptr, nullptr, nullptr, keepTimeout},
    {"--output", "-o", nullptr, &Options::output},
    {"--profile", nullptr, nullptr, &Options::profile},
    {"--trace", nullptr, nullptr, &Options::trace},
    {"--plan", nullptr, nullptr, &Options::plan},
    {"--report", nullptr, nullptr, &Options::report},
    {"--set", nullptr, nullptr, nullptr, keepSet},
    {"--frame", nullptr, nullptr, nullptr, keepFrame},
    {"--loop", nullptr, &Options::loop},
    {"--again", nullptr, &Options::again},
    {"--check", nullptr, &Options::check},
    {"--json", nullptr, &Options::json},
    {"--reboot", nullptr, &Options::reboot},
    {"--verify", nullptr, &Options::verify},
    {"--yes", "-y", &Options::yes},
    {"--help", "-h", &Options::help},
    {"--version", nullptr, &Options::version},
};

const OptionRow* optionNamed(const QString& word) {
    for (const OptionRow& row : kOptions)
        if (word == QLatin1String(row.name) || (row.alias && word == QLatin1String(row.alias))) return &row;
    return nullptr;
}

// Keeps one option; the complaint when its value is wrong.
Complaint keepOption(const OptionRow& option, Options& o, const QString& value) {
    if (option.flag) o.*option.flag = true;
    if (option.text) o.*option.text = value;
    return option.keep ? option.keep(o, value) : Complaint();
}

// What each command takes besides the options of every command.
struct CommandOptions {
    const char* command;
    QStringList options;
};

const CommandOptions kTakes[] = {
    {"", {"--port", "--baud", "--timeout", "--trace", "--help", "--version"}},
    {"identify", {}},
    {"retrieve", {"--json", "--output"}},
    {"store", {"--profile", "--set", "--verify", "--reboot", "--yes"}},
    {"send", {"--frame"}},
    {"provision", {"--plan", "--profile", "--report", "--reboot", "--yes", "--loop", "--again", "--check"}},
    {"compare", {"--profile", "--json", "--output"}},
    {"scan", {"--enq-wait", "--json"}},
    {"controls", {"--json"}},
};

}  // namespace

bool commandTakes(const QString& command, const QString& name) {
    for (const CommandOptions& row : kTakes)
        if ((!*row.command || command == QLatin1String(row.command)) && row.options.contains(name))
            return true;
    return false;
}

std::optional<QString> fileRoleCollision(const Options& o) {
    const std::pair<const char*, QString> roles[] = {{"--plan", o.plan},
                                                     {"--profile", o.profile},
                                                     {"--report", o.report},
                                                     {"--trace", o.trace},
                                                     {"--output", o.output}};
    for (std::size_t i = 0; i < std::size(roles); ++i)
        for (std::size_t j = i + 1; j < std::size(roles); ++j)
            if (!roles[i].second.isEmpty() && !roles[j].second.isEmpty() &&
                platform::fileIdentity(roles[i].second) == platform::fileIdentity(roles[j].second))
                return QStringLiteral("%1 and %2 name the same file (%3): give each its own")
                    .arg(QLatin1String(roles[i].first), QLatin1String(roles[j].first), roles[j].second);
    return std::nullopt;
}

std::optional<Options> parseOptions(const QStringList& args, QString* error) {
    Options o;
    for (int i = 0; i < args.size(); ++i) {
        const QString& word = args.at(i);
        const OptionRow* option = optionNamed(word);
        if (!option) {
            if (word.startsWith(QLatin1String("-")) && word.size() > 1) {
                *error = QStringLiteral("unknown option %1").arg(word);
                return std::nullopt;
            }
            o.positional << word;
            continue;
        }
        if (option->takesValue() && i + 1 >= args.size()) {
            *error = QStringLiteral("%1 needs a value").arg(word);
            return std::nullopt;
        }
        const QString value = option->takesValue() ? args.at(++i) : QString();
        o.given << QString::fromLatin1(option->name);
        if (auto complaint = keepOption(*option, o, value)) {
            *error = *complaint;
            return std::nullopt;
        }
    }
    return o;
}

}  // namespace tarvelin::cli
