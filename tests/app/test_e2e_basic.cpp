// Both configuration windows end to end, with their real buttons, the
// confirmation dialog, the terminal's real serial port and the simulated
// controller on a pty: which window's store the confirmation runs, and that
// nothing starts a second operation while one runs. (What each retrieve and
// store reads and writes, on this same road, is the fault matrix's business.)
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <set>

#include "advanced/advancedwindow.h"
#include "app/confirmdialog.h"
#include "app/e2efixture.h"
#include "basic/basicwindow.h"
#include "config/busy.h"
#include "serial/serialcommwindow.h"

using korvex::Memory;
using tarvelin::test::EndToEnd;

namespace {

int occurrences(const std::vector<std::string>& commands, const std::string& command) {
    return static_cast<int>(std::count(commands.begin(), commands.end(), command));
}

// Addresses each window's store may write.
std::set<int> basicBlock() {
    std::set<int> s;
    for (int a = 520; a <= 544; ++a) s.insert(a);
    for (int a : {556, 557, 566}) s.insert(a);
    for (int a = 634; a <= 681; ++a) s.insert(a);
    return s;
}
std::set<int> advancedBlock() {
    std::set<int> s{566, 632};
    for (int a = 568; a <= 607; ++a) s.insert(a);
    for (int a = 616; a <= 623; ++a) s.insert(a);
    for (int a = 682; a <= 705; ++a) s.insert(a);
    return s;
}

}  // namespace

class TestE2EBasic : public QObject {
    Q_OBJECT
private slots:
    void init();

    void confirmationRouting_data();
    void confirmationRouting();

    // One operation at a time.
    void oneOperationAtATime_data();
    void oneOperationAtATime();
};

void TestE2EBasic::init() {
    // The running-operation lock is program-wide; nothing may leak between tests.
    QVERIFY(!tarvelin::Busy::instance().active());
}

void TestE2EBasic::confirmationRouting_data() {
    QTest::addColumn<QList<int>>("saves");  // 0 main window, 1 advanced window
    QTest::addColumn<bool>("yes");
    QTest::addColumn<int>("stored");  // -1 nothing, else the window whose block is written
    QTest::newRow("main, No: nothing sent") << QList<int>{0} << false << -1;
    QTest::newRow("main then advanced, Yes: only the advanced block") << QList<int>{0, 1} << true << 1;
    QTest::newRow("advanced then main, Yes: only the main block") << QList<int>{1, 0} << true << 0;
}

void TestE2EBasic::confirmationRouting() {
    QFETCH(QList<int>, saves);
    QFETCH(bool, yes);
    QFETCH(int, stored);
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    const Memory before = EndToEnd::patternImage();
    e2e.sim().setMemory(before);
    e2e.advanced();
    for (int window : saves) {
        if (window == 0)
            e2e.clickSaveBasic();
        else
            e2e.clickSaveAdvanced();
        QVERIFY(e2e.confirm()->isVisible());
    }
    QCOMPARE(e2e.notes().beeps(), int(saves.size()));
    QVERIFY(e2e.log().empty());  // asking sends nothing
    e2e.answer(yes ? EndToEnd::Yes : EndToEnd::No);
    QVERIFY(!e2e.confirm()->isVisible());

    if (stored < 0) {
        QVERIFY(e2e.log().empty());
        QCOMPARE(EndToEnd::differences(e2e.memory(), before), QString());
        return;
    }
    const std::set<int> block = stored == 0 ? basicBlock() : advancedBlock();
    std::set<int> written;
    for (const auto& w : e2e.writes()) written.insert(w.address);
    QCOMPARE(written, block);
    const Memory after = e2e.memory();
    for (std::size_t a = 0; a < after.size(); ++a)
        if (!block.count(static_cast<int>(a)))
            QVERIFY2(after[a] == before[a], qPrintable(QString::number(a)));
    QWidget* window = stored == 0 ? static_cast<QWidget*>(e2e.basic()) : e2e.advanced();
    QWidget* idle = stored == 0 ? static_cast<QWidget*>(e2e.advanced()) : e2e.basic();
    QCOMPARE(EndToEnd::message(window), QStringLiteral("Setup Data Stored to Device"));
    QCOMPARE(EndToEnd::message(idle), QString());
}

