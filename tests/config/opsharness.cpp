#include "opsharness.h"

#include "advanced/advancedoperations.h"
#include "basic/basicoperations.h"
#include "config/codecs.h"
#include "config/form.h"

namespace tarvelin::test {

double FormFlagHolder::getPLCconfig() { return numericValue(form_.text(QStringLiteral("PLCconfig"))); }

void FormFlagHolder::setPLCconfig(std::int16_t value) {
    form_.setText(QStringLiteral("PLCconfig"), integerToSignedText(value));
}

void initBasicForm(HeadlessForm& f) {
    for (int i = 3; i >= 0; --i) {
        f.initText(member("IP", i), "");
        f.initText(member("smtp", i), "");
        f.initText(member("DNS", i), "");
    }
    const char* subnet[] = {"0", "255", "255", "255"};
    const char* gateway[] = {"1", "1", "168", "192"};
    for (int i = 0; i < 4; ++i) {
        f.initText(member("subnet", i), subnet[i]);
        f.initText(member("gateway", i), gateway[i]);
    }
    f.initText("svrport", "9080");
    f.initText("hostName", "Tarvelin");
    f.initText("MBtcpPort", "502");
    f.initText("No_of_Tarvelin", "3");
    f.initText("No_of_MBtcp", "3");
    f.initText("username", "");
    f.initText("password", "");
    f.initText("version", "");
    f.initText("commport", "COM5");
}

void initAdvancedForm(HeadlessForm& f) {
    f.initText(member("MAC", 5), "02");
    f.initText(member("MAC", 4), "4B");
    f.initText(member("MAC", 3), "58");
    f.initText(member("MAC", 2), "00");
    f.initText(member("MAC", 1), "");
    f.initText(member("MAC", 0), "");
    for (int n = 1; n <= 6; ++n)
        for (int i = 0; i < 4; ++i) f.initText(member(QStringLiteral("TIP%1").arg(n), i), "");
    for (int k = 0; k < 8; ++k) {
        f.initText(member("ADmcal", k), "0");
        f.initText(member("ADzcal", k), "0");
    }
    for (int k = 0; k < 4; ++k) {
        f.initText(member("DAmcal", k), "0");
        f.initText(member("DAzcal", k), "0");
    }
    f.initText("MovAvgNo", "3");
    f.initText("PLCconfig", "00");
    f.setChecked("MBtrusted(1)", true);
    f.setChecked("Tarvelintrusted(1)", true);
}

OpsHarness::OpsHarness(korvex::Config config)
    : controller_(std::move(config)),
      terminal_(line_, line_.clock(), PortChoice{"/dev/scripted-line", "9600", "None", "8", "1"}) {
    initBasicForm(basicForm);
    initAdvancedForm(advancedForm);
    line_.onWrite([this](ScriptedLine& line, const std::string& written) {
        for (const std::string& reply : controller_.receive(written)) line.deliverIn(2, reply);
    });
}

void OpsHarness::retrieveBasic() { retrieveBasicParameters(basicForm, basicAccess, *this); }
void OpsHarness::storeBasic() { updateBasicParameters(basicForm, basicAccess, *this); }
void OpsHarness::retrieveAdvanced() { retrieveAdvancedParameters(advancedForm, advancedAccess, *this); }
void OpsHarness::storeAdvanced() { updateAdvancedParameters(advancedForm, advancedAccess, *this); }

std::vector<std::string> OpsHarness::framedCommands() const {
    std::vector<std::string> out;
    for (const std::string& request : controller_.log()) {
        if (request.size() < 6 || request.front() != '@') continue;
        out.push_back(request.substr(3, request.size() - 6));  // between the ID and the FCS
    }
    return out;
}

namespace {
std::vector<int> addressesOf(const std::vector<std::string>& commands, const char* mnemonic) {
    std::vector<int> out;
    for (const std::string& c : commands)
        if (c.rfind(mnemonic, 0) == 0 && c.size() >= 6) out.push_back(std::stoi(c.substr(2, 4), nullptr, 16));
    return out;
}
}  // namespace

std::vector<int> OpsHarness::readAddresses() const { return addressesOf(framedCommands(), "MR"); }
std::vector<int> OpsHarness::writeAddresses() const { return addressesOf(framedCommands(), "MW"); }

}  // namespace tarvelin::test
