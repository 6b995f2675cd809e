// The main window: its controls as created, the connection split, the
// 16-character cut, factory defaults, its buttons, quitting, and a retrieve
// from the simulated controller through the window's own controls.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "basic/basicwindow.h"
#include "basic/windowtest.h"
#include "config/busy.h"
#include "config/memoryaccess.h"

using namespace tarvelin;
using namespace tarvelin::test;

namespace {

QColor pixelAtCentre(QWidget* widget) {
    const QImage image = widget->grab().toImage();
    return image.pixelColor(image.width() / 2, 3);
}

}  // namespace

class TestBasicWindow : public QObject, private WindowTest<BasicWindow> {
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
    void initialChoices();
    void looks();
    void focusOrder();
    void accessibility_data();
    void accessibility();

    void connectionSplit_data();
    void connectionSplit();
    void cutOnLosingFocus_data();
    void cutOnLosingFocus();
    void cutWithRealFocus();
    void protectionPairIsExclusive();

    void factoryDefaults();

    void buttons();
    void saveBeepsThenAsks();
    void busyDisablesOperationButtons();
    void quitConfirmation_data();
    void quitConfirmation();
    void quitDuringAnOperation_data();
    void quitDuringAnOperation();

    void retrieveFillsTheWindow();
};

void TestBasicWindow::title() {
    checkTitleAndSize("Korvex Series Ethernet  Basic Configuration", 402, 461);
}

void TestBasicWindow::initialTexts_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("limit");  // 0: none
    QTest::addColumn<QString>("tip");
    const auto row = [](const QString& name, const QString& text, int limit, const char* tip) {
        QTest::newRow(qPrintable(name)) << name << text << limit << tip;
    };
    const char* subnet[] = {"255", "255", "255", "0"};
    const char* gateway[] = {"192", "168", "1", "1"};
    for (int i = 3; i >= 0; --i) {
        row(member("IP", i), "", 3, "0-255");
        row(member("smtp", i), "", 0, "");
        row(member("DNS", i), "", 0, "");
        row(member("subnet", i), subnet[3 - i], 0, "");
        row(member("gateway", i), gateway[3 - i], 0, "");
    }
    row("svrport", "9080", 0, "");
    row("hostName", "Tarvelin", 16, "");
    row("MBtcpPort", "502", 0, "One primary port #502 is always available");
    row("No_of_Tarvelin", "3", 1, "Max=4");
    row("No_of_MBtcp", "3", 1, "Max=5");
    row("username", "", 16, "Max 16 characters");
    row("password", "", 16, "Max 16 Characters");
    row("commport", "COM5", 0, "");
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
    const auto row = [](const char* name, const char* caption) { QTest::newRow(name) << name << caption; };
    row("DefaultButton", "Factory Default");
    row("AdvConfig", "Advanced Configuration");
    row("EnablePW(0)", "Yes");
    row("EnablePW(1)", "No");
    row("Command1", "Serial Setup");
    row("retrieveButton", "Retrieve Parameters from Korvex-PLC");
    row("updateButton", "Save Parameters  to Korvex-PLC");
    row("ResetPLC", "Reboot PLC After Save.");
    row("exitButton", "Exit");
}

void TestBasicWindow::captions() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    checkCaption(name, caption);
}

void TestBasicWindow::labels_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tip");
    for (const char* text :
         {"IP Address:", "Subnet Mask:", "Gateway IPAddr:", "SMTP Server:", "DNS Server:", "Tarvelin Port #",
          "Node Name", "Modbus/TCP Secondary Port #", "/", "Tarvelin", "MBTCP",
          "Username:", "Password:", "Use Username/Password?", "Access Level:", "Firmware:"})
        QTest::newRow(text) << QString::fromLatin1(text) << QString();
    QTest::newRow("No of Connections") << "No of Connections" << QStringLiteral("Total = 6");
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
    QVERIFY(!level->isEditable());
    QCOMPARE(level->currentIndex(), -1);
    QStringList items;
    for (int i = 0; i < level->count(); ++i) items << level->itemText(i);
    QCOMPARE(items, QStringList({"1 - Programmer", "2 - User", "3 - Visitor"}));
    QCOMPARE(w().text("version"), QString());
    checkControlsAndMessageLine();
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
    QVERIFY(w().get<QPushButton>("exitButton")->font().bold());
    // Texts from the controller are shown as they are, never as markup.
    QCOMPARE(version->textFormat(), Qt::PlainText);

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
    expected << QStringList{
        "username",     "password",       "EnablePW(0)", "EnablePW(1)",   "AccessLevel", "retrieveButton",
        "updateButton", "Command1",       "exitButton",  "DefaultButton", "svrport",     "hostName",
        "MBtcpPort",    "No_of_Tarvelin", "No_of_MBtcp", "ResetPLC",      "AdvConfig",   "commport"};
    QCOMPARE(tabWalk(window_.get(), w().widget("IP(3)"), static_cast<int>(expected.size())), expected);
    // ... then the profile row (an addition of this tool), then the first box again.
    QCOMPARE(tabWalk(window_.get(), w().widget("commport"), 5),
             (QStringList{"commport", "LoadProfile", "SaveProfile", "VerifyAfterSave", "IP(3)"}));
}

