// One controller's visit during provisioning: identify it, read its MAC ID,
// read what it holds of the plan, then store the plan or check it.
#include <QSet>

#include "advanced/advancedmap.h"
#include "basic/basicmap.h"
#include "cliprovision.h"
#include "clisupport.h"
#include "config/busy.h"
#include "config/operations.h"

namespace tarvelin::cli {

namespace {

// The terminal of one provisioning: after every command it asks whether to
// stop, and if so makes the running store end after that command.
class StoppableTerminal final : public Terminal {
public:
    StoppableTerminal(LineTerminal& inner, const std::function<bool()>& stop) : inner_(inner), stop_(stop) {}
    bool openCommPort() override { return inner_.openCommPort(); }
    std::string getCommport() override { return inner_.getCommport(); }
    std::string sendCommand(const std::string& cmd) override {
        std::string reply = inner_.sendCommand(cmd);
        if (stop_ && stop_()) Busy::instance().requestAbort();
        return reply;
    }
    bool linkLost() const override { return inner_.linkLost(); }
    std::string takePending() override { return inner_.takePending(); }

private:
    LineTerminal& inner_;
    const std::function<bool()>& stop_;
};

QString resultOf(Outcome outcome, const QString& caption) {
    switch (outcome) {
        case Outcome::Success:
            return QStringLiteral("stored");
        case Outcome::VerifyMismatch:
            return QStringLiteral("verify failed");
        case Outcome::Refused:
            return QStringLiteral("refused: ") + caption.trimmed();
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
}

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
        : setup_(setup), err_(err), terminal_(terminal, setup.stopRequested), directory_(terminal_) {}

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
    bool readMacId(MemoryAccess& access, std::int16_t id);
    bool findRow();
    bool readBefore();
    void check();
    void store();

    bool fail(Outcome outcome, const QString& caption = QString()) {
        record_.result = resultOf(outcome, caption);
        record_.exitCode = outcome == Outcome::Interrupted ? kInterrupted : exitCodeOf(outcome);
        return false;
    }
    // The failed read or identification of `access`, explained.
    bool failOn(StreamMessageLine& messages, const MemoryAccess& access) {
        messages.finish();
        explainLine(err_, access);
        return fail(access.lastOutcome());
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
    // one before (above all not the flag byte).
    StoppableTerminal terminal_;
    HeadlessDirectory directory_;
    ProvisionRecord record_;
    std::int16_t id_ = 0;
    std::vector<Block> blocks_;
};

// Identifies the controller and reads its MAC ID, on one message line.
bool Visit::identify() {
    StreamMessageLine messages(err_, 2);
    MemoryAccess access(messages);
    const auto id = beginOperation(access, directory_.terminal());
    if (!id || !readMacId(access, *id)) return failOn(messages, access);
    id_ = *id;
    record_.station = *id;
    return true;
}

// The MAC ID rows of the advanced map, read into the advanced form.
bool Visit::readMacId(MemoryAccess& access, std::int16_t id) {
    const auto macRow = [](const Field& field) { return field.encoding == Encoding::MacOctet; };
    if (!readRows(advancedMap(), macRow, directory_.advanced, access, id)) return false;
    record_.mac = parseMacId(shownMacId(directory_.advanced));
    return true;
}

// The plan's row of this MAC ID, and which controls of each block to read.
bool Visit::findRow() {
    if (setup_.skip) {
        if (const QString reason = setup_.skip(*record_.mac); !reason.isEmpty()) {
            record_.result = QStringLiteral("skipped: ") + reason;
            return false;
        }
    }
    const PlanRow* row = setup_.plan->find(*record_.mac);
    if (!row) {
        record_.result = QStringLiteral("not in plan");
        record_.exitCode = kNotInPlan;
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
    StreamMessageLine messages(err_, 20);
    MemoryAccess access(messages);
    access.setTerminal(directory_.terminal());
    for (const Block& block : blocks_) {
        QSet<const Field*> rows;
        for (const ProfileKey& key : profileKeysOf(block.cli->map()))
            if (block.keys.contains(key.name)) rows.insert(key.field);
        const auto keyed = [&](const Field& field) { return rows.contains(&field); };
        if (!readRows(block.cli->map(), keyed, formOf(block), access, id_)) return failOn(messages, access);
    }
    record_.before = columnTexts();
    return true;
}

void Visit::check() {
    record_.after = record_.before;
    for (Block& block : blocks_)
        for (const Difference& d :
             differences(block.wanted, blockToJson(formOf(block), block.cli->map()), block.cli->map()))
            record_.differences.push_back({block.cli->name, d});
    record_.result = record_.differences.empty() ? QStringLiteral("matches") : QStringLiteral("differs");
    record_.exitCode = record_.differences.empty() ? kSuccess : kDifferences;
}

// Every byte read back; a reboot after the last block only.
void Visit::store() {
    const bool both = !blocks_[0].wanted.isEmpty() && !blocks_[1].wanted.isEmpty();
    for (Block& block : blocks_) {
        if (block.wanted.isEmpty()) continue;
        if (setup_.stopRequested && setup_.stopRequested()) {
            fail(Outcome::Interrupted);
            return;
        }
        HeadlessForm& form = formOf(block);
        applyBlock(block.wanted, form, block.cli->map());
        form.setChecked(QString::fromLatin1(kVerifyControl), true);
        form.setChecked(QString::fromLatin1(kResetControl), setup_.reboot && (!both || !block.basic));
        const Ran ran = runOperation(block.cli->store, form, directory_, err_, 30);
        if (ran.outcome != Outcome::Success) {
            fail(ran.outcome, ran.caption);
            return;
        }
    }
    record_.after = columnTexts();
    record_.result = resultOf(Outcome::Success, QString());
}

}  // namespace

ProvisionRecord provisionOne(LineTerminal& terminal, const ProvisionSetup& setup, std::FILE* err) {
    return Visit(terminal, setup, err).run();
}

}  // namespace tarvelin::cli
