// The advanced window: its controls as created, the offset and averaging
// limits, factory defaults, the flag byte holder, its buttons and closing,
// and a retrieve from the simulated controller through the window.
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "advanced/advancedwindow.h"
#include "basic/windowtest.h"
#include "config/busy.h"

using namespace tarvelin;
using namespace tarvelin::test;

namespace {

QStringList offsetBoxes() {
    QStringList names;
    for (int k = 0; k <= 7; ++k) names << member(QStringLiteral("ADzcal"), k);
    for (int k = 0; k <= 3; ++k) names << member(QStringLiteral("DAzcal"), k);
    return names;
}

// The calibration boxes in the window's order: each A/D gain, then each A/D
// offset, then the same for D/A.
QStringList calibrationBoxes() {
    QStringList names;
    for (const char* array : {"ADmcal", "ADzcal"})
        for (int k = 0; k <= 7; ++k) names << member(QString::fromLatin1(array), k);
    for (const char* array : {"DAmcal", "DAzcal"})
        for (int k = 0; k <= 3; ++k) names << member(QString::fromLatin1(array), k);
    return names;
}

}  // namespace

class TestAdvancedWindow : public QObject, private WindowTest<AdvancedWindow> {
    Q_OBJECT

private slots:
    void init() { makeWindow(); }
    void cleanup() { dropWindow(); }

    void title();
    void initialTexts_data();
    void initialTexts();
    void captions_data();
    void captions();
    void labels_data();
    void labels();
    void trustPairs();
    void looks();
    void focusOrder();
    void accessibility_data();
    void accessibility();

    void offsetLimit_data();
    void offsetLimit();
    void everyOffsetBoxIsLimited();
    void gainsAcceptAnything();
    void averagingLimit_data();
    void averagingLimit();

    void factoryDefaults();
    void flagByteHolder_data();
    void flagByteHolder();
    void flagByteOrigin();

    void buttons();
    void saveBeepsThenAsks();
    void closeButtonOnlyHides();
    void frameCloseDiscards();
    void busyDisablesOperationButtons();

    void retrieveFillsTheWindow();
};

void TestAdvancedWindow::title() {
    checkTitleAndSize("Korvex-Series Ethernet  Advanced Configuration", 394, 473);
}

void TestAdvancedWindow::initialTexts_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("tip");
    QTest::addColumn<bool>("readOnly");
    const auto row = [](const QString& name, const char* text, int limit, const char* tip, bool readOnly) {
        QTest::newRow(qPrintable(name)) << name << text << limit << tip << readOnly;
    };
    // The maker's identifier, then "00", then two empty boxes.
    const char* mac[] = {"", "", "00", "58", "4B", "02"};  // index 0..5
    for (int i = 5; i >= 0; --i) row(member("MAC", i), mac[i], 2, "0-255", true);
    for (int n = 1; n <= 6; ++n)
        for (int i = 3; i >= 0; --i) row(member(QStringLiteral("TIP%1").arg(n), i), "", 3, "0-255", false);
    for (const QString& name : calibrationBoxes()) row(name, "0", 0, "", false);
    row("MovAvgNo", "3", 0, "", false);
    row("PLCconfig", "00", 0, "", false);
}

void TestAdvancedWindow::initialTexts() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(int, limit);
    QFETCH(QString, tip);
    QFETCH(bool, readOnly);
    LimitedLineEdit* b = box(name);
    QVERIFY2(b != nullptr, qPrintable(name));
    QCOMPARE(b->text(), text);
    QCOMPARE(b->typingLimit(), limit);
    QCOMPARE(b->toolTip(), tip);
    QCOMPARE(b->isReadOnly(), readOnly);
    QCOMPARE(b->isVisibleTo(window_.get()), name != QStringLiteral("PLCconfig"));
}

void TestAdvancedWindow::captions_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    const auto row = [](const char* name, const char* caption) { QTest::newRow(name) << name << caption; };
    row("DefaultButton", "Factory Default");
    row("MBtrusted(0)", "Yes");
    row("MBtrusted(1)", "No");
    row("Tarvelintrusted(0)", "Yes");
    row("Tarvelintrusted(1)", "No");
    row("retrieveButton", "Retrieve Parameters from Korvex-PLC");
    row("SerialSetup", "Serial Setup");
    row("ResetPLC", "Reboot PLC After Save.");
    row("updateButton", "Save Parameters  to Korvex-PLC");
    row("closeButton", "Close");
}

void TestAdvancedWindow::captions() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    checkCaption(name, caption);
}

