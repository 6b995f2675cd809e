// A notifier for tests: counts beeps, records every message box, answers
// Yes/No questions from a queue (No when it is empty) and file choosers from
// a queue of paths (empty: the user cancels).
#pragma once

#include <QRegularExpression>
#include <QString>
#include <QTest>
#include <deque>
#include <vector>

#include "serial/ui/notifier.h"

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
    }
    // Recorded as a box; the offer is taken when answerOffer(true) came first.
    bool messageWithOffer(QWidget* parent, const QString& title, const QString& text, Icon icon,
                          const QString& offer) override {
        message(parent, title, text, icon);
        offers_.push_back(offer);
        const bool taken = takeOffer_;
        takeOffer_ = false;
        return taken;
    }
    bool askYesNo(QWidget*, const QString& title, const QString& text) override {
        const bool yes = !answers_.empty() && answers_.front();
        if (!answers_.empty()) answers_.pop_front();
        questions_.push_back({title, text, yes});
        return yes;
    }
    QString chooseFileToSave(QWidget*, const QString&, const QString&,
                             const QString& defaultSuffix = QString()) override {
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
    // The default suffix the last file chooser was given.
    QString lastSuffix() const { return lastSuffix_; }

    // Answers for the coming questions, in order.
    void answer(bool yes) { answers_.push_back(yes); }
    void answerYes() { answer(true); }
    void answerOffer(bool take) { takeOffer_ = take; }
    // The offers the boxes made ("Find Controller"), in order.
    const std::vector<QString>& offers() const { return offers_; }

private:
    int beeps_ = 0;
    std::vector<Box> boxes_;
    std::vector<Question> questions_;
    std::deque<bool> answers_;
    std::deque<QString> files_;
    QString lastSuffix_;
    std::vector<QString> offers_;
    bool takeOffer_ = false;
};

// A window that asks its form for a control it does not have (a name
// mistyped, a loop one box too far) gets nothing, and the form warns: from
// init(), every test function of a window fails on that warning.
inline void failOnMissingControls() {
    QTest::failOnWarning(QRegularExpression(QStringLiteral("^WidgetForm: no control named")));
}

}  // namespace tarvelin::test
