// The main window `TarvelinConfig`: the basic Ethernet parameters.
#pragma once

#include "config/ui/configwindow.h"

class QCloseEvent;
class QFrame;
class QGridLayout;

namespace tarvelin {

inline constexpr const char* kBasicWindowTitle = "Korvex Series Ethernet  Basic Configuration";
inline constexpr const char* kQuitTitle = "Unload Test";
inline constexpr const char* kQuitQuestion = "Are you sure you want to quit?";
// Added below the question while a store runs.
inline constexpr const char* kQuitDuringStoreNote =
    "A store to the controller is running: quitting now leaves the controller partly written. "
    "Yes quits once the command on the line is answered.";

class BasicWindow : public ConfigWindow {
    Q_OBJECT
public:
    // Builds every control with its initial text, then shows the chosen
    // serial port (which creates the terminal, hidden).
    BasicWindow(Directory& directory, Notifier& notifier, QWidget* parent = nullptr);

    // `commport` shows the port chosen in the terminal.
    void displayCommport();

public slots:
    void AdvConfig_Click();
    void exitButton_Click();

signals:
    // The user confirmed quitting; the whole program ends.
    void quitRequested();

protected:
    Outcome retrieveInto(Form& form) override;
    Outcome storeValues(Form& values) override;
    void loadFactoryDefaults() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void addressRows(QGridLayout* addresses, QFrame* frame);
    LimitedLineEdit* countBox(const QString& name, const QString& spoken, const QString& tip,
                              QWidget* parent);
    void portRows(QGridLayout* ports, QFrame* frame);
    void credentialRows(QGridLayout* middle);
    void portAndFirmware(QGridLayout* middle);
    void connectRules();
    void setFocusOrder();
};

}  // namespace tarvelin
