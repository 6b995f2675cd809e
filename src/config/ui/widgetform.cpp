#include "widgetform.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QValidator>
#include <QtDebug>
#include <algorithm>

namespace tarvelin {

// QLineEdit's own default maximum length.
static constexpr int kUnlimited = 32767;

LimitedLineEdit::LimitedLineEdit(QWidget* parent) : LimitedLineEdit(0, parent) {}

LimitedLineEdit::LimitedLineEdit(int typingLimit, QWidget* parent) : QLineEdit(parent) {
    // Connected before anyone else can connect, so the maximum is right again
    // before a change rule sees the new text.
    connect(this, &QLineEdit::textChanged, this, [this] { fitMaximum(); });
    setTypingLimit(typingLimit);
}

void LimitedLineEdit::setTypingLimit(int limit) {
    limit_ = limit > 0 ? limit : 0;
    fitMaximum();
}

void LimitedLineEdit::placeText(const QString& text) {
    // QLineEdit cuts a text longer than its maximum, even one set by the
    // program; raising the maximum first keeps it whole. Raising it never
    // touches the text already there.
    if (text.size() > maxLength()) setMaxLength(static_cast<int>(text.size()));
    placing_ = true;
    setText(text);
    placing_ = false;
    fitMaximum();
}

namespace {

// The typing limit of an address box, which has no maximum length of its own
// so that a pasted address reaches it whole. Anything else is held to the
// limit (or to a longer text the program placed) as the maximum would hold it.
class AddressLimit final : public QValidator {
public:
    AddressLimit(const LimitedLineEdit& box, const QString& held)
        : QValidator(nullptr), box_(box), held_(held) {}
    // What goes beyond the limit is cut from the end of what was just put in
    // before the cursor, as the maximum length cuts a paste.
    State validate(QString& input, int& cursor) const override {
        if (input.contains(QLatin1Char('.')) || box_.typingLimit() == 0 || box_.placing()) return Acceptable;
        const qsizetype excess = input.size() - std::max<qsizetype>(box_.typingLimit(), held_.size());
        if (excess <= 0) return Acceptable;
        if (cursor < excess) return Invalid;
        input.remove(cursor - excess, excess);
        cursor -= static_cast<int>(excess);
        return Acceptable;
    }

private:
    const LimitedLineEdit& box_;
    const QString& held_;
};

}  // namespace

void LimitedLineEdit::acceptAddresses() {
    addresses_ = true;
    held_ = text();
    auto* limit = new AddressLimit(*this, held_);
    limit->setParent(this);
    setValidator(limit);
    fitMaximum();
    connect(this, &QLineEdit::textChanged, this, [this](const QString& now) {
        if (!now.contains(QLatin1Char('.'))) held_ = now;
    });
    connect(this, &QLineEdit::textEdited, this, &LimitedLineEdit::followEdit);
}

void LimitedLineEdit::followEdit(const QString& text) {
    if (text.contains(QLatin1Char('.'))) emit addressOffered(text);
}

void LimitedLineEdit::restoreBeforeOffer() {
    if (text() != held_) placeText(held_);
}

void LimitedLineEdit::keyPressEvent(QKeyEvent* event) {
    if (addresses_ && event->text() == QLatin1String(".")) {
        emit nextOctet();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void LimitedLineEdit::fitMaximum() {
    const int typing = limit_ == 0 || addresses_ ? kUnlimited : limit_;
    const int wanted = std::max(typing, static_cast<int>(text().size()));
    if (wanted == maxLength()) return;
    // Changing the maximum re-sets the (unchanged) text, which moves the
    // cursor to the end and drops the selection; put them back.
    const int cursor = cursorPosition();
    const int selectionStart = this->selectionStart();
    const int selectionLength = static_cast<int>(selectedText().size());
    setMaxLength(wanted);
    if (selectionStart >= 0) {
        if (cursor == selectionStart)
            setSelection(selectionStart + selectionLength, -selectionLength);
        else
            setSelection(selectionStart, selectionLength);
    } else {
        setCursorPosition(cursor);
    }
}

void LimitedLineEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    emit lostFocus();
}

void WidgetForm::add(const QString& name, QWidget* widget) {
    Q_ASSERT(widget != nullptr);
    Q_ASSERT(!widgets_.contains(name));
    widget->setObjectName(name);
    widget->setAccessibleDescription(name);
    widgets_.insert(name, widget);
    order_.append(name);
}

void WidgetForm::silence() {
    for (QWidget* widget : std::as_const(widgets_)) widget->blockSignals(true);
}

QWidget* WidgetForm::find(const QString& control) const {
    QWidget* w = widgets_.value(control);
    if (w == nullptr) qWarning("WidgetForm: no control named %s", qPrintable(control));
    return w;
}

QString WidgetForm::text(const QString& control) const {
    QWidget* w = find(control);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
    if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->currentText();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
    return {};
}

void WidgetForm::setText(const QString& control, const QString& text) {
    QWidget* w = find(control);
    if (auto* limited = qobject_cast<LimitedLineEdit*>(w)) {
        limited->placeText(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(text);
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        // A list without free text can only show one of its items.
        if (combo->isEditable())
            combo->setEditText(text);
        else
            combo->setCurrentIndex(combo->findText(text, Qt::MatchExactly));
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(text);
    }
}

int WidgetForm::selectedIndex(const QString& control) const {
    if (auto* combo = qobject_cast<QComboBox*>(find(control))) return combo->currentIndex();
    return -1;
}

void WidgetForm::setSelectedIndex(const QString& control, int index) {
    auto* combo = qobject_cast<QComboBox*>(find(control));
    if (combo == nullptr) return;
    if (index < -1 || index >= combo->count()) return;
    combo->setCurrentIndex(index);
}

bool WidgetForm::isChecked(const QString& control) const {
    if (auto* button = qobject_cast<QAbstractButton*>(find(control))) return button->isChecked();
    return false;
}

void WidgetForm::setChecked(const QString& control, bool checked) {
    auto* button = qobject_cast<QAbstractButton*>(find(control));
    if (button == nullptr) return;
    if (checked || !button->isChecked()) {
        button->setChecked(checked);
        return;
    }
    // The chosen member of an exclusive group refuses to be cleared; lift
    // the exclusiveness for the moment so the group can end with none chosen.
    if (QButtonGroup* group = button->group(); group != nullptr && group->exclusive()) {
        group->setExclusive(false);
        button->setChecked(false);
        group->setExclusive(true);
    } else if (button->autoExclusive()) {
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(true);
    } else {
        button->setChecked(false);
    }
}

namespace look {

QString addressNumberWord(int index) {
    switch (index) {
        case 3:
            return QStringLiteral("first number");
        case 2:
            return QStringLiteral("second number");
        case 1:
            return QStringLiteral("third number");
        default:
            return QStringLiteral("last number");
    }
}

QLabel* dotLabel(QWidget* parent, int height) {
    auto* dot = new QLabel(QStringLiteral("."), parent);
    QFont font = dot->font();
    font.setPointSize(24);
    dot->setFont(font);
    // Only the dot itself matters; it sits on the baseline, at the bottom.
    dot->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    dot->setFixedSize(8, height);
    return dot;
}

QFont boldFont(QFont font, qreal pointSize) {
    font.setBold(true);
    if (pointSize > 0) font.setPointSizeF(pointSize);
    return font;
}

void styleMessageLabel(QLabel* label) {
    label->setTextFormat(Qt::PlainText);
    label->setFont(boldFont(label->font(), 8.25));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    label->setMinimumHeight(label->fontMetrics().height() * 2);
    label->setWordWrap(true);
    setTextColor(label, QColor(255, 0, 0));
}

void fitDigits(QLineEdit* box, int characters) {
    const int text = box->fontMetrics().horizontalAdvance(QString(characters, QLatin1Char('0')));
    box->setFixedWidth(text + 12);  // frame and inner margins
}

void tighten(QLayout* layout) {
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(3);
}

}  // namespace look

}  // namespace tarvelin
