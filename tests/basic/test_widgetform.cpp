// The widget registry behind both windows, the text box that limits only
// typing, and the message line over a label.
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

#include "config/labelmessageline.h"
#include "config/widgetform.h"

using namespace tarvelin;

class TestWidgetForm : public QObject {
    Q_OBJECT

private slots:
    void placedTextIsNeverCut_data();
    void placedTextIsNeverCut();
    void typingStopsAtTheLimit_data();
    void typingStopsAtTheLimit();
    void pasteKeepsWhatFits();
    void overlongTextCanShrinkButNotGrow();
    void typingLimitKeepsCursorWhenShrinking();
    void optionGroups_data();
    void optionGroups();
    void dropDownSelection_data();
    void dropDownSelection();
    void registrationNamesTheWidget();
    void unknownControl();
    void messageLine_data();
    void messageLine();
};

void TestWidgetForm::placedTextIsNeverCut_data() {
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("text");
    QTest::newRow("within") << 16 << QStringLiteral("abc");
    QTest::newRow("one over") << 16 << QStringLiteral("0123456789abcdefg");
    QTest::newRow("far over") << 3 << QStringLiteral("192.168.100.200");
    QTest::newRow("no limit") << 0 << QString(40000, QLatin1Char('x'));
}

void TestWidgetForm::placedTextIsNeverCut() {
    QFETCH(int, limit);
    QFETCH(QString, text);
    QWidget window;
    WidgetForm form;
    auto* box = new LimitedLineEdit(limit, &window);
    form.add(QStringLiteral("box"), box);
    form.setText(QStringLiteral("box"), text);
    QCOMPARE(form.text(QStringLiteral("box")), text);
    QCOMPARE(box->typingLimit(), limit);
    // Placing a short text again brings the typing limit back.
    form.setText(QStringLiteral("box"), QStringLiteral("1"));
    QCOMPARE(box->text(), QStringLiteral("1"));
    if (limit > 0) QCOMPARE(box->maxLength(), limit);
}

void TestWidgetForm::typingStopsAtTheLimit_data() {
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("octet") << 3 << QString() << QStringLiteral("1234") << QStringLiteral("123");
    QTest::newRow("count, full") << 1 << QStringLiteral("3") << QStringLiteral("2") << QStringLiteral("3");
    QTest::newRow("16 of 20") << 16 << QString() << QStringLiteral("abcdefghijklmnopqrst")
                              << QStringLiteral("abcdefghijklmnop");
}

void TestWidgetForm::typingStopsAtTheLimit() {
    QFETCH(int, limit);
    QFETCH(QString, start);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    LimitedLineEdit box(limit);
    box.placeText(start);
    box.end(false);
    QTest::keyClicks(&box, typed);
    QCOMPARE(box.text(), expected);
}

void TestWidgetForm::pasteKeepsWhatFits() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("0123456789ABCDEFGHIJ"));
    if (clipboard->text() != QStringLiteral("0123456789ABCDEFGHIJ")) QSKIP("no clipboard on this platform");
    LimitedLineEdit box(16);
    box.placeText(QStringLiteral("xy"));
    box.end(false);
    box.paste();
    QCOMPARE(box.text(), QStringLiteral("xy0123456789ABCD"));
}

void TestWidgetForm::overlongTextCanShrinkButNotGrow() {
    LimitedLineEdit box(16);
    const QString placed = QStringLiteral("abcdefghijklmnopqrst");  // 20
    box.placeText(placed);
    box.end(false);
    QTest::keyClick(&box, Qt::Key_Backspace);
    QCOMPARE(box.text(), placed.left(19));
    // No room to type: the box holds more than the user may type.
    QTest::keyClicks(&box, QStringLiteral("Z"));
    QCOMPARE(box.text(), placed.left(19));
    for (int i = 0; i < 3; ++i) QTest::keyClick(&box, Qt::Key_Backspace);
    QCOMPARE(box.text(), placed.left(16));
    QTest::keyClicks(&box, QStringLiteral("Z"));
    QCOMPARE(box.text(), placed.left(16));
    QTest::keyClick(&box, Qt::Key_Backspace);
    QTest::keyClicks(&box, QStringLiteral("YZ"));
    QCOMPARE(box.text(), placed.left(15) + QStringLiteral("Y"));
}

void TestWidgetForm::typingLimitKeepsCursorWhenShrinking() {
    LimitedLineEdit box(4);
    box.placeText(QStringLiteral("abcdefgh"));
    box.setCursorPosition(2);
    QTest::keyClick(&box, Qt::Key_Delete);  // "abdefgh", the cursor stays between b and d
    QCOMPARE(box.text(), QStringLiteral("abdefgh"));
    QCOMPARE(box.cursorPosition(), 2);
    box.setSelection(1, 4);  // "bdef"
    QTest::keyClick(&box, Qt::Key_Delete);
    QCOMPARE(box.text(), QStringLiteral("agh"));
    QCOMPARE(box.cursorPosition(), 1);
    QCOMPARE(box.maxLength(), 4);
}

void TestWidgetForm::optionGroups_data() {
    QTest::addColumn<QString>("grouping");
    QTest::newRow("button group") << QStringLiteral("group");
    QTest::newRow("same parent") << QStringLiteral("auto");
}