void TestAdvancedWindow::labels_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("bold");
    QTest::newRow("MAC ID") << "MAC ID" << 1 << false;
    for (int n = 1; n <= 6; ++n)
        QTest::addRow("Trusted IP #%d", n) << QStringLiteral("Trusted IP #%1").arg(n) << 1 << false;
    QTest::newRow("Modbus/TCP") << "Modbus/TCP Use Trusted IP?" << 1 << false;
    QTest::newRow("Tarvelin") << "Tarvelin Use Trusted IP?" << 1 << false;
    for (int c = 1; c <= 8; ++c) QTest::addRow("Ch%d", c) << QStringLiteral("Ch%1").arg(c) << 1 << false;
    QTest::newRow("ADC Calib.") << "ADC Calib." << 1 << true;
    QTest::newRow("DAC Calib.") << "DAC Calib." << 1 << true;
    QTest::newRow("0.000x") << "0.000x" << 2 << false;
    QTest::newRow("X =") << "X =" << 2 << false;
    QTest::newRow("Zero Offset") << "Zero Offset" << 2 << false;
    QTest::newRow("+") << "+" << 4 << false;
    QTest::newRow("moving average") << "A/D Moving Avg No. of pts (1-9)" << 1 << false;
    QTest::newRow("dots") << "." << 18 << false;
}

void TestAdvancedWindow::labels() {
    QFETCH(QString, text);
    QFETCH(int, count);
    QFETCH(bool, bold);
    int found = 0;
    for (QLabel* label : window_->findChildren<QLabel*>())
        if (label->text() == text) {
            ++found;
            QCOMPARE(label->font().bold(), bold);
            if (text == QStringLiteral("+")) QVERIFY(label->font().underline());
        }
    QCOMPARE(found, count);
}

void TestAdvancedWindow::trustPairs() {
    Form& f = window_->form();
    QVERIFY(f.isChecked("MBtrusted(1)"));
    QVERIFY(f.isChecked("Tarvelintrusted(1)"));
    QVERIFY(!f.isChecked("MBtrusted(0)"));
    QVERIFY(!f.isChecked("Tarvelintrusted(0)"));
    // Separate groups: choosing in one leaves the other alone.
    f.setChecked("MBtrusted(0)", true);
    QVERIFY(!f.isChecked("MBtrusted(1)"));
    QVERIFY(f.isChecked("Tarvelintrusted(1)"));
    f.setChecked("Tarvelintrusted(0)", true);
    QVERIFY(f.isChecked("MBtrusted(0)"));
    QVERIFY(!f.isChecked("Tarvelintrusted(1)"));
    // Clicking behaves the same.
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    auto* option = w().get<QRadioButton>("Tarvelintrusted(1)");
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
    QVERIFY(f.isChecked("Tarvelintrusted(1)"));
    QVERIFY(!f.isChecked("Tarvelintrusted(0)"));
    QVERIFY(f.isChecked("MBtrusted(0)"));
}

void TestAdvancedWindow::looks() {
    auto* revision = w().get<QLabel>("Revision");
    QCOMPARE(revision->text(), QString());
    QCOMPARE(revision->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QVERIFY(!w().isChecked("ResetPLC"));
    checkControlsAndMessageLine();

    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    auto* update = w().get<QPushButton>("updateButton");
    const QImage image = update->grab().toImage();
    QCOMPARE(image.pixelColor(image.width() / 2, 3), QColor(255, 255, 0));
    QCOMPARE(update->palette().color(QPalette::ButtonText), QColor(0, 0, 0));
}

void TestAdvancedWindow::focusOrder() {
    QStringList expected{"MBtrusted(0)", "MBtrusted(1)", "Tarvelintrusted(0)", "Tarvelintrusted(1)",
                         "DefaultButton"};
    for (int i = 5; i >= 0; --i) expected << member("MAC", i);
    expected << calibrationBoxes() << QStringList{"MovAvgNo", "retrieveButton", "updateButton",
                                                  "ResetPLC", "SerialSetup",    "closeButton"};
    for (int n = 1; n <= 6; ++n)
        for (int i = 3; i >= 0; --i) expected << member(QStringLiteral("TIP%1").arg(n), i);
    QCOMPARE(tabWalk(window_.get(), w().widget("MBtrusted(0)"), static_cast<int>(expected.size())), expected);
    // ... then the profile row (an addition of this tool), then the first control again.
    QCOMPARE(tabWalk(window_.get(), w().widget("TIP6(0)"), 5),
             (QStringList{"TIP6(0)", "LoadProfile", "SaveProfile", "VerifyAfterSave", "MBtrusted(0)"}));
}

void TestAdvancedWindow::accessibility_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("spoken");
    const auto row = [](const char* name, const char* spoken) { QTest::newRow(name) << name << spoken; };
    // The leftmost MAC box is byte 1; index k of a calibration array is channel k + 1.
    row("MAC(5)", "MAC ID, byte 1");
    row("TIP6(2)", "Trusted IP #6, second number");
    row("ADzcal(7)", "Calibration A/D zero offset, channel 8");
    row("DAmcal(0)", "Calibration D/A gain, channel 1");
    // Value labels and the hidden holder carry no name of their own.
    for (const char* name : {"Revision", "messageLabel", "PLCconfig"}) row(name, "");
}