void TestBasicWindow::accessibility_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("spoken");
    const auto row = [](const char* name, const char* spoken) { QTest::newRow(name) << name << spoken; };
    // Address boxes are read out by their place: index 3 is the first number.
    row("IP(3)", "IP Address, first number");
    row("subnet(2)", "Subnet Mask, second number");
    row("smtp(1)", "SMTP Server, third number");
    row("DNS(0)", "DNS Server, last number");
    row("No_of_MBtcp", "Number of Modbus/TCP connections");
    // Value labels and the list carry no name of their own.
    row("version", "");
    row("messageLabel", "");
}

void TestBasicWindow::accessibility() {
    QFETCH(QString, name);
    QFETCH(QString, spoken);
    checkSpoken(name, spoken);
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
        QTest::addRow("7 in MBtcp, %s", how) << M << "7" << typed << L{"1"} << L{"7", "5"};
        QTest::addRow("0 in Tarvelin, %s", how) << T << "0" << typed << L{"0", "1"} << L{"5"};
        QTest::addRow("0 in MBtcp, %s", how) << M << "0" << typed << L{"4"} << L{"0", "2"};
        // Typing over a selection always changes the text once; assigning
        // the same text raises nothing.
        QTest::addRow("same text, %s", how) << T << "3" << typed << (typed ? L{"3"} : L{}) << L{};
    }
    // Longer texts only the program can place.
    QTest::newRow("blank and digit") << T << " 2" << false << L{" 2", "2"} << L{"4"};
    QTest::newRow("fraction") << T << "2.5" << false << L{"2.5"} << L{"3.5"};
    QTest::newRow("two digits") << M << "12" << false << L{"1"} << L{"12", "5"};
    QTest::newRow("negative") << M << "-4" << false << L{"4"} << L{"-4", "2"};
    QTest::newRow("digit and letters") << T << "2abc" << false << L{"2abc", "2"} << L{"4"};
    QTest::newRow("exponent") << T << "1e1" << false << L{"1e1", "10", "4"} << L{"2"};
}

void TestBasicWindow::connectionSplit() {
    QFETCH(QString, target);
    QFETCH(QString, text);
    QFETCH(bool, typed);
    QFETCH(QStringList, tarvelinTexts);
    QFETCH(QStringList, mbtcpTexts);
    QSignalSpy tarvelinSpy(box("No_of_Tarvelin"), &QLineEdit::textChanged);
    QSignalSpy mbtcpSpy(box("No_of_MBtcp"), &QLineEdit::textChanged);
    enterText(target, text, typed);
    QCOMPARE(assignedTexts(tarvelinSpy), tarvelinTexts);
    QCOMPARE(assignedTexts(mbtcpSpy), mbtcpTexts);
    const QString finalT = tarvelinTexts.isEmpty() ? QStringLiteral("3") : tarvelinTexts.last();
    const QString finalM = mbtcpTexts.isEmpty() ? QStringLiteral("3") : mbtcpTexts.last();
    QCOMPARE(box("No_of_Tarvelin")->text(), finalT);
    QCOMPARE(box("No_of_MBtcp")->text(), finalM);
    QCOMPARE(finalT.toDouble() + finalM.toDouble(), 6.0);
}

void TestBasicWindow::cutOnLosingFocus_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const QString sixteen = QStringLiteral("abcdefghijklmnop");
    for (const char* name : {"username", "password"}) {
        QTest::addRow("%s 16", name) << name << sixteen << sixteen;
        QTest::addRow("%s 17", name) << name << sixteen + "q" << sixteen;
        QTest::addRow("%s blanks", name)
            << name << QStringLiteral("  name with blanks  ") << QStringLiteral("  name with blan");
    }
    QTest::newRow("empty") << "username" << QString() << QString();
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
    if (name == QStringLiteral("password")) QCOMPARE(box(name)->displayText(), QString(expected.size(), '*'));
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

