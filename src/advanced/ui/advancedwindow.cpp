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
#include "config/busy.h"
#include "config/codecs.h"
#include "config/memoryaccess.h"
#include "config/ui/labelmessageline.h"
#include "config/ui/profileactions.h"
#include "serial/ui/notifier.h"

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

AdvancedWindow::AdvancedWindow(Directory& directory, QWidget* parent)
    : QWidget(parent), directory_(directory) {
    build();
    line_ = std::make_unique<LabelMessageLine>(*form_.get<QLabel>(QStringLiteral("messageLabel")));
    access_ = std::make_unique<MemoryAccess>(*line_);
    connectRules();
    setFocusOrder();
    connect(&directory_.context().busy(), &Busy::changed, this, &AdvancedWindow::followBusy);
    followBusy(directory_.context().busy().active());
}

AdvancedWindow::~AdvancedWindow() {
    disconnect(&directory_.context().busy(), nullptr, this, nullptr);
    form_.silence();
}

void AdvancedWindow::build() {
    setWindowTitle(QString::fromLatin1(kAdvancedWindowTitle));
    resize(394, 473);

    auto* outer = new QVBoxLayout(this);
    look::tighten(outer);
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameShape(QFrame::StyledPanel);
    auto* frameLayout = new QVBoxLayout(frame);
    look::tighten(frameLayout);
    outer->addWidget(frame);

    auto textBox = [this](const QString& name, int limit, const QString& spoken, QWidget* parent) {
        auto* box = new LimitedLineEdit(limit, parent);
        form_.add(name, box);
        box->setAccessibleName(spoken);
        return box;
    };
    auto button = [this](const QString& name, const QString& caption, QWidget* parent) {
        auto* b = new QPushButton(caption, parent);
        form_.add(name, b);
        return b;
    };

    // MAC ID and trusted addresses.
    auto* addresses = new QGridLayout;
    addresses->setHorizontalSpacing(2);
    addresses->setVerticalSpacing(2);
    frameLayout->addLayout(addresses);
    addresses->addWidget(new QLabel(QStringLiteral("MAC ID"), frame), 0, 0);
    auto* macRow = new QHBoxLayout;
    macRow->setSpacing(2);
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
        macRow->addWidget(box);
    }
    macRow->addStretch(1);
    addresses->addLayout(macRow, 0, 1, 1, 8);

    int dotIndex = 0;
    for (int address = 1; address <= 6; ++address) {
        const int row = address;
        const QString array = QStringLiteral("TIP%1").arg(address);
        const QString spoken = QStringLiteral("Trusted IP #%1").arg(address);
        addresses->addWidget(new QLabel(spoken, frame), row, 0);
        for (int index = 3; index >= 0; --index) {
            auto* box = textBox(member(array, index), 3,
                                spoken + QStringLiteral(", ") + look::addressNumberWord(index), frame);
            box->setToolTip(QStringLiteral("0-255"));
            look::fitDigits(box, 3);
            const int column = 1 + 2 * (3 - index);
            addresses->addWidget(box, row, column);
            if (index > 0) {
                auto* dot = look::dotLabel(frame, box->sizeHint().height());
                dot->setObjectName(member(QStringLiteral("dotlabel"), dotIndex++));
                addresses->addWidget(dot, row, column + 1);
            }
        }
    }
    addresses->setColumnStretch(8, 1);
    auto* defaults = button(QStringLiteral("DefaultButton"), QStringLiteral("Factory Default"), frame);
    defaults->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    addresses->addWidget(defaults, 1, 9, 2, 1);

    // The two trust switches are separate groups; the Tarvelin pair sits in
    // a frame of its own.
    auto* trust = new QGridLayout;
    frameLayout->addLayout(trust);
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
        const QString caption = index == 0 ? QStringLiteral("Yes") : QStringLiteral("No");
        auto* mb = new QRadioButton(caption, frame);
        form_.add(member(QStringLiteral("MBtrusted"), index), mb);
        mbGroup->addButton(mb, index);
        mbRow->addWidget(mb);
        auto* tv = new QRadioButton(caption, frame2);
        form_.add(member(QStringLiteral("Tarvelintrusted"), index), tv);
        tarvelinGroup->addButton(tv, index);
        frame2Layout->addWidget(tv);
    }
    form_.get<QRadioButton>(QStringLiteral("MBtrusted(1)"))->setChecked(true);
    form_.get<QRadioButton>(QStringLiteral("Tarvelintrusted(1)"))->setChecked(true);
    mbRow->addStretch(1);
    frame2Layout->addStretch(1);
    trust->addLayout(mbRow, 0, 1);
    trust->addWidget(frame2, 1, 1);

    auto* separator = new QFrame(frame);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    frameLayout->addWidget(separator);

    // Calibration: eight A/D and four D/A channels in columns "Ch1".."Ch8".
    auto* calibration = new QGridLayout;
    calibration->setHorizontalSpacing(3);
    calibration->setVerticalSpacing(2);
    frameLayout->addLayout(calibration);
    for (int channel = 1; channel <= 8; ++channel)
        calibration->addWidget(new QLabel(QStringLiteral("Ch%1").arg(channel), frame), 0, channel,
                               Qt::AlignHCenter);

    auto rowHead = [frame](bool gain) {
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
    };
    auto calibrationRow = [&](int row, const char* array, int channels, const QString& spoken) {
        for (int k = 0; k < channels; ++k) {
            auto* box = textBox(member(QString::fromLatin1(array), k), 0,
                                spoken + QStringLiteral(", channel %1").arg(k + 1), frame);
            box->setText(QStringLiteral("0"));
            look::fitDigits(box, 3);
            calibration->addWidget(box, row, 1 + k);
        }
    };
    auto* adcHead = new QLabel(QStringLiteral("ADC Calib."), frame);
    adcHead->setFont(look::boldFont(adcHead->font()));
    calibration->addWidget(adcHead, 1, 0);
    calibration->addLayout(rowHead(true), 2, 0);
    calibrationRow(2, "ADmcal", 8, QStringLiteral("Calibration A/D gain"));
    calibration->addLayout(rowHead(false), 3, 0);
    calibrationRow(3, "ADzcal", 8, QStringLiteral("Calibration A/D zero offset"));
    auto* dacHead = new QLabel(QStringLiteral("DAC Calib."), frame);
    dacHead->setFont(look::boldFont(dacHead->font()));
    calibration->addWidget(dacHead, 4, 0);
    calibration->addLayout(rowHead(true), 5, 0);
    calibrationRow(5, "DAmcal", 4, QStringLiteral("Calibration D/A gain"));
    auto* averagingLabel = new QLabel(QStringLiteral("A/D Moving Avg No. of pts (1-9)"), frame);
    averagingLabel->setWordWrap(true);
    averagingLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    calibration->addWidget(averagingLabel, 5, 5, 2, 3);
    auto* movAvg =
        textBox(QStringLiteral("MovAvgNo"), 0, QStringLiteral("A/D moving average, number of points"), frame);
    movAvg->setText(QStringLiteral("3"));
    look::fitDigits(movAvg, 3);
    calibration->addWidget(movAvg, 5, 8);
    calibration->addLayout(rowHead(false), 6, 0);
    calibrationRow(6, "DAzcal", 4, QStringLiteral("Calibration D/A zero offset"));

    // The holder of the configuration flag byte; never shown.
    auto* plcConfig = new LimitedLineEdit(0, frame);
    form_.add(QStringLiteral("PLCconfig"), plcConfig);
    plcConfig->setText(QStringLiteral("00"));
    plcConfig->setFocusPolicy(Qt::NoFocus);
    plcConfig->hide();

    // Actions below the frame.
    auto* actions = new QGridLayout;
    outer->addLayout(actions);
    auto* retrieve =
        button(QStringLiteral("retrieveButton"), QStringLiteral("Retrieve Parameters from Korvex-PLC"), this);
    actions->addWidget(retrieve, 0, 0);
    auto* serialColumn = new QHBoxLayout;
    auto* revision = new QLabel(this);
    form_.add(QStringLiteral("Revision"), revision);
    look::setTextColor(revision, QColor(255, 0, 0));
    revision->setTextFormat(Qt::PlainText);
    serialColumn->addWidget(revision);
    auto* serialSetup = button(QStringLiteral("SerialSetup"), QStringLiteral("Serial Setup"), this);
    serialColumn->addWidget(serialSetup);
    actions->addLayout(serialColumn, 0, 1);
    auto* reset = new QCheckBox(QStringLiteral("Reboot PLC After Save."), this);
    form_.add(QStringLiteral("ResetPLC"), reset);
    actions->addWidget(reset, 1, 1);
    auto* update =
        button(QStringLiteral("updateButton"), QStringLiteral("Save Parameters  to Korvex-PLC"), this);
    look::colourButton(update, QColor(255, 255, 0));
    actions->addWidget(update, 1, 0);
    auto* close = button(QStringLiteral("closeButton"), QStringLiteral("Close"), this);
    actions->addWidget(close, 2, 1);

    outer->addLayout(makeProfileRow(this, form_, Block::Advanced, advancedMap()));

    auto* message = new QLabel(this);
    form_.add(QStringLiteral("messageLabel"), message);
    look::styleMessageLabel(message);
    outer->addWidget(message);
    outer->addStretch(1);

    connect(retrieve, &QPushButton::clicked, this, &AdvancedWindow::retrieveButton_Click);
    connect(update, &QPushButton::clicked, this, &AdvancedWindow::updateButton_Click);
    connect(serialSetup, &QPushButton::clicked, this, &AdvancedWindow::SerialSetup_Click);
    connect(close, &QPushButton::clicked, this, &AdvancedWindow::closeButton_Click);
    connect(defaults, &QPushButton::clicked, this, &AdvancedWindow::DefaultButton_Click);
}

