// The main window `TarvelinConfig`: the basic Ethernet parameters.
#pragma once

#include <QWidget>
#include <memory>

#include "config/ui/widgetform.h"

class QCloseEvent;
class QLabel;
class QPushButton;

namespace tarvelin {

class Directory;
class LabelMessageLine;
class MemoryAccess;

inline constexpr const char* kBasicWindowTitle = "Korvex Series Ethernet  Basic Configuration";
inline constexpr const char* kQuitTitle = "Unload Test";
inline constexpr const char* kQuitQuestion = "Are you sure you want to quit?";

class BasicWindow : public QWidget {
    Q_OBJECT
public:
    // Builds every control with its initial text, then shows the chosen
    // serial port (which creates the terminal, hidden).
    explicit BasicWindow(Directory& directory, QWidget* parent = nullptr);
    ~BasicWindow() override;

    // The controls by name, for retrieve and store.
    Form& form() { return form_; }
    WidgetForm& widgets() { return form_; }
    MemoryAccess& access() { return *access_; }

    // `commport` shows the port chosen in the terminal.
    void displayCommport();
    // The store, after the overwrite confirmation's "Yes".
    void updateParameters();

public slots:
    void retrieveButton_Click();
    void updateButton_Click();
    void Command1_Click();
    void AdvConfig_Click();
    void DefaultButton_Click();
    void exitButton_Click();

signals:
    // The user confirmed quitting; the whole program ends.
    void quitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void connectRules();
    void setFocusOrder();
    void followBusy(bool busy);

    Directory& directory_;
    WidgetForm form_;
    std::unique_ptr<LabelMessageLine> line_;
    std::unique_ptr<MemoryAccess> access_;
};

}  // namespace tarvelin
