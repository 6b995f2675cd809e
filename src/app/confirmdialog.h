// The overwrite confirmation `confirmOverwrite`: stands between both save
// buttons and the stores.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>

#include "config/operations.h"

class QCloseEvent;
class QKeyEvent;
class QPlainTextEdit;
class QPushButton;

namespace tarvelin {

inline constexpr const char* kConfirmCaption = "Confirmation";

class ConfirmDialog : public QWidget {
    Q_OBJECT
public:
    // `store` runs the store of the window that asked (0 the main window,
    // anything else the advanced window).
    explicit ConfirmDialog(std::function<void(std::int16_t)> store, QWidget* parent = nullptr);

    // Records the window that asks; shows nothing.
    void setSource(const std::int16_t& s) { source_ = s; }
    std::int16_t source() const { return source_; }
    // Below the question: where the block goes and what changes.
    void setDetails(const QString& details);

public slots:
    // Runs the store of the window that asked last, then hides the dialog.
    void yesButton_Click();
    void NoButton_Click();
    // While a retrieve or store runs, neither button takes a press and the
    // dialog cannot be discarded.
    void setOperationRunning(bool running);

protected:
    void closeEvent(QCloseEvent* event) override;
    // Esc answers "No", as closing through the frame does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::function<void(std::int16_t)> store_;
    std::int16_t source_ = 0;
    bool running_ = false;
    QPushButton* yesButton_ = nullptr;
    QPushButton* noButton_ = nullptr;
    QPlainTextEdit* details_ = nullptr;
};

}  // namespace tarvelin
