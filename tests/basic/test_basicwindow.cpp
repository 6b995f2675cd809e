// The main window: its controls as created, the connection split, the
// 16-character cut, factory defaults, its buttons, quitting, and a retrieve
// from the simulated controller through the window's own controls.
#include <QAccessible>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

#include "basic/basicwindow.h"
#include "basic/fakedirectory.h"
#include "config/busy.h"
#include "config/labelmessageline.h"
#include "config/memoryaccess.h"
#include "support/testnotifier.h"

using namespace tarvelin;
using namespace tarvelin::test;

namespace {

QString accessibleName(QWidget* widget) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    return iface != nullptr ? iface->text(QAccessible::Name) : QString();
}

// The names of the controls that Tab visits, from `first` on.
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

// Texts a box took on during one assignment, in the order they were
// assigned. The change rules run nested inside each assignment, before a spy
// connected after them hears of it, so the spy lists a box's texts innermost
// first; turned round here.
QStringList texts(const QSignalSpy& spy) {
    QStringList out;
    for (const QList<QVariant>& args : spy) out.prepend(args.at(0).toString());
    return out;
}

QColor pixelAtCentre(QWidget* widget) {
    const QImage image = widget->grab().toImage();
    return image.pixelColor(image.width() / 2, 3);
}

}  // namespace

class TestBasicWindow : public QObject {
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
    void initialChoices();
    void looks();
    void focusOrder();
    void accessibility_data();
    void accessibility();
    void everyControlIsNamed();

    void connectionSplit_data();
    void connectionSplit();
    void countBoxesRefuseASecondDigit();
    void cutOnLosingFocus_data();
    void cutOnLosingFocus();
    void cutWithRealFocus();
    void protectionPairIsExclusive();

    void factoryDefaults();
    void factoryDefaultsFromAnyCounts_data();
    void factoryDefaultsFromAnyCounts();

    void displayCommport();
    void buttons();
    void saveBeepsThenAsks();
    void busyDisablesOperationButtons();
    void createdWhileBusy();
    void quitConfirmation_data();
    void quitConfirmation();
    void quitDuringAnOperation_data();
    void quitDuringAnOperation();
    void storeGoesThroughTheTerminal();

    void retrieveFillsTheWindow();

private:
    std::unique_ptr<FakeDirectory> directory_;
    std::unique_ptr<BasicWindow> window_;
    std::unique_ptr<NotifierScope> notifier_;

    WidgetForm& w() { return window_->widgets(); }
    LimitedLineEdit* box(const QString& name) { return w().get<LimitedLineEdit>(name); }
};

void TestBasicWindow::init() {
    notifier_ = std::make_unique<NotifierScope>();
    directory_ = std::make_unique<FakeDirectory>();
    window_ = std::make_unique<BasicWindow>(*directory_);
}

void TestBasicWindow::cleanup() {
    window_.reset();
    directory_.reset();
    notifier_.reset();
}

void TestBasicWindow::title() {
    QCOMPARE(window_->windowTitle(), QStringLiteral("Korvex Series Ethernet  Basic Configuration"));
    // About 402 x 461 once laid out and shown (fonts differ between desktops).
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QVERIFY2(qAbs(window_->width() - 402) <= 60, qPrintable(QString::number(window_->width())));
    QVERIFY2(qAbs(window_->height() - 461) <= 60, qPrintable(QString::number(window_->height())));
}

