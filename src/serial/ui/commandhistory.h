// The commands typed into the terminal during this run, walked with the Up
// and Down keys as in a shell. The window registry keeps the run's history,
// so that it outlives a terminal window closed through its frame and made
// anew.
#pragma once

#include <QString>
#include <cstddef>
#include <deque>
#include <optional>

namespace tarvelin {

class CommandHistory {
public:
    static constexpr std::size_t kMostKept = 100;

    // Notes a command that was sent. The empty line and a repeat of the newest
    // command are not kept; beyond kMostKept the oldest is forgotten. Ends any
    // walk through the history.
    void add(const QString& command);

    // Up: the next older command, or nothing at the oldest (or when there is
    // none). `current` is the line as it stands; when a walk begins it is kept
    // as the draft that Down returns to.
    std::optional<QString> older(const QString& current);
    // Down: the next newer command, then the draft; nothing when not walking.
    std::optional<QString> newer();
    // Back to the end of the history (the next Up gives the newest command).
    void stopWalking();

    const std::deque<QString>& entries() const { return entries_; }
    bool walking() const { return position_ < entries_.size(); }

private:
    std::deque<QString> entries_;  // oldest first
    std::size_t position_ = 0;     // entries_.size(): not walking
    QString draft_;
};

}  // namespace tarvelin
