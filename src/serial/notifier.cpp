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

QString Notifier::chooseFileToSave(QWidget* parent, const QString& title, const QString& filter) {
    return QFileDialog::getSaveFileName(parent, title, QString(), filter);
}

QString Notifier::chooseFileToOpen(QWidget* parent, const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title, QString(), filter);
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