void TestBasicWindow::initialTexts_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("limit");  // 0: none
    QTest::addColumn<QString>("tip");
    const QString octet = QStringLiteral("0-255");
    for (int i = 3; i >= 0; --i) {
        QTest::addRow("IP(%d)", i) << member("IP", i) << QString() << 3 << octet;
        QTest::addRow("smtp(%d)", i) << member("smtp", i) << QString() << 0 << QString();
        QTest::addRow("DNS(%d)", i) << member("DNS", i) << QString() << 0 << QString();
    }
    const char* subnet[] = {"255", "255", "255", "0"};
    const char* gateway[] = {"192", "168", "1", "1"};
    for (int i = 3; i >= 0; --i) {
        QTest::addRow("subnet(%d)", i)
            << member("subnet", i) << QString::fromLatin1(subnet[3 - i]) << 0 << QString();
        QTest::addRow("gateway(%d)", i)
            << member("gateway", i) << QString::fromLatin1(gateway[3 - i]) << 0 << QString();
    }
    QTest::newRow("svrport") << "svrport"
                             << "9080" << 0 << QString();
    QTest::newRow("hostName") << "hostName"
                              << "Tarvelin" << 16 << QString();
    QTest::newRow("MBtcpPort") << "MBtcpPort"
                               << "502" << 0 << "One primary port #502 is always available";
    QTest::newRow("No_of_Tarvelin") << "No_of_Tarvelin"
                                    << "3" << 1 << "Max=4";
    QTest::newRow("No_of_MBtcp") << "No_of_MBtcp"
                                 << "3" << 1 << "Max=5";
    QTest::newRow("username") << "username" << QString() << 16 << "Max 16 characters";
    QTest::newRow("password") << "password" << QString() << 16 << "Max 16 Characters";
    QTest::newRow("commport") << "commport"
                              << "COM5" << 0 << QString();
}

void TestBasicWindow::initialTexts() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(int, limit);
    QFETCH(QString, tip);
    LimitedLineEdit* b = box(name);
    QVERIFY2(b != nullptr, qPrintable(name));
    QCOMPARE(b->text(), text);
    QCOMPARE(b->typingLimit(), limit);
    QCOMPARE(b->toolTip(), tip);
    QCOMPARE(b->isReadOnly(), name == QStringLiteral("commport"));
    QCOMPARE(b->echoMode(), name == QStringLiteral("password") ? QLineEdit::Password : QLineEdit::Normal);
}

void TestBasicWindow::captions_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::newRow("DefaultButton") << "DefaultButton"
                                   << "Factory Default";
    QTest::newRow("AdvConfig") << "AdvConfig"
                               << "Advanced Configuration";
    QTest::newRow("EnablePW(0)") << "EnablePW(0)"
                                 << "Yes";
    QTest::newRow("EnablePW(1)") << "EnablePW(1)"
                                 << "No";
    QTest::newRow("Command1") << "Command1"
                              << "Serial Setup";
    QTest::newRow("retrieveButton") << "retrieveButton"
                                    << "Retrieve Parameters from Korvex-PLC";
    QTest::newRow("updateButton") << "updateButton"
                                  << "Save Parameters  to Korvex-PLC";
    QTest::newRow("ResetPLC") << "ResetPLC"
                              << "Reboot PLC After Save.";
    QTest::newRow("exitButton") << "exitButton"
                                << "Exit";
}

void TestBasicWindow::captions() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    auto* button = w().get<QAbstractButton>(name);
    QVERIFY2(button != nullptr, qPrintable(name));
    QCOMPARE(button->text(), caption);
}

void TestBasicWindow::labels_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tip");
    for (const char* text :
         {"IP Address:", "Subnet Mask:", "Gateway IPAddr:", "SMTP Server:", "DNS Server:", "Tarvelin Port #",
          "Node Name", "Modbus/TCP Secondary Port #", "/", "Tarvelin", "MBTCP",
          "Username:", "Password:", "Use Username/Password?", "Access Level:", "Firmware:"})
        QTest::newRow(text) << QString::fromLatin1(text) << QString();
    QTest::newRow("No of Connections") << "No of Connections"
                                       << "Total = 6";
}

void TestBasicWindow::labels() {
    QFETCH(QString, text);
    QFETCH(QString, tip);
    QLabel* found = nullptr;
    for (QLabel* label : window_->findChildren<QLabel*>())
        if (label->text() == text) found = label;
    QVERIFY2(found != nullptr, qPrintable(text));
    QCOMPARE(found->toolTip(), tip);
}

