// The advanced window `TarvelinConfig2`: trusted IPs, calibration, moving
// average and the MAC ID, and the holder of the shared configuration flag
// byte (its hidden `PLCconfig`).
#pragma once

#include <QWidget>
#include <memory>

#include "config/directory.h"
#include "config/ui/widgetform.h"

namespace tarvelin {

class LabelMessageLine;
class MemoryAccess;

inline constexpr const char* kAdvancedWindowTitle = "Korvex-Series Ethernet  Advanced Configuration";

class AdvancedWindow : public QWidget, public FlagByteHolder {
    Q_OBJECT
public:
    explicit AdvancedWindow(Directory& directory, QWidget* parent = nullptr);
    ~AdvancedWindow() override;

    Form& form() { return form_; }
    WidgetForm& widgets() { return form_; }
    MemoryAccess& access() { return *access_; }

    // The store, after the overwrite confirmation's "Yes".
    void updateParameters();

    // FlagByteHolder
    double getPLCconfig() override;
    void setPLCconfig(std::int16_t value) override;
    bool flagByteFromController() const override { return flagByteFromController_; }
    void setFlagByteFromController(bool fromController) override { flagByteFromController_ = fromController; }

public slots:
    void retrieveButton_Click();
    void updateButton_Click();
    void SerialSetup_Click();
    void closeButton_Click();
    void DefaultButton_Click();

private:
    void build();
    void connectRules();
    void setFocusOrder();
    void followBusy(bool busy);

    Directory& directory_;
    WidgetForm form_;
    std::unique_ptr<LabelMessageLine> line_;
    std::unique_ptr<MemoryAccess> access_;
    bool flagByteFromController_ = false;
};

}  // namespace tarvelin
