// The advanced window: its controls as created, the offset and averaging
// limits, factory defaults, the flag byte holder, its buttons and closing,
// and a retrieve from the simulated controller through the window.
#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

#include "advanced/advancedwindow.h"
#include "basic/fakedirectory.h"
#include "config/busy.h"
#include "config/memoryaccess.h"
#include "support/testnotifier.h"

using namespace tarvelin;
using namespace tarvelin::test;

namespace {

QString accessibleName(QWidget* widget) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    return iface != nullptr ? iface->text(QAccessible::Name) : QString();
}

QStringList tabWalk(QWidget* window, QWidget* first, int steps) {
    QStringList names;
    QWidget* w = first;
    while (names.size() < steps) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(window) && w->isEnabled())
            names << w->objectName();
        w = w->nextInFocusChain();
        if (w == first) break;
    }
    return names;
}

// See the basic window's test: a spy hears nested changes first.
QStringList texts(const QSignalSpy& spy) {
    QStringList out;
    for (const QList<QVariant>& args : spy) out.prepend(args.at(0).toString());
    return out;
}

QStringList offsetBoxes() {
    QStringList names;
    for (int k = 0; k <= 7; ++k) names << member(QStringLiteral("ADzcal"), k);
    for (int k = 0; k <= 3; ++k) names << member(QStringLiteral("DAzcal"), k);
    return names;
}

}  // namespace

class TestAdvancedWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

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
    void everyControlIsNamed();

    void offsetLimit_data();
    void offsetLimit();
    void everyOffsetBoxIsLimited();
    void gainsAcceptAnything_data();
    void gainsAcceptAnything();
    void averagingLimit_data();
    void averagingLimit();

    void factoryDefaults();
    void flagByteHolder_data();
    void flagByteHolder();
    void flagByteOrigin();

    void buttons();
    void saveBeepsThenAsks();
    void storeGoesThroughTheTerminal();
    void closeButtonOnlyHides();
    void frameCloseDiscards();
    void busyDisablesOperationButtons();

    void retrieveFillsTheWindow();

private:
    std::unique_ptr<FakeDirectory> directory_;
    std::unique_ptr<AdvancedWindow> window_;
    std::unique_ptr<NotifierScope> notifier_;

    WidgetForm& w() { return window_->widgets(); }
    LimitedLineEdit* box(const QString& name) { return w().get<LimitedLineEdit>(name); }
};

void TestAdvancedWindow::init() {
    notifier_ = std::make_unique<NotifierScope>();
    directory_ = std::make_unique<FakeDirectory>();
    window_ = std::make_unique<AdvancedWindow>(*directory_);
}

void TestAdvancedWindow::cleanup() {
    window_.reset();
    directory_.reset();
    notifier_.reset();
}

void TestAdvancedWindow::title() {
    QCOMPARE(window_->windowTitle(), QStringLiteral("Korvex-Series Ethernet  Advanced Configuration"));
    // About 394 x 473 once laid out and shown (fonts differ between desktops).
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QVERIFY2(qAbs(window_->width() - 394) <= 60, qPrintable(QString::number(window_->width())));
    QVERIFY2(qAbs(window_->height() - 473) <= 60, qPrintable(QString::number(window_->height())));
}