void TestWidgetForm::optionGroups() {
    QFETCH(QString, grouping);
    QWidget window;
    WidgetForm form;
    auto* yes = new QRadioButton(QStringLiteral("Yes"), &window);
    auto* no = new QRadioButton(QStringLiteral("No"), &window);
    if (grouping == QStringLiteral("group")) {
        auto* group = new QButtonGroup(&window);
        group->addButton(yes);
        group->addButton(no);
    }
    form.add(QStringLiteral("EnablePW(0)"), yes);
    form.add(QStringLiteral("EnablePW(1)"), no);

    QVERIFY(!form.isChecked(QStringLiteral("EnablePW(0)")));
    QVERIFY(!form.isChecked(QStringLiteral("EnablePW(1)")));
    form.setChecked(QStringLiteral("EnablePW(0)"), true);
    QVERIFY(yes->isChecked());
    form.setChecked(QStringLiteral("EnablePW(1)"), true);
    QVERIFY(no->isChecked());
    QVERIFY(!yes->isChecked());
    // Clearing the chosen member leaves none chosen.
    form.setChecked(QStringLiteral("EnablePW(1)"), false);
    QVERIFY(!yes->isChecked());
    QVERIFY(!no->isChecked());
    // ... and the pair is exclusive again afterwards.
    form.setChecked(QStringLiteral("EnablePW(0)"), true);
    form.setChecked(QStringLiteral("EnablePW(1)"), true);
    QVERIFY(!yes->isChecked());
    QVERIFY(no->isChecked());
    // Clearing a member that is not chosen changes nothing.
    form.setChecked(QStringLiteral("EnablePW(0)"), false);
    QVERIFY(no->isChecked());
}

void TestWidgetForm::dropDownSelection_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("set");
    QTest::addColumn<int>("expected");
    QTest::newRow("choose") << -1 << 2 << 2;
    QTest::newRow("first") << 2 << 0 << 0;
    QTest::newRow("clear") << 1 << -1 << -1;
    QTest::newRow("past the end") << 1 << 3 << 1;
    QTest::newRow("below -1") << 2 << -5 << 2;
}

void TestWidgetForm::dropDownSelection() {
    QFETCH(int, start);
    QFETCH(int, set);
    QFETCH(int, expected);
    QWidget window;
    WidgetForm form;
    auto* list = new QComboBox(&window);
    list->addItems(
        {QStringLiteral("1 - Programmer"), QStringLiteral("2 - User"), QStringLiteral("3 - Visitor")});
    list->setCurrentIndex(start);
    form.add(QStringLiteral("AccessLevel"), list);
    form.setSelectedIndex(QStringLiteral("AccessLevel"), set);
    QCOMPARE(form.selectedIndex(QStringLiteral("AccessLevel")), expected);
    QCOMPARE(form.text(QStringLiteral("AccessLevel")), expected < 0 ? QString() : list->itemText(expected));
}

void TestWidgetForm::registrationNamesTheWidget() {
    QWidget window;
    WidgetForm form;
    auto* box = new LimitedLineEdit(3, &window);
    form.add(QStringLiteral("IP(3)"), box);
    QCOMPARE(box->objectName(), QStringLiteral("IP(3)"));
    QCOMPARE(box->accessibleDescription(), QStringLiteral("IP(3)"));
    QVERIFY(form.has(QStringLiteral("IP(3)")));
    QVERIFY(!form.has(QStringLiteral("IP(2)")));
    QCOMPARE(form.get<LimitedLineEdit>(QStringLiteral("IP(3)")), box);
    QCOMPARE(form.get<QLabel>(QStringLiteral("IP(3)")), nullptr);
    QCOMPARE(form.names(), QStringList{QStringLiteral("IP(3)")});
}

void TestWidgetForm::unknownControl() {
    WidgetForm form;
    QTest::ignoreMessage(QtWarningMsg, "WidgetForm: no control named nothing");
    QCOMPARE(form.text(QStringLiteral("nothing")), QString());
    QTest::ignoreMessage(QtWarningMsg, "WidgetForm: no control named nothing");
    form.setText(QStringLiteral("nothing"), QStringLiteral("x"));
    QTest::ignoreMessage(QtWarningMsg, "WidgetForm: no control named nothing");
    QCOMPARE(form.selectedIndex(QStringLiteral("nothing")), -1);
    QTest::ignoreMessage(QtWarningMsg, "WidgetForm: no control named nothing");
    QVERIFY(!form.isChecked(QStringLiteral("nothing")));
}

void TestWidgetForm::messageLine_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<bool>("centred");
    QTest::newRow("cleared") << QStringLiteral("        ") << QColor(0, 0, 192) << false;
    QTest::newRow("failure") << QStringLiteral("No Response from Device!") << QColor(255, 0, 0) << true;
    QTest::newRow("success") << QStringLiteral("Successfully Retrieved Setup Data") << QColor(0, 0, 192)
                             << true;
}

void TestWidgetForm::messageLine() {
    QFETCH(QString, caption);
    QFETCH(QColor, color);
    QFETCH(bool, centred);
    QLabel label;
    LabelMessageLine line(label);
    line.setCaption(caption);
    line.setColor({color.red(), color.green(), color.blue()});
    line.setAlignment(centred ? MessageLine::Alignment::Center : MessageLine::Alignment::Left);
    QCOMPARE(label.text(), caption);
    QCOMPARE(line.caption(), caption);
    QCOMPARE(label.palette().color(QPalette::WindowText), color);
    QVERIFY(line.color() == (Rgb{color.red(), color.green(), color.blue()}));
    QCOMPARE(bool(label.alignment() & Qt::AlignHCenter), centred);
    QCOMPARE(bool(label.alignment() & Qt::AlignLeft), !centred);
    QCOMPARE(line.alignment(), centred ? MessageLine::Alignment::Center : MessageLine::Alignment::Left);
    // Progress marks append to whatever stands there.
    line.setCaption(line.caption() + QStringLiteral("* "));
    QCOMPARE(label.text(), caption + QStringLiteral("* "));
}

QTEST_MAIN(TestWidgetForm)
#include "test_widgetform.moc"
