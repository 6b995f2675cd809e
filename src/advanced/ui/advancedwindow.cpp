#include "advancedwindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "advanced/advancedmap.h"
#include "advanced/advancedoperations.h"
#include "advanced/advancedrules.h"
#include "config/codecs.h"

namespace tarvelin {

namespace {

// The underlined "+" in front of the calibration rows reads as "±".
QLabel* plusMinus(QWidget* parent) {
    auto* sign = new QLabel(QStringLiteral("+"), parent);
    QFont font = sign->font();
    font.setUnderline(true);
    sign->setFont(font);
    sign->setAccessibleName(QStringLiteral("plus or minus"));
    return sign;
}

}  // namespace

AdvancedWindow::AdvancedWindow(Directory& directory, Notifier& notifier, QWidget* parent)
    : ConfigWindow(directory, notifier, Block::Advanced, parent) {
    build();
    attach();
    connectRules();
    setFocusOrder();
}

void AdvancedWindow::build() {
    setWindowTitle(QString::fromLatin1(kAdvancedWindowTitle));
    resize(394, 473);

    QFrame* frame = nullptr;
    QVBoxLayout* panel = startColumn(frame);
    auto* addresses = new QGridLayout;
    addresses->setHorizontalSpacing(2);
    addresses->setVerticalSpacing(2);
    panel->addLayout(addresses);
    macRow(addresses, frame);
    trustedRows(addresses, frame);
    auto* trust = new QGridLayout;
    panel->addLayout(trust);
    trustSwitches(trust, frame);
    auto* separator = new QFrame(frame);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    panel->addWidget(separator);
    auto* calibration = new QGridLayout;
    calibration->setHorizontalSpacing(3);
    calibration->setVerticalSpacing(2);
    panel->addLayout(calibration);
    calibrationRows(calibration, frame);

    // The holder of the configuration flag byte; never shown.
    auto* plcConfig = new LimitedLineEdit(0, frame);
    form_.add(QStringLiteral("PLCconfig"), plcConfig);
    plcConfig->setText(QStringLiteral("00"));
    plcConfig->setFocusPolicy(Qt::NoFocus);
    plcConfig->hide();

    actionRows();
    finishColumn(advancedMap());
}

// The MAC ID: the maker's identifier, "00", then the controller's own two.
void AdvancedWindow::macRow(QGridLayout* addresses, QFrame* frame) {
    addresses->addWidget(new QLabel(QStringLiteral("MAC ID"), frame), 0, 0);
    auto* mac = new QHBoxLayout;
    mac->setSpacing(2);
    for (int index = 5; index >= 0; --index) {
        auto* box = textBox(member(QStringLiteral("MAC"), index), 2,
                            QStringLiteral("MAC ID, byte %1").arg(6 - index), frame);
        box->setReadOnly(true);
        box->setToolTip(QStringLiteral("0-255"));
        look::fitDigits(box, 2);
        box->setAlignment(Qt::AlignCenter);
        if (index >= 3)
            box->setText(makerOctetText(5 - index));
        else if (index == 2)
            box->setText(QStringLiteral("00"));
        mac->addWidget(box);
    }
    mac->addStretch(1);
    addresses->addLayout(mac, 0, 1, 1, 8);
}

// Six trusted addresses, "Factory Default" beside the first two.
void AdvancedWindow::trustedRows(QGridLayout* addresses, QFrame* frame) {
    for (int address = 1; address <= 6; ++address) {
        const QString spoken = QStringLiteral("Trusted IP #%1").arg(address);
        for (LimitedLineEdit* box :
             addressRow(addresses, address, spoken, QStringLiteral("TIP%1").arg(address), spoken, 3, frame))
            box->setToolTip(QStringLiteral("0-255"));
    }
    addresses->setColumnStretch(8, 1);
    auto* defaults = button(QStringLiteral("DefaultButton"), QStringLiteral("Factory Default"), frame);
    defaults->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    connect(defaults, &QPushButton::clicked, this, &AdvancedWindow::DefaultButton_Click);
    addresses->addWidget(defaults, 1, 9, 2, 1);
}

// The two trust switches are separate groups; the Tarvelin pair sits in a
// frame of its own.
void AdvancedWindow::trustSwitches(QGridLayout* trust, QFrame* frame) {
    trust->addWidget(new QLabel(QStringLiteral("Modbus/TCP Use Trusted IP?"), frame), 0, 0);
    trust->addWidget(new QLabel(QStringLiteral("Tarvelin Use Trusted IP?"), frame), 1, 0);
    auto* frame2 = new QFrame(frame);
    frame2->setObjectName(QStringLiteral("Frame2"));
    auto* frame2Layout = new QHBoxLayout(frame2);
    frame2Layout->setContentsMargins(0, 0, 0, 0);
    auto* mbGroup = new QButtonGroup(this);
    mbGroup->setObjectName(QStringLiteral("MBtrusted"));
    auto* tarvelinGroup = new QButtonGroup(this);
    tarvelinGroup->setObjectName(QStringLiteral("Tarvelintrusted"));
    auto* mbRow = new QHBoxLayout;
    for (int index = 0; index <= 1; ++index) {
        mbRow->addWidget(option(QStringLiteral("MBtrusted"), index, mbGroup, frame));
        frame2Layout->addWidget(option(QStringLiteral("Tarvelintrusted"), index, tarvelinGroup, frame2));
    }
    form_.get<QRadioButton>(QStringLiteral("MBtrusted(1)"))->setChecked(true);
    form_.get<QRadioButton>(QStringLiteral("Tarvelintrusted(1)"))->setChecked(true);
    mbRow->addStretch(1);
    frame2Layout->addStretch(1);
    trust->addLayout(mbRow, 0, 1);
    trust->addWidget(frame2, 1, 1);
}

// The head of a calibration row: "+0.000x X =" for a gain, "Zero Offset +"
// for an offset.
QHBoxLayout* AdvancedWindow::rowHead(bool gain, QFrame* frame) {
    auto* head = new QHBoxLayout;
    head->setSpacing(3);
    if (gain) {
        head->addWidget(plusMinus(frame));
        head->addWidget(new QLabel(QStringLiteral("0.000x"), frame));
        head->addWidget(new QLabel(QStringLiteral("X ="), frame));
    } else {
        head->addWidget(new QLabel(QStringLiteral("Zero Offset"), frame));
        head->addWidget(plusMinus(frame));
    }
    head->addStretch(1);
    return head;
}

// One box per channel of `array` (the "mcal" arrays are gains, the "zcal"
// ones offsets), in the columns "Ch1".."Ch8".
void AdvancedWindow::calibrationRow(QGridLayout* calibration, int row, const char* array, int channels,
                                    const QString& spoken, QFrame* frame) {
    calibration->addLayout(rowHead(QByteArray(array).contains("mcal"), frame), row, 0);
    for (int k = 0; k < channels; ++k) {
        auto* box = textBox(member(QString::fromLatin1(array), k), 0,
                            spoken + QStringLiteral(", channel %1").arg(k + 1), frame);
        box->setText(QStringLiteral("0"));
        look::fitDigits(box, 3);
        calibration->addWidget(box, row, 1 + k);
    }
}

// Calibration: eight A/D and four D/A channels, and the moving average.
void AdvancedWindow::calibrationRows(QGridLayout* calibration, QFrame* frame) {
    for (int channel = 1; channel <= 8; ++channel)
        calibration->addWidget(new QLabel(QStringLiteral("Ch%1").arg(channel), frame), 0, channel,
                               Qt::AlignHCenter);
    auto* adcHead = new QLabel(QStringLiteral("ADC Calib."), frame);
    adcHead->setFont(look::boldFont(adcHead->font()));
    calibration->addWidget(adcHead, 1, 0);
    calibrationRow(calibration, 2, "ADmcal", 8, QStringLiteral("Calibration A/D gain"), frame);
    calibrationRow(calibration, 3, "ADzcal", 8, QStringLiteral("Calibration A/D zero offset"), frame);
    auto* dacHead = new QLabel(QStringLiteral("DAC Calib."), frame);
    dacHead->setFont(look::boldFont(dacHead->font()));
    calibration->addWidget(dacHead, 4, 0);
    calibrationRow(calibration, 5, "DAmcal", 4, QStringLiteral("Calibration D/A gain"), frame);
    auto* averagingLabel = new QLabel(QStringLiteral("A/D Moving Avg No. of pts (1-9)"), frame);
    averagingLabel->setWordWrap(true);
    averagingLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    calibration->addWidget(averagingLabel, 5, 5, 2, 3);
    auto* movAvg =
        textBox(QStringLiteral("MovAvgNo"), 0, QStringLiteral("A/D moving average, number of points"), frame);
    movAvg->setText(QStringLiteral("3"));
    look::fitDigits(movAvg, 3);
    calibration->addWidget(movAvg, 5, 8);
    calibrationRow(calibration, 6, "DAzcal", 4, QStringLiteral("Calibration D/A zero offset"), frame);
}

// Below the frame: retrieve, the firmware and "Serial Setup", save, reboot, close.
void AdvancedWindow::actionRows() {
    auto* actions = new QGridLayout;
    column_->addLayout(actions);
    actions->addWidget(retrieveButton(), 0, 0);
    auto* serialColumn = new QHBoxLayout;
    auto* revision = new QLabel(this);
    form_.add(QStringLiteral("Revision"), revision);
    look::setTextColor(revision, QColor(255, 0, 0));
    revision->setTextFormat(Qt::PlainText);
    serialColumn->addWidget(revision);
    auto* serialSetup = button(QStringLiteral("SerialSetup"), QStringLiteral("Serial Setup"), this);
    connect(serialSetup, &QPushButton::clicked, this, &AdvancedWindow::SerialSetup_Click);
    serialColumn->addWidget(serialSetup);
    actions->addLayout(serialColumn, 0, 1);
    actions->addWidget(rebootBox(), 1, 1);
    actions->addWidget(saveButton(), 1, 0);
    auto* close = button(QStringLiteral("closeButton"), QStringLiteral("Close"), this);
    connect(close, &QPushButton::clicked, this, &AdvancedWindow::closeButton_Click);
    actions->addWidget(close, 2, 1);
}

// Every box runs the block's change rule on every change, the rule the
// command line's forms run too (offset limits, averaging length).
void AdvancedWindow::connectRules() {
    for (const Field& field : advancedMap())
        if (auto* box = qobject_cast<QLineEdit*>(form_.widget(field.control)); box && field.rule)
            connect(box, &QLineEdit::textChanged, this,
                    [this, rule = field.rule, name = field.control] { rule(form_, name); });
}

void AdvancedWindow::setFocusOrder() {
    QStringList order{QStringLiteral("MBtrusted(0)"), QStringLiteral("MBtrusted(1)"),
                      QStringLiteral("Tarvelintrusted(0)"), QStringLiteral("Tarvelintrusted(1)"),
                      QStringLiteral("DefaultButton")};
    for (int index = 5; index >= 0; --index) order << member(QStringLiteral("MAC"), index);
    for (const char* array : {"ADmcal", "ADzcal"})
        for (int k = 0; k <= 7; ++k) order << member(QString::fromLatin1(array), k);
    for (const char* array : {"DAmcal", "DAzcal"})
        for (int k = 0; k <= 3; ++k) order << member(QString::fromLatin1(array), k);
    order << QStringLiteral("MovAvgNo") << QStringLiteral("retrieveButton") << QStringLiteral("updateButton")
          << QStringLiteral("ResetPLC") << QStringLiteral("SerialSetup") << QStringLiteral("closeButton");
    for (int address = 1; address <= 6; ++address)
        for (int index = 3; index >= 0; --index) order << member(QStringLiteral("TIP%1").arg(address), index);
    ConfigWindow::setFocusOrder(order);
}

double AdvancedWindow::getPLCconfig() {
    return numericValue(form_.text(QStringLiteral("PLCconfig")));
}

void AdvancedWindow::setPLCconfig(std::int16_t value) {
    form_.setText(QStringLiteral("PLCconfig"), integerToSignedText(value));
}

Outcome AdvancedWindow::storeValues(Form& values) {
    return updateAdvancedParameters(values, access(), directory_);
}

Outcome AdvancedWindow::retrieveInto(Form& form) {
    return retrieveAdvancedParameters(form, access(), directory_);
}

void AdvancedWindow::loadFactoryDefaults() {
    loadAdvancedFactoryDefaults(form_);
}

void AdvancedWindow::closeButton_Click() {
    hide();
}

}  // namespace tarvelin
