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

#include "config/busy.h"
#include "config/directory.h"
#include "config/memoryaccess.h"
#include "config/memorymap.h"
#include "config/ui/labelmessageline.h"
#include "config/ui/screenfit.h"
#include "serial/ui/notifier.h"

namespace tarvelin {

ConfigWindow::ConfigWindow(Directory& directory, Block block, QWidget* parent)
    : QWidget(parent), directory_(directory), block_(block) {}

ConfigWindow::~ConfigWindow() {
    disconnect(&directory_.context().busy(), nullptr, this, nullptr);
    form_.silence();
}

void ConfigWindow::attach() {
    line_ = std::make_unique<LabelMessageLine>(*form_.get<QLabel>(QStringLiteral("messageLabel")));
    access_ = std::make_unique<MemoryAccess>(*line_);
    // One operation at a time: nothing may start an exchange while one runs.
    connect(&directory_.context().busy(), &Busy::changed, this, &ConfigWindow::followBusy);
    followBusy(directory_.context().busy().active());
}

void ConfigWindow::followBusy(bool busy) {
    for (const char* name : {"retrieveButton", "updateButton", "DefaultButton", "LoadProfile"})
        form_.widget(QString::fromLatin1(name))->setEnabled(!busy);
}

void ConfigWindow::retrieveButton_Click() {
    retrieveParameters();
}

void ConfigWindow::updateButton_Click() {
    Notifier::current().beep();
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
    return boxes;
}

void ConfigWindow::finishColumn(const MemoryMap& map) {
    column_->addLayout(makeProfileRow(this, form_, block_, map));
    auto* message = new QLabel(this);
    form_.add(QStringLiteral("messageLabel"), message);
    look::styleMessageLabel(message);
    column_->addWidget(message);
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
    order << QStringLiteral("LoadProfile") << QStringLiteral("SaveProfile")
          << QStringLiteral("VerifyAfterSave");
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(form_.widget(order.at(i - 1)), form_.widget(order.at(i)));
}

}  // namespace tarvelin
