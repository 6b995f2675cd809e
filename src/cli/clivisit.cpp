// One controller's visit during provisioning: identify it, read its MAC ID,
// read what it holds of the plan, then store the plan or check it.
#include <QSet>

#include "advanced/advancedmap.h"
#include "basic/basicmap.h"
#include "cliprovision.h"
#include "clisupport.h"
#include "config/operations.h"

namespace tarvelin::cli {

namespace {

// One block of the visit: what the plan wants in it, and which of its
// controls to read (the plan's columns, and what the store keeps).
struct Block {
    bool basic;
    const CliBlock* cli;
    QJsonObject wanted;
    QSet<QString> keys;
};

// The values provisioning wants in one block: the base's, the row's over them.
QJsonObject wantedValues(const Profile* base, const QJsonObject& row, bool basic) {
    QJsonObject values;
    if (base) values = (basic ? base->basic : base->advanced).value_or(QJsonObject());
    for (auto it = row.begin(); it != row.end(); ++it) values.insert(it.key(), it.value());
    return values;
}

class Visit {
public:
    Visit(LineTerminal& terminal, const ProvisionSetup& setup, std::FILE* err)
        : setup_(setup), err_(err), directory_(terminal, setup.stopRequested) {}

    // identify -> read the MAC ID -> find the row -> read before -> store or check
    ProvisionRecord run() {
        if (!identify() || !findRow() || !readBefore()) return record_;
        if (setup_.check)
            check();
        else
            store();
        return record_;
    }

private:
    bool identify();
    Result<void> readMacId(MemoryAccess& access, std::int16_t id);
    bool findRow();
    bool readBefore();
    void check();
    void store();
    bool sameControllerAfter();
    void reboot();

    bool fail(Outcome outcome, const QString& caption = QString()) {
        record_.outcome = outcome;
        record_.reason = caption.trimmed();
        return false;
    }
    // A failed read or identification, explained.
    bool failOn(StreamMessageLine& messages, const Failure& failure) {
        messages.finish(failure.outcome);
        explainLine(err_, failure.outcome);
        return fail(failure.outcome);
    }
    HeadlessForm& formOf(const Block& block) { return directory_.*block.cli->form; }
    // What the controller holds of each plan column.
    QStringList columnTexts() {
        QStringList texts;
        for (const PlanColumn& column : setup_.plan->columns) {
            const CliBlock& block = cliBlock(column.basic);
            texts << columnText(column.name, blockToJson(directory_.*block.form, block.map()));
        }
        return texts;
    }

