#include "basicwindow.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QVBoxLayout>
#include <algorithm>

#include "basic/basicmap.h"
#include "basic/basicoperations.h"
#include "basic/basicrules.h"
#include "config/busy.h"
#include "config/directory.h"
#include "serial/terminal.h"
#include "serial/ui/notifier.h"

namespace tarvelin {

namespace {

// The password box shows "*" for every character, not the style's bullet.
class StarMaskStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* answer) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return '*';
        return QProxyStyle::styleHint(hint, option, widget, answer);
    }
};

// The four-number address rows of the network block, top to bottom.
struct AddressRow {
    const char* array;
    const char* label;
    const char* spoken;      // accessible name of the field
    const char* initial[4];  // index 3 first
    bool octetLimit;         // max 3 characters, tool tip "0-255"
};
const AddressRow kAddressRows[] = {
    {"IP", "IP Address:", "IP Address", {"", "", "", ""}, true},
    {"subnet", "Subnet Mask:", "Subnet Mask", {"255", "255", "255", "0"}, false},
    {"gateway", "Gateway IPAddr:", "Gateway IP Address", {"192", "168", "1", "1"}, false},
    {"smtp", "SMTP Server:", "SMTP Server", {"", "", "", ""}, false},
    {"DNS", "DNS Server:", "DNS Server", {"", "", "", ""}, false},
};

// A button whose caption wraps onto as many lines as its height allows; the
// caption itself stays one text.
class WrappingButton : public QPushButton {
public:
    using QPushButton::QPushButton;

    QSize sizeHint() const override {
        QSize size = QPushButton::sizeHint();
        int widest = 0;
        for (const QString& word : text().split(QLatin1Char(' ')))
            widest = std::max(widest, fontMetrics().horizontalAdvance(word));
        size.setWidth(std::min(size.width(), widest + 24));
        size.setHeight(std::max(size.height(), fontMetrics().lineSpacing() * 2 + 12));
        return size;
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QString caption = option.text;
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        painter.drawItemText(area, Qt::AlignCenter | Qt::TextWordWrap, palette(), isEnabled(), caption,
                             QPalette::ButtonText);
    }
};

}  // namespace

BasicWindow::BasicWindow(Directory& directory, Notifier& notifier, QWidget* parent)
    : ConfigWindow(directory, notifier, Block::Basic, parent) {
    build();
    attach();
    connectRules();
    setFocusOrder();

    // Form_Load
    displayCommport();
}

void BasicWindow::build() {
    setWindowTitle(QString::fromLatin1(kBasicWindowTitle));
    resize(402, 461);

    QFrame* frame = nullptr;
    QVBoxLayout* panel = startColumn(frame);
    auto* addresses = new QGridLayout;
    addresses->setHorizontalSpacing(2);
    panel->addLayout(addresses);
    addressRows(addresses, frame);
    auto* ports = new QGridLayout;
    ports->setHorizontalSpacing(4);
    panel->addLayout(ports);
    portRows(ports, frame);

    auto* middle = new QGridLayout;
    column_->addLayout(middle);
    credentialRows(middle);
    portAndFirmware(middle);

    auto* actions = new QGridLayout;
    column_->addLayout(actions);
    actions->addWidget(retrieveButton(), 0, 0);
    actions->addWidget(saveButton(), 1, 0);
    actions->addWidget(rebootBox(), 1, 1);
    auto* exit = button(QStringLiteral("exitButton"), QStringLiteral("Exit"), this);
    exit->setFont(look::boldFont(exit->font()));
    connect(exit, &QPushButton::clicked, this, &BasicWindow::exitButton_Click);
    actions->addWidget(exit, 0, 1);

    finishColumn(basicMap());
}

// The five address rows, "Factory Default" beside the first and "Advanced
// Configuration" beside the last two.
void BasicWindow::addressRows(QGridLayout* addresses, QFrame* frame) {
    int row = 0;
    for (const AddressRow& r : kAddressRows) {
        const QList<LimitedLineEdit*> boxes =
            addressRow(addresses, row++, QString::fromLatin1(r.label), QString::fromLatin1(r.array),
                       QString::fromLatin1(r.spoken), r.octetLimit ? 3 : 0, frame);
        for (int i = 0; i < 4; ++i) {
            boxes[i]->setText(QString::fromLatin1(r.initial[i]));
            if (r.octetLimit) boxes[i]->setToolTip(QStringLiteral("0-255"));
        }
    }
    addresses->setColumnStretch(8, 1);
    auto* defaults = button(QStringLiteral("DefaultButton"), QStringLiteral("Factory Default"), frame);
    connect(defaults, &QPushButton::clicked, this, &BasicWindow::DefaultButton_Click);
    addresses->addWidget(defaults, 0, 9);
    auto* advConfig = new WrappingButton(QStringLiteral("Advanced Configuration"), frame);
    form_.add(QStringLiteral("AdvConfig"), advConfig);
    look::colourButton(advConfig, QColor(192, 255, 255));
    advConfig->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    connect(advConfig, &QPushButton::clicked, this, &BasicWindow::AdvConfig_Click);
    addresses->addWidget(advConfig, 3, 9, 2, 1);
}

