// The main window's rules: how it starts (and that its headless twin starts
// the same), the connection split, the user name and password boxes, factory
// defaults, the one-operation lock and quitting; the marks of changed values,
// refusals at their box, whole addresses, and a store that writes what was
// confirmed.
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "basic/basicform.h"
#include "basic/ui/basicwindow.h"
#include "config/memoryaccess.h"
#include "config/ui/changemarks.h"
#include "config/ui/widgetform.h"
#include "support/faults.h"
#include "support/files.h"
#include "support/oracle.h"
#include "support/windows.h"

using namespace tarvelin;
using namespace tarvelin::test;
using Rig = WindowRig<BasicWindow>;
using L = QStringList;

namespace {

// A text put into one of the two count boxes, and the texts each box took on
// in turn (both start at "3").
struct Split {
    QString target;
    QString text;
    L tarvelin;
    L mbtcp;
};

// A text the program puts in, keys typed at its end ("\b": Backspace), what
// the box shows then, and what it keeps once it lost the focus.
struct Typing {
    QString name;
    QString placed;
    QString keys;
    QString shown;
    QString kept;
};

const QString kStartUp =
    "IP(3)= IP(2)= IP(1)= IP(0)= subnet(3)=255 subnet(2)=255 subnet(1)=255 subnet(0)=0 gateway(3)=192 "
    "gateway(2)=168 gateway(1)=1 gateway(0)=1 smtp(3)= smtp(2)= smtp(1)= smtp(0)= DNS(3)= DNS(2)= DNS(1)= "
    "DNS(0)= svrport=9080 hostName=Tarvelin MBtcpPort=502 No_of_Tarvelin=3 No_of_MBtcp=3 username= password= "
    "commport=COM5";

}  // namespace

Q_DECLARE_METATYPE(Split)
Q_DECLARE_METATYPE(Typing)

namespace {

enum class Edit { Type, Rule, Pair, Profile, Defaults, Revert };

// The controls marked as changed, and that each says so to a screen reader.
QString markedControls(Rig& r) {
    QStringList out;
    for (const QString& name : r.w().names()) {
        QWidget* w = r.w().widget(name);
        const bool mark = w->accessibleName().endsWith(", changed");
        auto* ear = w->findChild<QWidget*>("changeMark", Qt::FindDirectChildrenOnly);
        if (mark != (ear && !ear->isHidden()) || w->accessibleDescription() != name)
            return "mismatch at " + name;
        if (mark) out << name;
    }
    return out.join(' ');
}

// Types key by key into whichever box has the focus.
void typeAlong(Rig& r, const QString& keys) {
    for (QChar key : keys) QTest::keyClicks(r.window.focusWidget(), QString(key));
}

}  // namespace

class TestBasicWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { test::failOnMissingControls(); }
    void startUp() {
        Rig r;
        QCOMPARE(r.boxes(), kStartUp);
        L limits;
        for (const QString& name : r.w().names())
            if (r.box(name) && r.box(name)->typingLimit() > 0)
                limits << name + '/' + QString::number(r.box(name)->typingLimit());
        QCOMPARE(limits.join(' '),
                 "IP(3)/3 IP(2)/3 IP(1)/3 IP(0)/3 hostName/16 No_of_Tarvelin/1 No_of_MBtcp/1 username/16 "
                 "password/16");
        QVERIFY(r.box("commport")->isReadOnly());
        for (const char* name : {"EnablePW(0)", "EnablePW(1)", "ResetPLC"}) QVERIFY(!r.w().isChecked(name));
        QCOMPARE(r.w().selectedIndex("AccessLevel"), -1);
        QVERIFY(!r.w().get<QComboBox>("AccessLevel")->isEditable());  // chosen, never typed
        QCOMPARE(r.w().text("version"), "");
        // The form retrieve and store run on without the window starts alike
        // (the port it does not show aside).
        HeadlessForm twin;
        initBasicForm(twin);
        for (const QString& name : r.w().names())
            if (r.box(name) && name != "commport") QCOMPARE(twin.text(name), r.box(name)->text());
        QCOMPARE(twin.selectedIndex("AccessLevel"), -1);
    }

    // Typed over the whole box (empty: Backspace) or placed by the program;
    // what is placed is placed in the headless twin too.
    void connectionSplit_data() {
        QTest::addColumn<Split>("s");
        QTest::addColumn<bool>("typed");
        const QString T = "No_of_Tarvelin", M = "No_of_MBtcp";
        for (bool typed : {true, false}) {
            const char* how = typed ? "typed" : "placed";
            QTest::addRow("empty Tarvelin, %s", how) << Split{T, "", {"", "0", "1"}, {"5"}} << typed;
            QTest::addRow("letter in MBtcp, %s", how) << Split{M, "x", {"4"}, {"x", "0", "2"}} << typed;
            QTest::addRow("4 in Tarvelin, %s", how) << Split{T, "4", {"4"}, {"2"}} << typed;
            QTest::addRow("7 in MBtcp, %s", how) << Split{M, "7", {"1"}, {"7", "5"}} << typed;
            QTest::addRow("0 in Tarvelin, %s", how) << Split{T, "0", {"0", "1"}, {"5"}} << typed;
        }
        // Typing over a selection changes the text; placing the same text does not.
        QTest::newRow("same text, typed") << Split{T, "3", {"3"}, {}} << true;
        QTest::newRow("same text, placed") << Split{T, "3", {}, {}} << false;
        QTest::newRow("blank and digit") << Split{T, " 2", {" 2", "2"}, {"4"}} << false;
        QTest::newRow("fraction") << Split{T, "2.5", {"2.5"}, {"3.5"}} << false;
        QTest::newRow("two digits") << Split{M, "12", {"1"}, {"12", "5"}} << false;
        QTest::newRow("negative") << Split{M, "-4", {"4"}, {"-4", "2"}} << false;
        QTest::newRow("exponent") << Split{T, "1e1", {"1e1", "10", "4"}, {"2"}} << false;
    }
    void connectionSplit() {
        QFETCH(Split, s);
        QFETCH(bool, typed);
        Rig r;
        QSignalSpy tarvelinSpy(r.box("No_of_Tarvelin"), &QLineEdit::textChanged);
        QSignalSpy mbtcpSpy(r.box("No_of_MBtcp"), &QLineEdit::textChanged);
        r.enter(s.target, s.text, typed);
        QCOMPARE(assignedTexts(tarvelinSpy), s.tarvelin);
        QCOMPARE(assignedTexts(mbtcpSpy), s.mbtcp);
        const QString T = s.tarvelin.isEmpty() ? "3" : s.tarvelin.last();
        const QString M = s.mbtcp.isEmpty() ? "3" : s.mbtcp.last();
        QCOMPARE(r.w().text("No_of_Tarvelin") + r.w().text("No_of_MBtcp"), T + M);
        if (typed) return;
        HeadlessForm twin;
        initBasicForm(twin);
        twin.setRule(basicChangeRule);
        twin.setText(s.target, s.text);
        QCOMPARE(twin.text("No_of_Tarvelin") + twin.text("No_of_MBtcp"), T + M);
    }

    void typing_data() {
        QTest::addColumn<Typing>("t");
        const QString p16 = "abcdefghijklmnop", p20 = p16 + "qrst";
        const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E");  // two code units
        QTest::newRow("password, shown as stars") << Typing{"password", p16 + "q", "", p16 + "q", p16};
        QTest::newRow("blanks count")
            << Typing{"username", "  name with blanks  ", "", "  name with blanks  ", "  name with blan"};
        QTest::newRow("a character is not split")
            << Typing{"username", p16.left(15) + clef + "x", "", p16.left(15) + clef + "x", p16.left(15)};
        QTest::newRow("typing stops at 16") << Typing{"username", "", p20, p16, p16};
        QTest::newRow("a long text shrinks, never grows")
            << Typing{"username", p20, "\bZ", p20.left(19), p16};
        QTest::newRow("octet: typing stops at 3") << Typing{"IP(3)", "", "1234", "123", "123"};
        QTest::newRow("octet: a placed text stays whole") << Typing{"IP(3)", "1234", "", "1234", "1234"};
    }
    void typing() {
        QFETCH(Typing, t);
        Rig r;
        r.window.form().setText(t.name, t.placed);
        r.box(t.name)->end(false);
        QTest::keyClicks(r.box(t.name), t.keys);
        QCOMPARE(r.box(t.name)->text(), t.shown);
        QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(r.box(t.name), &leave);
        QCOMPARE(r.box(t.name)->text(), t.kept);
        if (t.name == "password") QCOMPARE(r.box(t.name)->displayText(), QString(t.kept.size(), '*'));
    }

    void factoryDefaults() {
        Rig r;
        Form& f = r.window.form();
        for (const QString& name : r.w().names())
            if (r.box(name)) f.setText(name, "7");
        f.setChecked("EnablePW(0)", true);
        f.setSelectedIndex("AccessLevel", 2);
        f.setChecked("ResetPLC", true);
        f.setText("version", "KRVX-E1.07");
        f.setText("messageLabel", "Successfully Retrieved Setup Data");
        QTest::mouseClick(r.w().widget("DefaultButton"), Qt::LeftButton);
        QCOMPARE(r.boxes(), QString(kStartUp)
                                .replace("IP(3)= IP(2)= IP(1)= IP(0)=", "IP(3)=192 IP(2)=168 IP(1)=1 IP(0)=5")
                                .replace(QRegularExpression("(smtp|DNS)(\\(\\d\\))="), "\\1\\2=0")
                                .replace("COM5", "7"));
        QVERIFY(!f.isChecked("EnablePW(0)") && f.isChecked("EnablePW(1)"));
        QCOMPARE(f.text("AccessLevel"), "1 - Programmer");
        QCOMPARE(f.text("version"), "");
        // Left alone, and the port not even asked for.
        QVERIFY(f.isChecked("ResetPLC"));
        f.setChecked("ResetPLC", false);  // a check box the form clears
        QVERIFY(!f.isChecked("ResetPLC"));
        f.setChecked("EnablePW(1)", false);  // an option pair cleared stays a pair
        f.setChecked("EnablePW(0)", true);
        f.setChecked("EnablePW(1)", true);
        QVERIFY(!f.isChecked("EnablePW(0)"));
        QCOMPARE(f.text("messageLabel"), "Successfully Retrieved Setup Data");
        QCOMPARE(r.directory.stub.opens, 0);
    }

    // The form over every kind of control a window may name: what a text, a
    // choice and a tick are for each.
    void formOverEveryKind() {
        QWidget host;
        WidgetForm form;
        auto* fixed = new QComboBox(&host);
        fixed->addItems({"1", "2", "3"});
        auto* editable = new QComboBox(&host);
        editable->setEditable(true);
        editable->addItems({"1200", "9600"});
        form.add("plain", new QLineEdit(&host));
        form.add("label", new QLabel(&host));
        form.add("fixed", fixed);
        form.add("editable", editable);
        form.add("button", new QPushButton(QStringLiteral("Retrieve"), &host));
        form.add("tick", new QCheckBox(&host));
        form.add("frame", new QFrame(&host));
        // control, text put in, text read back, choice read back
        const std::tuple<const char*, QString, QString, int> rows[] = {{"plain", "Press 7", "Press 7", -1},
                                                                       {"label", "Ready", "Ready", -1},
                                                                       {"fixed", "2", "2", 1},
                                                                       {"fixed", "7", "", -1},
                                                                       {"editable", "4800", "4800", 1},
                                                                       {"button", "Store", "Store", -1},
                                                                       {"frame", "anything", "", -1}};
        editable->setCurrentIndex(1);
        for (const auto& [name, put, read, choice] : rows) {
            form.setText(name, put);
            QCOMPARE(form.text(name), read);
            QCOMPARE(form.selectedIndex(name), choice);
        }
        form.setChecked("tick", true);
        form.setChecked("frame", true);
        QVERIFY(form.isChecked("tick") && !form.isChecked("frame") && !form.isChecked("button"));
    }

    // A new typing limit leaves the text, the selection (either way round)
    // and the cursor as they were.
    void limitKeepsTheSelection() {
        for (const bool backwards : {true, false}) {
            LimitedLineEdit box;
            box.setText(QStringLiteral("Tarvelin-Press-7"));
            if (backwards)
                box.setSelection(16, -8);
            else
                box.setSelection(8, 8);
            const int cursor = box.cursorPosition();
            box.setTypingLimit(4);
            QCOMPARE(box.text(), QStringLiteral("Tarvelin-Press-7"));
            QCOMPARE(box.selectedText(), QStringLiteral("-Press-7"));
            QCOMPARE(box.cursorPosition(), cursor);
            box.deselect();
            box.setCursorPosition(3);
            box.setTypingLimit(8);
            QCOMPARE(box.cursorPosition(), 3);
            QTest::keyClick(&box, Qt::Key_X);  // no longer than it is
            QCOMPARE(box.text(), QStringLiteral("Tarvelin-Press-7"));
        }
    }

    void busy() { Rig().checkBusy(); }
    void fit() { Rig().checkFit(); }

    // After the window kept the factory set-up as read, one change; the marked
    // controls and the confirmation's list.
    void marks_data() {
        QTest::addColumn<int>("edit");
        QTest::addColumn<QString>("marked");
        QTest::addColumn<QString>("listed");
        const auto row = [](const char* name, Edit edit, const char* marked, const char* listed) {
            QTest::newRow(name) << int(edit) << QString(marked) << QString(listed);
        };
        row("typed, read leniently", Edit::Type, "IP(0)", "IP Address, octet 4: 5 \u2192 7x (stored as 7)");
        row("the split rule", Edit::Rule, "No_of_MBtcp", "No of Connections (MBTCP): 3 \u2192 2");
        row("an option pair and the level", Edit::Pair, "EnablePW(0) EnablePW(1) AccessLevel",
            "Access Level: 1 \u2192 3\nUse Username/Password: No \u2192 Yes");
        row("Load Profile", Edit::Profile, "hostName", "Node Name: Tarvelin \u2192 Press 7");
        row("Factory Default", Edit::Defaults, "svrport", "Tarvelin Port: 81 \u2192 9080");
        row("Revert", Edit::Revert, "", "No value differs from those read.");
    }
    void marks() {
        QFETCH(int, edit);
        QFETCH(QString, marked);
        QFETCH(QString, listed);
        Rig r;
        QTemporaryDir dir;
        QTest::mouseClick(r.w().widget("DefaultButton"), Qt::LeftButton);
        if (Edit(edit) == Edit::Defaults) r.window.form().setText("svrport", "81");
        r.window.marks().keep(r.window.form(), true);
        QCOMPARE(markedControls(r), "");
        switch (Edit(edit)) {
            case Edit::Revert:
                r.enter("hostName", "Press 7", true);
                r.window.form().setChecked("EnablePW(0)", true);
                QVERIFY(r.w().widget("RevertButton")->isEnabled());
                QTest::mouseClick(r.w().widget("RevertButton"), Qt::LeftButton);
                break;
            case Edit::Type:
                r.enter("IP(0)", "7x", true);
                break;
            case Edit::Rule:
                r.enter("No_of_Tarvelin", "4", true);
                break;
            case Edit::Pair:
                r.window.form().setChecked("EnablePW(0)", true);
                r.window.form().setSelectedIndex("AccessLevel", 2);
                break;
            case Edit::Profile:
                QVERIFY(writeAll(dir.filePath("p.json"), R"({"format": "tarvelin-configuration-profile",
                    "version": 1, "basic": {"hostName": "Press 7"}})"));
                r.notes.answerFile(dir.filePath("p.json"));
                QTest::mouseClick(r.w().widget("LoadProfile"), Qt::LeftButton);
                break;
            case Edit::Defaults:
                QTest::mouseClick(r.w().widget("DefaultButton"), Qt::LeftButton);
                break;
        }
        QCOMPARE(markedControls(r), marked);
        QCOMPARE(r.window.confirmationDetails().section('\n', -1 - int(listed.count('\n'))), listed);
        QCOMPARE(r.w().widget("RevertButton")->isEnabled(), !marked.isEmpty());
        QCOMPARE(r.w().text("valuesNote").isEmpty(), marked.isEmpty());
    }

    // Nothing read yet, or a retrieve that failed: the window and the
    // confirmation say that the boxes do not hold the controller's values.
    void notRead() {
        Rig r;
        QVERIFY(r.window.confirmationDetails().startsWith("No values were read from this controller (COM5)"));
        r.window.marks().keep(r.window.form(), true);
        QCOMPARE(r.w().text("valuesNote"), "");
        QTest::mouseClick(r.w().widget("retrieveButton"), Qt::LeftButton);
        QCOMPARE(r.w().text("valuesNote"), "Values not read from the controller");
        QVERIFY(r.window.confirmationDetails().startsWith("No values were read"));
    }

    // A profile loaded before anything was read is what the marks measure against.
    void profileBeforeRead() {
        Rig r;
        QTest::mouseClick(r.w().widget("LoadProfile"), Qt::LeftButton);  // the dialog cancelled
        QVERIFY(!r.window.marks().kept());
        QTemporaryDir dir;
        QVERIFY(writeAll(dir.filePath("bad.json"), "{nope"));
        r.notes.answerFile(dir.filePath("bad.json"));
        QTest::mouseClick(r.w().widget("LoadProfile"), Qt::LeftButton);  // refused: nothing loaded
        QVERIFY(!r.window.marks().kept());
        QCOMPARE(r.notes.boxes().size(), 1u);

        QVERIFY(writeAll(dir.filePath("p.json"), R"({"format": "tarvelin-configuration-profile",
            "version": 1, "basic": {"hostName": "Press 7"}})"));
        r.notes.answerFile(dir.filePath("p.json"));
        QTest::mouseClick(r.w().widget("LoadProfile"), Qt::LeftButton);
        QCOMPARE(r.w().text("hostName"), "Press 7");
        QCOMPARE(markedControls(r), "");
        r.enter("hostName", "Press 8", true);
        QCOMPARE(markedControls(r), "hostName");
        QCOMPARE(r.window.confirmationDetails().section('\n', -2),
                 "Changes (value loaded \u2192 value written):\nNode Name: Press 7 \u2192 Press 8");
    }

    // A value that cannot be stored: refused before the port is asked for,
    // its box framed and focused until it holds a value that fits.
    void refusals_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, const char* box, const char* text, const char* message) {
            QTest::newRow(name) << QString(box) << QString(text) << QString(message);
        };
        row("octet", "IP(2)", "300", "IP Address: 300 is not between 0 and 255");
        row("port", "svrport", "70000", "Tarvelin Port: 70000 is not between 0 and 65535");
        row("text", "hostName", "\u20ac",
            "Node Name: the character '\u20ac' cannot be stored (single-byte characters only)");
    }
    void refusals() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, message);
        Rig r;
        r.window.form().setText(name, text);
        QCOMPARE(r.window.updateParameters(), Outcome::Refused);
        QCOMPARE(r.w().text("messageLabel"), message);
        QCOMPARE(r.directory.stub.opens, 0);
        QCOMPARE(r.window.focusWidget(), r.w().widget(name));
        QCOMPARE(r.window.marks().refused(), name);
        const auto framed = [&] {
            auto* mark = r.w().widget(name)->findChild<QWidget*>("changeMark", Qt::FindDirectChildrenOnly);
            return mark && !mark->isHidden();
        };
        QVERIFY(framed());
        r.window.form().setText(name, text + text);  // still no value a store takes
        QCOMPARE(r.window.marks().refused(), name);
        QVERIFY(framed());
        r.window.form().setText(name, "1");
        QCOMPARE(r.window.marks().refused(), "");
        QVERIFY(!framed());
    }

    // Pasted or typed into one box of a dotted address (after the factory
    // set-up, 192.168.1.5); a paste that is no address changes nothing and beeps.
    void addresses_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("typed");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char* name, const char* box, bool typed, const char* text,
                            const char* shown) {
            QTest::newRow(name) << QString(box) << typed << QString(text) << QString(shown);
        };
        row("pasted", "IP(3)", false, "10.0.0.9", "10 0 0 9");
        row("pasted into the third box", "IP(1)", false, "10.0.0.9", "10 0 0 9");
        row("with blanks", "IP(0)", false, " 10 . 20.30. 40\n", "10 20 30 40");
        row("too many parts", "IP(3)", false, "1.2.3.4.5", "192 168 1 5");
        row("too few parts", "IP(3)", false, "10.0", "192 168 1 5");
        row("above 255", "IP(2)", false, "10.0.0.300", "192 168 1 5");
        row("not a number", "IP(2)", false, "10.x.0.3", "192 168 1 5");
        row("typed over", "IP(3)", true, "10.0.0.9", "10 0 0 9");
        row("typed, full boxes", "IP(3)", true, "172.161.100.254", "172 161 100 254");
        row("typed, in the last box", "IP(0)", true, "7.8", "192 168 1 78");
    }
    void addresses() {
        QFETCH(QString, box);
        QFETCH(bool, typed);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        Rig r;
        QTest::mouseClick(r.w().widget("DefaultButton"), Qt::LeftButton);
        r.box(box)->setFocus();
        r.box(box)->selectAll();
        if (typed) {
            typeAlong(r, text);
        } else {
            QGuiApplication::clipboard()->setText(text);
            r.box(box)->paste();
        }
        QStringList octets;
        for (int i = 3; i >= 0; --i) octets << r.w().text(member("IP", i));
        QCOMPARE(octets.join(' '), shown);
        QCOMPARE(r.notes.beeps(), shown == "192 168 1 5" ? 1 : 0);
    }

    // What is typed while a retrieve runs is marked against what was read.
    void editDuringRetrieve() {
        TestNotifier notes;
        Bench bench;
        BasicWindow window(bench, notes);
        QTimer typing;
        connect(&typing, &QTimer::timeout, [&] { window.form().setText("IP(3)", "99"); });
        typing.start(0);
        window.retrieveButton_Click();
        QCOMPARE(window.widgets().text("messageLabel"), "Successfully Retrieved Setup Data");
        // The split rule's 5 for the 171 connections read is a change as well.
        QStringList changes;
        for (const Change& change : window.marks().changes()) changes << change.key + '=' + change.after;
        QCOMPARE(changes.join(' '), "IP(3)=99 No_of_MBtcp=5");
        // The confirmation names where the values came from, and a port chosen since.
        const QString from = "To /dev/scripted-line, station 1, where the values were read.";
        QCOMPARE(window.confirmationDetails().section('\n', 0, 0), from);
        QVERIFY(!window.confirmationDetails().contains("The port chosen now"));
        bench.lineTerminal.choice().portText = "COM3";
        QCOMPARE(window.confirmationDetails().section('\n', 0, 1), from + "\nThe port chosen now is COM3.");
    }

    // A store writes the values of the moment "Yes" was pressed, the reboot
    // tick included; what is typed or pasted meanwhile stays in the boxes,
    // marked for the next store. Quitting meanwhile says that a store runs.
    void storeAsConfirmed_data() {
        QTest::addColumn<QString>("during");  // "name=text" placed, or "ResetPLC", or "quit"
        QTest::addColumn<QString>("after");   // the node name in the window then
        for (const auto& [name, during, after] :
             {std::tuple{"typed", "hostName=ConfirmedXY", "ConfirmedXY"},
              {"a character that cannot be stored", "hostName=Confirmed\u20ac", "Confirmed\u20ac"},
              {"reboot ticked", "ResetPLC", "Confirmed"},
              {"quit", "quit", "Confirmed"}})
            QTest::newRow(name) << QString(during) << QString(after);
    }
    void storeAsConfirmed() {
        QFETCH(QString, during);
        QFETCH(QString, after);
        TestNotifier notes;
        Bench bench;
        BasicWindow window(bench, notes);
        window.retrieveButton_Click();
        QCOMPARE(window.widgets().text("messageLabel"), "Successfully Retrieved Setup Data");
        window.form().setText("hostName", "Confirmed");
        notes.answerYes();
        QTimer::singleShot(0, &window, [&] {
            if (during == "ResetPLC") return window.form().setChecked("ResetPLC", true);
            if (during == "quit") return void(window.close());
            window.form().setText(during.section('=', 0, 0), during.section('=', 1));
        });
        const Outcome outcome = window.updateParameters();
        const bool quit = during == "quit";
        QCOMPARE(outcome, quit ? Outcome::Interrupted : Outcome::Success);
        QCOMPARE(window.widgets().text("messageLabel"),
                 quit ? "The store stopped before the end: the controller may hold part of the new values"
                      : "Setup Data Stored to Device");
        const auto& memory = bench.controller().memory();
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(&memory[666]), 10),
                 quit ? QByteArray(reinterpret_cast<const char*>(&distinctiveImage()[666]), 10)
                      : QByteArray("Confirmed\0", 10));
        QCOMPARE(bench.controller().rebootCount(), 0);
        QCOMPARE(window.widgets().text("hostName"), after);
        QCOMPARE(window.marks().changes().size(), (after != "Confirmed") + 2u * quit);
        QCOMPARE(notes.questions().size(), quit ? 1u : 0u);
        if (quit) QVERIFY(notes.questions().front().text.endsWith(kQuitDuringStoreNote));
    }

    // Exit or the frame asks; Yes ends the program (and asks a running
    // retrieve or store to stop at its next exchange), No keeps everything.
    void quit_data() {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("byFrame");
        QTest::addColumn<bool>("running");
        QTest::newRow("Exit, No") << false << false << false;
        QTest::newRow("frame, Yes") << true << true << false;
        QTest::newRow("Exit, Yes, while an operation runs") << true << false << true;
        QTest::newRow("frame, No, while an operation runs") << false << true << true;
    }
    void quit() {
        QFETCH(bool, yes);
        QFETCH(bool, byFrame);
        QFETCH(bool, running);
        Rig r;
        r.window.show();
        r.window.form().setText("IP(3)", "10");
        QSignalSpy quitting(&r.window, &BasicWindow::quitRequested);
        r.notes.answer(yes);
        {
            std::optional<BusyScope> operation;
            if (running) operation.emplace(r.directory.context());
            if (byFrame)
                r.window.close();
            else
                QTest::mouseClick(r.w().widget("exitButton"), Qt::LeftButton);
            QCOMPARE(r.directory.context().stopRequested(), yes && running);
        }
        QCOMPARE(r.notes.questions().size(), 1u);
        QCOMPARE(quitting.count(), yes ? 1 : 0);
        QCOMPARE(r.window.isVisible(), !yes);
        QCOMPARE(r.w().text("IP(3)"), "10");
        BusyScope next(r.directory.context());  // the next operation starts without the request
        QVERIFY(!r.directory.context().stopRequested());
    }
};

QTEST_MAIN(TestBasicWindow)
#include "test_basicwindow.moc"