void TestAdvancedWindow::initialTexts_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("tip");
    QTest::addColumn<bool>("readOnly");
    const QString octet = QStringLiteral("0-255");
    // The maker's identifier, then "00", then two empty boxes.
    const char* mac[] = {"", "", "00", "58", "4B", "02"};  // index 0..5
    for (int i = 5; i >= 0; --i)
        QTest::addRow("MAC(%d)", i) << member("MAC", i) << QString::fromLatin1(mac[i]) << 2 << octet << true;
    for (int n = 1; n <= 6; ++n)
        for (int i = 3; i >= 0; --i)
            QTest::addRow("TIP%d(%d)", n, i)
                << member(QStringLiteral("TIP%1").arg(n), i) << QString() << 3 << octet << false;
    for (const char* array : {"ADmcal", "ADzcal"})
        for (int k = 0; k <= 7; ++k)
            QTest::addRow("%s(%d)", array, k)
                << member(QString::fromLatin1(array), k) << "0" << 0 << QString() << false;
    for (const char* array : {"DAmcal", "DAzcal"})
        for (int k = 0; k <= 3; ++k)
            QTest::addRow("%s(%d)", array, k)
                << member(QString::fromLatin1(array), k) << "0" << 0 << QString() << false;
    QTest::newRow("MovAvgNo") << "MovAvgNo"
                              << "3" << 0 << QString() << false;
    QTest::newRow("PLCconfig") << "PLCconfig"
                               << "00" << 0 << QString() << false;
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
    QTest::newRow("DefaultButton") << "DefaultButton"
                                   << "Factory Default";
    QTest::newRow("MBtrusted(0)") << "MBtrusted(0)"
                                  << "Yes";
    QTest::newRow("MBtrusted(1)") << "MBtrusted(1)"
                                  << "No";
    QTest::newRow("Tarvelintrusted(0)") << "Tarvelintrusted(0)"
                                        << "Yes";
    QTest::newRow("Tarvelintrusted(1)") << "Tarvelintrusted(1)"
                                        << "No";
    QTest::newRow("retrieveButton") << "retrieveButton"
                                    << "Retrieve Parameters from Korvex-PLC";
    QTest::newRow("SerialSetup") << "SerialSetup"
                                 << "Serial Setup";
    QTest::newRow("ResetPLC") << "ResetPLC"
                              << "Reboot PLC After Save.";
    QTest::newRow("updateButton") << "updateButton"
                                  << "Save Parameters  to Korvex-PLC";
    QTest::newRow("closeButton") << "closeButton"
                                 << "Close";
}

void TestAdvancedWindow::captions() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    auto* button = w().get<QAbstractButton>(name);
    QVERIFY2(button != nullptr, qPrintable(name));
    QCOMPARE(button->text(), caption);
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
    f.setChecked("MBtrusted(1)", true);
    QVERIFY(!f.isChecked("MBtrusted(0)"));
    QVERIFY(f.isChecked("Tarvelintrusted(0)"));
    // The Tarvelin pair sits in a frame of its own.
    QWidget* frame2 = window_->findChild<QWidget*>(QStringLiteral("Frame2"));
    QVERIFY(frame2 != nullptr);
    QCOMPARE(w().widget("Tarvelintrusted(0)")->parentWidget(), frame2);
    QCOMPARE(w().widget("Tarvelintrusted(1)")->parentWidget(), frame2);
    QVERIFY(w().widget("MBtrusted(0)")->parentWidget() != frame2);
    // Clicking behaves the same.
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    auto* option = w().get<QRadioButton>("Tarvelintrusted(1)");
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
    QVERIFY(f.isChecked("Tarvelintrusted(1)"));
    QVERIFY(!f.isChecked("Tarvelintrusted(0)"));
    QVERIFY(f.isChecked("MBtrusted(1)"));
}

