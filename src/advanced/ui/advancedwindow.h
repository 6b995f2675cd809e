// The advanced window `TarvelinConfig2`: trusted IPs, calibration, moving
// average and the MAC ID, and the holder of the shared configuration flag
// byte (its hidden `PLCconfig`).
#pragma once

#include "config/directory.h"
#include "config/ui/configwindow.h"

class QFrame;
class QGridLayout;
class QHBoxLayout;

namespace tarvelin {

inline constexpr const char* kAdvancedWindowTitle = "Korvex-Series Ethernet  Advanced Configuration";

class AdvancedWindow : public ConfigWindow, public FlagByteHolder {
    Q_OBJECT
public:
    AdvancedWindow(Directory& directory, Notifier& notifier, QWidget* parent = nullptr);

    // FlagByteHolder
    double getPLCconfig() override;
    void setPLCconfig(std::int16_t value) override;
    bool flagByteFromController() const override { return flagByteFromController_; }
    void setFlagByteFromController(bool fromController) override { flagByteFromController_ = fromController; }

public slots:
    void closeButton_Click();

protected:
    Outcome retrieveInto(Form& form) override;
    Outcome storeValues(Form& values) override;
    void loadFactoryDefaults() override;

private:
    void build();
    void macRow(QGridLayout* addresses, QFrame* frame);
    void trustedRows(QGridLayout* addresses, QFrame* frame);
    void trustSwitches(QGridLayout* trust, QFrame* frame);
    QHBoxLayout* rowHead(bool gain, QFrame* frame);
    void calibrationRow(QGridLayout* calibration, int row, const char* array, int channels,
                        const QString& spoken, QFrame* frame);
    void calibrationRows(QGridLayout* calibration, QFrame* frame);
    void actionRows();
    void connectRules();
    void setFocusOrder();

    bool flagByteFromController_ = false;
};

}  // namespace tarvelin