void TestAdvancedWindow::accessibility() {
    QFETCH(QString, name);
    QFETCH(QString, spoken);
    checkSpoken(name, spoken);
}

// `seen`: the box's texts in the order assigned (checked when assigned).
void TestAdvancedWindow::offsetLimit_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("typed");
    QTest::addColumn<QStringList>("seen");
    for (bool typed : {true, false}) {
        const auto row = [typed](const char* name, const char* text, QStringList seen) {
            QTest::addRow("%s %s, %s", name, text, typed ? "typed" : "assigned")
                << name << text << typed << seen;
        };
        row("ADzcal(0)", "150", {"150", "100"});
        row("DAzcal(3)", "-250", {"-250", "-100"});
        row("ADzcal(4)", "100", {"100"});
        row("DAzcal(0)", "-100", {"-100"});
        row("ADzcal(7)", "101", {"101", "100"});
        row("ADzcal(1)", "-101", {"-101", "-100"});
        row("ADzcal(2)", "-", {"-"});
        row("DAzcal(1)", "-1", {"-1"});
        row("DAzcal(2)", "12.5", {"12.5"});
        row("ADzcal(5)", "abc", {"abc"});
        row("ADzcal(6)", "100.5", {"100.5", "100"});
        row("ADzcal(0)", "1e3", {"1e3", "100"});
        row("ADzcal(0)", "", {""});
    }
    QTest::newRow("blank first") << "ADzcal(0)"
                                 << " 300" << false << QStringList{" 300", "100"};
    QTest::newRow("signed text") << "DAzcal(0)"
                                 << " 50" << false << QStringList{" 50"};
    QTest::newRow("-32768") << "DAzcal(0)"
                            << "-32768" << false << QStringList{"-32768", "-100"};
}

void TestAdvancedWindow::offsetLimit() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(bool, typed);
    QFETCH(QStringList, seen);
    QSignalSpy spy(box(name), &QLineEdit::textChanged);
    enterText(name, text, typed);
    QCOMPARE(box(name)->text(), seen.last());
    if (!typed) QCOMPARE(assignedTexts(spy), seen);
    // The other offset boxes did not move.
    for (const QString& other : offsetBoxes())
        if (other != name) QCOMPARE(window_->form().text(other), QStringLiteral("0"));
}

void TestAdvancedWindow::everyOffsetBoxIsLimited() {
    for (const QString& name : offsetBoxes()) {
        window_->form().setText(name, QStringLiteral("250"));
        QCOMPARE(window_->form().text(name), QStringLiteral("100"));
        window_->form().setText(name, QStringLiteral("-999"));
        QCOMPARE(window_->form().text(name), QStringLiteral("-100"));
    }
}

void TestAdvancedWindow::gainsAcceptAnything() {
    for (const char* text : {"150", "-250", "99999", "abc", "", "1.5"})
        for (const QString& name : calibrationBoxes())
            if (name.contains(QLatin1String("mcal"))) {
                window_->form().setText(name, QString::fromLatin1(text));
                QCOMPARE(window_->form().text(name), QString::fromLatin1(text));
            }
    // Nothing else is touched by the gains.
    QCOMPARE(window_->form().text("MovAvgNo"), QStringLiteral("3"));
    QCOMPARE(window_->form().text("ADzcal(0)"), QStringLiteral("0"));
}

void TestAdvancedWindow::averagingLimit_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("typed");
    QTest::addColumn<QStringList>("seen");
    for (bool typed : {true, false}) {
        const auto row = [typed](const char* text, QStringList seen) {
            QTest::addRow("'%s', %s", text, typed ? "typed" : "assigned") << text << typed << seen;
        };
        row("", {"", "1"});
        row("12", {"12", "9"});
        row("0", {"0", "1"});
        row("5", {"5"});
        row("9", {"9"});
        row("1", {"1"});
        row("10", {"10", "9"});
        row("x", {"x", "1"});
        row("2.5", {"2.5"});
    }
    QTest::newRow("-3") << "-3" << false << QStringList{"-3", "1"};
    QTest::newRow("0.5") << "0.5" << false << QStringList{"0.5", "1"};
    // Typed key by key, the rule runs after every key: a lone "-" or "0" is
    // already below 1 and becomes "1" before the next key lands.
    QTest::newRow("-3, typed") << "-3" << true << QStringList{"9"};
    QTest::newRow("0.5, typed") << "0.5" << true << QStringList{"1.5"};
    QTest::newRow("signed text") << " 4" << false << QStringList{" 4"};
    QTest::newRow("9.5") << "9.5" << false << QStringList{"9.5", "9"};
}

