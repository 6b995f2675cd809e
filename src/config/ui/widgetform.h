// A window's controls as a `Form`: the widgets registered under their
// control names.
#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QLineEdit>
#include <QString>
#include <QStringList>

#include "config/form.h"
#include "config/ui/readablecolour.h"

class QLabel;
class QLayout;
class QPushButton;
class QWidget;

namespace tarvelin {

// A text box whose length limit holds for what the user types, pastes or
// drops, but not for text the program places there. The program may put a
// longer text in (a retrieve, or the lose-focus cut of the user name that
// exists precisely for such text); the box keeps it whole, and the user can
// shorten it but not lengthen it.
//
// Implemented over QLineEdit's own maximum length, which is kept at
// max(typing limit, current length): QLineEdit then refuses and trims user
// input exactly as a plain limited box does, and `placeText` raises the
// maximum before it sets a longer text so nothing is cut.
class LimitedLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit LimitedLineEdit(QWidget* parent = nullptr);
    explicit LimitedLineEdit(int typingLimit, QWidget* parent = nullptr);

    // Characters the user may type; 0 means no limit of our own.
    int typingLimit() const { return limit_; }
    void setTypingLimit(int limit);

    // Sets the text as the program does: never shortened. Raises
    // textChanged (and with it the box's change rule) only when the text
    // really changes.
    void placeText(const QString& text);
    // True while placeText sets the text.
    bool placing() const { return placing_; }

    // One box of a dotted address: a "." typed here asks for the next box
    // (`nextOctet`), and a text with a "." that the user pastes or drops is
    // offered whole (`addressOffered`) instead of being cut to the limit; the
    // box then holds what it held before, unless the offer is taken.
    void acceptAddresses();
    // Puts back the text the box held before the offered address.
    void restoreBeforeOffer();

signals:
    // The box lost the keyboard focus (its lose-focus rule runs here).
    void lostFocus();
    void nextOctet();
    void addressOffered(const QString& text);

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fitMaximum();
    void followEdit(const QString& text);

    int limit_ = 0;
    bool addresses_ = false;
    bool placing_ = false;
    // The last text without a ".", in an address box.
    QString held_;
};

// Registry of a window's controls. Text boxes, labels, drop-down lists,
// option buttons and check boxes are supported; asking for a name that was
// never registered is a programming error: it is reported with qWarning and
// reads as empty / unchecked / -1.
class WidgetForm : public Form {
public:
    // Registers `widget` as `name` and gives it that object name and
    // accessible description.
    void add(const QString& name, QWidget* widget);
    bool has(const QString& name) const { return widgets_.contains(name); }
    // The control, or null (and the warning) for a name never registered.
    QWidget* widget(const QString& name) const { return find(name); }
    template <typename T>
    T* get(const QString& name) const {
        return qobject_cast<T*>(widget(name));
    }
    // Names in the order of registration.
    const QStringList& names() const { return order_; }
    // Stops every control's signals: a window's destructor calls this, since
    // QWidget's own destructor still hides the window and moves the focus
    // after the form and the message line are gone, and no rule may run then.
    void silence();

    QString text(const QString& control) const override;
    void setText(const QString& control, const QString& text) override;
    int selectedIndex(const QString& control) const override;
    // -1 clears the selection; a position outside the list leaves it as it is.
    void setSelectedIndex(const QString& control, int index) override;
    bool isChecked(const QString& control) const override;
    // Choosing an option button clears the other members of its group;
    // clearing it leaves the group with nothing chosen.
    void setChecked(const QString& control, bool checked) override;

private:
    QWidget* find(const QString& control) const;

    QHash<QString, QWidget*> widgets_;
    QStringList order_;
};

// Small pieces the configuration windows are built from.
namespace look {

// The member of a dotted-address array as it is read out: index 3 is the
// "first number", 0 the "last number".
QString addressNumberWord(int index);
// The large "." between two octet boxes, as tall as the boxes.
QLabel* dotLabel(QWidget* parent, int height);
QFont boldFont(QFont font, qreal pointSize = 0);
// The bold, centred, red message line of a configuration window.
void styleMessageLabel(QLabel* label);
// Makes a text box just wide enough for `characters` digits.
void fitDigits(QLineEdit* box, int characters);
// Tight margins and spacing for the windows' dense rows of boxes.
void tighten(QLayout* layout);

}  // namespace look

}  // namespace tarvelin