void TestBasicWindow::initialChoices() {
    QVERIFY(!w().isChecked("EnablePW(0)"));
    QVERIFY(!w().isChecked("EnablePW(1)"));
    QVERIFY(!w().isChecked("ResetPLC"));
    auto* level = w().get<QComboBox>("AccessLevel");
    QVERIFY(level != nullptr);
    QVERIFY(!level->isEditable());
    QCOMPARE(level->currentIndex(), -1);
    QCOMPARE(level->count(), 3);
    QCOMPARE(level->itemText(0), QStringLiteral("1 - Programmer"));
    QCOMPARE(level->itemText(1), QStringLiteral("2 - User"));
    QCOMPARE(level->itemText(2), QStringLiteral("3 - Visitor"));
    QCOMPARE(w().text("version"), QString());
    QCOMPARE(w().text("messageLabel"), QString());
    QVERIFY(w().get<QLabel>("version") != nullptr);
    QVERIFY(w().get<QLabel>("messageLabel") != nullptr);
    // "." between the octet boxes: three per address row.
    int dots = 0;
    for (QLabel* label : window_->findChildren<QLabel*>())
        if (label->text() == QStringLiteral(".")) {
            ++dots;
            QCOMPARE(label->font().pointSize(), 24);
        }
    QCOMPARE(dots, 15);
}

