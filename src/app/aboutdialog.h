// The about box `copyrightDlg`: the first window of every run.
#pragma once

#include <QWidget>

#include "tarvelin_version.h"

class QCloseEvent;
class QLabel;
class QPushButton;

namespace tarvelin {

inline constexpr const char* kAboutCaption = "Tarvelin Configuration Program";
inline constexpr const char* kAboutTitleText = "Tarvelin Configuration";
inline constexpr const char* kAboutVersionText = "Version " TARVELIN_VERSION;
inline constexpr const char* kAboutMakerText = "Tarvelin Systems";

class AboutDialog : public QWidget {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

public slots:
    // Hides the box; the registry then shows the main window.
    void OKButton_Click();

signals:
    void okClicked();
    // Closed through the window frame instead of OK.
    void closedByFrame();

protected:
    void closeEvent(QCloseEvent* event) override;
};

}  // namespace tarvelin
