#include "commandhistory.h"

namespace tarvelin {

void CommandHistory::add(const QString& command) {
    if (!command.isEmpty() && (entries_.empty() || entries_.back() != command)) {
        entries_.push_back(command);
        while (entries_.size() > kMostKept) entries_.pop_front();
    }
    stopWalking();
}

std::optional<QString> CommandHistory::older(const QString& current) {
    if (entries_.empty() || position_ == 0) return std::nullopt;
    if (!walking()) draft_ = current;
    --position_;
    return entries_[position_];
}

std::optional<QString> CommandHistory::newer() {
    if (!walking()) return std::nullopt;
    ++position_;
    if (!walking()) {
        QString draft = draft_;
        draft_.clear();
        return draft;
    }
    return entries_[position_];
}

void CommandHistory::stopWalking() {
    position_ = entries_.size();
    draft_.clear();
}

}  // namespace tarvelin