// ---------------------------------------------------------------- one at a time

void TestE2EBasic::oneOperationAtATime_data() {
    QTest::addColumn<int>("operation");
    QTest::newRow("main window retrieve") << 0;
    QTest::newRow("main window store") << 1;
    QTest::newRow("advanced window retrieve") << 2;
    QTest::newRow("advanced window store") << 3;
}

void TestE2EBasic::oneOperationAtATime() {
    QFETCH(int, operation);
    // A controller on a slow line, so that the operation takes real time and
    // lets events through at its progress marks while it waits.
    EndToEnd e2e(korvex::Config{}, 4800);
    QVERIFY(e2e.ready());
    tarvelin::BasicWindow* basic = e2e.basic();
    tarvelin::AdvancedWindow* advanced = e2e.advanced();
    tarvelin::ConfirmDialog* confirm = e2e.confirm();
    tarvelin::SerialCommWindow* terminal = e2e.terminal();
    auto* commandLine = terminal->findChild<QLineEdit*>(QStringLiteral("commandString"));
    QVERIFY(commandLine);

    struct Control {
        QWidget* window;
        const char* name;
    };
    const std::vector<Control> locked{{basic, "retrieveButton"},  {basic, "updateButton"},
                                      {basic, "DefaultButton"},   {advanced, "retrieveButton"},
                                      {advanced, "updateButton"}, {advanced, "DefaultButton"},
                                      {confirm, "yesButton"},     {terminal, "commandString"}};
    for (const Control& c : locked) QVERIFY2(EndToEnd::enabled(c.window, c.name), c.name);

    // Operations end early (after a dozen exchanges) to keep the test short.
    e2e.setTimeout(150);
    korvex::Faults faults;
    faults.stopAfterFramed = 12;
    e2e.setFaults(faults);

    int samples = 0;
    QStringList open;
    QTimer sampler;
    sampler.setInterval(0);
    connect(&sampler, &QTimer::timeout, this, [&] {
        if (!tarvelin::Busy::instance().active()) return;
        ++samples;
        for (const Control& c : locked)
            if (EndToEnd::enabled(c.window, c.name)) open << QString::fromLatin1(c.name);
        // What a user would try meanwhile: none of it may start anything.
        if (samples == 2) {
            EndToEnd::click(basic, "retrieveButton");
            EndToEnd::click(advanced, "retrieveButton");
            EndToEnd::click(basic, "updateButton");
            EndToEnd::click(confirm, "yesButton");
            commandLine->setFocus();
            QTest::keyClicks(commandLine, QStringLiteral("IR*"));
            QTest::keyClick(commandLine, Qt::Key_Return);
        }
    });

    confirm->show();  // up for the retrieves too: its Yes must wait as well
    if (operation == 1) e2e.clickSaveBasic();
    if (operation == 3) e2e.clickSaveAdvanced();
    e2e.notes().clear();
    sampler.start();
    if (operation == 0)
        e2e.retrieveBasic();
    else if (operation == 2)
        e2e.retrieveAdvanced();
    else
        e2e.answer(EndToEnd::Yes);
    sampler.stop();

    QVERIFY2(samples >= 2, "the operation never let events through");
    QVERIFY2(open.isEmpty(), qPrintable(QStringLiteral("usable while running: ") + open.join(", ")));
    // One identification: no second operation started, nothing typed was sent.
    const auto commands = e2e.commands();
    QCOMPARE(occurrences(commands, "IR*"), 1);
    QCOMPARE(e2e.notes().beeps(), 1);  // the missing reply; the locked Save did not beep
    for (const Control& c : locked) QVERIFY2(EndToEnd::enabled(c.window, c.name), c.name);
    QVERIFY(!tarvelin::Busy::instance().active());
}

QTEST_MAIN(TestE2EBasic)
#include "test_e2e_basic.moc"
