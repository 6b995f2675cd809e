#include "clicontrols.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include "clisupport.h"
#include "commissioning/controls.h"

namespace tarvelin::cli {

namespace {

// One line of the text form: a control, or the members of one array that
// hold the same.
struct Row {
    QString name;
    QString block;
    QString label;
    QString holds;  // what it takes, its default and its rule
};

bool isText16(const ControlInfo& c) {
    return c.key.kind == KeyKind::Text && c.key.field->encoding == Encoding::Text16;
}

QString initialText(const ControlInfo& c) {
    if (c.initial.isNull()) return QStringLiteral("none chosen");
    if (c.initial.isDouble()) return QString::number(c.initial.toInteger());
    return isText16(c) ? QLatin1Char('"') + c.initial.toString() + QLatin1Char('"')
                       : c.initial.toString().trimmed();
}

QString holds(const ControlInfo& c, const QString& values, const QString& initial) {
    QString text = QStringLiteral("%1; default %2").arg(values, initial);
    if (c.ruleKeeps)
        text +=
            QStringLiteral("; a window rule keeps %1 to %2").arg(c.ruleKeeps->first).arg(c.ruleKeeps->second);
    return text;
}

QString arrayOf(const ControlInfo& c) {
    const qsizetype open = c.key.name.indexOf(QLatin1Char('('));
    return open > 0 ? c.key.name.left(open) : QString();
}

// The members of `array` as one row, when they hold the same; empty otherwise.
std::optional<Row> arrayRow(const std::vector<const ControlInfo*>& members, const QString& array) {
    const ControlInfo& first = *members.front();
    const ControlInfo& last = *members.back();
    for (const ControlInfo* m : members)
        if (m->values != first.values || initialText(*m) != initialText(first) ||
            m->ruleKeeps != first.ruleKeeps)
            return std::nullopt;
    qsizetype common = 0;
    while (common < first.label.size() && common < last.label.size() &&
           first.label[common] == last.label[common])
        ++common;
    const auto index = [](const ControlInfo& c) {
        return c.key.name.mid(c.key.name.indexOf('(') + 1).chopped(1);
    };
    return Row{QStringLiteral("%1(%2..%3)").arg(array, index(first), index(last)), first.block,
               first.label + QStringLiteral("..") + last.label.mid(common),
               holds(first, first.values, initialText(first))};
}

// The text form: a dotted address as one row, the members of an array that
// hold the same as one row, every other control a row of its own.
std::vector<Row> rows() {
    const auto& controls = settableControls();
    std::vector<Row> rows;
    QSet<QString> done;
    for (const ControlInfo& c : controls) {
        const QString array = arrayOf(c);
        if (done.contains(array)) continue;
        std::vector<const ControlInfo*> members;
        QJsonObject initial;
        for (const ControlInfo& m : controls)
            if (!array.isEmpty() && arrayOf(m) == array) {
                members.push_back(&m);
                initial.insert(m.key.name, m.initial);
            }
        done.insert(array);
        if (!dottedAddressOf(c).isEmpty()) {
            rows.push_back({array, c.block, c.key.field->label,
                            holds(c, QStringLiteral("dotted address, ") + c.values + QStringLiteral(" each"),
                                  dottedValue(initial, array))});
        } else if (const auto row = members.size() > 1 ? arrayRow(members, array) : std::nullopt) {
            rows.push_back(*row);
        } else {
            done.remove(array);
            rows.push_back({c.key.name, c.block, c.label, holds(c, c.values, initialText(c))});
        }
    }
    return rows;
}

QJsonObject jsonOf(const ControlInfo& c) {
    QJsonObject o{{QStringLiteral("name"), c.key.name},
                  {QStringLiteral("block"), c.block},
                  {QStringLiteral("label"), c.label},
                  {QStringLiteral("values"), c.values},
                  {QStringLiteral("default"), c.initial}};
    if (const QString address = dottedAddressOf(c); !address.isEmpty())
        o.insert(QStringLiteral("address"), address);
    if (c.key.kind == KeyKind::Level) o.insert(QStringLiteral("allowed"), QJsonArray{1, 2, 3});
    if (c.key.kind == KeyKind::Pair) o.insert(QStringLiteral("allowed"), QJsonArray{"Yes", "No"});
    if (isText16(c)) o.insert(QStringLiteral("maxLength"), 16);
    if (c.key.kind == KeyKind::Text && !isText16(c)) {
        o.insert(QStringLiteral("low"), static_cast<qint64>(c.key.field->low));
        o.insert(QStringLiteral("high"), static_cast<qint64>(c.key.field->high));
    }
    o.insert(QStringLiteral("windowRuleKeeps"),
             c.ruleKeeps ? QJsonValue(QJsonArray{static_cast<qint64>(c.ruleKeeps->first),
                                                 static_cast<qint64>(c.ruleKeeps->second)})
                         : QJsonValue(QJsonValue::Null));
    return o;
}

}  // namespace

int controlsCommand(bool json, std::FILE* out) {
    QString text;
    if (json) {
        QJsonArray all;
        for (const ControlInfo& c : settableControls()) all.append(jsonOf(c));
        text = QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Indented));
    } else {
        for (const Row& row : rows())
            text += QStringLiteral("%1 %2 %3\n%4 %5\n")
                        .arg(row.name, -15)
                        .arg(row.block, -8)
                        .arg(row.label)
                        .arg(QString(), 15)
                        .arg(row.holds);
    }
    print(out, text);
    return kSuccess;
}

}  // namespace tarvelin::cli
