#include "serialcommwindow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

#include "base/safefile.h"
#include "named.h"
#include "notifier.h"
#include "serial/replytext.h"
#include "serial/timeoutbox.h"

namespace tarvelin {

namespace {

QString fromBytes(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string toBytes(const QString& text) {
    return text.toLatin1().toStdString();
}

QLabel* makeLabel(const char* caption, const char* name, QWidget* parent) {
    // Plain text: "<Enter>" in the command label is no markup.
    auto* label = named(new QLabel(QString::fromLatin1(caption), parent), name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QComboBox* makeList(const QStringList& items, int selected, const char* name, QWidget* parent,
                    QComboBox* list = nullptr) {
    list = named(list ? list : new QComboBox(parent), name);
    // The list's text can be edited too; an edited text never becomes an item.
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->addItems(items);
    list->setCurrentIndex(selected);
    return list;
}

QPushButton* makeButton(const char* caption, const char* name, QWidget* parent) {
    auto* button = named(new QPushButton(QString::fromLatin1(caption), parent), name);
    button->setAutoDefault(false);
    return button;
}

// The port list: asks for the system's ports each time it is opened, and
// shows each with its description.
class PortList final : public QComboBox {
public:
    PortList(QWidget* parent, std::function<void()> beforePopup)
        : QComboBox(parent), beforePopup_(std::move(beforePopup)) {}

    void showPopup() override {
        if (beforePopup_) beforePopup_();
        // Wide enough for the descriptions, which the list itself need not be.
        QAbstractItemView* list = view();
        const int frame = 2 * list->frameWidth();
        const int scrollBar = list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
        list->setMinimumWidth(list->sizeHintForColumn(0) + frame + scrollBar);
        QComboBox::showPopup();
    }

private:
    std::function<void()> beforePopup_;
};

// The device name as the item's text (what the list's text becomes when the
// item is chosen), its description drawn beside it.
class PortItemDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString description = index.data(kPortDescriptionRole).toString();
        if (!description.isEmpty()) option->text += QStringLiteral("   ") + description;
    }
};

}  // namespace

SerialCommWindow::SerialCommWindow(Notifier& notifier, std::unique_ptr<SerialLine> line, const Clock* clock,
                                   const QString& traceFile, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      notifier_(notifier),
      lines_(LineFactory::tracingInto(traceFile)),
      line_(line ? lines_.traced(std::move(line)) : lines_.make().line),
      ownClock_(clock ? nullptr : std::make_unique<SteadyClock>()),
      clock_(clock ? clock : ownClock_.get()),
      connection_(*line_),
      exchange_(*line_, *clock_),
      enumerator_(std::make_unique<SystemPortEnumerator>()),
      timeOfDay_([] { return QTime::currentTime(); }) {
    setObjectName(QStringLiteral("serialComm"));
    setAccessibleDescription(QStringLiteral("serialComm"));
    setWindowTitle(QString::fromLatin1(kTerminalCaption));
    buildControls();
    arrangeControls();
    refreshStates();
    commandString_->setFocus();
}

void SerialCommWindow::setHistory(CommandHistory& history) {
    history_ = &history;
    history_->stopWalking();  // a new window begins at the newest command
}

SerialCommWindow::~SerialCommWindow() {
    finishScanNow();
    connection_.close();
}

void SerialCommWindow::buildControls() {
    // The load of the window: the start-up selections, with the port closed.
    commandString_ = named(new QLineEdit(this), "commandString");
    commandString_->setAccessibleName(QStringLiteral("Command String"));
    commandString_->installEventFilter(this);
    label1_ = makeLabel("Command String (Press <Enter> to send", "Label1", this);
    exitButton_ = makeButton("Exit", "exitButton", this);
    lblPortName_ = makeLabel("Port Name :", "lblPortName", this);
    portChoice_ = makeList({"COM1", "COM2", "COM3", "COM4", "COM5", "COM6"}, 4, "portChoice", this,
                           new PortList(this, [this] { refreshPortList(); }));
    portChoice_->setItemDelegate(new PortItemDelegate(portChoice_));
    dataBitChoice_ = makeList({"7", "8"}, 1, "dataBitChoice", this);
    lblDataBits_ = makeLabel("Data Bits:", "lblDataBits", this);
    parityChoice_ = makeList({"None", "Even", "Odd"}, 0, "parityChoice", this);
    lblParity_ = makeLabel("Parity :", "lblParity", this);
    baudChoice_ = makeList({"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"}, -1,
                           "baudChoice", this);
    lblBaudRate_ = makeLabel("Baud Rate:", "lblBaudRate", this);
    stopBitChoice_ = makeList({"1", "2"}, 0, "stopBitChoice", this);
    lblStopBit_ = makeLabel("Stop Bits :", "lblStopBit", this);
    openPort_ = makeButton("Open Port", "openPort", this);
    closePort_ = makeButton("Close Port", "closePort", this);
    findController_ = makeButton(kFindControllerCaption, "findController", this);
    findController_->setToolTip(
        QStringLiteral("Tries every port of the list at every baud rate (9600 first) and selects the port "
                       "and baud rate of the controller that answers. Sends only ENQ, \"IR*\" and \"VM*\"."));
    label2_ = makeLabel("Response Strings", "Label2", this);
    responseBox_ = named(new QPlainTextEdit(this), "responseBox");
    responseBox_->setAccessibleName(QStringLiteral("Response Strings"));
    responseBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    responseBox_->setLineWrapMode(QPlainTextEdit::NoWrap);
    responseBox_->setTabChangesFocus(true);
    // Created after the list so that it lies over the list's upper right part.
    clearButton_ = makeButton("Clear", "clearButton", this);
    lblTimeOut_ = makeLabel("Timeout (ms) :", "lblTimeOut", this);
    timeOutBox_ = named(new QLineEdit(QString::fromLatin1(kInitialTimeoutText), this), "timeOutBox");
    timeOutBox_->setAccessibleName(QStringLiteral("Timeout (ms)"));
    buildAids();
    finishControls();
}

// Conveniences of the command line and the reply list, in a row of their own.
void SerialCommWindow::buildAids() {
    addFrame_ = named(new QCheckBox(QString::fromLatin1(kAddFrameCaption), this), "addFrame");
    addFrame_->setToolTip(
        QStringLiteral("Enter sends the typed command framed for this station: \"@\", "
                       "station, command, FCS and \"*\""));
    stationNumber_ = named(new QSpinBox(this), "stationNumber");
    stationNumber_->setRange(0, 255);
    stationNumber_->setValue(0);
    stationNumber_->setAccessibleName(QStringLiteral("Station number"));
    stationNumber_->setToolTip(QStringLiteral("Station number, 0 to 255"));
    stationNumber_->setEnabled(false);
    showTime_ = named(new QCheckBox(QString::fromLatin1(kShowTimeCaption), this), "showTime");
    showTime_->setToolTip(QStringLiteral("Lines listed from now on begin with the time of day"));
    saveLog_ = makeButton(kSaveLogCaption, "saveLog", this);
    saveLog_->setToolTip(QStringLiteral("Writes the response strings to a file"));
}

// The labels' buddies, the controls never shown, the focus order and the wiring.
void SerialCommWindow::finishControls() {
    lblPortName_->setBuddy(portChoice_);
    lblBaudRate_->setBuddy(baudChoice_);
    lblDataBits_->setBuddy(dataBitChoice_);
    lblParity_->setBuddy(parityChoice_);
    lblStopBit_->setBuddy(stopBitChoice_);
    lblTimeOut_->setBuddy(timeOutBox_);
    label1_->setBuddy(commandString_);
    label2_->setBuddy(responseBox_);

    // Part of the window but never shown: the line is always 8 data bits, no
    // parity, 1 stop bit, and the time-out 500 ms.
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{dataBitChoice_, lblDataBits_, parityChoice_, lblParity_,
                                         stopBitChoice_, lblStopBit_, lblTimeOut_, timeOutBox_})
        hidden->setVisible(false);

    // Focus order: the command line first.
    const QList<QWidget*> order{commandString_, exitButton_,    portChoice_,    dataBitChoice_,
                                parityChoice_,  baudChoice_,    stopBitChoice_, openPort_,
                                closePort_,     clearButton_,   responseBox_,   timeOutBox_,
                                addFrame_,      stationNumber_, showTime_,      saveLog_};
    for (qsizetype i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
    QWidget::setTabOrder(openPort_, findController_);  // Find Controller sits next to Open Port
    QWidget::setTabOrder(findController_, closePort_);

    connect(openPort_, &QPushButton::clicked, this, &SerialCommWindow::openPort_Click);
    connect(closePort_, &QPushButton::clicked, this, &SerialCommWindow::closePort_Click);
    connect(clearButton_, &QPushButton::clicked, this, &SerialCommWindow::clearButton_Click);
    connect(exitButton_, &QPushButton::clicked, this, &SerialCommWindow::exitButton_Click);
    connect(saveLog_, &QPushButton::clicked, this, &SerialCommWindow::saveLog_Click);
    connect(findController_, &QPushButton::clicked, this, &SerialCommWindow::findController_Click);
    connect(addFrame_, &QCheckBox::toggled, this, [this] { refreshStates(); });

    portWatch_ = new QTimer(this);
    portWatch_->setInterval(kPortWatchMs);
    connect(portWatch_, &QTimer::timeout, this, &SerialCommWindow::watchPort);
    // Editing the port text and choosing an item both refresh the main
    // window's port display.
    connect(portChoice_, &QComboBox::editTextChanged, this, [this] { emit portChoiceChanged(); });
    connect(portChoice_, &QComboBox::activated, this, [this] { emit portChoiceChanged(); });
}

void SerialCommWindow::arrangeControls() {
    auto* top = new QHBoxLayout;
    top->addWidget(lblPortName_);
    top->addWidget(portChoice_, 1);
    top->addSpacing(16);
    top->addWidget(lblBaudRate_);
    top->addWidget(baudChoice_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(openPort_);
    buttons->addWidget(findController_);
    buttons->addWidget(closePort_);
    buttons->addWidget(exitButton_);

    // The small Clear button sits over the upper right part of the reply
    // list, clear of its scroll bar.
    responseBox_->setMinimumSize(400, 220);
    auto* overlay = new QHBoxLayout;
    const int scrollBar =
        responseBox_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, responseBox_);
    overlay->setContentsMargins(0, 4, scrollBar + 6, 0);
    overlay->addStretch(1);
    overlay->addWidget(clearButton_, 0, Qt::AlignTop);
    auto* replies = new QGridLayout;
    replies->addWidget(responseBox_, 0, 0);
    replies->addLayout(overlay, 0, 0, Qt::AlignTop);
    clearButton_->raise();

    auto* main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addLayout(buttons);
    main->addSpacing(6);
    main->addWidget(label1_);
    main->addWidget(commandString_);
    auto* aids = new QHBoxLayout;
    aids->addWidget(addFrame_);
    aids->addWidget(stationNumber_);
    aids->addStretch(1);
    aids->addWidget(showTime_);
    aids->addWidget(saveLog_);
    main->addLayout(aids);
    main->addSpacing(6);
    main->addWidget(label2_);
    main->addLayout(replies, 1);
    main->setSizeConstraint(QLayout::SetFixedSize);
}

PortChoice SerialCommWindow::currentChoice() const {
    PortChoice choice;
    choice.portText = toBytes(portChoice_->currentText().trimmed());
    choice.baudText = toBytes(baudChoice_->currentText().trimmed());
    choice.parityText = toBytes(parityChoice_->currentText().trimmed());
    choice.dataBitsText = toBytes(dataBitChoice_->currentText().trimmed());
    choice.stopBitsText = toBytes(stopBitChoice_->currentText().trimmed());
    return choice;
}

void SerialCommWindow::performOpen(bool offerScan) {
    const PortConnection::OpenAttempt attempt = connection_.open(currentChoice());
    switch (attempt.kind) {
        case PortConnection::OpenAttempt::AlreadyOpen:
            return;
        case PortConnection::OpenAttempt::Refused: {
            // A hidden terminal (a configuration window asked) lends the box no parent.
            QWidget* parent = isVisible() ? this : QApplication::activeWindow();
            const QString title = QString::fromLatin1(kProgramTitle);
            const QString text = fromBytes(attempt.message);
            if (!offerScan)
                notifier_.message(parent, title, text, Notifier::Icon::Critical);
            else if (notifier_.messageWithOffer(parent, title, text, Notifier::Icon::Critical,
                                                QString::fromLatin1(kFindControllerCaption)))
                scanWhenFree_ = true;
            refreshStates();
            if (!running_) startOfferedScan();
            return;
        }
        case PortConnection::OpenAttempt::Opened:
            appendResponse(fromBytes(attempt.statusLine));
            refreshStates();
            return;
    }
}

void SerialCommWindow::openPort_Click() {
    if (running_) return;
    performOpen();
}

bool SerialCommWindow::openCommPort() {
    // Called by a retrieve or store, which marks itself running first: the
    // Open Port button is disabled then, so the port itself answers.
    performOpen(true);
    return connection_.isOpen();
}

void SerialCommWindow::closePort_Click() {
    if (running_) return;
    connection_.close();
    refreshStates();
}

void SerialCommWindow::clearButton_Click() {
    responseBox_->clear();
}

void SerialCommWindow::exitButton_Click() {
    if (running_) return;
    connection_.close();
    refreshStates();
    hide();
}

std::string SerialCommWindow::getCommport() {
    return toBytes(portChoice_->currentText());
}

void SerialCommWindow::presetPort(const QString& portText, const QString& baudText) {
    if (!portText.isEmpty()) portChoice_->setEditText(portText);
    if (!baudText.isEmpty()) {
        const int index = baudChoice_->findText(baudText);
        if (index >= 0)
            baudChoice_->setCurrentIndex(index);
        else
            baudChoice_->setEditText(baudText);
    }
}

Result<std::string> SerialCommWindow::send(const std::string& cmd) {
    // The port watch stays out of an exchange: the exchange notices a lost
    // port itself.
    exchanging_ = true;
    // The box as it reads now; edited meanwhile, it counts from the next command.
    exchange_.setTimes(timesFromBox(toBytes(timeOutBox_->text())));
    auto reply = exchange_.send(cmd);
    exchanging_ = false;
    if (!reply && reply.failure().outcome == Outcome::LineLost && connection_.isOpen()) dropLostPort();
    return reply;
}

void SerialCommWindow::dropLostPort() {
    const std::string device = line_->device();
    connection_.close();
    refreshStates();
    appendResponse(QStringLiteral("(Port lost: %1 went away)").arg(fromBytes(device)));
}

void SerialCommWindow::watchPort() {
    // A retrieve or store holds the port between its exchanges (it lets
    // window events through at its progress marks): its own exchanges notice
    // the loss and end it with their own message.
    if (running_ || exchanging_ || !connection_.isOpen()) return;
    // A wait of no time takes nothing from the port; a hang-up seen there
    // marks the line lost.
    line_->waitForData(0);
    if (line_->lost()) dropLostPort();
}

void SerialCommWindow::commandString_KeyPress() {
    if (running_) return;
    const QString typed = commandString_->text();
    history_->add(typed);
    // The text goes out as typed, unless the user asked for it to be framed
    // for a station.
    std::string cmd = toBytes(typed);
    if (addFrame_->isChecked()) appendFCS(static_cast<std::int16_t>(stationNumber_->value()), cmd);
    const std::string reply = sendCommand(cmd);
    if (!reply.empty()) {
        appendResponse(readableReply(reply));
    } else {
        notifier_.beep();
        appendResponse(QString::fromLatin1(kNoResponseFromPlcText));
    }
}

void SerialCommWindow::recallCommand(bool older) {
    const std::optional<QString> text = older ? history_->older(commandString_->text()) : history_->newer();
    if (!text) return;
    commandString_->setText(*text);
    commandString_->end(false);
}

void SerialCommWindow::appendResponse(const QString& line) {
    const QString stamp =
        showTime_->isChecked() ? timeOfDay_().toString(QStringLiteral("HH:mm:ss.zzz ")) : QString();
    // The document turns the CR LF into its own line end.
    responseBox_->moveCursor(QTextCursor::End);
    responseBox_->insertPlainText(stamp + line + QStringLiteral("\r\n"));
    responseBox_->verticalScrollBar()->setValue(responseBox_->verticalScrollBar()->maximum());
}

void SerialCommWindow::saveLog_Click() {
    const QString path = notifier_.chooseFileToSave(this, QStringLiteral("Save Log"),
                                                    QStringLiteral("Text files (*.txt);;All files (*)"));
    if (path.isEmpty()) return;
    // The lines as listed, each ending in CR LF as in the list itself.
    QString text = responseBox_->toPlainText();
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n'))) text += QLatin1Char('\n');
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    if (const auto written = writeFileAtomically(path, text.toUtf8()); !written) {
        notifier_.message(this, QString::fromLatin1(kProgramTitle),
                          QStringLiteral("The log could not be saved to %1.\n%2")
                              .arg(QDir::toNativeSeparators(path), written.failure().message),
                          Notifier::Icon::Warning);
    }
}

void SerialCommWindow::setPortEnumerator(std::unique_ptr<PortEnumerator> enumerator) {
    enumerator_ = std::move(enumerator);
}

void SerialCommWindow::refreshPortList() {
    const std::vector<SystemPort> found = enumerator_ ? enumerator_->ports() : std::vector<SystemPort>();
    const QString text = portChoice_->currentText();
    const int index = portChoice_->currentIndex();
    {
        // Rebuilding the list is no change of its text: nothing is announced.
        const QSignalBlocker quiet(portChoice_);
        while (portChoice_->count() > kFixedPortItems) portChoice_->removeItem(portChoice_->count() - 1);
        for (const SystemPort& port : found) {
            const QString device = fromBytes(port.device);
            if (device.isEmpty() ||
                portChoice_->findText(device, Qt::MatchFixedString | Qt::MatchCaseSensitive) >= 0)
                continue;
            const QString description = fromBytes(port.description);
            portChoice_->addItem(device);
            const int at = portChoice_->count() - 1;
            portChoice_->setItemData(at, description, kPortDescriptionRole);
            portChoice_->setItemData(at, description.isEmpty() ? device : description, Qt::ToolTipRole);
        }
        // The same choice as before: its item, where it still is, and its text.
        int again = portChoice_->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
        if (again < 0) again = index < portChoice_->count() ? index : -1;
        portChoice_->setCurrentIndex(again);
        if (portChoice_->currentText() != text) portChoice_->setEditText(text);
    }
}

void SerialCommWindow::enablePortSettings(bool enable) {
    for (QWidget* w : std::initializer_list<QWidget*>{portChoice_, baudChoice_, dataBitChoice_,
                                                      stopBitChoice_, parityChoice_, timeOutBox_})
        w->setEnabled(enable);
}

void SerialCommWindow::refreshStates() {
    const bool open = connection_.isOpen();
    // A scan holds the one-operation rule too (and so sets running_ where
    // the window follows it), but its own button stays: it is its Stop.
    const bool busy = running_ || scanning_;
    openPort_->setEnabled(!open && !busy);
    closePort_->setEnabled(open && !busy);
    exitButton_->setEnabled(!busy);
    commandString_->setEnabled(!busy);
    enablePortSettings(!open && !scanning_);
    addFrame_->setEnabled(!busy);
    saveLog_->setEnabled(!busy);  // its file dialog would hold the operation up
    stationNumber_->setEnabled(!busy && addFrame_->isChecked());
    findController_->setEnabled(scanning_ ? scan_ && !scan_->stopRequested() : !running_);
    findController_->setText(QString::fromLatin1(scanning_ ? kStopCaption : kFindControllerCaption));
    if (open && !portWatch_->isActive())
        portWatch_->start();
    else if (!open && portWatch_->isActive())
        portWatch_->stop();
}

void SerialCommWindow::setOperationRunning(bool running) {
    if (running_ == running) return;
    running_ = running;
    refreshStates();
    if (!running_) startOfferedScan();
}

void SerialCommWindow::startOfferedScan() {
    // Once the retrieve or store that could not open the port has ended: the
    // scan is shown, and selects what it finds for the next click.
    if (!scanWhenFree_) return;
    scanWhenFree_ = false;
    show();
    raise();
    startScan();
}

bool SerialCommWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == commandString_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // Swallowed: Enter never reaches the line.
            commandString_KeyPress();
            return true;
        }
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
            recallCommand(key->key() == Qt::Key_Up);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SerialCommWindow::keyPressEvent(QKeyEvent* event) {
    // Esc stops a running scan (from wherever the focus is: the controls
    // that would take it are disabled meanwhile).
    if (event->key() == Qt::Key_Escape && scanning_) {
        stopScan();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SerialCommWindow::closeEvent(QCloseEvent* event) {
    // Discarding the window ends its scan first.
    finishScanNow();
    // A retrieve or store is using the port: the window stays.
    if (running_) {
        event->ignore();
        return;
    }
    // Discarding the window closes its port.
    connection_.close();
    refreshStates();
    event->accept();
}

void SerialCommWindow::findController_Click() {
    if (scanning_)
        stopScan();
    else
        startScan();
}

void SerialCommWindow::startScan() {
    if (scanning_) return;
    const char* refusal = nullptr;
    if (running_)
        refusal = "Find Controller waits until the running retrieve or store has ended.";
    else if (connection_.isOpen())
        refusal = "Find Controller tries every port itself: close the port first (Close Port).";
    if (refusal) {
        notifier_.message(this, QString::fromLatin1(kProgramTitle), QString::fromLatin1(refusal),
                          Notifier::Icon::Warning);
        return;
    }
    // Every port the list offers, and a device typed into it.
    refreshPortList();
    std::vector<std::string> names;
    for (int i = 0; i < portChoice_->count(); ++i) names.push_back(toBytes(portChoice_->itemText(i)));
    names.push_back(toBytes(portChoice_->currentText().trimmed()));
    const std::vector<ScanPort> ports = scanPorts(names);
    const std::vector<int> bauds = defaultScanBauds();
    const ProbeTimes times{0, timesFromBox(toBytes(timeOutBox_->text())).replyMs};

    scanning_ = true;
    scanFinds_ = 0;
    const unsigned generation = ++scanGeneration_;
    scan_ = std::make_unique<PortScan>(ports, bauds, times, lines_);
    appendResponse(QStringLiteral("Find Controller: %1 port(s) at %2 baud rate(s), 9600 first")
                       .arg(ports.size())
                       .arg(bauds.size()));
    emit scanRunning(true);
    refreshStates();
    // The workers' calls come back to this window's thread, queued.
    scan_->start(
        [this, generation](const TryResult& result) {
            QMetaObject::invokeMethod(
                this, [this, generation, result] { scanReport(generation, result); }, Qt::QueuedConnection);
        },
        [this, generation](bool stopped) {
            QMetaObject::invokeMethod(
                this, [this, generation, stopped] { scanDone(generation, stopped); }, Qt::QueuedConnection);
        });
}

void SerialCommWindow::scanReport(unsigned generation, const TryResult& result) {
    if (generation != scanGeneration_ || !scanning_) return;
    appendResponse(QString::fromStdString(describeTry(result)));
    if (result.kind != TryResult::Kind::Found) return;
    // The first controller found is chosen, ready for Open Port or a retrieve.
    if (scanFinds_++ > 0) return;
    presetPort(fromBytes(result.port.name), QString::number(result.baud));
    scanChosen_ = QStringLiteral("%1 at %2").arg(fromBytes(result.port.name)).arg(result.baud);
}

void SerialCommWindow::scanDone(unsigned generation, bool stopped) {
    if (generation != scanGeneration_ || !scanning_) return;
    ++scanGeneration_;
    scan_.reset();
    scanning_ = false;
    if (stopped)
        appendResponse(QStringLiteral("Find Controller: stopped"));
    else if (scanFinds_ > 0)
        appendResponse(QStringLiteral("Find Controller: %1 controller(s) found, %2 chosen")
                           .arg(scanFinds_)
                           .arg(scanChosen_));
    else
        appendResponse(QStringLiteral("Find Controller: no controller found"));
    if (!stopped && scanFinds_ == 0) notifier_.beep();
    emit scanRunning(false);
    refreshStates();
}

void SerialCommWindow::stopScan() {
    if (!scanning_ || !scan_) return;
    scan_->stop();
    refreshStates();  // Stop is greyed until the workers have ended
}

void SerialCommWindow::finishScanNow() {
    if (!scanning_ || !scan_) return;
    scan_->stop();
    scan_->wait();
    scanDone(scanGeneration_, true);
}

}  // namespace tarvelin
