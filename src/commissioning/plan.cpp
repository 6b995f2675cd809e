#include "plan.h"

#include <csv.h>

#include <QDir>
#include <QSet>
#include <QStringDecoder>
#include <map>

#include "advanced/advancedmap.h"
#include "base/safefile.h"
#include "basic/basicmap.h"
#include "config/form.h"
#include "config/profile.h"
#include "controls.h"

namespace tarvelin {

namespace {

// The most a plan may hold: thousands of rows.
constexpr qint64 kLargestPlan = 4 * 1024 * 1024;

// The key `name` and whether it is the basic block's; empty when neither
// block has it.
std::optional<std::pair<ProfileKey, bool>> keyOfEitherBlock(const QString& name) {
    if (auto key = findProfileKey(basicMap(), name)) return std::pair{*key, true};
    if (auto key = findProfileKey(advancedMap(), name)) return std::pair{*key, false};
    return std::nullopt;
}

// A dotted address: the name of four octet boxes ("IP" for IP(3) to IP(0)).
bool dottedAddress(const QString& name) {
    const auto first = keyOfEitherBlock(member(name, 0));
    return first && first->first.field->encoding == Encoding::Octet;
}

QString valueText(const QString& key, const QJsonValue& value) {
    if (value.isDouble()) return QString::number(value.toInteger());
    if (!value.isString()) return QString();
    const auto known = keyOfEitherBlock(key);
    const bool number =
        known && known->first.kind == KeyKind::Text && known->first.field->encoding != Encoding::Text16;
    return number ? value.toString().trimmed() : value.toString();
}

struct CsvState {
    std::vector<std::vector<CsvField>> records;
    std::vector<CsvField> current;
    bool badText = false;
};

void onField(void* data, std::size_t size, void* state) {
    auto& s = *static_cast<CsvState*>(state);
    if (!data) {
        s.current.emplace_back(std::nullopt);
        return;
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder(QByteArrayView(static_cast<const char*>(data), static_cast<qsizetype>(size)));
    s.badText = s.badText || decoder.hasError();
    s.current.emplace_back(std::move(text));
}

void onRecord(int, void* state) {
    auto& s = *static_cast<CsvState*>(state);
    s.records.push_back(std::move(s.current));
    s.current.clear();
}

// Spaces belong to the field: " 9080" stays as it is written.
int noSpace(unsigned char) {
    return 0;
}

}  // namespace

QStringList keysOfName(const QString& name) {
    if (!dottedAddress(name)) return {name};
    QStringList keys;
    for (int i = 3; i >= 0; --i) keys << member(name, i);
    return keys;
}

std::optional<QJsonObject> valuesOfName(const QString& name, const QString& text) {
    const QStringList keys = keysOfName(name);
    QJsonObject values;
    if (keys.size() == 4) {
        const QStringList parts = text.split(QLatin1Char('.'));
        if (parts.size() != 4) return std::nullopt;
        for (int j = 0; j < 4; ++j) values.insert(keys.at(j), parts.at(j));
        return values;
    }
    const auto key = keyOfEitherBlock(name);
    const bool level = key && key->first.kind == KeyKind::Level && wholeDecimal(text, false);
    values.insert(name, level ? QJsonValue(text.toInt()) : QJsonValue(text));
    return values;
}

QString columnText(const QString& column, const QJsonObject& values) {
    const QStringList keys = keysOfName(column);
    QStringList parts;
    for (const QString& key : keys) {
        if (!values.contains(key)) return QString();
        parts << valueText(key, values.value(key));
    }
    return parts.join(QLatin1Char('.'));
}

const PlanRow* Plan::find(const MacId& mac) const {
    for (const PlanRow& row : rows)
        if (row.mac == mac) return &row;
    return nullptr;
}

Result<std::vector<std::vector<CsvField>>> parseCsv(const QByteArray& bytes) {
    QByteArrayView text(bytes);
    if (text.startsWith("\xEF\xBB\xBF")) text = text.sliced(3);
    csv_parser parser{};
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_EMPTY_IS_NULL) != 0)
        return Failure{Outcome::Unreadable, QStringLiteral("out of memory")};
    csv_set_space_func(&parser, noSpace);
    CsvState state;
    const auto size = static_cast<std::size_t>(text.size());
    const bool parsed = csv_parse(&parser, text.data(), size, onField, onRecord, &state) == size &&
                        csv_fini(&parser, onField, onRecord, &state) == 0;
    const int error = csv_error(&parser);
    csv_free(&parser);
    const int row = static_cast<int>(state.records.size()) + 1;
    if (!parsed)
        return Failure{Outcome::Unreadable,
                       QStringLiteral("row %1: not valid CSV (%2; a quote inside a field must be doubled "
                                      "and the field quoted)")
                           .arg(row)
                           .arg(QString::fromLatin1(csv_strerror(error)))};
    if (state.badText)
        return Failure{Outcome::Unreadable, QStringLiteral("not UTF-8 text (save the plan as CSV in UTF-8)")};
    return std::move(state.records);
}

QByteArray csvRecord(const QStringList& fields) {
    QByteArray line;
    for (const QString& field : fields) {
        const QByteArray utf8 = field.toUtf8();
        QByteArray quoted(utf8.size() * 2 + 2, '\0');
        quoted.truncate(
            static_cast<qsizetype>(csv_write(quoted.data(), static_cast<std::size_t>(quoted.size()),
                                             utf8.constData(), static_cast<std::size_t>(utf8.size()))));
        if (!line.isEmpty()) line += ',';
        line += quoted;
    }
    return line + "\r\n";
}