    const ProvisionSetup& setup_;
    std::FILE* err_;
    // The window objects of this controller: nothing carries over from the
    // one before (above all not the flag byte). A store asks after every
    // command whether to stop.
    HeadlessDirectory directory_;
    ProvisionRecord record_;
    std::int16_t id_ = 0;
    std::vector<Block> blocks_;
};

// Identifies the controller and reads its MAC ID, on one message line.
bool Visit::identify() {
    StreamMessageLine messages(err_, {QStringLiteral("provision: identify"), 2});
    MemoryAccess access(messages);
    const auto id = beginOperation(access, directory_.terminal());
    if (!id) return failOn(messages, id.failure());
    if (const auto mac = readMacId(access, *id); !mac) return failOn(messages, mac.failure());
    id_ = *id;
    record_.station = *id;
    return true;
}

// The MAC ID rows of the advanced map, read into the advanced form.
Result<void> Visit::readMacId(MemoryAccess& access, std::int16_t id) {
    const auto macRow = [](const Field& field) { return field.encoding == Encoding::MacOctet; };
    if (auto read = readRows(advancedMap(), macRow, directory_.advanced, access, id); !read) return read;
    record_.mac = parseMacId(macIdOf(directory_.advanced));
    return {};
}

// The plan's row of this MAC ID, and which controls of each block to read.
bool Visit::findRow() {
    if (setup_.skip) {
        if (const QString reason = setup_.skip(*record_.mac); !reason.isEmpty()) {
            record_.action = ProvisionRecord::Action::Skipped;
            record_.reason = reason;
            return false;
        }
    }
    const PlanRow* row = setup_.plan->find(*record_.mac);
    if (!row) {
        record_.action = ProvisionRecord::Action::NotInPlan;
        return false;
    }
    blocks_ = {{true, &cliBlock(true), wantedValues(setup_.base, row->basic, true), {}},
               {false, &cliBlock(false), wantedValues(setup_.base, row->advanced, false), {}}};
    for (const PlanColumn& column : setup_.plan->columns)
        for (const QString& key : keysOfName(column.name)) blocks_[column.basic ? 0 : 1].keys.insert(key);
    for (Block& block : blocks_) {
        if (block.wanted.isEmpty()) continue;
        for (const QString& key : profileKeys(block.cli->map()))
            if (setup_.check ? block.wanted.contains(key) : !block.wanted.contains(key))
                block.keys.insert(key);
    }
    return true;
}

// What the controller holds now of what the visit reads.
bool Visit::readBefore() {
    StreamMessageLine messages(err_, {QStringLiteral("provision: reading"), 20});
    MemoryAccess access(messages);
    access.setTerminal(directory_.terminal());
    for (const Block& block : blocks_) {
        QSet<const Field*> rows;
        for (const ProfileKey& key : profileKeysOf(block.cli->map()))
            if (block.keys.contains(key.name)) rows.insert(key.field);
        const auto keyed = [&](const Field& field) { return rows.contains(&field); };
        if (auto read = readRows(block.cli->map(), keyed, formOf(block), access, id_); !read)
            return failOn(messages, read.failure());
    }
    record_.before = columnTexts();
    if (setup_.stopRequested && setup_.stopRequested()) return fail(Outcome::Interrupted);
    return true;
}

void Visit::check() {
    record_.after = record_.before;
    for (Block& block : blocks_) {
        const QJsonObject held = blockToJson(formOf(block), block.cli->map());
        const std::vector<Difference> found = differences(block.wanted, held, block.cli->map());
        for (const Difference& d : found) record_.differences.push_back({block.cli->name, d});
        record_.differenceLines +=
            differenceLines(found, block.wanted, held, block.cli->map(), QStringLiteral("plan"));
    }
    record_.action = ProvisionRecord::Action::Compared;
}

// Every byte read back, the MAC ID read again; a reboot after all that only.
void Visit::store() {
    for (Block& block : blocks_) {
        if (block.wanted.isEmpty()) continue;
        if (setup_.stopRequested && setup_.stopRequested()) {
            fail(Outcome::Interrupted);
            return;
        }
        HeadlessForm& form = formOf(block);
        applyBlock(block.wanted, form, block.cli->map());
        form.setChecked(QString::fromLatin1(kVerifyControl), true);
        form.setChecked(QString::fromLatin1(kResetControl), false);
        const Ran ran = runOperation(block.cli->store, form, directory_, err_,
                                     {QStringLiteral("provision ") + block.cli->name, 30});
        if (ran.outcome != Outcome::Success) {
            fail(ran.outcome, ran.caption);
            return;
        }
    }
    if (!sameControllerAfter()) return;
    record_.after = columnTexts();
    if (setup_.reboot) reboot();
}

void Visit::reboot() {
    StreamMessageLine messages(err_, {QStringLiteral("provision: reboot"), 1});
    MemoryAccess access(messages);
    access.setTerminal(directory_.terminal());
    if (const Outcome rebooted = rebootAfterStore(access, directory_.terminal(), id_);
        rebooted != Outcome::Success) {
        messages.finish(rebooted);
        explainLine(err_, rebooted);
        fail(rebooted);
    }
}

// The MAC ID once more, after the last write and its read-back: what was
// stored went to the controller whose row it is only if it is the same.
bool Visit::sameControllerAfter() {
    StreamMessageLine messages(err_, {QStringLiteral("provision: MAC ID again"), 6, true});
    MemoryAccess access(messages);
    access.setTerminal(directory_.terminal());
    HeadlessForm now;
    const auto macRow = [](const Field& field) { return field.encoding == Encoding::MacOctet; };
    if (auto read = readRows(advancedMap(), macRow, now, access, id_); !read)
        return failOn(messages, read.failure());
    messages.finish(Outcome::Success);
    const auto mac = parseMacId(macIdOf(now));
    if (mac == record_.mac) return true;
    record_.macAfter = mac.value_or(MacId{});
    print(err_, QStringLiteral("The controller changed during the store: MAC ID %1 before it, %2 after it\n")
                    .arg(macIdText(*record_.mac), macIdText(*record_.macAfter)));
    return fail(Outcome::VerifyMismatch,
                QStringLiteral("the controller changed during the store (MAC ID %1 before, %2 after)")
                    .arg(macIdText(*record_.mac), macIdText(*record_.macAfter)));
}

}  // namespace

ProvisionRecord provisionOne(LineTerminal& terminal, const ProvisionSetup& setup, std::FILE* err) {
    return Visit(terminal, setup, err).run();
}

}  // namespace tarvelin::cli
