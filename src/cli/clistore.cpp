// tarvelin-cli store: a profile and --set values into one block.
#include "advanced/advancedmap.h"
#include "basic/basicmap.h"
#include "clicommands.h"
#include "clisupport.h"
#include "commissioning/controls.h"
#include "commissioning/plan.h"
#include "config/operations.h"
#include "config/profile.h"

namespace tarvelin::cli {

namespace {

// "IP=10.0.0.7" sets IP(3)..IP(0); "IP(0)=7" one box. Read as a plan cell is.
std::optional<QJsonObject> overrides(const QStringList& sets, QString* error) {
    QJsonObject values;
    for (const QString& set : sets) {
        const int eq = set.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            *error = QStringLiteral("--set takes NAME=VALUE, not \"%1\"").arg(set);
            return std::nullopt;
        }
        const QString name = set.left(eq);
        if (!settableNames().contains(name)) {
            *error = QStringLiteral("--set %1: not a setting of either window%2")
                         .arg(name, nearestNamesHint(name));
            return std::nullopt;
        }
        const auto named = valuesOfName(name, set.mid(eq + 1));
        if (!named) {
            *error = QStringLiteral("--set %1 takes a dotted address such as 10.0.0.7").arg(name);
            return std::nullopt;
        }
        for (auto it = named->begin(); it != named->end(); ++it) values.insert(it.key(), it.value());
    }
    return values;
}

// The block's values the profile and --set name, --set over the profile; the
// exit code when they cannot be had.
Result<std::pair<QJsonObject, QJsonObject>> namedValues(const StoreOptions& options, const MemoryMap& map,
                                                        std::FILE* err) {
    const auto usage = [](Outcome outcome = Outcome::Unreadable) { return Failure{outcome, QString()}; };
    QJsonObject values;
    if (!options.profile.isEmpty()) {
        const auto profile = readProfile(options.profile, &basicMap(), &advancedMap());
        if (!profile) {
            print(err, profile.failure().message + "\n");
            return usage(profile.failure().outcome);
        }
        const auto& block = options.what == QLatin1String("basic") ? profile->basic : profile->advanced;
        if (!block) {
            print(err,
                  QStringLiteral("Profile %1 holds no %2 settings\n").arg(options.profile, options.what));
            return usage();
        }
        values = *block;
    }
    QString error;
    const auto extra = overrides(options.sets, &error);
    if (!extra) {
        print(err, error + "\n");
        return usage();
    }
    if (auto problem = checkBlock(*extra, map, options.what)) {
        print(err, QStringLiteral("--set: %1\n").arg(problem->message));
        return usage(problem->outcome);
    }
    return std::pair{values, *extra};
}

}  // namespace

int storeCommand(Session& session, const StoreOptions& options) {
    const bool basic = options.what == QLatin1String("basic");
    if (!basic && options.what != QLatin1String("advanced")) {
        print(session.err(), QStringLiteral("store takes basic or advanced\n"));
        return kUsage;
    }
    if (options.profile.isEmpty() && options.sets.isEmpty()) {
        print(session.err(), QStringLiteral("store needs --profile FILE or --set NAME=VALUE\n"));
        return kUsage;
    }
    const CliBlock& block = cliBlock(basic);
    const MemoryMap& map = block.map();
    const auto named = namedValues(options, map, session.err());
    if (!named) return exitCodeOf(named.failure().outcome);
    const auto& [values, extra] = *named;
    bool everyControlNamed = true;
    for (const QString& key : profileKeys(map))
        everyControlNamed = everyControlNamed && (values.contains(key) || extra.contains(key));
    if (!options.yes && !confirmed(session.in(), session.err())) return kUsage;

    HeadlessDirectory& directory = session.directory();
    HeadlessForm& form = directory.*block.form;
    // What neither the profile nor --set names stays as the controller has
    // it: read the block first, as the window's retrieve does.
    if (!everyControlNamed) {
        if (const Outcome outcome = retrieveBlock(block, directory, session.err(),
                                                  QStringLiteral("store %1: reading").arg(block.name), true);
            outcome != Outcome::Success)
            return exitCodeOf(outcome);
    }
    applyBlock(values, form, map);
    applyBlock(extra, form, map);
    form.setChecked(QString::fromLatin1(kResetControl), options.reboot);
    form.setChecked(QString::fromLatin1(kVerifyControl), options.verify);
    return exitCodeOf(runOperation(block.store, form, directory, session.err(),
                                   {QStringLiteral("store ") + block.name, options.verify ? 30 : 15})
                          .outcome);
}

}  // namespace tarvelin::cli