void TestBasicWindow::looks() {
    auto* version = w().get<QLabel>("version");
    QCOMPARE(version->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    auto* message = w().get<QLabel>("messageLabel");
    QCOMPARE(message->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QVERIFY(message->font().bold());
    QCOMPARE(message->font().pointSizeF(), 8.25);
    QVERIFY(message->alignment() & Qt::AlignHCenter);
    QVERIFY(w().get<QPushButton>("exitButton")->font().bold());
    // Texts from the controller are shown as they are, never as markup.
    window_->form().setText("version", "<b>1.0</b>");
    QCOMPARE(version->textFormat(), Qt::PlainText);
    QCOMPARE(message->textFormat(), Qt::PlainText);

    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QCOMPARE(pixelAtCentre(w().get<QPushButton>("updateButton")), QColor(255, 255, 0));
    QCOMPARE(pixelAtCentre(w().get<QPushButton>("AdvConfig")), QColor(192, 255, 255));
    // Their captions stay dark whatever the theme.
    for (const char* name : {"updateButton", "AdvConfig"})
        QCOMPARE(w().get<QPushButton>(name)->palette().color(QPalette::ButtonText), QColor(0, 0, 0));
}

void TestBasicWindow::focusOrder() {
    QStringList expected;
    for (const char* array : {"IP", "subnet", "gateway", "smtp", "DNS"})
        for (int i = 3; i >= 0; --i) expected << member(QString::fromLatin1(array), i);
    expected << "username"
             << "password"
             << "EnablePW(0)"
             << "EnablePW(1)"
             << "AccessLevel"
             << "retrieveButton"
             << "updateButton"
             << "Command1"
             << "exitButton"
             << "DefaultButton"
             << "svrport"
             << "hostName"
             << "MBtcpPort"
             << "No_of_Tarvelin"
             << "No_of_MBtcp"
             << "ResetPLC"
             << "AdvConfig"
             << "commport";
    QCOMPARE(tabWalk(window_.get(), w().widget("IP(3)"), static_cast<int>(expected.size())), expected);
    // ... then the profile row (an addition of this tool), then the first box again.
    QCOMPARE(tabWalk(window_.get(), w().widget("commport"), 5),
             (QStringList{"commport", "LoadProfile", "SaveProfile", "VerifyAfterSave", "IP(3)"}));
}

void TestBasicWindow::accessibility_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("spoken");
    QTest::newRow("IP(3)") << "IP(3)"
                           << "IP Address, first number";
    QTest::newRow("IP(2)") << "IP(2)"
                           << "IP Address, second number";
    QTest::newRow("IP(1)") << "IP(1)"
                           << "IP Address, third number";
    QTest::newRow("IP(0)") << "IP(0)"
                           << "IP Address, last number";
    QTest::newRow("subnet(0)") << "subnet(0)"
                               << "Subnet Mask, last number";
    QTest::newRow("gateway(3)") << "gateway(3)"
                                << "Gateway IP Address, first number";
    QTest::newRow("smtp(2)") << "smtp(2)"
                             << "SMTP Server, second number";
    QTest::newRow("DNS(1)") << "DNS(1)"
                            << "DNS Server, third number";
    QTest::newRow("svrport") << "svrport"
                             << "Tarvelin Port number";
    QTest::newRow("No_of_MBtcp") << "No_of_MBtcp"
                                 << "Number of Modbus/TCP connections";
    QTest::newRow("password") << "password"
                              << "Password";
    QTest::newRow("commport") << "commport"
                              << "Serial port";
    // Buttons, options and the check box are known by their captions.
    QTest::newRow("retrieveButton") << "retrieveButton"
                                    << "Retrieve Parameters from Korvex-PLC";
    QTest::newRow("AdvConfig") << "AdvConfig"
                               << "Advanced Configuration";
    QTest::newRow("EnablePW(1)") << "EnablePW(1)"
                                 << "No";
    QTest::newRow("ResetPLC") << "ResetPLC"
                              << "Reboot PLC After Save.";
}

void TestBasicWindow::accessibility() {
    QFETCH(QString, name);
    QFETCH(QString, spoken);
    QWidget* widget = w().widget(name);
    QCOMPARE(accessibleName(widget), spoken);
    QCOMPARE(widget->accessibleDescription(), name);
}

void TestBasicWindow::everyControlIsNamed() {
    const int addressBoxes = 5 * 4;
    const int portsAndCounts = 5;       // svrport, hostName, MBtcpPort and the two counts
    const int credentials = 2 + 2 + 1;  // username, password, EnablePW pair, AccessLevel
    const int port = 2;                 // Command1, commport
    const int labels = 2;               // version, messageLabel
    const int actions = 6;              // retrieve, update, ResetPLC, exit, DefaultButton, AdvConfig
    const int profiles = 3;             // LoadProfile, SaveProfile, VerifyAfterSave
    QCOMPARE(w().names().size(), addressBoxes + portsAndCounts + credentials + port + labels + actions + profiles);
    for (const QString& name : w().names()) {
        QWidget* widget = w().widget(name);
        QCOMPARE(widget->objectName(), name);
        QCOMPARE(widget->accessibleDescription(), name);
        QCOMPARE(window_->findChild<QWidget*>(name), widget);
    }
    // Value labels and the list carry no name of their own.
    for (const char* name : {"version", "messageLabel", "AccessLevel"})
        QCOMPARE(w().widget(name)->accessibleName(), QString());
}

// Both boxes start at "3". `typed` types the text over the selected box
// (an empty text: Backspace); otherwise the program assigns it.
void TestBasicWindow::connectionSplit_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("typed");
    QTest::addColumn<QStringList>("tarvelinTexts");
    QTest::addColumn<QStringList>("mbtcpTexts");
    const QString T = QStringLiteral("No_of_Tarvelin");
    const QString M = QStringLiteral("No_of_MBtcp");
    using L = QStringList;
    for (bool typed : {true, false}) {
        const char* how = typed ? "typed" : "assigned";
        QTest::addRow("empty Tarvelin, %s", how) << T << "" << typed << L{"", "0", "1"} << L{"5"};
        QTest::addRow("empty MBtcp, %s", how) << M << "" << typed << L{"4"} << L{"", "0", "2"};
        QTest::addRow("letter in Tarvelin, %s", how) << T << "a" << typed << L{"a", "0", "1"} << L{"5"};
        QTest::addRow("letter in MBtcp, %s", how) << M << "x" << typed << L{"4"} << L{"x", "0", "2"};
        QTest::addRow("minus in Tarvelin, %s", how) << T << "-" << typed << L{"-", "0", "1"} << L{"5"};
        QTest::addRow("4 in Tarvelin, %s", how) << T << "4" << typed << L{"4"} << L{"2"};
        QTest::addRow("5 in MBtcp, %s", how) << M << "5" << typed << L{"1"} << L{"5"};
        QTest::addRow("7 in Tarvelin, %s", how) << T << "7" << typed << L{"7", "4"} << L{"2"};
        QTest::addRow("9 in MBtcp, %s", how) << M << "9" << typed << L{"1"} << L{"9", "5"};
        QTest::addRow("1 in Tarvelin, %s", how) << T << "1" << typed << L{"1"} << L{"5"};
        QTest::addRow("0 in Tarvelin, %s", how) << T << "0" << typed << L{"0", "1"} << L{"5"};
        QTest::addRow("1 in MBtcp, %s", how) << M << "1" << typed << L{"4"} << L{"1", "2"};
        QTest::addRow("2 in MBtcp, %s", how) << M << "2" << typed << L{"4"} << L{"2"};
        // Typing over a selection always changes the text once; assigning
        // the same text raises nothing.
        QTest::addRow("same text, %s", how) << T << "3" << typed << (typed ? L{"3"} : L{}) << L{};
    }
    // Longer texts only the program can place.
    QTest::newRow("blank and digit") << T << " 2" << false << L{" 2", "2"} << L{"4"};
    QTest::newRow("fraction") << T << "2.5" << false << L{"2.5"} << L{"3.5"};
    QTest::newRow("two digits") << M << "12" << false << L{"1"} << L{"12", "5"};
    QTest::newRow("negative") << M << "-4" << false << L{"4"} << L{"-4", "2"};
    QTest::newRow("leading zero") << T << "04" << false << L{"04", "4"} << L{"2"};
    QTest::newRow("digit and letters") << T << "2abc" << false << L{"2abc", "2"} << L{"4"};
    QTest::newRow("exponent") << T << "1e1" << false << L{"1e1", "10", "4"} << L{"2"};
}

