// The main window's rules: how it starts (and that its headless twin starts
// the same), the connection split, the user name and password boxes, factory
// defaults, the one-operation lock and quitting.
#include <QtTest>

#include "basic/basicform.h"
#include "basic/ui/basicwindow.h"
#include "config/memoryaccess.h"
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

class TestBasicWindow : public QObject {
    Q_OBJECT
private slots:
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
        QCOMPARE(f.text("messageLabel"), "Successfully Retrieved Setup Data");
        QCOMPARE(r.directory.stub.opens, 0);
    }

    void busy() { Rig().checkBusy(); }
    void fit() { Rig().checkFit(); }

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
        r.notes->answer(yes);
        {
            std::optional<BusyScope> operation;
            if (running) operation.emplace(r.directory.context());
            if (byFrame)
                r.window.close();
            else
                QTest::mouseClick(r.w().widget("exitButton"), Qt::LeftButton);
            QCOMPARE(r.directory.context().stopRequested(), yes && running);
        }
        QCOMPARE(r.notes->questions().size(), 1u);
        QCOMPARE(quitting.count(), yes ? 1 : 0);
        QCOMPARE(r.window.isVisible(), !yes);
        QCOMPARE(r.w().text("IP(3)"), "10");
        BusyScope next(r.directory.context());  // the next operation starts without the request
        QVERIFY(!r.directory.context().stopRequested());
    }
};

QTEST_MAIN(TestBasicWindow)
#include "test_basicwindow.moc"