void TestAdvancedWindow::averagingLimit() {
    QFETCH(QString, text);
    QFETCH(bool, typed);
    QFETCH(QStringList, seen);
    QSignalSpy spy(box("MovAvgNo"), &QLineEdit::textChanged);
    enterText("MovAvgNo", text, typed);
    QCOMPARE(box("MovAvgNo")->text(), seen.last());
    if (!typed) QCOMPARE(assignedTexts(spy), seen);
}

void TestAdvancedWindow::factoryDefaults() {
    Form& f = window_->form();
    for (const QString& name : w().names())
        if (w().get<LimitedLineEdit>(name) != nullptr) f.setText(name, QStringLiteral("7"));
    f.setText("MAC(2)", "AA");
    f.setText("MAC(1)", "B");
    f.setText("MAC(0)", "C3");
    f.setText("PLCconfig", " 22");
    f.setText("Revision", "Rev 2");
    f.setText("messageLabel", "Setup Data Stored to Device");
    f.setChecked("MBtrusted(0)", true);
    f.setChecked("Tarvelintrusted(0)", true);
    f.setChecked("ResetPLC", true);

    QTest::mouseClick(w().get<QPushButton>("DefaultButton"), Qt::LeftButton);

    QCOMPARE(f.text("Revision"), QString());
    const char* mac[] = {"C3", "B", "AA", "58", "4B", "02"};  // index 0..5
    for (int i = 0; i <= 5; ++i) QCOMPARE(f.text(member("MAC", i)), QString::fromLatin1(mac[i]));
    for (int n = 1; n <= 6; ++n)
        for (int i = 0; i <= 3; ++i)
            QCOMPARE(f.text(member(QStringLiteral("TIP%1").arg(n), i)), QStringLiteral("0"));
    for (const QString& name : calibrationBoxes()) QCOMPARE(f.text(name), QStringLiteral("0"));
    QVERIFY(f.isChecked("MBtrusted(1)"));
    QVERIFY(f.isChecked("Tarvelintrusted(1)"));
    QCOMPARE(f.text("MovAvgNo"), QStringLiteral("3"));
    // Untouched.
    QCOMPARE(f.text("PLCconfig"), QStringLiteral(" 22"));
    QVERIFY(f.isChecked("ResetPLC"));
    QCOMPARE(f.text("messageLabel"), QStringLiteral("Setup Data Stored to Device"));
    QCOMPARE(directory_->stub.opens, 0);
    QVERIFY(directory_->stub.sent.empty());
}

void TestAdvancedWindow::flagByteHolder_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("18") << 18 << " 18";
    QTest::newRow("0") << 0 << " 0";
    QTest::newRow("255") << 255 << " 255";
    QTest::newRow("-5") << -5 << "-5";
    QTest::newRow("-32768") << -32768 << "-32768";
}

void TestAdvancedWindow::flagByteHolder() {
    QFETCH(int, value);
    QFETCH(QString, text);
    FlagByteHolder& holder = *window_;
    QCOMPARE(holder.getPLCconfig(), 0.0);  // "00"
    holder.setPLCconfig(static_cast<std::int16_t>(value));
    QCOMPARE(window_->form().text("PLCconfig"), text);
    QCOMPARE(holder.getPLCconfig(), static_cast<double>(value));
    QVERIFY(directory_->stub.sent.empty());
}

void TestAdvancedWindow::flagByteOrigin() {
    FlagByteHolder& holder = *window_;
    QVERIFY(!holder.flagByteFromController());
    holder.setFlagByteFromController(true);
    QVERIFY(holder.flagByteFromController());
    // The holder reads the text as it stands, not rounded.
    window_->form().setText("PLCconfig", "12.7abc");
    QCOMPARE(holder.getPLCconfig(), 12.7);
    window_->form().setText("PLCconfig", "");
    QCOMPARE(holder.getPLCconfig(), 0.0);
    window_->form().setText("PLCconfig", "  2 2");
    QCOMPARE(holder.getPLCconfig(), 22.0);
    // A new window object starts again from "00", from nobody.
    window_ = std::make_unique<AdvancedWindow>(*directory_);
    QVERIFY(!window_->flagByteFromController());
    QCOMPARE(window_->form().text("PLCconfig"), QStringLiteral("00"));
}