void TestAdvancedWindow::looks() {
    auto* revision = w().get<QLabel>("Revision");
    QVERIFY(revision != nullptr);
    QCOMPARE(revision->text(), QString());
    QCOMPARE(revision->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    auto* message = w().get<QLabel>("messageLabel");
    QCOMPARE(message->text(), QString());
    QCOMPARE(message->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QVERIFY(message->font().bold());
    QCOMPARE(message->font().pointSizeF(), 8.25);
    QVERIFY(message->alignment() & Qt::AlignHCenter);
    QVERIFY(!w().isChecked("ResetPLC"));

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
    for (const char* array : {"ADmcal", "ADzcal"})
        for (int k = 0; k <= 7; ++k) expected << member(QString::fromLatin1(array), k);
    for (const char* array : {"DAmcal", "DAzcal"})
        for (int k = 0; k <= 3; ++k) expected << member(QString::fromLatin1(array), k);
    expected << "MovAvgNo"
             << "retrieveButton"
             << "updateButton"
             << "ResetPLC"
             << "SerialSetup"
             << "closeButton";
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
    QTest::newRow("MAC(5)") << "MAC(5)"
                            << "MAC ID, byte 1";
    QTest::newRow("MAC(0)") << "MAC(0)"
                            << "MAC ID, byte 6";
    QTest::newRow("TIP1(3)") << "TIP1(3)"
                             << "Trusted IP #1, first number";
    QTest::newRow("TIP1(0)") << "TIP1(0)"
                             << "Trusted IP #1, last number";
    QTest::newRow("TIP6(2)") << "TIP6(2)"
                             << "Trusted IP #6, second number";
    QTest::newRow("ADmcal(2)") << "ADmcal(2)"
                               << "Calibration A/D gain, channel 3";
    QTest::newRow("ADzcal(7)") << "ADzcal(7)"
                               << "Calibration A/D zero offset, channel 8";
    QTest::newRow("DAmcal(0)") << "DAmcal(0)"
                               << "Calibration D/A gain, channel 1";
    QTest::newRow("DAzcal(3)") << "DAzcal(3)"
                               << "Calibration D/A zero offset, channel 4";
    QTest::newRow("MovAvgNo") << "MovAvgNo"
                              << "A/D moving average, number of points";
    QTest::newRow("closeButton") << "closeButton"
                                 << "Close";
    QTest::newRow("Tarvelintrusted(0)") << "Tarvelintrusted(0)"
                                        << "Yes";
    QTest::newRow("ResetPLC") << "ResetPLC"
                              << "Reboot PLC After Save.";
}

void TestAdvancedWindow::accessibility() {
    QFETCH(QString, name);
    QFETCH(QString, spoken);
    QWidget* widget = w().widget(name);
    QCOMPARE(accessibleName(widget), spoken);
    QCOMPARE(widget->accessibleDescription(), name);
}

void TestAdvancedWindow::everyControlIsNamed() {
    const int mac = 6, trusted = 24, options = 4, calibration = 8 + 8 + 4 + 4;
    const int fields = 2;   // MovAvgNo, PLCconfig
    const int actions = 6;  // DefaultButton, retrieve, SerialSetup, ResetPLC, update, close
    const int labels = 2;   // Revision, messageLabel
    const int profiles = 3; // LoadProfile, SaveProfile, VerifyAfterSave
    QCOMPARE(w().names().size(), mac + trusted + options + calibration + fields + actions + labels + profiles);
    for (const QString& name : w().names()) {
        QWidget* widget = w().widget(name);
        QCOMPARE(widget->objectName(), name);
        QCOMPARE(widget->accessibleDescription(), name);
        QCOMPARE(window_->findChild<QWidget*>(name), widget);
    }
    for (const char* name : {"Revision", "messageLabel", "PLCconfig"})
        QCOMPARE(w().widget(name)->accessibleName(), QString());
}

void TestAdvancedWindow::offsetLimit_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("typed");
    QTest::addColumn<QStringList>("seen");  // the box's texts, in the order assigned
    using L = QStringList;
    for (bool typed : {true, false}) {
        const char* how = typed ? "typed" : "assigned";
        QTest::addRow("150, %s", how) << "ADzcal(0)"
                                      << "150" << typed << L{"150", "100"};
        QTest::addRow("-250, %s", how) << "DAzcal(3)"
                                       << "-250" << typed << L{"-250", "-100"};
        QTest::addRow("100, %s", how) << "ADzcal(4)"
                                      << "100" << typed << L{"100"};
        QTest::addRow("-100, %s", how) << "DAzcal(0)"
                                       << "-100" << typed << L{"-100"};
        QTest::addRow("101, %s", how) << "ADzcal(7)"
                                      << "101" << typed << L{"101", "100"};
        QTest::addRow("-101, %s", how) << "ADzcal(1)"
                                       << "-101" << typed << L{"-101", "-100"};
        QTest::addRow("minus, %s", how) << "ADzcal(2)"
                                        << "-" << typed << L{"-"};
        QTest::addRow("-1, %s", how) << "DAzcal(1)"
                                     << "-1" << typed << L{"-1"};
        QTest::addRow("007, %s", how) << "ADzcal(3)"
                                      << "007" << typed << L{"007"};
        QTest::addRow("12.5, %s", how) << "DAzcal(2)"
                                       << "12.5" << typed << L{"12.5"};
        QTest::addRow("letters, %s", how) << "ADzcal(5)"
                                          << "abc" << typed << L{"abc"};
        QTest::addRow("100.5, %s", how) << "ADzcal(6)"
                                        << "100.5" << typed << L{"100.5", "100"};
        QTest::addRow("1e3, %s", how) << "ADzcal(0)"
                                      << "1e3" << typed << L{"1e3", "100"};
        QTest::addRow("empty, %s", how) << "ADzcal(0)"
                                        << "" << typed << L{""};
    }
    QTest::newRow("blank first") << "ADzcal(0)"
                                 << " 300" << false << L{" 300", "100"};
    QTest::newRow("signed text") << "DAzcal(0)"
                                 << " 50" << false << L{" 50"};
    QTest::newRow("-32768") << "DAzcal(0)"
                            << "-32768" << false << L{"-32768", "-100"};
}

void TestAdvancedWindow::offsetLimit() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(bool, typed);
    QFETCH(QStringList, seen);
    LimitedLineEdit* b = box(name);
    QSignalSpy spy(b, &QLineEdit::textChanged);
    if (typed) {
        b->selectAll();
        if (text.isEmpty())
            QTest::keyClick(b, Qt::Key_Backspace);
        else
            QTest::keyClicks(b, text);
    } else {
        window_->form().setText(name, text);
    }
    QCOMPARE(b->text(), seen.last());
    if (!typed) QCOMPARE(texts(spy), seen);
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

void TestAdvancedWindow::gainsAcceptAnything_data() {
    QTest::addColumn<QString>("text");
    for (const char* t : {"150", "-250", "32768", "-32767", "99999", "abc", "", "1.5"}) QTest::newRow(t) << t;
}

void TestAdvancedWindow::gainsAcceptAnything() {
    QFETCH(QString, text);
    for (const char* array : {"ADmcal", "DAmcal"})
        for (int k = 0; k <= 3; ++k) {
            const QString name = member(QString::fromLatin1(array), k);
            window_->form().setText(name, text);
            QCOMPARE(window_->form().text(name), text);
        }
    // MovAvgNo and the offsets are not touched by the gains.
    QCOMPARE(window_->form().text("MovAvgNo"), QStringLiteral("3"));
}

void TestAdvancedWindow::averagingLimit_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("typed");
    QTest::addColumn<QStringList>("seen");
    using L = QStringList;
    for (bool typed : {true, false}) {
        const char* how = typed ? "typed" : "assigned";
        QTest::addRow("cleared, %s", how) << "" << typed << L{"", "1"};
        QTest::addRow("12, %s", how) << "12" << typed << L{"12", "9"};
        QTest::addRow("0, %s", how) << "0" << typed << L{"0", "1"};
        QTest::addRow("5, %s", how) << "5" << typed << L{"5"};
        QTest::addRow("9, %s", how) << "9" << typed << L{"9"};
        QTest::addRow("1, %s", how) << "1" << typed << L{"1"};
        QTest::addRow("10, %s", how) << "10" << typed << L{"10", "9"};
        QTest::addRow("letter, %s", how) << "x" << typed << L{"x", "1"};
        QTest::addRow("2.5, %s", how) << "2.5" << typed << L{"2.5"};
    }
    QTest::newRow("-3") << "-3" << false << L{"-3", "1"};
    QTest::newRow("0.5") << "0.5" << false << L{"0.5", "1"};
    // Typed key by key, the rule runs after every key: a lone "-" or "0" is
    // already below 1 and becomes "1" before the next key lands.
    QTest::newRow("-3, typed") << "-3" << true << L{"9"};
    QTest::newRow("0.5, typed") << "0.5" << true << L{"1.5"};
    QTest::newRow("signed text") << " 4" << false << L{" 4"};
    QTest::newRow("9.5") << "9.5" << false << L{"9.5", "9"};
}

