#include "changemarks.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>

#include "config/profile.h"
#include "widgetform.h"

namespace tarvelin {

namespace {

const QString kMarkName = QStringLiteral("changeMark");

// Drawn over a control: the dog-ear of a changed value, the frame of a
// refused one. It takes no clicks and no focus, and follows the control's size.
class BoxMark final : public QWidget {
public:
    explicit BoxMark(QWidget* box) : QWidget(box) {
        setObjectName(kMarkName);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        box->installEventFilter(this);
        setGeometry(box->rect());
    }
    bool changed = false;
    bool refused = false;

    // Shows what is set, or nothing.
    void apply() {
        setVisible(changed || refused);
        update();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
        return false;
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (changed) {
            const int side = std::max(7, height() / 3);
            QPainterPath ear;
            ear.moveTo(width() - side, 0);
            ear.lineTo(width(), 0);
            ear.lineTo(width(), side);
            ear.closeSubpath();
            painter.fillPath(ear, palette().color(QPalette::Highlight));
            painter.setPen(palette().color(QPalette::Text));
            painter.drawLine(width() - side, 0, width(), side);
        }
        if (refused) {
            painter.setPen(QPen(QColor(220, 0, 0), 2, Qt::DashLine));
            painter.drawRect(rect().adjusted(1, 1, -1, -1));
        }
    }
};

BoxMark* markOf(QWidget* widget, bool make) {
    // By name: a control may have other children of its own (a list's popup).
    auto* mark = static_cast<BoxMark*>(widget->findChild<QWidget*>(kMarkName, Qt::FindDirectChildrenOnly));
    if (!mark && make) mark = new BoxMark(widget);
    return mark;
}

}  // namespace

ChangeMarks::ChangeMarks(WidgetForm& form, const MemoryMap& map, QObject* parent)
    : QObject(parent), form_(form), map_(map) {
    watch();
}

void ChangeMarks::watch() {
    for (const QString& key : profileKeys(map_)) {
        for (const QString& control : controlsOfKey(key, map_)) {
            QWidget* widget = form_.widget(control);
            if (auto* edit = qobject_cast<QLineEdit*>(widget))
                connect(edit, &QLineEdit::textChanged, this, &ChangeMarks::refresh);
            else if (auto* combo = qobject_cast<QComboBox*>(widget))
                connect(combo, &QComboBox::currentIndexChanged, this, &ChangeMarks::refresh);
            else if (auto* button = qobject_cast<QAbstractButton*>(widget))
                connect(button, &QAbstractButton::toggled, this, &ChangeMarks::refresh);
        }
    }
}

void ChangeMarks::keep(const Form& values, bool fromController) {
    copyBlock(values, read_, map_);
    kept_ = true;
    fromController_ = fromController || fromController_;
    refresh();
}

void ChangeMarks::revert() {
    if (kept_) copyBlock(read_, form_, map_);
}

std::vector<Change> ChangeMarks::changes() const {
    if (!kept_) return {};
    return changesBetween(read_, form_, map_);
}

void ChangeMarks::markRefused(const QString& control) {
    QWidget* widget = form_.widget(control);
    if (!widget) return;
    refused_ = control;
    BoxMark* mark = markOf(widget, true);
    mark->refused = true;
    mark->apply();
    widget->window()->activateWindow();
    widget->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) edit->selectAll();
}

void ChangeMarks::mark(QWidget* widget, bool changed) {
    QString name = widget->accessibleName();
    const QString suffix = QString::fromLatin1(kChangedSuffix);
    if (name.endsWith(suffix)) name.chop(suffix.size());
    widget->setAccessibleName(changed ? name + suffix : name);
    BoxMark* mark = markOf(widget, changed);
    if (!mark) return;
    mark->changed = changed;
    mark->apply();
}

void ChangeMarks::refresh() {
    if (!refused_.isEmpty()) {
        // Framed until the value is one a store takes.
        const auto refusal = firstRefusal(form_, map_);
        if (!refusal || refusal->field->control != refused_) {
            if (BoxMark* mark = markOf(form_.widget(refused_), false)) {
                mark->refused = false;
                mark->apply();
            }
            refused_.clear();
        }
    }
    QStringList marked;
    for (const Change& change : changes()) marked << controlsOfKey(change.key, map_);
    for (const QString& control : std::as_const(markedBefore_))
        if (!marked.contains(control)) mark(form_.widget(control), false);
    for (const QString& control : std::as_const(marked)) mark(form_.widget(control), true);
    markedBefore_ = marked;
    emit changed();
}

}  // namespace tarvelin
