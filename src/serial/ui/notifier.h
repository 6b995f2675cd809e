// The one seam through which the program beeps and shows message boxes, so
// that tests can answer the boxes and count the beeps. The application shell
// owns the one in use and hands it to every window it makes; nothing reaches
// it through a global.
#pragma once

#include <QString>

class QWidget;

namespace tarvelin {

class Notifier {
public:
    enum class Icon { Information, Warning, Critical, Question };

    virtual ~Notifier() = default;
    virtual void beep() = 0;
    // A box with a single OK button.
    virtual void message(QWidget* parent, const QString& title, const QString& text, Icon icon) = 0;
    // A box with an OK button and beside it one that offers a way out
    // (`offer`, "Find Controller"); true when the offer was chosen.
    virtual bool messageWithOffer(QWidget* parent, const QString& title, const QString& text, Icon icon,
                                  const QString& offer) = 0;
    // A box with a question icon and the buttons Yes and No; true for Yes.
    virtual bool askYesNo(QWidget* parent, const QString& title, const QString& text) = 0;
    // Asks for a file to write or to read ("Profiles (*.json)" style filter);
    // empty when the user cancels. Tests answer without a dialog. A file name
    // typed without a suffix gets `defaultSuffix` ("json") before the dialog
    // asks whether to replace an existing file, so the question is about the
    // file that will be written.
    virtual QString chooseFileToSave(QWidget* parent, const QString& title, const QString& filter,
                                     const QString& defaultSuffix = QString());
    virtual QString chooseFileToOpen(QWidget* parent, const QString& title, const QString& filter);
};

// The real thing: QApplication::beep and QMessageBox.
class DesktopNotifier final : public Notifier {
public:
    void beep() override;
    void message(QWidget* parent, const QString& title, const QString& text, Icon icon) override;
    bool messageWithOffer(QWidget* parent, const QString& title, const QString& text, Icon icon,
                          const QString& offer) override;
    bool askYesNo(QWidget* parent, const QString& title, const QString& text) override;
};

inline constexpr const char* kProgramTitle = "Tarvelin Configuration";

}  // namespace tarvelin
