// A notifier for tests: counts beeps, records every message box, answers
// Yes/No questions from a queue (No when it is empty) and file choosers from
// a queue of paths (empty: the user cancels).
#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <vector>

#include "serial/notifier.h"

namespace tarvelin::test {

class TestNotifier final : public tarvelin::Notifier {
public:
    struct Box {
        QString title;
        QString text;
        Icon icon;
    };
    struct Question {
        QString title;
        QString text;
        bool answer;
    };

    void beep() override { ++beeps_; }
    void message(QWidget*, const QString& title, const QString& text, Icon icon) override {
        boxes_.push_back({title, text, icon});
        if (onMessage_) onMessage_(Box(boxes_.back()));
    }
    bool askYesNo(QWidget*, const QString& title, const QString& text) override {
        const bool yes = !answers_.empty() && answers_.front();
        if (!answers_.empty()) answers_.pop_front();
        questions_.push_back({title, text, yes});
        return yes;
    }
    QString chooseFileToSave(QWidget*, const QString& title, const QString&,
                             const QString& defaultSuffix = QString()) override {
        fileRequests_.push_back(title);
        lastSuffix_ = defaultSuffix;
        if (files_.empty()) return {};
        const QString path = files_.front();
        files_.pop_front();
        return path;
    }
    QString chooseFileToOpen(QWidget* parent, const QString& title, const QString& filter) override {
        return chooseFileToSave(parent, title, filter);
    }

    int beeps() const { return beeps_; }
    const std::vector<Box>& boxes() const { return boxes_; }
    const std::vector<Question>& questions() const { return questions_; }
    // The text of the last message box, empty when none was shown.
    QString lastText() const { return boxes_.empty() ? QString() : boxes_.back().text; }

    void answerFile(const QString& path) { files_.push_back(path); }
    // The titles of the file choosers asked, in order.
    const std::vector<QString>& fileRequests() const { return fileRequests_; }
    // The default suffix the last file chooser was given.
    QString lastSuffix() const { return lastSuffix_; }

    // Answers for the coming questions, in order.
    void answer(bool yes) { answers_.push_back(yes); }
    void answerYes() { answer(true); }
    void answerNo() { answer(false); }

    // Runs while a message box is "shown" (after it is recorded), for tests
    // that look at the program while the box is up.
    void onMessage(std::function<void(const Box&)> hook) { onMessage_ = std::move(hook); }

    // Forgets beeps, boxes, questions, file requests and queued answers.
    void clear() {
        beeps_ = 0;
        boxes_.clear();
        questions_.clear();
        answers_.clear();
        files_.clear();
        fileRequests_.clear();
    }

private:
    int beeps_ = 0;
    std::vector<Box> boxes_;
    std::vector<Question> questions_;
    std::deque<bool> answers_;
    std::deque<QString> files_;
    std::vector<QString> fileRequests_;
    QString lastSuffix_;
    std::function<void(const Box&)> onMessage_;
};

// Installs a notifier for its lifetime and puts the previous one back after.
class NotifierScope {
public:
    NotifierScope() : NotifierScope(own_) {}  // uses its own TestNotifier
    explicit NotifierScope(TestNotifier& notifier) : active_(&notifier), previous_(&Notifier::current()) {
        Notifier::install(active_);
    }
    ~NotifierScope() { Notifier::install(previous_); }
    NotifierScope(const NotifierScope&) = delete;
    NotifierScope& operator=(const NotifierScope&) = delete;

    TestNotifier& notifier() { return *active_; }
    TestNotifier* operator->() { return active_; }

private:
    TestNotifier own_;
    TestNotifier* active_;
    tarvelin::Notifier* previous_;
};

}  // namespace tarvelin::test