namespace {

// The header: MAC once, every other column a control, no control twice. The
// columns go into the plan; the MAC column's place is the result. A failure
// is the text after "Plan NAME: ".
Result<std::size_t> readHeader(const std::vector<CsvField>& header, Plan& plan) {
    std::optional<std::size_t> macColumn;
    QSet<QString> named;
    for (std::size_t i = 0; i < header.size(); ++i) {
        const QString column = header[i].value_or(QString());
        const QString where = QStringLiteral("row 1, column %1 \"%2\": ").arg(i + 1).arg(column);
        if (column == QLatin1String("MAC")) {
            if (macColumn) return Failure{Outcome::Unreadable, where + QStringLiteral("a second MAC column")};
            macColumn = i;
            continue;
        }
        PlanColumn planColumn{column, true};
        for (const QString& key : keysOfName(column)) {
            const auto known = keyOfEitherBlock(key);
            if (!known)
                return Failure{Outcome::Unreadable,
                               where +
                                   QStringLiteral("not a setting of either window (a control name such as "
                                                  "hostName or IP(0), or a dotted address such as IP)") +
                                   nearestNamesHint(column)};
            if (named.contains(key))
                return Failure{Outcome::Unreadable, where + QStringLiteral("%1 is named twice").arg(key)};
            named.insert(key);
            planColumn.basic = known->second;
        }
        plan.columns.push_back(planColumn);
    }
    if (!macColumn) return Failure{Outcome::Unreadable, QStringLiteral("row 1: no MAC column")};
    return *macColumn;
}

// One cell's values into the row; `where` names the cell.
std::optional<Failure> readCell(const PlanColumn& column, const QString& cell, const QString& where,
                                PlanRow& row) {
    const auto values = valuesOfName(column.name, cell);
    if (!values)
        return Failure{
            Outcome::Unreadable,
            where + QStringLiteral("\"%1\" is not a dotted address such as 10.0.0.7").arg(cell.left(40))};
    const QString block = column.basic ? QStringLiteral("basic") : QStringLiteral("advanced");
    if (auto problem = checkBlock(*values, column.basic ? basicMap() : advancedMap(), block))
        return Failure{problem->outcome, where + problem->message};
    QJsonObject& into = column.basic ? row.basic : row.advanced;
    for (auto it = values->begin(); it != values->end(); ++it) into.insert(it.key(), it.value());
    return std::nullopt;
}

// One record of the file (row `number` as a spreadsheet counts) as a plan row.
// `rowOf` holds the row number of each MAC ID read so far (a set, so that a
// plan of 100,000 rows is checked in well under a second).
Result<PlanRow> readRow(const std::vector<CsvField>& record, int number, const Plan& plan,
                        std::size_t macColumn, std::map<MacId, int>& rowOf) {
    PlanRow row;
    row.number = number;
    const QString macText = record[macColumn].value_or(QString());
    const auto mac = parseMacId(macText);
    if (!mac)
        return Failure{Outcome::Unreadable,
                       QStringLiteral("row %1, column MAC: \"%2\" is not a MAC ID such as 02:4B:58:00:C3:05 "
                                      "or 2-4B-58-0-C3-5")
                           .arg(number)
                           .arg(macText.left(40))};
    row.mac = *mac;
    if (const auto [earlier, fresh] = rowOf.emplace(row.mac, number); !fresh)
        return Failure{Outcome::Unreadable, QStringLiteral("row %1, column MAC: %2 is in row %3 already")
                                                .arg(number)
                                                .arg(macIdText(row.mac))
                                                .arg(earlier->second)};
    std::size_t c = 0;
    for (std::size_t i = 0; i < record.size(); ++i) {
        if (i == macColumn) continue;
        const PlanColumn& column = plan.columns[c++];
        if (!record[i]) continue;  // an empty cell names nothing
        const QString where = QStringLiteral("row %1, column %2: ").arg(number).arg(column.name);
        if (auto wrong = readCell(column, *record[i], where, row)) return *wrong;
    }
    return row;
}

}  // namespace

Result<Plan> parsePlan(const QByteArray& bytes, const QString& name) {
    const auto fail = [&](const Failure& failure) {
        return Failure{failure.outcome, QStringLiteral("Plan %1: %2").arg(name, failure.message)};
    };
    auto records = parseCsv(bytes);
    if (!records) return fail(records.failure());
    if (records->empty()) return fail({Outcome::Unreadable, QStringLiteral("no header row")});
    Plan plan;
    const std::vector<CsvField>& header = records->front();
    const auto macColumn = readHeader(header, plan);
    if (!macColumn) return fail(macColumn.failure());
    std::map<MacId, int> rowOf;
    for (std::size_t r = 1; r < records->size(); ++r) {
        const std::vector<CsvField>& record = (*records)[r];
        const int number = static_cast<int>(r) + 1;
        bool empty = true;
        for (const CsvField& field : record) empty = empty && (!field || field->isEmpty());
        if (empty) continue;  // a spreadsheet's trailing ",,,"
        if (record.size() != header.size())
            return fail({Outcome::Unreadable, QStringLiteral("row %1: %2 fields, but the header has %3")
                                                  .arg(number)
                                                  .arg(record.size())
                                                  .arg(header.size())});
        auto row = readRow(record, number, plan, *macColumn, rowOf);
        if (!row) return fail(row.failure());
        plan.rows.push_back(std::move(*row));
    }
    return plan;
}

Result<Plan> readPlan(const QString& path) {
    const QString name = QDir::toNativeSeparators(path);
    const auto bytes = readSmallFile(path, kLargestPlan);
    if (!bytes)
        return Failure{Outcome::Unreadable, QStringLiteral("Plan %1: %2").arg(name, bytes.failure().message)};
    return parsePlan(*bytes, name);
}

}  // namespace tarvelin
