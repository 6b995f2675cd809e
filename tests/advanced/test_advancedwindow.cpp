// The advanced window's rules: how it starts (and that its headless twin
// starts the same), the offset and averaging limits (in the twin too),
// factory defaults, the flag byte it holds and the one-operation lock.
#include <QRadioButton>
#include <QtTest>

#include "advanced/advancedform.h"
#include "advanced/ui/advancedwindow.h"
#include "config/ui/changemarks.h"
#include "support/faults.h"
#include "support/windows.h"

using namespace tarvelin;
using namespace tarvelin::test;
using Rig = WindowRig<AdvancedWindow>;

class TestAdvancedWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { test::failOnMissingControls(); }
    void busy() { Rig().checkBusy(); }
    void fit() { Rig().checkFit(); }

    // A store writes the values of the moment "Yes" was pressed: 5 goes out,
    // though "8" typed meanwhile makes the box 9, marked for the next store.
    void storeAsConfirmed() {
        TestNotifier notes;
        Bench bench;
        AdvancedWindow window(bench, notes);
        window.retrieveButton_Click();
        window.form().setText("MovAvgNo", "5");
        QTimer::singleShot(0, &window, [&] { QTest::keyClicks(window.widgets().widget("MovAvgNo"), "8"); });
        QCOMPARE(window.updateParameters(), Outcome::Success);
        QCOMPARE(bench.controller().memory()[632], 5);
        QCOMPARE(window.widgets().text("MovAvgNo"), "9");
        QCOMPARE(window.confirmationDetails().section('\n', -1), "A/D Moving Avg No. of pts: 5 \u2192 9");
    }

    void startUp() {
        Rig r;
        HeadlessForm twin;
        initAdvancedForm(twin);
        // The maker's identifier, "00", then two boxes for the controller's own.
        const QHash<QString, QString> special{{"MAC(5)", "02"},  {"MAC(4)", "4B"},   {"MAC(3)", "58"},
                                              {"MAC(2)", "00"},  {"MAC(1)", ""},     {"MAC(0)", ""},
                                              {"MovAvgNo", "3"}, {"PLCconfig", "00"}};
        for (const QString& name : r.w().names()) {
            LimitedLineEdit* box = r.box(name);
            if (!box) continue;
            const QString expected = special.value(name, name.startsWith("TIP") ? "" : "0");
            QCOMPARE(box->text(), expected);
            QCOMPARE(twin.text(name), expected);
            QCOMPARE(box->typingLimit(), name.startsWith("MAC") ? 2 : name.startsWith("TIP") ? 3 : 0);
            QCOMPARE(box->isReadOnly(), name.startsWith("MAC"));
        }
        QVERIFY(!r.w().isChecked("ResetPLC"));
        QCOMPARE(r.window.getPLCconfig(), 0.0);
        QVERIFY(!r.window.flagByteFromController());
        // Two pairs, "No" chosen in each; each pair on its own, and able to end
        // with neither chosen.
        for (Form* f : std::initializer_list<Form*>{&r.window.form(), &twin}) {
            QVERIFY(f->isChecked("MBtrusted(1)") && f->isChecked("Tarvelintrusted(1)"));
            f->setChecked("MBtrusted(0)", true);
            QVERIFY(!f->isChecked("MBtrusted(1)") && f->isChecked("Tarvelintrusted(1)"));
            f->setChecked("MBtrusted(0)", false);
            QVERIFY(!f->isChecked("MBtrusted(0)") && !f->isChecked("MBtrusted(1)"));
        }
        // So can option buttons that share only their parent.
        QWidget parent;
        WidgetForm loose;
        for (const char* name : {"P(0)", "P(1)"}) loose.add(name, new QRadioButton(&parent));
        loose.setChecked("P(0)", true);
        loose.setChecked("P(0)", false);
        QVERIFY(!loose.isChecked("P(0)") && !loose.isChecked("P(1)"));
        loose.setChecked("P(1)", true);
        QVERIFY(!loose.isChecked("P(0)") && loose.isChecked("P(1)"));
    }

    // `seen`: the box's texts in the order placed (typed rows: the last only).
    void limits_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("typed");
        QTest::addColumn<QStringList>("seen");
        const auto row = [](const char* name, const char* text, bool typed, QStringList seen) {
            QTest::addRow("%s '%s', %s", name, text, typed ? "typed" : "placed")
                << name << text << typed << seen;
        };
        for (bool typed : {true, false}) {
            row("ADzcal(7)", "101", typed, {"101", "100"});
            row("DAzcal(0)", "-101", typed, {"-101", "-100"});
            row("ADzcal(4)", "100", typed, {"100"});
            row("DAzcal(1)", "-100", typed, {"-100"});
            row("ADzcal(2)", "-", typed, {"-"});
            row("DAzcal(2)", "12.5", typed, {"12.5"});
            row("ADzcal(5)", "abc", typed, {"abc"});
            row("MovAvgNo", "", typed, {"", "1"});
            row("MovAvgNo", "0", typed, {"0", "1"});
            row("MovAvgNo", "1", typed, {"1"});
            row("MovAvgNo", "9", typed, {"9"});
            row("MovAvgNo", "10", typed, {"10", "9"});
            row("MovAvgNo", "x", typed, {"x", "1"});
            row("MovAvgNo", "2.5", typed, {"2.5"});
            // The gains take anything.
            row("ADmcal(0)", "99999", typed, {"99999"});
            row("DAmcal(3)", "-250", typed, {"-250"});
        }
        row("ADzcal(6)", "100.5", false, {"100.5", "100"});
        // At a limit, not beyond it: the text stays as it is.
        row("ADzcal(3)", "1e2", false, {"1e2"});
        row("DAzcal(3)", "-1e2", false, {"-1e2"});
        row("MovAvgNo", "0.5", false, {"0.5", "1"});
        row("MovAvgNo", "9.5", false, {"9.5", "9"});
        row("MovAvgNo", "-3", false, {"-3", "1"});
        // Key by key the rule runs after every key: a lone "-" or "0" is already
        // below 1 and becomes "1" before the next key lands.
        row("MovAvgNo", "-3", true, {"9"});
        row("MovAvgNo", "0.5", true, {"1.5"});
    }

    void limits() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(bool, typed);
        QFETCH(QStringList, seen);
        Rig r;
        const QString start = r.box(name)->text();
        QString others = r.boxes();
        QSignalSpy spy(r.box(name), &QLineEdit::textChanged);
        r.enter(name, text, typed);
        QCOMPARE(r.box(name)->text(), seen.last());
        // No other box moved.
        QCOMPARE(r.boxes(),
                 others.replace(" " + name + "=" + start + " ", " " + name + "=" + seen.last() + " "));
        if (typed) return;
        QCOMPARE(assignedTexts(spy), seen);
        HeadlessForm twin;
        initAdvancedForm(twin);
        twin.setRule(advancedChangeRule);
        twin.setText(name, text);
        QCOMPARE(twin.text(name), seen.last());
    }

    void factoryDefaults() {
        QTest::failOnWarning(QRegularExpression("no control named"));
        Rig r;
        Form& f = r.window.form();
        for (const QString& name : r.w().names())
            if (r.box(name)) f.setText(name, "7");
        f.setText("PLCconfig", " 22");
        f.setText("Revision", "Rev 2");
        f.setText("messageLabel", "Setup Data Stored to Device");
        f.setChecked("MBtrusted(0)", true);
        f.setChecked("Tarvelintrusted(0)", true);
        f.setChecked("ResetPLC", true);
        QTest::mouseClick(r.w().widget("DefaultButton"), Qt::LeftButton);
        // The maker's octets again, the controller's own kept; everything else 0
        // but the averaging length.
        const QHash<QString, QString> special{{"MAC(5)", "02"},  {"MAC(4)", "4B"},    {"MAC(3)", "58"},
                                              {"MAC(2)", "7"},   {"MAC(1)", "7"},     {"MAC(0)", "7"},
                                              {"MovAvgNo", "3"}, {"PLCconfig", " 22"}};
        for (const QString& name : r.w().names())
            if (r.box(name)) QCOMPARE(r.box(name)->text(), special.value(name, "0"));
        QCOMPARE(f.text("Revision"), QString());
        QVERIFY(f.isChecked("MBtrusted(1)") && f.isChecked("Tarvelintrusted(1)"));
        QVERIFY(f.isChecked("ResetPLC"));
        QCOMPARE(f.text("messageLabel"), "Setup Data Stored to Device");
        QCOMPARE(r.directory.stub.opens, 0);
    }
};

QTEST_MAIN(TestAdvancedWindow)
#include "test_advancedwindow.moc"
