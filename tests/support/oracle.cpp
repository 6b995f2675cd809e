#include "oracle.h"

#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <optional>

#include "config/form.h"
#include "config/operations.h"

namespace tarvelin::test {

int Spot::width() const {
    if (kind == Kind::Text) return 16;
    return kind == Kind::Port || kind == Kind::Gain || kind == Kind::Offset ? 2 : 1;
}

namespace {

void dotted(std::vector<Spot>& p, const QString& array, const QString& label, int first) {
    for (int j = 0; j < 4; ++j) p.push_back({Kind::Octet, member(array, 3 - j), label, first + j});
}

std::vector<Spot> build(Op op) {
    std::vector<Spot> p;
    if (isBasic(op)) {
        dotted(p, "IP", "IP Address", 524);
        dotted(p, "subnet", "Subnet Mask", 528);
        dotted(p, "gateway", "Gateway", 532);
        dotted(p, "smtp", "SMTP Server", 540);  // SMTP travels before DNS
        dotted(p, "DNS", "DNS Server", 536);
        p.push_back({Kind::Port, "svrport", "Tarvelin Port", 520});
        p.push_back({Kind::Port, "MBtcpPort", "Modbus/TCP Secondary Port", 522});
        p.push_back({Kind::Count, "No_of_MBtcp", "No of Connections (MBTCP)", 544});
        p.push_back({Kind::Text, "username", "Username", 634});
        p.push_back({Kind::Text, "password", "Password", 650});
        p.push_back({Kind::Level, "AccessLevel", "Access Level", 556});
        if (isStore(op)) p.push_back({Kind::Zero, "", "Access Level", 557});
        p.push_back({Kind::PasswordBit, "EnablePW", "Configuration flags", 566});
        p.push_back({Kind::Text, "hostName", "Node Name", 666});
        return p;
    }
    p.push_back({Kind::TrustBits, "PLCconfig", "Configuration flags", 566});
    for (int i = 0; i < 6 && !isStore(op); ++i)
        p.push_back({Kind::Mac, member("MAC", 5 - i), "MAC ID", 0xFF10 + i});
    for (int j = 0; j < 4; ++j)  // octet by octet across the six trusted addresses
        for (int n = 1; n <= 6; ++n)
            p.push_back({Kind::Octet, member(QString("TIP%1").arg(n), 3 - j),
                         QString("Trusted IP #%1").arg(n), 682 + 4 * (n - 1) + j});
    for (int k = 0; k < 8; ++k) {
        p.push_back({Kind::Gain, member("ADmcal", k), QString("ADC gain Ch%1").arg(k + 1), 568 + 2 * k});
        p.push_back(
            {Kind::Offset, member("ADzcal", k), QString("ADC zero offset Ch%1").arg(k + 1), 584 + 2 * k});
    }
    for (int k = 0; k < 4; ++k) {
        p.push_back({Kind::Gain, member("DAmcal", k), QString("DAC gain Ch%1").arg(k + 1), 600 + 2 * k});
        p.push_back(
            {Kind::Offset, member("DAzcal", k), QString("DAC zero offset Ch%1").arg(k + 1), 616 + 2 * k});
    }
    p.push_back({Kind::Average, "MovAvgNo", "A/D Moving Avg No. of pts", 632});
    return p;
}

std::pair<qint64, qint64> rangeOf(Kind kind) {
    if (kind == Kind::Port) return {0, 65535};
    if (kind == Kind::Gain) return {-32768, 65535};  // whatever a word carries
    if (kind == Kind::Offset) return {-100, 100};
    return kind == Kind::Average ? std::pair<qint64, qint64>{1, 9} : std::pair<qint64, qint64>{0, 255};
}

QString signedText(int v) {
    return v < 0 ? QString::number(v) : QStringLiteral(" %1").arg(v);
}

QString textOf(const std::vector<int>& bytes) {
    QString text;
    for (int i = 0; i < int(bytes.size()) && bytes[i] != 0; ++i) text += QChar(char16_t(bytes[i]));
    return text;
}

int wordOf(const std::vector<int>& b) {
    const int w = b[0] * 256 + b[1];
    return w <= 32768 ? w : w - 65536;
}

void setPair(State& s, const QString& pair, bool yes) {
    s[member(pair, 0)] = yes ? "on" : "off";
    s[member(pair, 1)] = yes ? "off" : "on";
}

// What a completed read of `spot` shows, the windows' change rules applied.
void decode(const Spot& spot, const std::vector<int>& b, State& s) {
    if (spot.kind == Kind::PasswordBit) return setPair(s, "EnablePW", b[0] & 2);
    QString& box = s[spot.control];
    if (spot.kind == Kind::Octet) box = QString::number(b[0]);
    if (spot.kind == Kind::Port) box = signedText(b[0] * 256 + b[1]);
    if (spot.kind == Kind::Text) box = textOf(b);
    if (spot.kind == Kind::Gain) box = signedText(wordOf(b));
    if (spot.kind == Kind::Offset)
        box = wordOf(b) > 100 ? "100" : wordOf(b) < -100 ? "-100" : signedText(wordOf(b));
    if (spot.kind == Kind::Average) box = b[0] < 1 ? "1" : b[0] > 9 ? "9" : signedText(b[0]);
    if (spot.kind == Kind::Mac) box = QString::number(b[0], 16).toUpper();
    if (spot.kind == Kind::Level && b[0] >= '1' && b[0] <= '3') box = QStringLiteral("#%1").arg(b[0] - '1');
    if (spot.kind == Kind::Count) {  // six connections: Modbus/TCP 2..5, the Tarvelin server the rest
        box = QString::number(std::clamp(b[0], 2, 5));
        s["No_of_Tarvelin"] = QString::number(6 - std::clamp(b[0], 2, 5));
    }
    if (spot.kind == Kind::TrustBits) {
        box = signedText(b[0]);
        setPair(s, "Tarvelintrusted", b[0] & 4);
        setPair(s, "MBtrusted", b[0] & 16);
    }
}

// The bytes a store writes for `spot`; empty when its value does not fit.
std::optional<std::vector<int>> encode(const Spot& spot, const Form& form, int flag) {
    const QString text = form.text(spot.control);
    if (spot.kind == Kind::Level) return std::vector<int>{form.selectedIndex(spot.control) + '1'};
    if (spot.kind == Kind::Zero) return std::vector<int>{0};
    if (spot.kind == Kind::PasswordBit || spot.kind == Kind::TrustBits) return std::vector<int>{flag};
    if (spot.kind == Kind::Text) {
        std::vector<int> bytes(16, 0);
        for (int i = 0; i < std::min<int>(16, text.size()); ++i) bytes[i] = text[i].unicode();
        if (std::any_of(bytes.begin(), bytes.end(), [](int c) { return c > 0xFF; })) return std::nullopt;
        return bytes;
    }
    bool ok = true;
    const qint64 v = text.trimmed().isEmpty() ? 0 : text.trimmed().toLongLong(&ok);  // an empty box stores 0
    if (!ok || v < rangeOf(spot.kind).first || v > rangeOf(spot.kind).second) return std::nullopt;
    const int w = static_cast<int>(v < 0 ? v + 65536 : v);
    return spot.width() == 1 ? std::vector<int>{w} : std::vector<int>{w / 256, w % 256};
}

QString refusal(const Spot& spot, const Form& form) {
    const QString text = form.text(spot.control);
    if (spot.kind == Kind::Text) {
        const auto at = std::find_if(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; });
        return QStringLiteral("%1: the character '%2' cannot be stored (single-byte characters only)")
            .arg(spot.label, *at);
    }
    return QStringLiteral("%1: %2 is not between %3 and %4")
        .arg(spot.label, text.trimmed())
        .arg(rangeOf(spot.kind).first)
        .arg(rangeOf(spot.kind).second);
}

QString describe(const Spot& spot, const std::vector<int>& b) {
    if (spot.kind == Kind::Port) return QString::number(b[0] * 256 + b[1]);
    if (spot.kind == Kind::Gain || spot.kind == Kind::Offset) return QString::number(wordOf(b));
    return spot.kind == Kind::Text ? textOf(b) : QString::number(b[0]);
}

struct Step {
    enum What { Version, ReadFlag, Enable, Read, Write, Verify, Reboot } what;
    int address = -1;
    int value = 0;
    const Spot* spot = nullptr;
    bool last = false;  // of its field

