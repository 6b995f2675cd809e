#include "advancedform.h"

#include "advancedrules.h"
#include "config/codecs.h"

namespace tarvelin {

void initAdvancedForm(HeadlessForm& f) {
    for (int i = 0; i < 3; ++i) f.initText(member(QStringLiteral("MAC"), 5 - i), makerOctetText(i));
    f.initText(member(QStringLiteral("MAC"), 2), QStringLiteral("00"));
    f.initText(member(QStringLiteral("MAC"), 1), QString());
    f.initText(member(QStringLiteral("MAC"), 0), QString());
    for (int n = 1; n <= 6; ++n)
        for (int i = 0; i < 4; ++i) f.initText(member(QStringLiteral("TIP%1").arg(n), i), QString());
    for (int k = 0; k < 8; ++k) {
        f.initText(member(QStringLiteral("ADmcal"), k), QStringLiteral("0"));
        f.initText(member(QStringLiteral("ADzcal"), k), QStringLiteral("0"));
    }
    for (int k = 0; k < 4; ++k) {
        f.initText(member(QStringLiteral("DAmcal"), k), QStringLiteral("0"));
        f.initText(member(QStringLiteral("DAzcal"), k), QStringLiteral("0"));
    }
    f.initText(QStringLiteral("MovAvgNo"), QStringLiteral("3"));
    f.initText(QStringLiteral("PLCconfig"), QStringLiteral("00"));
    f.initText(QStringLiteral("Revision"), QString());
    f.initText(QStringLiteral("messageLabel"), QString());
    f.setChecked(QStringLiteral("MBtrusted(1)"), true);
    f.setChecked(QStringLiteral("Tarvelintrusted(1)"), true);
}

void advancedChangeRule(Form& form, const QString& control) {
    if (control.startsWith(QLatin1String("ADzcal(")) || control.startsWith(QLatin1String("DAzcal(")))
        offsetLimit(form, control);
    else if (control == QLatin1String("MovAvgNo"))
        averagingLimit(form);
}

double FormFlagByteHolder::getPLCconfig() { return numericValue(form_.text(QStringLiteral("PLCconfig"))); }

void FormFlagByteHolder::setPLCconfig(std::int16_t value) {
    form_.setText(QStringLiteral("PLCconfig"), integerToSignedText(value));
}

}  // namespace tarvelin
