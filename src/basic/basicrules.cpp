#include "basicrules.h"

#include "config/codecs.h"
#include "config/form.h"

namespace tarvelin {

namespace {

const QString kTarvelin = QStringLiteral("No_of_Tarvelin");
const QString kMBtcp = QStringLiteral("No_of_MBtcp");
constexpr int kConnections = 6;

// One count box's change rule. Every step reads the box afresh: an earlier
// step's assignment may already have run the rules again, nested.
void splitConnections(Form& form, const QString& own, const QString& other, int lowest, int highest) {
    form.setText(own, shortestDecimal(numericValue(form.text(own))));
    if (numericValue(form.text(own)) > highest) form.setText(own, QString::number(highest));
    if (numericValue(form.text(own)) < lowest) form.setText(own, QString::number(lowest));
    form.setText(other, shortestDecimal(kConnections - numericValue(form.text(own))));
}

}  // namespace

void No_of_Tarvelin_Change(Form& form) {
    splitConnections(form, kTarvelin, kMBtcp, 1, 4);
}

void No_of_MBtcp_Change(Form& form) {
    splitConnections(form, kMBtcp, kTarvelin, 2, 5);
}

void cutTo16(Form& form, const QString& control) {
    const QString text = form.text(control);
    if (text.size() <= kMaxCredentialLength) return;
    QString cut = text.left(kMaxCredentialLength);
    // Never keep half of a character that takes two code units.
    if (cut.back().isHighSurrogate()) cut.chop(1);
    form.setText(control, cut);
}

void loadBasicFactoryDefaults(Form& form) {
    const auto setAddress = [&form](const QString& array, std::initializer_list<const char*> numbers) {
        int index = 3;
        for (const char* number : numbers) form.setText(member(array, index--), QString::fromLatin1(number));
    };
    setAddress(QStringLiteral("IP"), {"192", "168", "1", "5"});
    setAddress(QStringLiteral("gateway"), {"192", "168", "1", "1"});
    for (int i = 0; i <= 3; ++i) {
        form.setText(member(QStringLiteral("subnet"), i), QStringLiteral("255"));
        form.setText(member(QStringLiteral("smtp"), i), QStringLiteral("0"));
        form.setText(member(QStringLiteral("DNS"), i), QStringLiteral("0"));
    }
    form.setText(QStringLiteral("username"), QString());
    form.setText(QStringLiteral("password"), QString());
    form.setText(QStringLiteral("subnet(0)"), QStringLiteral("0"));
    form.setText(QStringLiteral("hostName"), QStringLiteral("Tarvelin"));
    form.setText(QStringLiteral("svrport"), QStringLiteral("9080"));
    form.setText(QStringLiteral("MBtcpPort"), QStringLiteral("502"));
    form.setText(kTarvelin, QStringLiteral("3"));
    form.setText(kMBtcp, QStringLiteral("3"));
    form.setChecked(QStringLiteral("EnablePW(0)"), false);
    form.setChecked(QStringLiteral("EnablePW(1)"), true);
    // The firmware shown belonged to the controller last read; the defaults
    // are nobody's firmware.
    form.setText(QStringLiteral("version"), QString());
    form.setSelectedIndex(QStringLiteral("AccessLevel"), 0);
}

}  // namespace tarvelin
