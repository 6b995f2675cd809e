#include "opsharness.h"

#include "advanced/advancedoperations.h"
#include "basic/basicoperations.h"
#include "config/codecs.h"
#include "config/form.h"

namespace tarvelin::test {

OpsHarness::OpsHarness(korvex::Config config)
    : sim_(std::move(config)),
      terminal_(sim_.line(), sim_.line().clock(),
                PortChoice{"/dev/scripted-line", "9600", "None", "8", "1"}) {
    initBasicForm(basicForm);
    initAdvancedForm(advancedForm);
}

Outcome OpsHarness::retrieveBasic() {
    return retrieveBasicParameters(basicForm, basicAccess, *this);
}
Outcome OpsHarness::storeBasic() {
    return updateBasicParameters(basicForm, basicAccess, *this);
}
Outcome OpsHarness::retrieveAdvanced() {
    return retrieveAdvancedParameters(advancedForm, advancedAccess, *this);
}
Outcome OpsHarness::storeAdvanced() {
    return updateAdvancedParameters(advancedForm, advancedAccess, *this);
}

std::vector<std::string> OpsHarness::framedCommands() const {
    std::vector<std::string> out;
    for (const std::string& request : sim_.controller().log()) {
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

std::vector<int> OpsHarness::readAddresses() const {
    return addressesOf(framedCommands(), "MR");
}
std::vector<int> OpsHarness::writeAddresses() const {
    return addressesOf(framedCommands(), "MW");
}

}  // namespace tarvelin::test