// A one-digit count of connections, centred.
LimitedLineEdit* BasicWindow::countBox(const QString& name, const QString& spoken, const QString& tip,
                                       QWidget* parent) {
    auto* box = textBox(name, 1, spoken, parent);
    box->setText(QStringLiteral("3"));
    box->setToolTip(tip);
    look::fitDigits(box, 1);
    box->setAlignment(Qt::AlignCenter);
    return box;
}

// The server's port and the node name; the Modbus/TCP port and the split of
// the six connections.
void BasicWindow::portRows(QGridLayout* ports, QFrame* frame) {
    ports->addWidget(new QLabel(QStringLiteral("Tarvelin Port #"), frame), 0, 0);
    auto* svrport = textBox(QStringLiteral("svrport"), 0, QStringLiteral("Tarvelin Port number"), frame);
    svrport->setText(QStringLiteral("9080"));
    look::fitDigits(svrport, 5);
    ports->addWidget(svrport, 0, 1);
    ports->addWidget(new QLabel(QStringLiteral("Node Name"), frame), 0, 2, Qt::AlignRight);
    auto* hostName = textBox(QStringLiteral("hostName"), 16, QStringLiteral("Node Name"), frame);
    hostName->setText(QStringLiteral("Tarvelin"));
    ports->addWidget(hostName, 0, 3, 1, 3);

    auto* mbtcpLabel = new QLabel(QStringLiteral("Modbus/TCP Secondary Port #"), frame);
    mbtcpLabel->setWordWrap(true);
    ports->addWidget(mbtcpLabel, 1, 0);
    auto* mbtcpPort =
        textBox(QStringLiteral("MBtcpPort"), 0, QStringLiteral("Modbus/TCP Secondary Port number"), frame);
    mbtcpPort->setText(QStringLiteral("502"));
    mbtcpPort->setToolTip(QStringLiteral("One primary port #502 is always available"));
    look::fitDigits(mbtcpPort, 5);
    ports->addWidget(mbtcpPort, 1, 1);
    auto* connections = new QLabel(QStringLiteral("No of Connections"), frame);
    connections->setWordWrap(true);
    connections->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connections->setToolTip(QStringLiteral("Total = 6"));
    ports->addWidget(connections, 1, 2, Qt::AlignRight);
    ports->addWidget(
        countBox(QStringLiteral("No_of_Tarvelin"), QStringLiteral("Number of Tarvelin connections"),
                 QStringLiteral("Max=4"), frame),
        1, 3, Qt::AlignHCenter);
    ports->addWidget(new QLabel(QStringLiteral("/"), frame), 1, 4);
    ports->addWidget(
        countBox(QStringLiteral("No_of_MBtcp"), QStringLiteral("Number of Modbus/TCP connections"),
                 QStringLiteral("Max=5"), frame),
        1, 5, Qt::AlignHCenter);
    ports->addWidget(new QLabel(QStringLiteral("Tarvelin"), frame), 2, 3, Qt::AlignHCenter);
    ports->addWidget(new QLabel(QStringLiteral("MBTCP"), frame), 2, 5, Qt::AlignHCenter);
    ports->setColumnStretch(6, 1);
}

// User name, password, protection and access level.
void BasicWindow::credentialRows(QGridLayout* middle) {
    middle->addWidget(new QLabel(QStringLiteral("Username:"), this), 0, 0);
    auto* username =
        textBox(QStringLiteral("username"), kMaxCredentialLength, QStringLiteral("Username"), this);
    username->setToolTip(QStringLiteral("Max 16 characters"));
    middle->addWidget(username, 0, 1, 1, 2);
    middle->addWidget(new QLabel(QStringLiteral("Password:"), this), 1, 0);
    auto* password =
        textBox(QStringLiteral("password"), kMaxCredentialLength, QStringLiteral("Password"), this);
    password->setEchoMode(QLineEdit::Password);
    auto* mask = new StarMaskStyle(QApplication::style()->name());
    mask->setParent(password);
    password->setStyle(mask);
    password->setToolTip(QStringLiteral("Max 16 Characters"));
    middle->addWidget(password, 1, 1, 1, 2);

    middle->addWidget(new QLabel(QStringLiteral("Use Username/Password?"), this), 2, 0);
    auto* protection = new QButtonGroup(this);
    protection->setObjectName(QStringLiteral("EnablePW"));
    for (int index = 0; index <= 1; ++index)
        middle->addWidget(option(QStringLiteral("EnablePW"), index, protection, this), 2, 1 + index);

    middle->addWidget(new QLabel(QStringLiteral("Access Level:"), this), 3, 0);
    auto* access = new QComboBox(this);
    form_.add(QStringLiteral("AccessLevel"), access);
    access->setAccessibleName(QStringLiteral("Access Level"));
    access->setEditable(false);
    access->addItems(
        {QStringLiteral("1 - Programmer"), QStringLiteral("2 - User"), QStringLiteral("3 - Visitor")});
    access->setCurrentIndex(-1);
    middle->addWidget(access, 3, 1, 1, 2);
}

