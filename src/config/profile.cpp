#include "profile.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

#include "base/safefile.h"
#include "codecs.h"
#include "form.h"
#include "headlessform.h"

namespace tarvelin {

namespace {

bool numeric(const Field& field) {
    return field.encoding != Encoding::Text16;
}

// Numeric boxes that show a leading blank before a value that is not negative.
bool showsBlank(const Field& field) {
    return field.encoding == Encoding::Port || field.encoding == Encoding::Word ||
           field.encoding == Encoding::SignedByte;
}

// A text key's value as box text; empty optional for a wrong type.
std::optional<QString> textOf(const QJsonValue& value, const Field& field) {
    if (value.isString()) return value.toString();
    if (value.isDouble() && numeric(field)) {
        const double d = value.toDouble();
        return shortestDecimal(d);
    }
    return std::nullopt;
}

}  // namespace

bool wholeDecimal(const QString& text, bool blank) {
    qsizetype i = 0;
    if (blank && text.startsWith(QLatin1Char(' '))) ++i;
    if (i < text.size() && text.at(i) == QLatin1Char('-')) ++i;
    if (i == text.size()) return false;
    // "07" could be read as octal by a person or a spreadsheet: only "0" starts with 0.
    if (text.at(i) == QLatin1Char('0') && i + 1 < text.size()) return false;
    for (; i < text.size(); ++i)
        if (text.at(i) < QLatin1Char('0') || text.at(i) > QLatin1Char('9')) return false;
    return true;
}

namespace {

// The first control character of a text (C0, DEL or C1), or -1.
qsizetype firstControlCharacter(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return i;
    }
    return -1;
}

// A box's text as a profile holds it. A numeric box holds the number a
// store would write, as a retrieve shows it (an empty box stores 0), so that
// what a window saves loads again strictly; a text box holds its text.
QString savedText(const QString& text, const Field& field) {
    if (!numeric(field)) return text;
    const auto value = readWholeNumber(text);
    if (!value) return text;
    return showsBlank(field) ? integerToSignedText(*value) : integerToText(*value);
}

QString typeName(const QJsonValue& v) {
    switch (v.type()) {
        case QJsonValue::Null:
            return QStringLiteral("null");
        case QJsonValue::Bool:
            return QStringLiteral("true/false");
        case QJsonValue::Double:
            return QStringLiteral("a number");
        case QJsonValue::String:
            return QStringLiteral("a text");
        case QJsonValue::Array:
            return QStringLiteral("a list");
        case QJsonValue::Object:
            return QStringLiteral("an object");
        default:
            return QStringLiteral("nothing");
    }
}

}  // namespace

namespace {

// Visits the keys of a block in travel order until `visit` returns true.
template <class Visit>
void visitKeys(const MemoryMap& map, Visit visit) {
    for (const Field& field : map) {
        switch (field.encoding) {
            case Encoding::AccessLevel:
                if (visit(ProfileKey{field.control, KeyKind::Level, &field})) return;
                break;
            case Encoding::FlagByte:
                for (const FlagBit& bit : field.bits)
                    if (visit(ProfileKey{bit.pair, KeyKind::Pair, &field})) return;
                break;
            case Encoding::ZeroByte:
            case Encoding::MacOctet:
                break;
            default:
                if (visit(ProfileKey{field.control, KeyKind::Text, &field})) return;
                break;
        }
    }
}

}  // namespace

std::vector<ProfileKey> profileKeysOf(const MemoryMap& map) {
    std::vector<ProfileKey> keys;
    visitKeys(map, [&keys](ProfileKey key) {
        keys.push_back(std::move(key));
        return false;
    });
    return keys;
}

QStringList profileKeys(const MemoryMap& map) {
    QStringList names;
    for (const ProfileKey& key : profileKeysOf(map)) names << key.name;
    return names;
}

// Walks the map without building the list: a plan of 100,000 rows asks this
// for every cell.
std::optional<ProfileKey> findProfileKey(const MemoryMap& map, const QString& name) {
    std::optional<ProfileKey> found;
    visitKeys(map, [&](ProfileKey key) {
        if (key.name != name) return false;
        found = std::move(key);
        return true;
    });
    return found;
}