    std::string command() const {
        char text[16];
        if (what == Enable) return kMemoryEnableCommand;
        if (what == Reboot) return kRebootCommand;
        if (what == Write) std::snprintf(text, sizeof text, "MW%04X%02X", address & 0xFFFF, value);
        if (what != Write) std::snprintf(text, sizeof text, "MR%04X", address & 0xFFFF);
        return text;
    }
};

}  // namespace

const std::vector<Spot>& layout(Op op) {
    static const std::vector<Spot> all[] = {build(Op::RetrieveBasic), build(Op::StoreBasic),
                                            build(Op::RetrieveAdvanced), build(Op::StoreAdvanced)};
    return all[static_cast<int>(op)];
}

const Spot* spotAt(Op op, int address) {
    for (const Spot& s : layout(op))
        if (address >= s.address && address < s.address + s.width()) return &s;
    return nullptr;
}

korvex::Memory distinctiveImage() {
    korvex::Memory m = korvex::factoryImage();
    for (int a = 520; a <= 705; ++a) m[a] = static_cast<std::uint8_t>(a * 37 + 11);
    for (int a = 0xFF10; a <= 0xFF15; ++a) m[a] = static_cast<std::uint8_t>(a * 37 + 11);
    m[556] = '2';
    m[566] = 0xDB;  // the password and Modbus/TCP switches and three bits nobody owns
    return m;
}

