// tarvelin-cli retrieve: a block or both, as text or as a profile.
#include "base/readablebytes.h"
#include "clicommands.h"
#include "clisupport.h"
#include "config/profile.h"

namespace tarvelin::cli {

namespace {

// What a control's value looks like in plain text output.
QString plainValue(const Form& form, const ProfileKey& key, const QJsonValue& value) {
    if (key.kind == KeyKind::Level) {
        static const char* items[] = {"1 - Programmer", "2 - User", "3 - Visitor"};
        const int index = form.selectedIndex(key.name);
        return index >= 0 && index < 3 ? QString::fromLatin1(items[index]) : QStringLiteral("(none)");
    }
    if (value.isNull()) return QStringLiteral("(none)");
    if (key.kind == KeyKind::Pair) return value.toString();
    return QLatin1Char('"') + value.toString() + QLatin1Char('"');
}

// The profile as text: the controller, then each block, a line per control.
QString plainText(const Profile& profile, HeadlessDirectory& directory) {
    QString text = QStringLiteral("[controller]\n");
    for (auto it = profile.controller.begin(); it != profile.controller.end(); ++it)
        text += QStringLiteral("%1 = \"%2\"\n").arg(it.key(), it.value().toString());
    for (const bool basic : {true, false}) {
        const auto& values = basic ? profile.basic : profile.advanced;
        if (!values) continue;
        const CliBlock& block = cliBlock(basic);
        text += QStringLiteral("[%1]\n").arg(block.name);
        for (const ProfileKey& key : profileKeysOf(block.map())) {
            // A dotted address is one line, at its leftmost box.
            const qsizetype box = key.name.indexOf(QLatin1String("(3)"));
            if (key.field->encoding == Encoding::Octet && box > 0)
                text += QStringLiteral("%1 = %2\n")
                            .arg(key.name.left(box), dottedValue(*values, key.name.left(box)));
            else if (key.field->encoding != Encoding::Octet)
                text += QStringLiteral("%1 = %2\n")
                            .arg(key.name, plainValue(directory.*block.form, key, values->value(key.name)));
        }
    }
    // A controller's text may hold any byte: only the lines' own ends stay.
    return readableText(text, QStringLiteral("\n"));
}

}  // namespace

int retrieveCommand(Session& session, const RetrieveOptions& options) {
    const bool basic = options.what == QLatin1String("basic") || options.what == QLatin1String("all");
    const bool advanced = options.what == QLatin1String("advanced") || options.what == QLatin1String("all");
    if (!basic && !advanced) {
        print(session.err(), QStringLiteral("retrieve takes basic, advanced or all\n"));
        return kUsage;
    }
    HeadlessDirectory& directory = session.directory();
    Profile profile;
    for (const bool isBasic : {true, false}) {
        if (!(isBasic ? basic : advanced)) continue;
        const CliBlock& block = cliBlock(isBasic);
        if (const Outcome outcome =
                retrieveBlock(block, directory, session.err(), QStringLiteral("retrieve ") + block.name);
            outcome != Outcome::Success)
            return exitCodeOf(outcome);
        (isBasic ? profile.basic : profile.advanced) = blockToJson(directory.*block.form, block.map());
        if (isBasic) {
            profile.controller.insert(QStringLiteral("version"),
                                      directory.basic.text(QStringLiteral("version")));
        } else {
            profile.controller.insert(QStringLiteral("MAC"), macIdOf(directory.advanced));
            profile.controller.insert(QStringLiteral("PLCconfig"),
                                      directory.advanced.text(QStringLiteral("PLCconfig")));
        }
    }
    const QByteArray result = options.json ? profileText(profile) : plainText(profile, directory).toUtf8();
    return session.writeResult(result, options.output);
}

}  // namespace tarvelin::cli
