#include "clicompare.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "advanced/advancedmap.h"
#include "basic/basicmap.h"
#include "clisupport.h"
#include "config/comparison.h"
#include "config/profile.h"

namespace tarvelin::cli {

namespace {

// The profile and which of its blocks to compare; the exit code when the
// words or the profile will not do.
struct Wanted {
    Profile profile;
    bool basic = false;
    bool advanced = false;
};

Result<Wanted> wantedBlocks(const QString& what, const QString& profilePath, std::FILE* err) {
    const Failure usage{Outcome::Unreadable, QString()};
    const bool all = what == QLatin1String("all");
    if (!all && what != QLatin1String("basic") && what != QLatin1String("advanced")) {
        print(err, QStringLiteral("compare takes basic, advanced or all\n"));
        return usage;
    }
    if (profilePath.isEmpty()) {
        print(err, QStringLiteral("compare needs --profile FILE\n"));
        return usage;
    }
    auto profile = readProfile(profilePath, &basicMap(), &advancedMap());
    if (!profile) {
        print(err, profile.failure().message + "\n");
        return Failure{profile.failure().outcome, QString()};
    }
    Wanted wanted{std::move(*profile)};
    wanted.basic = (all && wanted.profile.basic) || what == QLatin1String("basic");
    wanted.advanced = (all && wanted.profile.advanced) || what == QLatin1String("advanced");
    if ((wanted.basic && !wanted.profile.basic) || (wanted.advanced && !wanted.profile.advanced) ||
        (!wanted.basic && !wanted.advanced)) {
        print(err, all ? QStringLiteral("Profile %1 holds no settings\n").arg(profilePath)
                       : QStringLiteral("Profile %1 holds no %2 settings\n").arg(profilePath, what));
        return usage;
    }
    return wanted;
}

}  // namespace

int compareCommand(LineTerminal& terminal, const QString& what, const QString& profilePath, bool json,
                   const std::function<int(const QByteArray&)>& writeResult, std::FILE* err) {
    const auto wanted = wantedBlocks(what, profilePath, err);
    if (!wanted) return exitCodeOf(wanted.failure().outcome);
    HeadlessDirectory directory(terminal);
    QJsonArray found;
    QString text;
    for (const bool isBasic : {true, false}) {
        if (isBasic ? !wanted->basic : !wanted->advanced) continue;
        const CliBlock& block = cliBlock(isBasic);
        if (const Outcome outcome =
                retrieveBlock(block, directory, err, QStringLiteral("compare ") + block.name);
            outcome != Outcome::Success)
            return exitCodeOf(outcome);
        const QJsonObject& values = isBasic ? *wanted->profile.basic : *wanted->profile.advanced;
        const QJsonObject held = blockToJson(directory.*block.form, block.map());
        const std::vector<Difference> blockFound = differences(values, held, block.map());
        for (const QString& line :
             differenceLines(blockFound, values, held, block.map(), QStringLiteral("profile")))
            text += line + QLatin1Char('\n');
        for (const Difference& d : blockFound) {
            found.append(QJsonObject{{QStringLiteral("block"), block.name},
                                     {QStringLiteral("control"), d.key},
                                     {QStringLiteral("profile"), d.wanted},
                                     {QStringLiteral("controller"), d.held}});
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
