#include "aboutdialog.h"

#include <QCloseEvent>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "windowparts.h"

namespace tarvelin {

AboutDialog::AboutDialog(QWidget* parent) : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("copyrightDlg"));
    setAccessibleDescription(QStringLiteral("copyrightDlg"));
    setWindowTitle(QString::fromLatin1(kAboutCaption));

    auto* title = makeArialLabel(kAboutTitleText, "Label1", 16, true, this);
    auto* version = makeArialLabel(kAboutVersionText, "Label2", 10, false, this);
    auto* maker = makeArialLabel(kAboutMakerText, "Label3", 10, false, this);
    auto* ok = named(new QPushButton(QStringLiteral("OK"), this), "OKButton");
    ok->setDefault(true);
    ok->setMinimumWidth(90);
    for (QLabel* label : {title, version, maker}) label->setAlignment(Qt::AlignCenter);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addStretch(1);
    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(36, 24, 36, 18);
    main->setSpacing(8);
    main->addWidget(title);
    main->addSpacing(6);
    main->addWidget(version);
    main->addWidget(maker);
    main->addSpacing(14);
    main->addLayout(buttons);
    main->setSizeConstraint(QLayout::SetFixedSize);

    connect(ok, &QPushButton::clicked, this, &AboutDialog::OKButton_Click);
    ok->setFocus();
}

void AboutDialog::OKButton_Click() {
    hide();
    emit okClicked();
}

void AboutDialog::closeEvent(QCloseEvent* event) {
    event->accept();
    emit closedByFrame();
}

}  // namespace tarvelin