void TestBasicWindow::buttons() {
    QTest::mouseClick(w().get<QPushButton>("Command1"), Qt::LeftButton);
    QCOMPARE(directory_->terminalShown, 1);
    QTest::mouseClick(w().get<QPushButton>("AdvConfig"), Qt::LeftButton);
    QCOMPARE(directory_->advancedShown, 1);
    QCOMPARE(directory_->terminalShown, 1);
    // The retrieve, and the confirmed store, go to the terminal first; its
    // port does not open here.
    QTest::mouseClick(w().get<QPushButton>("retrieveButton"), Qt::LeftButton);
    QCOMPARE(directory_->stub.opens, 1);
    window_->updateParameters();
    QCOMPARE(directory_->stub.opens, 2);
    QVERIFY(directory_->overwriteSources.empty());
    QVERIFY(notes().questions().empty());
}

void TestBasicWindow::saveBeepsThenAsks() {
    checkSaveBeepsThenAsks(0);
    QTest::mouseClick(w().get<QPushButton>("updateButton"), Qt::LeftButton);
    QCOMPARE(notes().beeps(), 2);
    QCOMPARE(directory_->overwriteSources, (std::vector<std::int16_t>{0, 0}));
}

void TestBasicWindow::busyDisablesOperationButtons() {
    checkBusyHolds({"retrieveButton", "updateButton", "DefaultButton"},
                   {"Command1", "AdvConfig", "exitButton"});
    BusyScope busy;
    { BusyScope nested; }
    QVERIFY(!w().widget("updateButton")->isEnabled());  // until the outer one ends
}

void TestBasicWindow::quitConfirmation_data() {
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("byFrame");
    QTest::newRow("Exit, No") << false << false;
    QTest::newRow("frame, Yes") << true << true;
}

void TestBasicWindow::quitConfirmation() {
    QFETCH(bool, yes);
    QFETCH(bool, byFrame);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    window_->form().setText("IP(3)", "10");
    QSignalSpy quit(window_.get(), &BasicWindow::quitRequested);
    notes().answer(yes);
    if (byFrame)
        window_->close();
    else
        QTest::mouseClick(w().get<QPushButton>("exitButton"), Qt::LeftButton);
    const auto& questions = notes().questions();
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
        notes().answer(yes);
        window_->exitButton_Click();
        QCOMPARE(Busy::instance().abortRequested(), yes);
    }
    BusyScope next;  // the next operation starts without the request
    QVERIFY(!Busy::instance().abortRequested());
}

// The window's own controls under a retrieve from the simulated controller:
// the connection count arrives and the split runs, the message line turns
// blue.
void TestBasicWindow::retrieveFillsTheWindow() {
    SimulatedTerminal sim;
    korvex::Memory& m = sim.controller().memory();
    m[524] = 10, m[525] = 1, m[526] = 2, m[527] = 3;
    m[520] = 35, m[521] = 120;
    m[544] = 7;  // Modbus/TCP connections, more than the split allows
    m[556] = 50;
    m[566] = 2;
    const char* name = "Korvex-Node-16ch";
    for (int i = 0; i < 16; ++i) m[666 + i] = static_cast<std::uint8_t>(name[i]);
    directory_->useTerminal(sim.terminal());

    QSignalSpy mbtcpSpy(box("No_of_MBtcp"), &QLineEdit::textChanged);
    window_->retrieveButton_Click();
    const Form& f = window_->form();
    QCOMPARE(f.text("IP(3)"), QStringLiteral("10"));
    QCOMPARE(f.text("IP(0)"), QStringLiteral("3"));
    QCOMPARE(f.text("svrport"), QStringLiteral(" 9080"));
    QCOMPARE(assignedTexts(mbtcpSpy), (QStringList{"7", "5"}));
    QCOMPARE(f.text("No_of_Tarvelin"), QStringLiteral("1"));
    QCOMPARE(f.selectedIndex("AccessLevel"), 1);
    QVERIFY(f.isChecked("EnablePW(0)"));
    QCOMPARE(f.text("hostName"), QString::fromLatin1(name));
    QCOMPARE(f.text("version"), QString::fromStdString(sim.controller().config().version));
    QCOMPARE(&window_->access().terminal(), &sim.terminal());
    checkRetrieved();
}

QTEST_MAIN(TestBasicWindow)
#include "test_basicwindow.moc"
