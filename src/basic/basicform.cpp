#include "basicform.h"

#include "basicrules.h"

namespace tarvelin {

void initBasicForm(HeadlessForm& f) {
    const char* subnet[] = {"0", "255", "255", "255"};  // index 0 first
    const char* gateway[] = {"1", "1", "168", "192"};
    for (int i = 0; i < 4; ++i) {
        f.initText(member(QStringLiteral("IP"), i), QString());
        f.initText(member(QStringLiteral("smtp"), i), QString());
        f.initText(member(QStringLiteral("DNS"), i), QString());
        f.initText(member(QStringLiteral("subnet"), i), QString::fromLatin1(subnet[i]));
        f.initText(member(QStringLiteral("gateway"), i), QString::fromLatin1(gateway[i]));
    }
    f.initText(QStringLiteral("svrport"), QStringLiteral("9080"));
    f.initText(QStringLiteral("hostName"), QStringLiteral("Tarvelin"));
    f.initText(QStringLiteral("MBtcpPort"), QStringLiteral("502"));
    f.initText(QStringLiteral("No_of_Tarvelin"), QStringLiteral("3"));
    f.initText(QStringLiteral("No_of_MBtcp"), QStringLiteral("3"));
    f.initText(QStringLiteral("username"), QString());
    f.initText(QStringLiteral("password"), QString());
    f.initText(QStringLiteral("commport"), QString());
    f.initText(QStringLiteral("version"), QString());
    f.initText(QStringLiteral("messageLabel"), QString());
    f.setSelectedIndex(QStringLiteral("AccessLevel"), -1);
}

void basicChangeRule(Form& form, const QString& control) {
    if (control == QLatin1String("No_of_Tarvelin")) No_of_Tarvelin_Change(form);
    else if (control == QLatin1String("No_of_MBtcp")) No_of_MBtcp_Change(form);
    // Without a keyboard focus to lose, the cut runs whenever the text changes.
    else if (control == QLatin1String("username") || control == QLatin1String("password")) cutTo16(form, control);
}

}  // namespace tarvelin