void TestBasicWindow::connectionSplit() {
    QFETCH(QString, target);
    QFETCH(QString, text);
    QFETCH(bool, typed);
    QFETCH(QStringList, tarvelinTexts);
    QFETCH(QStringList, mbtcpTexts);
    LimitedLineEdit* tarvelin = box("No_of_Tarvelin");
    LimitedLineEdit* mbtcp = box("No_of_MBtcp");
    QSignalSpy tarvelinSpy(tarvelin, &QLineEdit::textChanged);
    QSignalSpy mbtcpSpy(mbtcp, &QLineEdit::textChanged);
    if (typed) {
        LimitedLineEdit* b = box(target);
        b->selectAll();
        if (text.isEmpty())
            QTest::keyClick(b, Qt::Key_Backspace);
        else
            QTest::keyClicks(b, text);
    } else {
        window_->form().setText(target, text);
    }
    QCOMPARE(texts(tarvelinSpy), tarvelinTexts);
    QCOMPARE(texts(mbtcpSpy), mbtcpTexts);
    const QString finalT = tarvelinTexts.isEmpty() ? QStringLiteral("3") : tarvelinTexts.last();
    const QString finalM = mbtcpTexts.isEmpty() ? QStringLiteral("3") : mbtcpTexts.last();
    QCOMPARE(tarvelin->text(), finalT);
    QCOMPARE(mbtcp->text(), finalM);
    QCOMPARE(finalT.toDouble() + finalM.toDouble(), 6.0);
}

void TestBasicWindow::countBoxesRefuseASecondDigit() {
    for (const char* name : {"No_of_Tarvelin", "No_of_MBtcp"}) {
        LimitedLineEdit* b = box(QString::fromLatin1(name));
        b->end(false);
        QSignalSpy spy(b, &QLineEdit::textChanged);
        QTest::keyClicks(b, QStringLiteral("2"));
        QCOMPARE(b->text(), QStringLiteral("3"));
        QCOMPARE(spy.count(), 0);
    }
}

void TestBasicWindow::cutOnLosingFocus_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const QString sixteen = QStringLiteral("abcdefghijklmnop");
    for (const char* name : {"username", "password"}) {
        QTest::addRow("%s empty", name) << name << QString() << QString();
        QTest::addRow("%s 15", name) << name << sixteen.left(15) << sixteen.left(15);
        QTest::addRow("%s 16", name) << name << sixteen << sixteen;
        QTest::addRow("%s 17", name) << name << sixteen + "q" << sixteen;
        QTest::addRow("%s 40", name) << name << QString(40, QLatin1Char('z'))
                                     << QString(16, QLatin1Char('z'));
        QTest::addRow("%s blanks", name)
            << name << QStringLiteral("  name with blanks  ") << QStringLiteral("  name with blan");
    }
    // A character made of two code units is not split.
    const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E");
    QTest::newRow("pair at 16") << "username" << sixteen.left(15) + clef + "x" << sixteen.left(15);
}

void TestBasicWindow::cutOnLosingFocus() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    window_->form().setText(name, text);
    QCOMPARE(window_->form().text(name), text);  // placed whole, whatever its length
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(box(name), &out);
    QCOMPARE(window_->form().text(name), expected);
    // Nothing else moved.
    QCOMPARE(window_->form().text(name == QStringLiteral("username") ? QStringLiteral("password")
                                                                     : QStringLiteral("username")),
             QString());
}