void editForm(HeadlessForm& form, Op op, std::mt19937& random) {
    const auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    for (const Spot& s : layout(op)) {
        if (s.kind == Kind::Text) {
            QString text;  // printable, now and then from the upper half of the single bytes
            for (int n = pick(0, 16); n > 0; --n)
                text += QChar(char16_t(pick(0, 9) ? pick(0x20, 0x7E) : pick(0xA0, 0xFF)));
            form.setText(s.control, text);
        } else if (s.kind == Kind::Level) {
            form.setSelectedIndex(s.control, pick(-1, 2));
        } else if (s.kind == Kind::PasswordBit || s.kind == Kind::TrustBits) {
            for (const char* pair : {"EnablePW", "Tarvelintrusted", "MBtrusted"})
                if ((s.kind == Kind::PasswordBit) == (pair[0] == 'E'))
                    form.setChecked(member(pair, pick(0, 1)), true);
        } else if (s.kind != Kind::Zero) {
            const auto [low, high] =
                s.kind == Kind::Count ? std::pair<qint64, qint64>{2, 5} : rangeOf(s.kind);
            form.setText(s.control, QString(pick(0, 3) ? "%1" : " %1").arg(pick(int(low), int(high))));
        }
    }
}

State snapshot(const Bench& bench) {
    State s;
    for (const HeadlessForm* form : {&bench.basic, &bench.advanced})
        for (const QString& control : form->textControls())
            if (control != "messageLabel") s[control] = form->text(control);
    s["AccessLevel"] = QStringLiteral("#%1").arg(bench.basic.selectedIndex("AccessLevel"));
    for (const char* pair : {"EnablePW", "Tarvelintrusted", "MBtrusted"})
        for (int i : {0, 1}) {
            const HeadlessForm& form = pair[0] == 'E' ? bench.basic : bench.advanced;
            s[member(pair, i)] = form.isChecked(member(pair, i)) ? "on" : "off";
        }
    return s;
}

