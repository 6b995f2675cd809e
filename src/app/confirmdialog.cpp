#include "confirmdialog.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "windowparts.h"

namespace tarvelin {

ConfirmDialog::ConfirmDialog(std::function<void(std::int16_t)> store, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), store_(std::move(store)) {
    setObjectName(QStringLiteral("confirmOverwrite"));
    setAccessibleDescription(QStringLiteral("confirmOverwrite"));
    setWindowTitle(QString::fromLatin1(kConfirmCaption));

    auto* question = makeArialLabel(kConfirmQuestion, "Label1", 10, false, this);
    question->setAlignment(Qt::AlignCenter);
    yesButton_ = named(new QPushButton(QStringLiteral("Yes"), this), "yesButton");
    noButton_ = named(new QPushButton(QStringLiteral("No"), this), "NoButton");
    for (QPushButton* b : {yesButton_, noButton_}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(80);
    }

    details_ = named(new QPlainTextEdit(this), "changeList");
    details_->setReadOnly(true);
    details_->setAccessibleName(QStringLiteral("What will be written"));
    details_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    details_->setFixedSize(question->sizeHint().width(), details_->fontMetrics().lineSpacing() * 9 + 12);
    details_->setFocusPolicy(Qt::ClickFocus);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(yesButton_);
    buttons->addSpacing(24);
    buttons->addWidget(noButton_);
    buttons->addStretch(1);
    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(24, 20, 24, 16);
    main->addWidget(question);
    main->addSpacing(8);
    main->addWidget(details_);
    main->addSpacing(14);
    main->addLayout(buttons);
    main->setSizeConstraint(QLayout::SetFixedSize);

    connect(yesButton_, &QPushButton::clicked, this, &ConfirmDialog::yesButton_Click);
    connect(noButton_, &QPushButton::clicked, this, &ConfirmDialog::NoButton_Click);
}

void ConfirmDialog::yesButton_Click() {
    if (running_) return;
    // The dialog stays on screen while the store runs.
    QPointer<ConfirmDialog> self(this);
    if (store_) store_(source_);
    if (self) hide();
}

void ConfirmDialog::NoButton_Click() {
    if (running_) return;
    hide();
}

void ConfirmDialog::setOperationRunning(bool running) {
    running_ = running;
    yesButton_->setEnabled(!running);
    noButton_->setEnabled(!running);
}

void ConfirmDialog::setDetails(const QString& details) {
    if (details_->toPlainText() != details) details_->setPlainText(details);
}

void ConfirmDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        NoButton_Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ConfirmDialog::closeEvent(QCloseEvent* event) {
    if (running_) {
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace tarvelin
