#include "messageline.h"

namespace tarvelin {

namespace {

void showFailure(MessageLine& line, const char* caption) {
    line.setColor(kRed);
    line.setCaption(QString::fromLatin1(caption));
    line.beep();
}

void showCentred(MessageLine& line, const Rgb& color, const QString& text) {
    line.setColor(color);
    line.setAlignment(MessageLine::Alignment::Center);
    line.setCaption(text);
}

}  // namespace

void showOutcome(MessageLine& line, Outcome outcome, const QString& text) {
    switch (outcome) {
        case Outcome::Success:
            showCentred(line, kBlue, text);
            return;
        case Outcome::Refused:
        case Outcome::VerifyMismatch:
            showCentred(line, kRed, text);
            line.beep();
            return;
        case Outcome::NoResponse:
            return showFailure(line, kNoResponseText);
        case Outcome::LineLost:
            return showFailure(line, kLinkLostText);
        case Outcome::SendFailed:
            return showFailure(line, kSendFailedText);
        case Outcome::InvalidResponse:
        case Outcome::OutOfStep:
        case Outcome::Echo:
            line.setCaption(QString::fromLatin1(kInvalidResponseText));
            return;
        case Outcome::Busy:
        case Outcome::PortNotOpened:
        case Outcome::Unreadable:
        case Outcome::WriteFailed:
        case Outcome::Interrupted:
            return;
    }
}

void clearMessageLine(MessageLine& line) {
    line.setColor(kBlue);
    line.setCaption(QStringLiteral("        "));
}

}  // namespace tarvelin