Expectation expect(Bench& bench, Op op, Fault fault, int address) {
    Expectation e;
    const RecordingMessageLine& line = bench.messages(op);
    e.memory = bench.controller().memory();
    e.state = snapshot(bench);
    e.caption = line.caption();
    e.color = line.color();
    e.beeps = line.beeps();
    const auto fail = [&e](Outcome o) {
        e.outcome = o;
        e.caption = o == Outcome::LineLost     ? kLinkLostText
                    : o == Outcome::NoResponse ? kNoResponseText
                                               : kInvalidResponseText;
        if (o == Outcome::LineLost || o == Outcome::NoResponse) e.color = kRed, ++e.beeps;
        return e;
    };
    if (fault == Fault::Busy) return e.outcome = Outcome::Busy, e;

    // The whole list of commands, and the refusal before any of them.
    const HeadlessForm& form = bench.form(op);
    const bool known = bench.holder.flagByteFromController();
    const int held = known ? bench.advanced.text("PLCconfig").trimmed().toInt() : e.memory[566];
    const auto pair = [&form](const char* name, int bit, int flags) {
        return form.isChecked(member(name, 0)) ? flags | bit : flags & ~bit & 0xFF;
    };
    const int flag = isBasic(op) ? pair("EnablePW", 2, held) & 0xFF
                                 : pair("MBtrusted", 16, pair("Tarvelintrusted", 4, held));
    std::vector<Step> steps;
    std::vector<Step> verify;
    if (!isStore(op) && isBasic(op)) steps.push_back({Step::Version});
    if (isStore(op) && !known) steps.push_back({Step::ReadFlag, 566});
    if (isStore(op)) steps.push_back({Step::Enable});
    for (const Spot& s : layout(op)) {
        const auto bytes = isStore(op) ? encode(s, form, flag) : std::vector<int>(s.width());
        if (!bytes) {
            e.outcome = Outcome::Refused;
            e.caption = refusal(s, form);
            e.color = kRed;
            return ++e.beeps, e;
        }
        for (int i = 0; i < s.width(); ++i) {
            steps.push_back(
                {isStore(op) ? Step::Write : Step::Read, s.address + i, (*bytes)[i], &s, i + 1 == s.width()});
            verify.push_back({Step::Verify, s.address + i, (*bytes)[i], &s, i + 1 == s.width()});
        }
    }
    if (isStore(op) && form.isChecked(kVerifyControl))
        steps.insert(steps.end(), verify.begin(), verify.end());
    if (isStore(op) && form.isChecked(kResetControl)) steps.push_back({Step::Reboot});

    if (fault == Fault::PortGone) return e.outcome = Outcome::PortNotOpened, e;
    e.caption = QString(8, ' ');
    e.color = kBlue;
    if (fault == Fault::Silent || fault == Fault::IdentifyThrice) return fail(Outcome::NoResponse);
    if (fault == Fault::Loopback || fault == Fault::Echo) return fail(Outcome::Echo);
    if (fault == Fault::LostAt && address < 0) return fail(Outcome::LineLost);

    // The progress counters carry over from the last operation: a mark at every fifth.
    int reads = bench.access(op).readCounter();
    int writes = bench.access(op).writeCounter();
    const auto count = [&e](int& counter) {
        if (++counter == 5) e.caption += "* ", counter = 0;
    };
    bool quitting = fault == Fault::QuitAt && address < 0;  // asked as "IR*" went out
    int previous = -2;
    std::vector<int> got, wrote;  // of the field being read
    for (const Step& s : steps) {
        const bool here = address >= 0 && s.address == address;
        Outcome failure = Outcome::Success;
        if (fault == Fault::TwiceAt && address >= 0 && previous == address)
            failure = Outcome::OutOfStep;
        else if (here && (fault == Fault::SilentAt || fault == Fault::LateAt))
            failure = Outcome::NoResponse;
        else if (here && fault == Fault::OtherStationAt)
            failure = Outcome::InvalidResponse;
        else if (here && fault == Fault::DamagedAt && s.what != Step::Write)
            failure = Outcome::InvalidResponse;
        else if (here && fault == Fault::BadFcsAt &&
                 bench.controller().config().style != korvex::ReplyStyle::Bare)
            failure = Outcome::InvalidResponse;
        else if (here && fault == Fault::LostAt)
            failure = Outcome::LineLost;
        else if ((fault == Fault::NoEnable && s.what == Step::Enable) ||
                 (fault == Fault::NoReboot && s.what == Step::Reboot))
            failure = Outcome::NoResponse;
        quitting = quitting || (here && fault == Fault::QuitAt);
        previous = s.address;
        const bool sent = failure != Outcome::OutOfStep && failure != Outcome::LineLost;
        if (sent && s.what != Step::Version) e.sent.push_back(s.command());
        if (s.what == Step::Write && (s.spot->kind == Kind::PasswordBit || s.spot->kind == Kind::TrustBits))
            e.state["PLCconfig"] = signedText(flag);  // built as its turn comes, whatever follows
        if (s.what == Step::Write && sent && !(here && fault == Fault::IgnoreWriteAt))
            e.memory[s.address] = s.value;
        if (s.what == Step::Reboot && failure != Outcome::OutOfStep) {  // its reply does not stop the store
            if (failure == Outcome::NoResponse) ++e.beeps;
            break;
        }
        if (failure != Outcome::Success) {
            fail(failure);
            if (s.what == Step::Write) count(writes);  // a failed write counts as well
            return e;
        }
        if (s.what == Step::Version)
            e.state["version"] =
                fault == Fault::NoVersion ? "" : bench.controller().config().version.substr(0, 10).c_str();
        if (s.what == Step::ReadFlag) e.state["PLCconfig"] = signedText(e.memory[566]);
        if (s.what == Step::Version || s.what == Step::Enable) continue;
        count(s.what == Step::Write ? writes : reads);
        // Asked to quit: the next read or write is the last.
        if (quitting && s.what != Step::ReadFlag) return e.outcome = Outcome::Interrupted, e;
        if (s.what == Step::Write || s.what == Step::ReadFlag) continue;
        got.push_back(e.memory[s.address]);
        wrote.push_back(s.value);
        if (!s.last) continue;
        if (s.what == Step::Read) decode(*s.spot, got, e.state);
        if (s.what == Step::Verify && got != wrote) {
            e.outcome = Outcome::VerifyMismatch;
            e.caption = QStringLiteral("Verify failed: %1 reads '%2', wrote '%3'")
                            .arg(s.spot->label, describe(*s.spot, got), describe(*s.spot, wrote));
            e.color = kRed;
            return ++e.beeps, e;
        }
        got.clear();
        wrote.clear();
    }
    e.caption = isStore(op) ? kStoredText : kRetrievedText;
    e.color = kBlue;
    return e;
}

