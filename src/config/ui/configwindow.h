// What the basic and the advanced window share: the makers that create a
// control and register it in the window's form under its name, the framed
// panel, the dotted-address rows, the action buttons, the profile row and
// message line, the focus order, the one-operation lock and the click slots
// that differ only in what they run.
#pragma once

#include <QWidget>
#include <cstdint>
#include <memory>

#include "base/outcome.h"
#include "config/ui/profileactions.h"
#include "config/ui/widgetform.h"

class QCheckBox;
class QButtonGroup;
class QFrame;
class QGridLayout;
class QRadioButton;
class QVBoxLayout;

namespace tarvelin {

class ChangeMarks;
class Directory;
class LabelMessageLine;
class MemoryAccess;
class Notifier;

class ConfigWindow : public QWidget {
    Q_OBJECT
public:
    ~ConfigWindow() override;

    // The controls by name, for retrieve and store.
    Form& form() { return form_; }
    WidgetForm& widgets() { return form_; }
    MemoryAccess& access() { return *access_; }
    ChangeMarks& marks() { return *marks_; }

    // The store, after the overwrite confirmation's "Yes": a value that
    // cannot be stored is refused (its box framed and focused); otherwise the
    // values of this moment (the reboot tick included) are written, whatever
    // is typed while the store runs.
    Outcome updateParameters();
    // Whether a store of either window is running now.
    static bool storeRunning() { return storesRunning_ > 0; }

    // What the confirmation shows beside its question: where the block goes
    // and what changes.
    QString confirmationDetails();

signals:
    // The marked changes, or what they are measured against, changed.
    void changesChanged();

public slots:
    // Puts the values last read back into the boxes.
    void revertButton_Click();
    void retrieveButton_Click();
    // Asks for the overwrite confirmation, which calls updateParameters().
    void updateButton_Click();
    void SerialSetup_Click();
    void DefaultButton_Click();

protected:
    // `block` says which window asks for the confirmation; `notifier` beeps
    // and shows the boxes (the shell's, which outlives the window).
    ConfigWindow(Directory& directory, Notifier& notifier, Block block, QWidget* parent);

    // The retrieve of the block into `form`.
    virtual Outcome retrieveInto(Form& form) = 0;
    // The store of the block on `values`.
    virtual Outcome storeValues(Form& values) = 0;
    virtual void loadFactoryDefaults() = 0;

    // Once every control is built: the message line over "messageLabel",
    // memory access through it, and the lock that holds the buttons which
    // start an exchange while one runs.
    void attach();

    // A text box of at most `limit` typed characters (0: no limit of ours),
    // spoken as `spoken`.
    LimitedLineEdit* textBox(const QString& name, int limit, const QString& spoken, QWidget* parent);
    QPushButton* button(const QString& name, const QString& caption, QWidget* parent);
    // Member `index` of the option pair `pair`: "Yes" (0) or "No" (1).
    QRadioButton* option(const QString& pair, int index, QButtonGroup* group, QWidget* parent);
    // "Retrieve Parameters from Korvex-PLC", the yellow "Save Parameters  to
    // Korvex-PLC" and "Reboot PLC After Save.", wired to the slots above
    // (the check box is read by the store).
    QPushButton* retrieveButton();
    QPushButton* saveButton();
    QCheckBox* rebootBox();

    // The window's column, with the framed panel "Frame1" at its top; returns
    // the panel's own column.
    QVBoxLayout* startColumn(QFrame*& frame);
    // A row of four boxes of a dotted address, "array(3)" first, with a dot
    // between two boxes, in columns 1 to 7 of `grid` after `label` in column 0.
    // Returns the boxes, "array(3)" first.
    QList<LimitedLineEdit*> addressRow(QGridLayout* grid, int row, const QString& label, const QString& array,
                                       const QString& spoken, int limit, QWidget* parent);
    // Below the rest: the profile row and the message line.
    void finishColumn(const MemoryMap& map);
    // Tab walks `order`, then the profile row.
    void setFocusOrder(QStringList order);
    // At least as large as its contents at the first show, then cut to the
    // screen it is shown on (its contents scroll).
    void showEvent(QShowEvent* event) override;

    Directory& directory_;
    Notifier& notifier_;
    WidgetForm form_;
    // The window's column (startColumn() makes it), in the scrolled body.
    QVBoxLayout* column_ = nullptr;
    QWidget* body_ = nullptr;

private:
    void followBusy(bool busy);
    // A whole address offered to one of the boxes of `array`.
    void spreadAddress(const QString& array, LimitedLineEdit* box, const QString& text);
    void showReadState();
    // Each box of the map is spoken by its field's name ("IP Address, octet 1").
    void nameBoxes(const MemoryMap& map);

    static int storesRunning_;
    Block block_;
    const MemoryMap* map_ = nullptr;
    int dots_ = 0;
    // The boxes do not hold the controller's values (a retrieve failed).
    bool notRead_ = false;
    QString readPort_;
    std::int16_t readStation_ = -1;
    ChangeMarks* marks_ = nullptr;
    std::unique_ptr<LabelMessageLine> line_;
    std::unique_ptr<MemoryAccess> access_;
};

}  // namespace tarvelin