QJsonObject blockToJson(const Form& form, const MemoryMap& map) {
    QJsonObject out;
    for (const ProfileKey& key : profileKeysOf(map)) {
        switch (key.kind) {
            case KeyKind::Text:
                out.insert(key.name, savedText(form.text(key.name), *key.field));
                break;
            case KeyKind::Level: {
                const int index = form.selectedIndex(key.name);
                out.insert(key.name, index >= 0 ? QJsonValue(index + 1) : QJsonValue(QJsonValue::Null));
                break;
            }
            case KeyKind::Pair:
                if (form.isChecked(member(key.name, 0)))
                    out.insert(key.name, QStringLiteral("Yes"));
                else if (form.isChecked(member(key.name, 1)))
                    out.insert(key.name, QStringLiteral("No"));
                else
                    out.insert(key.name, QJsonValue(QJsonValue::Null));
                break;
        }
    }
    return out;
}

namespace {

Failure unreadableAt(const QString& where, const QString& what) {
    return Failure{Outcome::Unreadable, where + what};
}

Failure doesNotFitAt(const QString& where, const QString& what) {
    return Failure{Outcome::Refused, where + what};
}

// A number the box's change rule would turn into another before a store (a
// connection count of 7 becomes 5) does not fit: the controller would get
// something else than the file says. (Texts never come here: the only rule
// on a text cuts it to 16 characters, and a longer one is refused before.)
std::optional<Failure> settledByRule(const QString& text, const Field& field, const QString& where) {
    if (!field.rule) return std::nullopt;
    HeadlessForm settled;
    settled.setRule(field.rule);
    settled.setText(field.control, text);
    const QString after = settled.text(field.control);
    if (readWholeNumber(after) == readWholeNumber(text)) return std::nullopt;
    return doesNotFitAt(where, QStringLiteral(": %1 would be stored as %2 (the window's rule for this box)")
                                   .arg(text.trimmed().left(24), after.trimmed()));
}

// What is wrong with the value of a text key (`where` names it); empty when
// it is what the box holds and fits.
std::optional<Failure> checkText(const QJsonValue& value, const Field& field, const QString& where) {
    const auto text = textOf(value, field);
    if (!text)
        return unreadableAt(
            where, QStringLiteral(" must be %1, not %2")
                       .arg(numeric(field) ? QStringLiteral("a text or a number") : QStringLiteral("a text"),
                            typeName(value)));
    if (field.encoding == Encoding::Text16) {
        if (const qsizetype at = firstControlCharacter(*text); at >= 0)
            return unreadableAt(
                where, QStringLiteral(" holds a control character (code %1)").arg(text->at(at).unicode()));
        if (text->size() > 16) return doesNotFitAt(where, QStringLiteral(" is longer than 16 characters"));
        if (const int at = firstCharacterWithoutByte(*text); at >= 0)
            return doesNotFitAt(
                where, QStringLiteral(": the character '%1' cannot be stored (single-byte characters only)")
                           .arg(text->mid(at, 1)));
        return std::nullopt;
    }
    if (value.isDouble() ? value.toDouble() != std::trunc(value.toDouble())
                         : !wholeDecimal(*text, showsBlank(field)))
        return unreadableAt(where, QStringLiteral(" must be a whole decimal number, not \"%1\"")
                                       .arg(value.isDouble() ? *text : text->left(24)));
    HeadlessForm scratch;
    scratch.setText(field.control, *text);
    if (encodeFrom(scratch, field)) return settledByRule(*text, field, where);
    const std::int64_t high = field.encoding == Encoding::Port ? 65535 : field.high;
    return doesNotFitAt(where, QStringLiteral(": %1 is not between %2 and %3")
                                   .arg(text->trimmed().left(24))
                                   .arg(field.low)
                                   .arg(high));
}

}  // namespace

std::optional<Failure> checkBlock(const QJsonObject& values, const MemoryMap& map, const QString& block) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        const QString where = QStringLiteral("key \"%1.%2\"").arg(block, it.key());
        const auto key = findProfileKey(map, it.key());
        if (!key) return unreadableAt(where, QStringLiteral(" is not a setting of the %1 window").arg(block));
        const QJsonValue value = it.value();
        switch (key->kind) {
            case KeyKind::Level:
                if (!value.isNull() &&
                    (!value.isDouble() ||
                     (value.toDouble() != 1 && value.toDouble() != 2 && value.toDouble() != 3)))
                    return unreadableAt(where, QStringLiteral(" must be 1, 2, 3 or null"));
                break;
            case KeyKind::Pair:
                if (!value.isNull() && (!value.isString() || (value.toString() != QLatin1String("Yes") &&
                                                              value.toString() != QLatin1String("No"))))
                    return unreadableAt(where, QStringLiteral(" must be \"Yes\", \"No\" or null"));
                break;
            case KeyKind::Text:
                if (auto wrong = checkText(value, *key->field, where)) return wrong;
                break;
        }
    }
    return std::nullopt;
}

