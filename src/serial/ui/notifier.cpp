#include "notifier.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace tarvelin {

namespace {
Notifier* installed = nullptr;
}

Notifier& Notifier::current() {
    static DesktopNotifier desktop;
    return installed ? *installed : desktop;
}

void Notifier::install(Notifier* notifier) { installed = notifier; }

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

void DesktopNotifier::beep() { QApplication::beep(); }

void DesktopNotifier::message(QWidget* parent, const QString& title, const QString& text, Icon icon) {
    QMessageBox::Icon qicon = QMessageBox::Information;
    if (icon == Icon::Warning) qicon = QMessageBox::Warning;
    if (icon == Icon::Critical) qicon = QMessageBox::Critical;
    if (icon == Icon::Question) qicon = QMessageBox::Question;
    QMessageBox box(qicon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool DesktopNotifier::askYesNo(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace tarvelin