void TestAdvancedWindow::averagingLimit() {
    QFETCH(QString, text);
    QFETCH(bool, typed);
    QFETCH(QStringList, seen);
    LimitedLineEdit* b = box("MovAvgNo");
    QSignalSpy spy(b, &QLineEdit::textChanged);
    if (typed) {
        b->selectAll();
        if (text.isEmpty())
            QTest::keyClick(b, Qt::Key_Backspace);
        else
            QTest::keyClicks(b, text);
    } else {
        window_->form().setText("MovAvgNo", text);
    }
    QCOMPARE(b->text(), seen.last());
    if (!typed) QCOMPARE(texts(spy), seen);
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
    QCOMPARE(f.text("MAC(5)"), QStringLiteral("02"));
    QCOMPARE(f.text("MAC(4)"), QStringLiteral("4B"));
    QCOMPARE(f.text("MAC(3)"), QStringLiteral("58"));
    QCOMPARE(f.text("MAC(2)"), QStringLiteral("AA"));
    QCOMPARE(f.text("MAC(1)"), QStringLiteral("B"));
    QCOMPARE(f.text("MAC(0)"), QStringLiteral("C3"));
    for (int n = 1; n <= 6; ++n)
        for (int i = 0; i <= 3; ++i)
            QCOMPARE(f.text(member(QStringLiteral("TIP%1").arg(n), i)), QStringLiteral("0"));
    for (int k = 0; k <= 7; ++k) {
        QCOMPARE(f.text(member("ADmcal", k)), QStringLiteral("0"));
        QCOMPARE(f.text(member("ADzcal", k)), QStringLiteral("0"));
    }
    for (int k = 0; k <= 3; ++k) {
        QCOMPARE(f.text(member("DAmcal", k)), QStringLiteral("0"));
        QCOMPARE(f.text(member("DAzcal", k)), QStringLiteral("0"));
    }
    QVERIFY(f.isChecked("MBtrusted(1)"));
    QVERIFY(!f.isChecked("MBtrusted(0)"));
    QVERIFY(f.isChecked("Tarvelintrusted(1)"));
    QVERIFY(!f.isChecked("Tarvelintrusted(0)"));
    QCOMPARE(f.text("MovAvgNo"), QStringLiteral("3"));
    // Untouched.
    QCOMPARE(f.text("PLCconfig"), QStringLiteral(" 22"));
    QVERIFY(f.isChecked("ResetPLC"));
    QCOMPARE(f.text("messageLabel"), QStringLiteral("Setup Data Stored to Device"));
    QCOMPARE(directory_->stub.opens, 0);
    QVERIFY(directory_->stub.sent.empty());
    QCOMPARE(window_->getPLCconfig(), 22.0);
}