void applyBlock(const QJsonObject& values, Form& form, const MemoryMap& map) {
    for (const ProfileKey& key : profileKeysOf(map)) {
        if (!values.contains(key.name)) continue;
        const QJsonValue value = values.value(key.name);
        switch (key.kind) {
            case KeyKind::Text:
                form.setText(key.name, textOf(value, *key.field).value_or(QString()));
                break;
            case KeyKind::Level:
                form.setSelectedIndex(key.name, value.isNull() ? -1 : value.toInt() - 1);
                break;
            case KeyKind::Pair:
                if (value.isNull()) {
                    form.setChecked(member(key.name, 0), false);
                    form.setChecked(member(key.name, 1), false);
                } else {
                    form.setChecked(member(key.name, value.toString() == QLatin1String("Yes") ? 0 : 1), true);
                }
                break;
        }
    }
}

QByteArray profileTextWith(QJsonObject root, const QString& block, const QJsonObject& values) {
    root.insert(QStringLiteral("format"), QString::fromLatin1(kProfileFormat));
    root.insert(QStringLiteral("version"), kProfileVersion);
    root.insert(block, values);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QByteArray profileText(const Profile& profile) {
    QJsonObject root;
    root.insert(QStringLiteral("format"), QString::fromLatin1(kProfileFormat));
    root.insert(QStringLiteral("version"), kProfileVersion);
    if (profile.basic) root.insert(QStringLiteral("basic"), *profile.basic);
    if (profile.advanced) root.insert(QStringLiteral("advanced"), *profile.advanced);
    if (!profile.controller.isEmpty()) root.insert(QStringLiteral("controller"), profile.controller);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<QJsonObject> readProfileLoosely(const QString& path) {
    const auto bytes = readSmallFile(path, kLargestProfile);
    if (!bytes) return std::nullopt;
    const QJsonDocument doc = QJsonDocument::fromJson(*bytes);
    if (!doc.isObject()) return std::nullopt;
    return doc.object();
}

Result<Profile> readProfile(const QString& path, const MemoryMap* basic, const MemoryMap* advanced) {
    const auto fail = [&](const QString& why, Outcome outcome = Outcome::Unreadable) {
        return Failure{outcome, QStringLiteral("Profile %1: %2").arg(QDir::toNativeSeparators(path), why)};
    };
    const auto bytes = readSmallFile(path, kLargestProfile);
    if (!bytes) return fail(bytes.failure().message);
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(*bytes, &parse);
    if (parse.error != QJsonParseError::NoError)
        return fail(
            QStringLiteral("not valid JSON (%1 at character %2)").arg(parse.errorString()).arg(parse.offset));
    if (!doc.isObject()) return fail(QStringLiteral("not a profile (no JSON object)"));
    const QJsonObject root = doc.object();
    if (root.value(QStringLiteral("format")).toString() != QLatin1String(kProfileFormat))
        return fail(QStringLiteral("key \"format\" must be \"%1\"").arg(QString::fromLatin1(kProfileFormat)));
    if (!root.value(QStringLiteral("version")).isDouble() ||
        root.value(QStringLiteral("version")).toInt() != kProfileVersion)
        return fail(QStringLiteral("key \"version\" must be %1").arg(kProfileVersion));

    Profile profile;
    for (auto it = root.begin(); it != root.end(); ++it) {
        const QString name = it.key();
        if (name == QLatin1String("format") || name == QLatin1String("version")) continue;
        if (name == QLatin1String("controller")) {
            if (!it.value().isObject()) return fail(QStringLiteral("key \"controller\" must be an object"));
            profile.controller = it.value().toObject();
            continue;
        }
        if (name != QLatin1String("basic") && name != QLatin1String("advanced"))
            return fail(QStringLiteral("key \"%1\" is not part of a profile").arg(name));
        if (!it.value().isObject()) return fail(QStringLiteral("key \"%1\" must be an object").arg(name));
        const QJsonObject values = it.value().toObject();
        if (values.isEmpty()) return fail(QStringLiteral("key \"%1\" names no setting").arg(name));
        const bool isBasic = name == QLatin1String("basic");
        const MemoryMap* map = isBasic ? basic : advanced;
        if (auto wrong = map ? checkBlock(values, *map, name) : std::nullopt)
            return fail(wrong->message, wrong->outcome);
        (isBasic ? profile.basic : profile.advanced) = values;
    }
    return profile;
}

}  // namespace tarvelin