void TestBasicWindow::cutWithRealFocus() {
    window_->show();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    window_->form().setText("username", QStringLiteral("0123456789abcdefXYZ"));
    box("username")->setFocus();
    QTRY_VERIFY(box("username")->hasFocus());
    QCOMPARE(window_->form().text("username"), QStringLiteral("0123456789abcdefXYZ"));
    box("password")->setFocus();
    QTRY_VERIFY(box("password")->hasFocus());
    QCOMPARE(window_->form().text("username"), QStringLiteral("0123456789abcdef"));
}

void TestBasicWindow::protectionPairIsExclusive() {
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    auto* yes = w().get<QRadioButton>("EnablePW(0)");
    auto* no = w().get<QRadioButton>("EnablePW(1)");
    // An option button takes clicks on its circle and caption only.
    const auto choose = [](QRadioButton* option) {
        QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
    };
    choose(yes);
    QVERIFY(yes->isChecked());
    QVERIFY(!no->isChecked());
    choose(no);
    QVERIFY(!yes->isChecked());
    QVERIFY(no->isChecked());
    window_->form().setChecked("EnablePW(0)", true);
    QVERIFY(!no->isChecked());
    // Other option buttons and the check box are not in the pair.
    window_->form().setChecked("ResetPLC", true);
    QVERIFY(yes->isChecked());
}

void TestBasicWindow::factoryDefaults() {
    Form& f = window_->form();
    // Everything away from its defaults first.
    for (const QString& name : w().names())
        if (auto* b = w().get<LimitedLineEdit>(name);
            b != nullptr && !name.startsWith(QStringLiteral("No_of")) && name != QStringLiteral("commport"))
            f.setText(name, QStringLiteral("77"));
    f.setText("No_of_MBtcp", "5");
    f.setChecked("EnablePW(0)", true);
    f.setSelectedIndex("AccessLevel", 2);
    f.setChecked("ResetPLC", true);
    f.setText("version", "KRVX-E1.07");
    f.setText("messageLabel", "Successfully Retrieved Setup Data");
    f.setText("commport", "COM2");

    QTest::mouseClick(w().get<QPushButton>("DefaultButton"), Qt::LeftButton);

    const char* ip[] = {"5", "1", "168", "192"};  // index 0..3
    const char* gateway[] = {"1", "1", "168", "192"};
    const char* subnet[] = {"0", "255", "255", "255"};
    for (int i = 0; i <= 3; ++i) {
        QCOMPARE(f.text(member("IP", i)), QString::fromLatin1(ip[i]));
        QCOMPARE(f.text(member("gateway", i)), QString::fromLatin1(gateway[i]));
        QCOMPARE(f.text(member("subnet", i)), QString::fromLatin1(subnet[i]));
        QCOMPARE(f.text(member("smtp", i)), QStringLiteral("0"));
        QCOMPARE(f.text(member("DNS", i)), QStringLiteral("0"));
    }
    QCOMPARE(f.text("username"), QString());
    QCOMPARE(f.text("password"), QString());
    QCOMPARE(f.text("hostName"), QStringLiteral("Tarvelin"));
    QCOMPARE(f.text("svrport"), QStringLiteral("9080"));
    QCOMPARE(f.text("MBtcpPort"), QStringLiteral("502"));
    QCOMPARE(f.text("No_of_Tarvelin"), QStringLiteral("3"));
    QCOMPARE(f.text("No_of_MBtcp"), QStringLiteral("3"));
    QVERIFY(!f.isChecked("EnablePW(0)"));
    QVERIFY(f.isChecked("EnablePW(1)"));
    QCOMPARE(f.selectedIndex("AccessLevel"), 0);
    QCOMPARE(f.text("AccessLevel"), QStringLiteral("1 - Programmer"));
    QCOMPARE(f.text("version"), QString());
    // Untouched.
    QVERIFY(f.isChecked("ResetPLC"));
    QCOMPARE(f.text("commport"), QStringLiteral("COM2"));
    QCOMPARE(f.text("messageLabel"), QStringLiteral("Successfully Retrieved Setup Data"));
    // Nothing was sent and the advanced window was not asked for.
    QCOMPARE(directory_->stub.opens, 0);
    QVERIFY(directory_->stub.sent.empty());
    QCOMPARE(directory_->holderRequests, 0);
    QCOMPARE(directory_->advancedShown, 0);
}