const char* nameOf(Outcome outcome) {
    static const char* const names[] = {
        "success",     "busy",         "port not opened", "no response", "line lost",
        "send failed", "invalid",      "out of step",     "echo",        "refused",
        "unreadable",  "write failed", "verify mismatch", "interrupted"};
    return names[static_cast<int>(outcome)];
}

QString judge(Bench& bench, Op op, Fault fault, int address, Outcome* expected) {
    bench.apply(op, fault, address);
    const Expectation want = expect(bench, op, fault, address);
    if (expected) *expected = want.outcome;
    bench.controller().clearLog();
    bench.line().clearWrites();
    const Outcome got = bench.run(op);

    QStringList off;
    if (got != want.outcome)
        off << QStringLiteral("outcome %1, expected %2").arg(nameOf(got), nameOf(want.outcome));
    const korvex::Memory& memory = bench.controller().memory();
    const auto at = std::mismatch(memory.begin(), memory.end(), want.memory.begin()).first - memory.begin();
    if (at < std::ssize(memory))
        off << QStringLiteral("byte %1 holds %2, expected %3").arg(at).arg(memory[at]).arg(want.memory[at]);
    std::vector<std::string> sent;
    for (const std::string& r : bench.controller().log())
        if (r.size() >= 6 && r[0] == '@') sent.push_back(r.substr(3, r.size() - 6));
    if (sent != want.sent) {
        const auto [s, w] = std::mismatch(sent.begin(), sent.end(), want.sent.begin(), want.sent.end());
        off << QStringLiteral("%1 commands sent, expected %2; '%3' where '%4' was due")
                   .arg(sent.size())
                   .arg(want.sent.size())
                   .arg(QString::fromStdString(s == sent.end() ? "" : *s),
                        QString::fromStdString(w == want.sent.end() ? "" : *w));
    }
    const bool nothing = want.outcome == Outcome::Busy || want.outcome == Outcome::Refused ||
                         want.outcome == Outcome::PortNotOpened;
    if (nothing && !bench.line().writes().empty()) off << QStringLiteral("wrote to the line");
    const State state = snapshot(bench);
    for (auto it = want.state.begin(); it != want.state.end(); ++it)
        if (state.value(it.key()) != it.value())
            off << QStringLiteral("%1 '%2', expected '%3'").arg(it.key(), state.value(it.key()), it.value());
    const RecordingMessageLine& line = bench.messages(op);
    if (line.caption() != want.caption)
        off << QStringLiteral("message '%1', expected '%2'").arg(line.caption(), want.caption);
    if (!(line.color() == want.color)) off << QStringLiteral("message colour");
    if (line.beeps() != want.beeps)
        off << QStringLiteral("%1 beeps, expected %2").arg(line.beeps()).arg(want.beeps);
    return off.join(QStringLiteral("; "));
}

}  // namespace tarvelin::test
