// Commissioning plans: one row per controller, keyed by its MAC ID, in a CSV
// file a spreadsheet can write. The header row names the columns: `MAC`, and
// one column per control name ("hostName", "IP(0)") or dotted address ("IP",
// "TIP3"):
//
//   MAC,IP,hostName
//   02:4B:58:00:C3:05,10.0.0.7,Press 7
//   2-4B-58-0-C3-6,10.0.0.8,"Press 8, east"
//
// A cell is read as strictly as a profile's value or --set. An empty cell
// leaves its control as it is (in the base profile, or on the controller); a
// cell holding "" (two quotes) is an empty text.
//
// Also the CSV records of the provisioning report.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/outcome.h"
#include "config/macid.h"

namespace tarvelin {

// The profile keys a plan column or a --set name stands for: the four boxes
// of a dotted address (left to right), or the name itself.
QStringList keysOfName(const QString& name);

// The values a name and its text give, as a plan cell and --set read them: a
// dotted address ("IP", "10.0.0.7") fills its four boxes, the access level
// takes a whole number, any other control the text itself (checkBlock then
// judges them). Empty when a dotted address is not four parts.
std::optional<QJsonObject> valuesOfName(const QString& name, const QString& text);

// The text of a plan column in a block's values: "10.0.0.7" for a dotted
// address, "Press 7" for a text, "9080" for a number (no leading blank),
// "Yes", "2"; empty for a value that is not there (or null).
QString columnText(const QString& column, const QJsonObject& values);

struct PlanColumn {
    QString name;       // as the header has it: "IP", "hostName"
    bool basic = true;  // which block its control belongs to
};

struct PlanRow {
    int number = 0;  // as a spreadsheet counts: the header is row 1
    MacId mac{};
    // The values the row's non-empty cells give, by profile key, per block.
    QJsonObject basic;
    QJsonObject advanced;
};

struct Plan {
    std::vector<PlanColumn> columns;  // without the MAC column, in header order
    std::vector<PlanRow> rows;
    // The row of `mac`; null when there is none. A plan never holds a MAC
    // ID twice.
    const PlanRow* find(const MacId& mac) const;
};

// A plan from the bytes of its file; `name` names it in messages. UTF-8 (a
// byte-order mark is allowed), CR LF or LF. A plan with anything wrong is
// refused whole: the failure (Unreadable, or Refused for a value that does
// not fit) names the row and the column.
Result<Plan> parsePlan(const QByteArray& bytes, const QString& name);
Result<Plan> readPlan(const QString& path);

// A CSV field: null for an empty cell that was not quoted.
using CsvField = std::optional<QString>;
// The records of CSV text (RFC 4180; UTF-8 with an optional byte-order mark;
// empty lines skipped). The failure names the row.
Result<std::vector<std::vector<CsvField>>> parseCsv(const QByteArray& bytes);
// One record as a CSV line (every field quoted), ending in CR LF.
QByteArray csvRecord(const QStringList& fields);

}  // namespace tarvelin
