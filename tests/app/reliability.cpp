#include "reliability.h"

#include "config/form.h"
#include "sim/pty.h"

namespace tarvelin::test {

namespace {

QString memberOf(const QString& array, int index) {
    return array + QLatin1Char('(') + QString::number(index) + QLatin1Char(')');
}

void setDotted(Form& form, const QString& array, std::initializer_list<int> numbers) {
    int index = 3;
    for (int n : numbers) form.setText(memberOf(array, index--), QString::number(n));
}

}  // namespace

void editBasic(Form& form) {
    setDotted(form, QStringLiteral("IP"), {172, 16, 5, 9});
    setDotted(form, QStringLiteral("subnet"), {255, 255, 0, 0});
    setDotted(form, QStringLiteral("gateway"), {172, 16, 0, 1});
    setDotted(form, QStringLiteral("smtp"), {172, 16, 0, 25});
    setDotted(form, QStringLiteral("DNS"), {8, 8, 4, 4});
    form.setText(QStringLiteral("svrport"), QStringLiteral("8081"));
    form.setText(QStringLiteral("MBtcpPort"), QStringLiteral("1503"));
    form.setText(QStringLiteral("No_of_MBtcp"), QStringLiteral("2"));
    form.setText(QStringLiteral("username"), QStringLiteral("operator"));
    form.setText(QStringLiteral("password"), QStringLiteral("s3cret"));
    form.setSelectedIndex(QStringLiteral("AccessLevel"), 2);
    form.setChecked(QStringLiteral("EnablePW(1)"), true);
    form.setText(QStringLiteral("hostName"), QStringLiteral("Press-7"));
    form.setChecked(QStringLiteral("ResetPLC"), true);
}

void editAdvanced(Form& form) {
    for (int n = 1; n <= 6; ++n) setDotted(form, QStringLiteral("TIP%1").arg(n), {192, 168, n, 100 + n});
    for (int k = 0; k < 8; ++k) {
        form.setText(memberOf(QStringLiteral("ADmcal"), k), QString::number(-(k + 2)));
        form.setText(memberOf(QStringLiteral("ADzcal"), k), QString::number(k * 10 - 35));
    }
    for (int k = 0; k < 4; ++k) {
        form.setText(memberOf(QStringLiteral("DAmcal"), k), QString::number(40000 + k));
        form.setText(memberOf(QStringLiteral("DAzcal"), k),
                     k % 2 ? QStringLiteral("-100") : QStringLiteral("100"));
    }
    form.setText(QStringLiteral("MovAvgNo"), QStringLiteral("5"));
    form.setChecked(QStringLiteral("Tarvelintrusted(0)"), true);
    form.setChecked(QStringLiteral("MBtrusted(1)"), true);
    form.setChecked(QStringLiteral("ResetPLC"), true);
}

std::vector<Write> storeWrites(Block block, const Form& form, int flagByte) {
    std::vector<Write> writes;
    for (const Spot& spot : writePlan(block)) {
        const auto bytes = bytesFor(spot, form, flagByte);
        if (!bytes) return {};
        for (std::size_t i = 0; i < spot.addresses.size(); ++i)
            writes.push_back({spot.addresses[i], (*bytes)[i]});
    }
    return writes;
}

int heldFlagByte(const Form& advancedForm) {
    return advancedForm.text(QStringLiteral("PLCconfig")).trimmed().toInt();
}

int storeFlagByte(Block block, const Form& form, int held) {
    if (block == Block::Basic) return basicFlagByte(held, form.isChecked(QStringLiteral("EnablePW(0)")));
    return advancedFlagByte(held, form.isChecked(QStringLiteral("Tarvelintrusted(0)")),
                            form.isChecked(QStringLiteral("MBtrusted(0)")));
}

Puller::Puller(korvex::PtySimulator& sim, bool removeName) : sim_(sim), removeName_(removeName) {
    thread_ = std::thread([this] {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return go_ || quit_; });
        if (!go_) return;
        lock.unlock();
        if (removeName_)
            sim_.stop();
        else
            sim_.hangUp();
        lock.lock();
        pulled_ = true;
        wake_.notify_all();
    });
}

Puller::~Puller() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void Puller::pull() {
    std::lock_guard lock(mutex_);
    go_ = true;
    wake_.notify_all();
}

void Puller::waitPulled() {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return pulled_ || !go_; });
}

bool Puller::pulled() {
    std::lock_guard lock(mutex_);
    return pulled_;
}

}  // namespace tarvelin::test