// "Serial Setup" over the chosen port, and the firmware.
void BasicWindow::portAndFirmware(QGridLayout* middle) {
    auto* serialSetup = button(QStringLiteral("Command1"), QStringLiteral("Serial Setup"), this);
    connect(serialSetup, &QPushButton::clicked, this, &BasicWindow::SerialSetup_Click);
    middle->addWidget(serialSetup, 0, 3);
    auto* commport = textBox(QStringLiteral("commport"), 0, QStringLiteral("Serial port"), this);
    commport->setReadOnly(true);
    commport->setFixedWidth(serialSetup->sizeHint().width());
    middle->addWidget(commport, 1, 3);
    auto* firmware = new QHBoxLayout;
    firmware->addWidget(new QLabel(QStringLiteral("Firmware:"), this));
    auto* version = new QLabel(this);
    form_.add(QStringLiteral("version"), version);
    look::setTextColor(version, QColor(255, 0, 0));
    version->setTextFormat(Qt::PlainText);  // whatever the controller sends is shown as it is
    firmware->addWidget(version, 1);
    middle->addLayout(firmware, 3, 3);
    middle->setColumnStretch(2, 1);
}

void BasicWindow::connectRules() {
    // The change rules run for every change of the text, typed or assigned,
    // nested inside the assignment.
    connect(form_.get<QLineEdit>(QStringLiteral("No_of_Tarvelin")), &QLineEdit::textChanged, this,
            [this] { No_of_Tarvelin_Change(form_); });
    connect(form_.get<QLineEdit>(QStringLiteral("No_of_MBtcp")), &QLineEdit::textChanged, this,
            [this] { No_of_MBtcp_Change(form_); });
    for (const QString& name : {QStringLiteral("username"), QStringLiteral("password")})
        connect(form_.get<LimitedLineEdit>(name), &LimitedLineEdit::lostFocus, this,
                [this, name] { cutTo16(form_, name); });
}

void BasicWindow::setFocusOrder() {
    QStringList order;
    for (const char* array : {"IP", "subnet", "gateway", "smtp", "DNS"})
        for (int index = 3; index >= 0; --index) order << member(QString::fromLatin1(array), index);
    order << QStringLiteral("username") << QStringLiteral("password") << QStringLiteral("EnablePW(0)")
          << QStringLiteral("EnablePW(1)") << QStringLiteral("AccessLevel")
          << QStringLiteral("retrieveButton") << QStringLiteral("updateButton") << QStringLiteral("Command1")
          << QStringLiteral("exitButton") << QStringLiteral("DefaultButton") << QStringLiteral("svrport")
          << QStringLiteral("hostName") << QStringLiteral("MBtcpPort") << QStringLiteral("No_of_Tarvelin")
          << QStringLiteral("No_of_MBtcp") << QStringLiteral("ResetPLC") << QStringLiteral("AdvConfig")
          << QStringLiteral("commport");
    ConfigWindow::setFocusOrder(order);
}

void BasicWindow::displayCommport() {
    form_.setText(QStringLiteral("commport"), QString::fromStdString(directory_.terminal().getCommport()));
}

Outcome BasicWindow::storeValues(Form& values) {
    return updateBasicParameters(values, access(), directory_);
}

Outcome BasicWindow::retrieveInto(Form& form) {
    return retrieveBasicParameters(form, access(), directory_);
}

void BasicWindow::loadFactoryDefaults() {
    loadBasicFactoryDefaults(form_);
}

void BasicWindow::AdvConfig_Click() {
    directory_.showAdvanced();
}

void BasicWindow::exitButton_Click() {
    close();
}

void BasicWindow::closeEvent(QCloseEvent* event) {
    QString question = QString::fromLatin1(kQuitQuestion);
    if (storeRunning()) question += QStringLiteral("\n\n") + QString::fromLatin1(kQuitDuringStoreNote);
    if (!notifier_.askYesNo(this, QString::fromLatin1(kQuitTitle), question)) {
        event->ignore();
        return;
    }
    // A retrieve or store that let this event through stops at its next
    // exchange instead of talking on after the program has ended.
    if (directory_.context().busy().active()) directory_.context().requestStop();
    event->accept();
    emit quitRequested();
}

}  // namespace tarvelin
