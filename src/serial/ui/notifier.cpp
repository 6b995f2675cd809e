#include "notifier.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace tarvelin {

namespace {
// Qt's own dialog rather than the desktop's: it adds the default suffix
// before its overwrite question, and it is the same everywhere.
QString chooseFile(QWidget* parent, const QString& title, const QString& filter, QFileDialog::AcceptMode mode,
                   const QString& defaultSuffix) {
    QFileDialog dialog(parent, title, QString(), filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}
}  // namespace

QString Notifier::chooseFileToSave(QWidget* parent, const QString& title, const QString& filter,
                                   const QString& defaultSuffix) {
    return chooseFile(parent, title, filter, QFileDialog::AcceptSave, defaultSuffix);
}

QString Notifier::chooseFileToOpen(QWidget* parent, const QString& title, const QString& filter) {
    return chooseFile(parent, title, filter, QFileDialog::AcceptOpen, QString());
}

void DesktopNotifier::beep() {
    QApplication::beep();
}

namespace {
QMessageBox::Icon boxIcon(Notifier::Icon icon) {
    switch (icon) {
        case Notifier::Icon::Warning:
            return QMessageBox::Warning;
        case Notifier::Icon::Critical:
            return QMessageBox::Critical;
        case Notifier::Icon::Question:
            return QMessageBox::Question;
        default:
            return QMessageBox::Information;
    }
}
}  // namespace

void DesktopNotifier::message(QWidget* parent, const QString& title, const QString& text, Icon icon) {
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool DesktopNotifier::messageWithOffer(QWidget* parent, const QString& title, const QString& text, Icon icon,
                                       const QString& offer) {
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, parent);
    QPushButton* chosen = box.addButton(offer, QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    return box.clickedButton() == chosen;
}

bool DesktopNotifier::askYesNo(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace tarvelin
