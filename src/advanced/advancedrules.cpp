#include "advancedrules.h"

#include "config/codecs.h"
#include "config/form.h"
#include "config/korvex.h"

namespace tarvelin {

void offsetLimit(Form& form, const QString& control) {
    if (numericValue(form.text(control)) > 100) form.setText(control, QStringLiteral("100"));
    if (numericValue(form.text(control)) < -100) form.setText(control, QStringLiteral("-100"));
}

void averagingLimit(Form& form) {
    const QString box = QStringLiteral("MovAvgNo");
    if (numericValue(form.text(box)) < 1) form.setText(box, QStringLiteral("1"));
    if (numericValue(form.text(box)) > 9) form.setText(box, QStringLiteral("9"));
}

QString makerOctetText(int position) {
    return QStringLiteral("%1")
        .arg(kMakerId.at(static_cast<std::size_t>(position)), 2, 16, QLatin1Char('0'))
        .toUpper();
}

void loadAdvancedFactoryDefaults(Form& form) {
    form.setText(QStringLiteral("Revision"), QString());
    // MAC(5) holds the first octet.
    for (int position = 0; position < 3; ++position)
        form.setText(member(QStringLiteral("MAC"), 5 - position), makerOctetText(position));
    for (int i = 0; i <= 3; ++i)
        for (int address = 1; address <= 6; ++address)
            form.setText(member(QStringLiteral("TIP%1").arg(address), i), QStringLiteral("0"));
    for (int i = 0; i <= 7; ++i) {
        form.setText(member(QStringLiteral("ADmcal"), i), QStringLiteral("0"));
        form.setText(member(QStringLiteral("ADzcal"), i), QStringLiteral("0"));
    }
    for (int i = 0; i <= 3; ++i) {
        form.setText(member(QStringLiteral("DAmcal"), i), QStringLiteral("0"));
        form.setText(member(QStringLiteral("DAzcal"), i), QStringLiteral("0"));
    }
    form.setChecked(QStringLiteral("MBtrusted(1)"), true);
    form.setChecked(QStringLiteral("Tarvelintrusted(1)"), true);
    form.setText(QStringLiteral("MovAvgNo"), QStringLiteral("3"));
}

}  // namespace tarvelin