void TestAdvancedWindow::buttons() {
    QTest::mouseClick(w().get<QPushButton>("SerialSetup"), Qt::LeftButton);
    QCOMPARE(directory_->terminalShown, 1);
    // The retrieve, and the confirmed store, go to the terminal first; its
    // port does not open here.
    QTest::mouseClick(w().get<QPushButton>("retrieveButton"), Qt::LeftButton);
    QCOMPARE(directory_->stub.opens, 1);
    directory_->useHolder(*window_);
    window_->updateParameters();
    QCOMPARE(directory_->stub.opens, 2);
    QVERIFY(directory_->overwriteSources.empty());
    QCOMPARE(directory_->advancedShown, 0);
}

void TestAdvancedWindow::saveBeepsThenAsks() {
    checkSaveBeepsThenAsks(1);
}

void TestAdvancedWindow::closeButtonOnlyHides() {
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    window_->form().setText("TIP2(3)", "10");
    window_->setPLCconfig(18);
    QPointer<AdvancedWindow> guard(window_.get());
    window_->setAttribute(Qt::WA_DeleteOnClose);  // as the registry makes it
    QTest::mouseClick(w().get<QPushButton>("closeButton"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!guard.isNull());
    QVERIFY(!window_->isVisible());
    window_->show();
    QCOMPARE(window_->form().text("TIP2(3)"), QStringLiteral("10"));
    QCOMPARE(window_->form().text("PLCconfig"), QStringLiteral(" 18"));
    QVERIFY(notes().questions().empty());
}

void TestAdvancedWindow::frameCloseDiscards() {
    auto* window = window_.release();
    QPointer<AdvancedWindow> guard(window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    window->form().setText("ADzcal(0)", "50");
    QVERIFY(window->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(guard.isNull());
    // No question: closing this window never quits anything.
    QVERIFY(notes().questions().empty());
}

void TestAdvancedWindow::busyDisablesOperationButtons() {
    checkBusyHolds({"retrieveButton", "updateButton", "DefaultButton"}, {"SerialSetup", "closeButton"});
}

// The window's controls under a retrieve from the simulated controller; the
// offset and averaging rules correct what arrives out of range.
void TestAdvancedWindow::retrieveFillsTheWindow() {
    SimulatedTerminal sim;
    korvex::Memory& m = sim.controller().memory();
    const std::uint8_t mac[] = {0x02, 0x4B, 0x58, 0x0A, 0xBC, 0x01};
    for (int i = 0; i < 6; ++i) m[0xFF10 + i] = mac[i];
    m[566] = 22;
    m[568] = 0xFF, m[569] = 0xFF;                     // ADmcal(0) = -1
    m[584] = 0x00, m[585] = 0xC8;                     // ADzcal(0) = 200, above the limit
    m[586] = 0xFF, m[587] = 0xCE;                     // ADzcal(1) = -50
    m[632] = 0;                                       // moving average 0, below the limit
    m[690] = 10, m[691] = 1, m[692] = 2, m[693] = 3;  // trusted IP #3
    directory_->useTerminal(sim.terminal());
    directory_->useHolder(*window_);

    window_->retrieveButton_Click();
    const Form& f = window_->form();
    QCOMPARE(f.text("MAC(5)"), QStringLiteral("2"));
    QCOMPARE(f.text("MAC(2)"), QStringLiteral("A"));
    QCOMPARE(f.text("MAC(1)"), QStringLiteral("BC"));
    QCOMPARE(f.text("PLCconfig"), QStringLiteral(" 22"));
    QVERIFY(f.isChecked("Tarvelintrusted(0)"));
    QVERIFY(f.isChecked("MBtrusted(0)"));
    QCOMPARE(f.text("ADmcal(0)"), QStringLiteral("-1"));
    QCOMPARE(f.text("ADzcal(0)"), QStringLiteral("100"));
    QCOMPARE(f.text("ADzcal(1)"), QStringLiteral("-50"));
    QCOMPARE(f.text("MovAvgNo"), QStringLiteral("1"));
    QCOMPARE(f.text("TIP3(3)"), QStringLiteral("10"));
    QCOMPARE(f.text("TIP3(0)"), QStringLiteral("3"));
    QVERIFY(window_->flagByteFromController());
    checkRetrieved();
}

QTEST_MAIN(TestAdvancedWindow)
#include "test_advancedwindow.moc"
