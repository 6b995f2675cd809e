#include "scriptedline.h"

#include <algorithm>
#include <regex>

namespace tarvelin::test {

ScriptedLine::ScriptedLine() {
    clock_.set(1000);
}

void ScriptedLine::deliverAt(std::int64_t atMs, std::string bytes) {
    Delivery d{atMs, nextOrder_++, std::move(bytes)};
    auto pos =
        std::upper_bound(deliveries_.begin(), deliveries_.end(), d, [](const Delivery& a, const Delivery& b) {
            return a.atMs < b.atMs || (a.atMs == b.atMs && a.order < b.order);
        });
    deliveries_.insert(pos, std::move(d));
}

void ScriptedLine::deliverIn(std::int64_t delayMs, std::string bytes) {
    deliverAt(clock_.nowMs() + delayMs, std::move(bytes));
}

void ScriptedLine::deliverApartIn(std::int64_t delayMs, std::string bytes) {
    deliverAt(clock_.nowMs() + delayMs, std::move(bytes));
    auto last = std::max_element(deliveries_.begin(), deliveries_.end(),
                                 [](const Delivery& a, const Delivery& b) { return a.order < b.order; });
    last->apart = true;
}

std::string ScriptedLine::wire() const {
    std::string all;
    for (const auto& w : writes_) all += w;
    return all;
}

void ScriptedLine::setLost(bool lost) {
    lostFlag_ = lost;
    if (!lost) lostAt_.reset();
}

bool ScriptedLine::lost() const {
    return lostFlag_ || (lostAt_ && clock_.nowMs() >= *lostAt_);
}

bool ScriptedLine::setSettings(const std::string& settings) {
    static const std::regex form("[1-9][0-9]{0,8},[NEO],[78],[12]");
    if (!std::regex_match(settings, form)) return false;
    settings_ = settings;
    return true;
}

tarvelin::OpenResult ScriptedLine::open() {
    ++openCalls_;
    if (nextOpen_) {
        tarvelin::OpenResult result = std::move(*nextOpen_);
        nextOpen_.reset();
        if (!result.ok()) return result;
    }
    open_ = true;
    lostFlag_ = false;
    lostAt_.reset();
    return {};
}

void ScriptedLine::close() {
    ++closeCalls_;
    open_ = false;
    lostFlag_ = false;
    lostAt_.reset();
    const std::int64_t now = clock_.nowMs();
    std::erase_if(deliveries_, [now](const Delivery& d) { return d.atMs <= now; });
}

bool ScriptedLine::write(const std::string& bytes) {
    if (!open_ || lost() || writesLeft_ == 0u) return false;
    if (writesLeft_) --*writesLeft_;
    writes_.push_back(bytes);
    if (responder_) {
        // The responder may replace itself; keep the running one alive.
        Responder running = responder_;
        running(*this, bytes);
    }
    return true;
}

bool ScriptedLine::somethingDue() const {
    return !deliveries_.empty() && deliveries_.front().atMs <= clock_.nowMs();
}

std::string ScriptedLine::takeAll() {
    ++takeCalls_;
    if (!open_) return {};
    std::string got;
    const std::int64_t now = clock_.nowMs();
    auto it = deliveries_.begin();
    while (it != deliveries_.end() && it->atMs <= now && !(it->apart && it != deliveries_.begin())) {
        got += it->bytes;
        ++it;
    }
    deliveries_.erase(deliveries_.begin(), it);
    return got;
}

void ScriptedLine::waitForData(int timeoutMs) {
    ++waitCalls_;
    if (!open_ || lost() || somethingDue()) return;
    const std::int64_t now = clock_.nowMs();
    std::int64_t until = now + std::max(timeoutMs, 0);
    if (!deliveries_.empty()) until = std::min(until, deliveries_.front().atMs);
    if (lostAt_) until = std::min(until, *lostAt_);
    if (until > now) clock_.set(until);
}

}  // namespace tarvelin::test
