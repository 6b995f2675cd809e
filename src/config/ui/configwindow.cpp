#include "configwindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "commissioning/plan.h"
#include "config/busy.h"
#include "config/directory.h"
#include "config/memoryaccess.h"
#include "config/memorymap.h"
#include "config/operations.h"
#include "config/profile.h"
#include "config/ui/changemarks.h"
#include "config/ui/labelmessageline.h"
#include "config/ui/screenfit.h"
#include "serial/terminal.h"
#include "serial/ui/notifier.h"

namespace tarvelin {

int ConfigWindow::storesRunning_ = 0;

namespace {

constexpr const char* kNotReadText = "Values not read from the controller";
constexpr const char* kStoreStoppedText =
    "The store stopped before the end: the controller may hold part of the new values";

// A store's end that put nothing but progress marks on the message line.
bool stoppedSilently(Outcome outcome, QString caption) {
    if (outcome == Outcome::Success || outcome == Outcome::Busy || outcome == Outcome::PortNotOpened)
        return false;
    return caption.remove(QStringLiteral("*")).trimmed().isEmpty();
}

}  // namespace

ConfigWindow::ConfigWindow(Directory& directory, Notifier& notifier, Block block, QWidget* parent)
    : QWidget(parent), directory_(directory), notifier_(notifier), block_(block) {}

ConfigWindow::~ConfigWindow() {
    disconnect(&directory_.context().busy(), nullptr, this, nullptr);
    form_.silence();
}

void ConfigWindow::attach() {
    line_ = std::make_unique<LabelMessageLine>(*form_.get<QLabel>(QStringLiteral("messageLabel")), notifier_);
    access_ = std::make_unique<MemoryAccess>(*line_);
    // One operation at a time: nothing may start an exchange while one runs.
    connect(&directory_.context().busy(), &Busy::changed, this, &ConfigWindow::followBusy);
    followBusy(directory_.context().busy().active());
    marks_ = new ChangeMarks(form_, *map_, this);
    connect(marks_, &ChangeMarks::changed, this, &ConfigWindow::showReadState);
    showReadState();
}

void ConfigWindow::followBusy(bool busy) {
    // The profile buttons open a file dialog, which would hold the operation up.
    for (const char* name : {"retrieveButton", "updateButton", "DefaultButton", "LoadProfile", "SaveProfile"})
        form_.widget(QString::fromLatin1(name))->setEnabled(!busy);
}

void ConfigWindow::retrieveButton_Click() {
    // What was read, apart from what is typed while the retrieve runs.
    HeadlessForm read;
    copyBlock(form_, read, *map_);
    TeeForm both(form_, read);
    const Outcome outcome = retrieveInto(both);
    if (outcome == Outcome::Busy) return;
    notRead_ = outcome != Outcome::Success;
    if (notRead_) return showReadState();
    readPort_ = QString::fromStdString(directory_.terminal().getCommport());
    readStation_ = access_->station();
    marks_->keep(read, true);
}

Outcome ConfigWindow::updateParameters() {
    if (directory_.context().busy().active()) return Outcome::Busy;
    // Refused before anything is sent, as the store itself does, with the box shown.
    if (auto refusal = firstRefusal(form_, *map_)) marks_->markRefused(refusal->field->control);
    FrozenForm values(form_, *map_,
                      {QString::fromLatin1(kVerifyControl), QString::fromLatin1(kResetControl)});
    ++storesRunning_;
    const Outcome outcome = storeValues(values);
    --storesRunning_;
    if (stoppedSilently(outcome, form_.text(QStringLiteral("messageLabel"))))
        access_->show(Outcome::Refused, QString::fromLatin1(kStoreStoppedText));
    if (outcome == Outcome::Success) {
        // The controller holds what was written now; edits made meanwhile stay marked.
        notRead_ = false;
        readPort_ = QString::fromStdString(directory_.terminal().getCommport());
        readStation_ = access_->station();
        marks_->keep(values, true);
    }
    return outcome;
}

QString ConfigWindow::confirmationDetails() {
    QStringList lines;
    const QString port = QString::fromStdString(directory_.terminal().getCommport());
    if (marks_->fromController() && !notRead_) {
        lines << QStringLiteral("To %1, station %2, where the values were read.")
                     .arg(readPort_)
                     .arg(readStation_);
        if (!readPort_.isEmpty() && port != readPort_)
            lines << QStringLiteral("The port chosen now is %1.").arg(port);
    } else {
        lines << QStringLiteral(
                     "No values were read from this controller (%1): the whole block will be "
                     "written over values not read.")
                     .arg(port);
    }
    if (!marks_->kept()) return lines.join(QLatin1Char('\n'));
    const auto changes = marks_->changes();
    const QString since = marks_->fromController() ? QStringLiteral("read") : QStringLiteral("loaded");
    if (changes.empty()) lines << QStringLiteral("No value differs from those %1.").arg(since);
    if (!changes.empty()) lines << QStringLiteral("Changes (value %1 \u2192 value written):").arg(since);
    for (const Change& change : changes)
        lines << QStringLiteral("%1: %2 \u2192 %3").arg(change.label, change.before, change.after);
    return lines.join(QLatin1Char('\n'));
}

void ConfigWindow::revertButton_Click() {
    marks_->revert();
}

void ConfigWindow::showReadState() {
    const auto changed = marks_->changes().size();
    QStringList note;
    if (notRead_) note << QString::fromLatin1(kNotReadText);
    if (changed > 0)
        note << QStringLiteral("%1 changed since %2 (marked in the corner)")
                    .arg(changed == 1 ? QStringLiteral("1 value") : QStringLiteral("%1 values").arg(changed),
                         marks_->fromController() ? QStringLiteral("read") : QStringLiteral("loaded"));
    form_.setText(QStringLiteral("valuesNote"), note.join(QStringLiteral(" \u2013 ")));
    form_.widget(QStringLiteral("RevertButton"))->setEnabled(changed > 0);
    emit changesChanged();
}

void ConfigWindow::updateButton_Click() {
    notifier_.beep();
    directory_.askOverwrite(block_ == Block::Basic ? 0 : 1);
}

void ConfigWindow::SerialSetup_Click() {
    directory_.showTerminal();
}

void ConfigWindow::DefaultButton_Click() {
    loadFactoryDefaults();
}

LimitedLineEdit* ConfigWindow::textBox(const QString& name, int limit, const QString& spoken,
                                       QWidget* parent) {
    auto* box = new LimitedLineEdit(limit, parent);
    form_.add(name, box);
    box->setAccessibleName(spoken);
    return box;
}

QPushButton* ConfigWindow::button(const QString& name, const QString& caption, QWidget* parent) {
    auto* made = new QPushButton(caption, parent);
    form_.add(name, made);
    return made;
}

QRadioButton* ConfigWindow::option(const QString& pair, int index, QButtonGroup* group, QWidget* parent) {
    auto* made = new QRadioButton(index == 0 ? QStringLiteral("Yes") : QStringLiteral("No"), parent);
    form_.add(member(pair, index), made);
    group->addButton(made, index);
    return made;
}

QPushButton* ConfigWindow::retrieveButton() {
    auto* retrieve =
        button(QStringLiteral("retrieveButton"), QStringLiteral("Retrieve Parameters from Korvex-PLC"), this);
    connect(retrieve, &QPushButton::clicked, this, &ConfigWindow::retrieveButton_Click);
    return retrieve;
}

QPushButton* ConfigWindow::saveButton() {
    auto* update =
        button(QStringLiteral("updateButton"), QStringLiteral("Save Parameters  to Korvex-PLC"), this);
    look::colourButton(update, QColor(255, 255, 0));
    connect(update, &QPushButton::clicked, this, &ConfigWindow::updateButton_Click);
    return update;
}

QCheckBox* ConfigWindow::rebootBox() {
    auto* reset = new QCheckBox(QStringLiteral("Reboot PLC After Save."), this);
    form_.add(QStringLiteral("ResetPLC"), reset);
    return reset;
}

QVBoxLayout* ConfigWindow::startColumn(QFrame*& frame) {
    body_ = new QWidget(this);
    look::scrollingBody(this, body_);
    column_ = new QVBoxLayout(body_);
    look::tighten(column_);
    frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameShape(QFrame::StyledPanel);
    auto* inside = new QVBoxLayout(frame);
    look::tighten(inside);
    column_->addWidget(frame);
    return inside;
}

QList<LimitedLineEdit*> ConfigWindow::addressRow(QGridLayout* grid, int row, const QString& label,
                                                 const QString& array, const QString& spoken, int limit,
                                                 QWidget* parent) {
    grid->addWidget(new QLabel(label, parent), row, 0);
    QList<LimitedLineEdit*> boxes;
    for (int index = 3; index >= 0; --index) {
        auto* box = textBox(member(array, index), limit,
                            spoken + QStringLiteral(", ") + look::addressNumberWord(index), parent);
        look::fitDigits(box, 3);
        const int column = 1 + 2 * (3 - index);
        grid->addWidget(box, row, column);
        if (index > 0) {
            auto* dot = look::dotLabel(parent, box->sizeHint().height());
            dot->setObjectName(member(QStringLiteral("dotlabel"), dots_++));
            grid->addWidget(dot, row, column + 1);
        }
        boxes << box;
    }
    // A whole address goes into the four boxes; "." moves on to the next one.
    for (qsizetype i = 0; i < boxes.size(); ++i) {
        LimitedLineEdit* box = boxes.at(i);
        box->acceptAddresses();
        connect(box, &LimitedLineEdit::nextOctet, this, [boxes, i] {
            if (i + 1 >= boxes.size()) return;
            boxes.at(i + 1)->setFocus(Qt::TabFocusReason);
            boxes.at(i + 1)->selectAll();
        });
        connect(box, &LimitedLineEdit::addressOffered, this,
                [this, array, box](const QString& text) { spreadAddress(array, box, text); });
    }
    return boxes;
}

void ConfigWindow::spreadAddress(const QString& array, LimitedLineEdit* box, const QString& text) {
    QStringList parts = text.trimmed().split(QLatin1Char('.'));
    for (QString& part : parts) part = part.trimmed();
    // As strictly as an address on the command line: four whole numbers 0..255.
    const auto values = valuesOfName(array, parts.join(QLatin1Char('.')));
    if (!values || checkBlock(*values, *map_, QString())) {
        box->restoreBeforeOffer();
        notifier_.beep();
        return;
    }
    applyBlock(*values, form_, *map_);
    auto* last = form_.get<LimitedLineEdit>(member(array, 0));
    last->setFocus(Qt::OtherFocusReason);
    last->end(false);
}

void ConfigWindow::finishColumn(const MemoryMap& map) {
    map_ = &map;
    // A profile loaded before anything was read is what the marks measure against.
    QBoxLayout* row = makeProfileRow(notifier_, this, form_, block_, map, [this] {
        if (!marks_->fromController()) marks_->keep(form_, false);
    });
    auto* revert = button(QStringLiteral("RevertButton"), QStringLiteral("Revert"), this);
    revert->setToolTip(QStringLiteral("Put the values last read back into the marked boxes"));
    connect(revert, &QPushButton::clicked, this, &ConfigWindow::revertButton_Click);
    row->insertWidget(2, revert);
    column_->addLayout(row);
    auto* message = new QLabel(this);
    form_.add(QStringLiteral("messageLabel"), message);
    look::styleMessageLabel(message);
    column_->addWidget(message);
    auto* note = new QLabel(this);
    form_.add(QStringLiteral("valuesNote"), note);
    note->setTextFormat(Qt::PlainText);
    note->setWordWrap(true);
    note->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    column_->addWidget(note);
    column_->addStretch(1);
    nameBoxes(map);
}

void ConfigWindow::nameBoxes(const MemoryMap& map) {
    for (const QString& name : form_.names()) {
        QWidget* box = form_.widget(name);
        const Field* field = findField(map, name);
        if (field && (qobject_cast<QLineEdit*>(box) || qobject_cast<QComboBox*>(box)))
            box->setAccessibleName(spokenLabel(*field));
    }
}

void ConfigWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    look::settleBody(this, body_);
    look::fitScreen(this);
}

void ConfigWindow::setFocusOrder(QStringList order) {
    order << QStringLiteral("LoadProfile") << QStringLiteral("SaveProfile") << QStringLiteral("RevertButton")
          << QStringLiteral("VerifyAfterSave");
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(form_.widget(order.at(i - 1)), form_.widget(order.at(i)));
}

}  // namespace tarvelin