void TestBasicWindow::factoryDefaultsFromAnyCounts_data() {
    QTest::addColumn<QString>("mbtcp");
    for (const char* m : {"2", "3", "4", "5"}) QTest::newRow(m) << QString::fromLatin1(m);
}

void TestBasicWindow::factoryDefaultsFromAnyCounts() {
    QFETCH(QString, mbtcp);
    window_->form().setText("No_of_MBtcp", mbtcp);
    window_->DefaultButton_Click();
    QCOMPARE(window_->form().text("No_of_Tarvelin"), QStringLiteral("3"));
    QCOMPARE(window_->form().text("No_of_MBtcp"), QStringLiteral("3"));
}

void TestBasicWindow::displayCommport() {
    QCOMPARE(directory_->stub.portQueries, 1);  // the load asked once
    directory_->stub.port = "COM2";
    window_->displayCommport();
    QCOMPARE(window_->form().text("commport"), QStringLiteral("COM2"));
    QCOMPARE(directory_->stub.portQueries, 2);
    directory_->stub.port = "/dev/ttyUSB0";
    window_->displayCommport();
    QCOMPARE(window_->form().text("commport"), QStringLiteral("/dev/ttyUSB0"));
}

void TestBasicWindow::buttons() {
    QTest::mouseClick(w().get<QPushButton>("Command1"), Qt::LeftButton);
    QCOMPARE(directory_->terminalShown, 1);
    QTest::mouseClick(w().get<QPushButton>("AdvConfig"), Qt::LeftButton);
    QCOMPARE(directory_->advancedShown, 1);
    QCOMPARE(directory_->terminalShown, 1);
    // The retrieve goes to the terminal first; its port does not open here.
    QTest::mouseClick(w().get<QPushButton>("retrieveButton"), Qt::LeftButton);
    QCOMPARE(directory_->stub.opens, 1);
    QVERIFY(directory_->overwriteSources.empty());
    QCOMPARE(notifier_->notifier().questions().size(), std::size_t{0});
}

void TestBasicWindow::saveBeepsThenAsks() {
    int beepsWhenAsked = -1;
    directory_->onAskOverwrite = [&](std::int16_t) { beepsWhenAsked = notifier_->notifier().beeps(); };
    QTest::mouseClick(w().get<QPushButton>("updateButton"), Qt::LeftButton);
    QCOMPARE(directory_->overwriteSources, std::vector<std::int16_t>{0});
    QCOMPARE(beepsWhenAsked, 1);
    QCOMPARE(directory_->stub.opens, 0);  // nothing written yet
    QTest::mouseClick(w().get<QPushButton>("updateButton"), Qt::LeftButton);
    QCOMPARE(notifier_->notifier().beeps(), 2);
    QCOMPARE(directory_->overwriteSources, (std::vector<std::int16_t>{0, 0}));
}

void TestBasicWindow::busyDisablesOperationButtons() {
    const QStringList held{"retrieveButton", "updateButton", "DefaultButton"};
    const QStringList free{"Command1", "AdvConfig", "exitButton"};
    {
        BusyScope busy;
        for (const QString& name : held) QVERIFY2(!w().widget(name)->isEnabled(), qPrintable(name));
        for (const QString& name : free) QVERIFY2(w().widget(name)->isEnabled(), qPrintable(name));
        {
            BusyScope nested;
            QVERIFY(!w().widget("updateButton")->isEnabled());
        }
        QVERIFY(!w().widget("updateButton")->isEnabled());
    }
    for (const QString& name : held) QVERIFY2(w().widget(name)->isEnabled(), qPrintable(name));
}

void TestBasicWindow::createdWhileBusy() {
    window_.reset();
    {
        BusyScope busy;
        window_ = std::make_unique<BasicWindow>(*directory_);
        QVERIFY(!w().widget("retrieveButton")->isEnabled());
    }
    QVERIFY(w().widget("retrieveButton")->isEnabled());
}

void TestBasicWindow::quitConfirmation_data() {
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("byFrame");
    QTest::newRow("Exit, No") << false << false;
    QTest::newRow("Exit, Yes") << true << false;
    QTest::newRow("frame, No") << false << true;
    QTest::newRow("frame, Yes") << true << true;
}