void TestAdvancedWindow::flagByteHolder_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("18") << 18 << " 18";
    QTest::newRow("0") << 0 << " 0";
    QTest::newRow("255") << 255 << " 255";
    QTest::newRow("22") << 22 << " 22";
    QTest::newRow("-5") << -5 << "-5";
    QTest::newRow("32767") << 32767 << " 32767";
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
    QTest::mouseClick(w().get<QPushButton>("retrieveButton"), Qt::LeftButton);
    QCOMPARE(directory_->stub.opens, 1);
    QVERIFY(directory_->overwriteSources.empty());
    QCOMPARE(directory_->advancedShown, 0);
}

void TestAdvancedWindow::storeGoesThroughTheTerminal() {
    window_->DefaultButton_Click();
    directory_->useHolder(*window_);
    window_->updateParameters();
    QCOMPARE(directory_->stub.opens, 1);
}

void TestAdvancedWindow::saveBeepsThenAsks() {
    int beepsWhenAsked = -1;
    directory_->onAskOverwrite = [&](std::int16_t) { beepsWhenAsked = notifier_->notifier().beeps(); };
    QTest::mouseClick(w().get<QPushButton>("updateButton"), Qt::LeftButton);
    QCOMPARE(directory_->overwriteSources, std::vector<std::int16_t>{1});
    QCOMPARE(beepsWhenAsked, 1);
    QCOMPARE(directory_->stub.opens, 0);
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
    QVERIFY(notifier_->notifier().questions().empty());
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
    QVERIFY(notifier_->notifier().questions().empty());
}

void TestAdvancedWindow::busyDisablesOperationButtons() {
    const QStringList held{"retrieveButton", "updateButton", "DefaultButton"};
    const QStringList free{"SerialSetup", "closeButton"};
    {
        BusyScope busy;
        for (const QString& name : held) QVERIFY2(!w().widget(name)->isEnabled(), qPrintable(name));
        for (const QString& name : free) QVERIFY2(w().widget(name)->isEnabled(), qPrintable(name));
        // A window made during an operation starts with them disabled too.
        AdvancedWindow other(*directory_);
        QVERIFY(!other.widgets().widget("updateButton")->isEnabled());
    }
    for (const QString& name : held) QVERIFY2(w().widget(name)->isEnabled(), qPrintable(name));
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
    auto* message = w().get<QLabel>("messageLabel");
    QCOMPARE(message->text(), QStringLiteral("Successfully Retrieved Setup Data"));
    QCOMPARE(message->palette().color(QPalette::WindowText), QColor(0, 0, 192));
    QVERIFY(w().widget("retrieveButton")->isEnabled());
}

QTEST_MAIN(TestAdvancedWindow)
#include "test_advancedwindow.moc"
