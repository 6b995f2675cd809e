// The flag byte at 566 end to end: the advanced window's retrieve puts it in
// `PLCconfig`, and the main window's store builds on it through the window
// registry, on the real serial port and the simulated controller on a pty.
// (What each retrieve and store reads and writes is the fault matrix's
// business.)
#include <QTest>

#include "advanced/advancedwindow.h"
#include "app/e2efixture.h"
#include "basic/basicwindow.h"
#include "config/busy.h"
#include "config/form.h"

using tarvelin::test::EndToEnd;

class TestE2EAdvanced : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(!tarvelin::Busy::instance().active()); }
    void basicStoreAfterAdvancedRetrieveKeepsTrustBits();
};

void TestE2EAdvanced::basicStoreAfterAdvancedRetrieveKeepsTrustBits() {
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    korvex::Memory before = EndToEnd::patternImage();
    before[566] = 0xB4;  // bits 7, 5, 4, 2: both trust switches on, no password
    e2e.sim().setMemory(before);
    e2e.retrieveAdvanced();
    e2e.forget();
    e2e.basicForm().setChecked("EnablePW(0)", true);
    e2e.saveBasic(EndToEnd::Yes);
    QCOMPARE(EndToEnd::message(e2e.basic()), QStringLiteral("Setup Data Stored to Device"));
    QCOMPARE(int(e2e.memory()[566]), 0xB6);
    // The flags came from the advanced retrieve: the store does not read them again.
    const auto commands = e2e.commands();
    QCOMPARE(QString::fromStdString(commands.at(1)), QStringLiteral("MENABLE"));
    QCOMPARE(e2e.advancedForm().text("PLCconfig"), QStringLiteral(" 182"));
    // The advanced switches still show what the controller has.
    QVERIFY(e2e.advancedForm().isChecked("Tarvelintrusted(0)"));
    QVERIFY(e2e.advancedForm().isChecked("MBtrusted(0)"));
}

QTEST_MAIN(TestE2EAdvanced)
#include "test_e2e_advanced.moc"