void AdvancedWindow::connectRules() {
    const auto offsetRule = [this](const QString& name) {
        connect(form_.get<QLineEdit>(name), &QLineEdit::textChanged, this,
                [this, name] { offsetLimit(form_, name); });
    };
    for (int k = 0; k <= 7; ++k) offsetRule(member(QStringLiteral("ADzcal"), k));
    for (int k = 0; k <= 3; ++k) offsetRule(member(QStringLiteral("DAzcal"), k));
    connect(form_.get<QLineEdit>(QStringLiteral("MovAvgNo")), &QLineEdit::textChanged, this,
            [this] { averagingLimit(form_); });
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
    order << QStringLiteral("LoadProfile") << QStringLiteral("SaveProfile")
          << QStringLiteral("VerifyAfterSave");
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(form_.widget(order.at(i - 1)), form_.widget(order.at(i)));
}

void AdvancedWindow::followBusy(bool busy) {
    for (const char* name : {"retrieveButton", "updateButton", "DefaultButton", "LoadProfile"})
        form_.widget(QString::fromLatin1(name))->setEnabled(!busy);
}

double AdvancedWindow::getPLCconfig() {
    return numericValue(form_.text(QStringLiteral("PLCconfig")));
}

void AdvancedWindow::setPLCconfig(std::int16_t value) {
    form_.setText(QStringLiteral("PLCconfig"), integerToSignedText(value));
}

void AdvancedWindow::updateParameters() {
    updateAdvancedParameters(form_, *access_, directory_);
}

void AdvancedWindow::retrieveButton_Click() {
    retrieveAdvancedParameters(form_, *access_, directory_);
}

void AdvancedWindow::updateButton_Click() {
    Notifier::current().beep();
    directory_.askOverwrite(1);
}

void AdvancedWindow::SerialSetup_Click() {
    directory_.showTerminal();
}

void AdvancedWindow::closeButton_Click() {
    hide();
}

void AdvancedWindow::DefaultButton_Click() {
    loadAdvancedFactoryDefaults(form_);
}

}  // namespace tarvelin