void TestBasicWindow::quitConfirmation() {
    QFETCH(bool, yes);
    QFETCH(bool, byFrame);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    window_->form().setText("IP(3)", "10");
    QSignalSpy quit(window_.get(), &BasicWindow::quitRequested);
    notifier_->notifier().answer(yes);
    if (byFrame)
        window_->close();
    else
        QTest::mouseClick(w().get<QPushButton>("exitButton"), Qt::LeftButton);
    const auto& questions = notifier_->notifier().questions();
    QCOMPARE(questions.size(), std::size_t{1});
    QCOMPARE(questions[0].title, QStringLiteral("Unload Test"));
    QCOMPARE(questions[0].text, QStringLiteral("Are you sure you want to quit?"));
    QCOMPARE(quit.count(), yes ? 1 : 0);
    QCOMPARE(window_->isVisible(), !yes);
    QCOMPARE(window_->form().text("IP(3)"), QStringLiteral("10"));
    QVERIFY(!Busy::instance().abortRequested());
}

void TestBasicWindow::quitDuringAnOperation_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("No") << false;
    QTest::newRow("Yes") << true;
}

// A retrieve or store lets window events through at its progress marks, so
// the quit question can come while it runs; "Yes" asks it to stop.
void TestBasicWindow::quitDuringAnOperation() {
    QFETCH(bool, yes);
    {
        BusyScope busy;
        notifier_->notifier().answer(yes);
        window_->exitButton_Click();
        QCOMPARE(Busy::instance().abortRequested(), yes);
    }
    BusyScope next;  // the next operation starts without the request
    QVERIFY(!Busy::instance().abortRequested());
}

// The confirmed store reaches the terminal (whose port does not open here).
void TestBasicWindow::storeGoesThroughTheTerminal() {
    window_->DefaultButton_Click();
    window_->updateParameters();
    QCOMPARE(directory_->stub.opens, 1);
    QVERIFY(notifier_->notifier().questions().empty());
}

// The window's own controls under a retrieve from the simulated controller:
// the connection count arrives and the split runs, the message line turns
// blue.
void TestBasicWindow::retrieveFillsTheWindow() {
    SimulatedTerminal sim;
    korvex::Memory& m = sim.controller().memory();
    m[524] = 10, m[525] = 1, m[526] = 2, m[527] = 3;
    m[520] = 35, m[521] = 120;
    m[544] = 4;  // Modbus/TCP connections
    m[556] = 50;
    m[566] = 2;
    const char* name = "Korvex-Node-16ch";
    for (int i = 0; i < 16; ++i) m[666 + i] = static_cast<std::uint8_t>(name[i]);
    directory_->useTerminal(sim.terminal());

    QSignalSpy tarvelinSpy(box("No_of_Tarvelin"), &QLineEdit::textChanged);
    window_->retrieveButton_Click();
    const Form& f = window_->form();
    QCOMPARE(f.text("IP(3)"), QStringLiteral("10"));
    QCOMPARE(f.text("IP(0)"), QStringLiteral("3"));
    QCOMPARE(f.text("svrport").trimmed(), QStringLiteral("9080"));
    QCOMPARE(f.text("No_of_MBtcp"), QStringLiteral("4"));
    QCOMPARE(f.text("No_of_Tarvelin"), QStringLiteral("2"));
    QCOMPARE(texts(tarvelinSpy), QStringList{QStringLiteral("2")});
    QCOMPARE(f.selectedIndex("AccessLevel"), 1);
    QVERIFY(f.isChecked("EnablePW(0)"));
    QCOMPARE(f.text("hostName"), QString::fromLatin1(name));
    QCOMPARE(f.text("version"), QString::fromStdString(sim.controller().config().version));
    auto* message = w().get<QLabel>("messageLabel");
    QCOMPARE(message->text(), QStringLiteral("Successfully Retrieved Setup Data"));
    QCOMPARE(message->palette().color(QPalette::WindowText), QColor(0, 0, 192));
    QVERIFY(message->alignment() & Qt::AlignHCenter);
    QCOMPARE(&window_->access().terminal(), &sim.terminal());
    // Buttons are back once it ended.
    QVERIFY(w().widget("retrieveButton")->isEnabled());
}

QTEST_MAIN(TestBasicWindow)
#include "test_basicwindow.moc"
