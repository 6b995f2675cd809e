#include "testnotifier.h"

namespace tarvelin::test {

void TestNotifier::beep() {
    ++beeps_;
}

void TestNotifier::message(QWidget*, const QString& title, const QString& text, Icon icon) {
    boxes_.push_back({title, text, icon});
    if (onMessage_) {
        const Box box = boxes_.back();
        onMessage_(box);
    }
}

bool TestNotifier::askYesNo(QWidget*, const QString& title, const QString& text) {
    bool yes = false;
    if (!answers_.empty()) {
        yes = answers_.front();
        answers_.pop_front();
    }
    questions_.push_back({title, text, yes});
    return yes;
}

void TestNotifier::clear() {
    beeps_ = 0;
    boxes_.clear();
    questions_.clear();
    answers_.clear();
    files_.clear();
    fileRequests_.clear();
}

NotifierScope::NotifierScope() : active_(&own_), previous_(&tarvelin::Notifier::current()) {
    tarvelin::Notifier::install(active_);
}

NotifierScope::NotifierScope(TestNotifier& notifier)
    : active_(&notifier), previous_(&tarvelin::Notifier::current()) {
    tarvelin::Notifier::install(active_);
}

NotifierScope::~NotifierScope() {
    tarvelin::Notifier::install(previous_);
}

}  // namespace tarvelin::test

namespace tarvelin::test {

QString TestNotifier::chooseFileToSave(QWidget*, const QString& title, const QString&,
                                       const QString& defaultSuffix) {
    fileRequests_.push_back(title);
    lastSuffix_ = defaultSuffix;
    if (files_.empty()) return {};
    QString path = files_.front();
    files_.pop_front();
    return path;
}

QString TestNotifier::chooseFileToOpen(QWidget* parent, const QString& title, const QString& filter) {
    return chooseFileToSave(parent, title, filter);
}

}  // namespace tarvelin::test
