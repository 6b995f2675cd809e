// A window's message line that remembers what it was told: its caption,
// colour and alignment, the caption at every "let events through" (the
// progress marks), and how often it beeped.
#pragma once

#include <QStringList>

#include "config/messageline.h"

namespace tarvelin::test {

class RecordingMessageLine final : public tarvelin::MessageLine {
public:
    QString caption() const override { return caption_; }
    void setCaption(const QString& caption) override { caption_ = caption; }
    Rgb color() const override { return color_; }
    void setColor(const Rgb& color) override { color_ = color; }
    Alignment alignment() const override { return alignment_; }
    void setAlignment(Alignment alignment) override { alignment_ = alignment; }
    void processEvents() override { shown_ << caption_; }
    void beep() override { ++beeps_; }

    const QStringList& shown() const { return shown_; }
    int beeps() const { return beeps_; }

private:
    QString caption_;
    Rgb color_;
    Alignment alignment_ = Alignment::Center;
    QStringList shown_;
    int beeps_ = 0;
};

}  // namespace tarvelin::test
