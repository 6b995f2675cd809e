// The main window end to end: its real buttons, the confirmation dialog, the
// terminal's real serial port and the simulated controller on a pty.
//
// The core tests drive the same retrieve and store on a scripted line; here
// the point is that the windows, the port and the controller work together:
// what the controller holds reaches the boxes, what the boxes hold reaches the
// controller's memory (and nothing else does), in the order the controller is
// meant to see it.
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
#include "config/form.h"
#include "serial/serialcommwindow.h"

using korvex::Memory;
using tarvelin::Form;
using tarvelin::test::EndToEnd;

namespace {

// Command lists as text, so that a failed comparison shows them.
QStringList texts(const std::vector<std::string>& commands) {
    QStringList out;
    for (const std::string& c : commands) out << QString::fromStdString(c);
    return out;
}

int occurrences(const std::vector<std::string>& commands, const std::string& command) {
    return static_cast<int>(std::count(commands.begin(), commands.end(), command));
}

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 192);

// The network block of the main window, in the order the controller sees it
// on both retrieve and store (the SMTP server travels before the DNS server).
const int kOctetOrder[] = {524, 525, 526, 527, 528, 529, 530, 531, 532, 533,
                           534, 535, 540, 541, 542, 543, 536, 537, 538, 539};

std::vector<std::string> retrieveOrder() {
    std::vector<std::string> order{"IR*", "VM*"};
    for (int a : kOctetOrder) order.push_back(EndToEnd::mr(a));
    for (int a : {520, 521, 522, 523, 544}) order.push_back(EndToEnd::mr(a));
    for (int a = 634; a <= 665; ++a) order.push_back(EndToEnd::mr(a));  // user name, password
    for (int a : {556, 566}) order.push_back(EndToEnd::mr(a));
    for (int a = 666; a <= 681; ++a) order.push_back(EndToEnd::mr(a));
    return order;
}

// The writes of a whole store, with the values the model memory holds there.
std::vector<std::string> storeWrites(const Memory& model) {
    std::vector<std::string> order;
    auto w = [&](int a) { order.push_back(EndToEnd::mw(a, model[static_cast<std::size_t>(a)])); };
    for (int a : kOctetOrder) w(a);
    for (int a : {520, 521, 522, 523, 544}) w(a);
    for (int a = 634; a <= 665; ++a) w(a);
    for (int a : {556, 557, 566}) w(a);
    for (int a = 666; a <= 681; ++a) w(a);
    return order;
}

// A controller whose basic block differs from the factory set-up in every
// field, and from its neighbours everywhere else.
Memory distinctiveImage() {
    Memory m = EndToEnd::patternImage();
    EndToEnd::put(m, 524, {10, 20, 30, 40});    // IP
    EndToEnd::put(m, 528, {255, 255, 240, 0});  // subnet
    EndToEnd::put(m, 532, {10, 20, 0, 1});      // gateway
    EndToEnd::put(m, 536, {8, 8, 4, 4});        // DNS
    EndToEnd::put(m, 540, {172, 16, 5, 25});    // SMTP
    EndToEnd::put(m, 520, {0x1F, 0x90});        // 8080
    EndToEnd::put(m, 522, {0x01, 0xF7});        // 503
    EndToEnd::put(m, 544, {4});
    EndToEnd::put(m, 556, {50, 0});  // "2 - User", and the zero byte after it
    EndToEnd::put(m, 566, {0x16});   // password in use, both trust bits
    EndToEnd::putText(m, 634, "operator7");
    EndToEnd::putText(m, 650, "s3cret!");
    EndToEnd::putText(m, 666, "Press-Line-04");
    return m;
}

// A second set of values, for telling which controls a failed retrieve reached.
Memory otherImage() {
    Memory m = EndToEnd::patternImage();
    EndToEnd::put(m, 524, {11, 21, 31, 41});
    EndToEnd::put(m, 528, {255, 255, 255, 128});
    EndToEnd::put(m, 532, {11, 21, 0, 254});
    EndToEnd::put(m, 536, {9, 9, 9, 9});
    EndToEnd::put(m, 540, {173, 17, 6, 26});
    EndToEnd::put(m, 520, {0x00, 0x50});  // 80
    EndToEnd::put(m, 522, {0x01, 0xF8});  // 504
    EndToEnd::put(m, 544, {3});
    EndToEnd::put(m, 556, {51, 0});
    EndToEnd::put(m, 566, {0x00});
    EndToEnd::putText(m, 634, "guest");
    EndToEnd::putText(m, 650, "hunter2");
    EndToEnd::putText(m, 666, "Mixer");
    return m;
}

// Reads a control the way its kind is read: the text of a box, the position
// of the access level list, "checked"/"clear" for a choice.
QString shown(Form& form, const QString& control) {
    if (control == QLatin1String("AccessLevel")) return QString::number(form.selectedIndex(control));
    if (control.startsWith(QLatin1String("EnablePW")) || control == QLatin1String("ResetPLC"))
        return form.isChecked(control) ? QStringLiteral("checked") : QStringLiteral("clear");
    return form.text(control);
}

// What the main window shows after a retrieve of distinctiveImage() (first
// value) or of otherImage() (second value).
struct Shown {
    const char* control;
    const char* distinctive;
    const char* other;
};
const Shown kShown[] = {
    {"IP(3)", "10", "11"},
    {"IP(2)", "20", "21"},
    {"IP(1)", "30", "31"},
    {"IP(0)", "40", "41"},
    {"subnet(3)", "255", "255"},
    {"subnet(2)", "255", "255"},
    {"subnet(1)", "240", "255"},
    {"subnet(0)", "0", "128"},
    {"gateway(3)", "10", "11"},
    {"gateway(2)", "20", "21"},
    {"gateway(1)", "0", "0"},
    {"gateway(0)", "1", "254"},
    {"smtp(3)", "172", "173"},
    {"smtp(2)", "16", "17"},
    {"smtp(1)", "5", "6"},
    {"smtp(0)", "25", "26"},
    {"DNS(3)", "8", "9"},
    {"DNS(2)", "8", "9"},
    {"DNS(1)", "4", "9"},
    {"DNS(0)", "4", "9"},
    {"svrport", " 8080", " 80"},
    {"MBtcpPort", " 503", " 504"},
    {"No_of_MBtcp", "4", "3"},
    {"No_of_Tarvelin", "2", "3"},
    {"username", "operator7", "guest"},
    {"password", "s3cret!", "hunter2"},
    {"AccessLevel", "1", "2"},
    {"EnablePW(0)", "checked", "clear"},
    {"EnablePW(1)", "clear", "checked"},
    {"hostName", "Press-Line-04", "Mixer"},
    {"version", "KRVX-E1.07", "KRVX-E1.07"},
};

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

// Fills every box of the main window by program (as a user would type them).
void fillBasic(Form& f) {
    const char* ip[] = {"192", "168", "1", "5"};
    const char* subnet[] = {"255", "255", "255", "0"};
    const char* gateway[] = {"192", "168", "1", "1"};
    const char* smtp[] = {"10", "0", "0", "25"};
    const char* dns[] = {"1", "0", "0", "1"};
    for (int i = 0; i < 4; ++i) {
        f.setText(tarvelin::member("IP", 3 - i), ip[i]);
        f.setText(tarvelin::member("subnet", 3 - i), subnet[i]);
        f.setText(tarvelin::member("gateway", 3 - i), gateway[i]);
        f.setText(tarvelin::member("smtp", 3 - i), smtp[i]);
        f.setText(tarvelin::member("DNS", 3 - i), dns[i]);
    }
    f.setText("svrport", "9080");
    f.setText("MBtcpPort", "502");
    f.setText("No_of_MBtcp", "5");
    f.setText("hostName", "Line-7");
}

// The bytes fillBasic() stands for (the credentials, access level and flags
// are each test's own).
void putFilled(Memory& m) {
    EndToEnd::put(m, 524, {192, 168, 1, 5});
    EndToEnd::put(m, 528, {255, 255, 255, 0});
    EndToEnd::put(m, 532, {192, 168, 1, 1});
    EndToEnd::put(m, 540, {10, 0, 0, 25});
    EndToEnd::put(m, 536, {1, 0, 0, 1});
    EndToEnd::put(m, 520, {35, 120});
    EndToEnd::put(m, 522, {1, 246});
    EndToEnd::put(m, 544, {5});
    EndToEnd::putText(m, 666, "Line-7");
}

QByteArray sixteen(const QByteArray& text) {
    QByteArray bytes = text.left(16);
    bytes.append(QByteArray(16 - bytes.size(), '\0'));
    return bytes;
}

}  // namespace

class TestE2EBasic : public QObject {
    Q_OBJECT
private slots:
    void init();

    // Retrieve.
    void retrieveFillsEveryControl_data();
    void retrieveFillsEveryControl();
    void retrieveWireOrderAndMessage();
    void retrieveWithoutVersionReply();
    void retrieveStopsAtTheFailingRead_data();
    void retrieveStopsAtTheFailingRead();
    void accessLevelByte_data();
    void accessLevelByte();
    void flagByteChoosesPasswordUse_data();
    void flagByteChoosesPasswordUse();
    void shortUserName();
    void highPortsShownAsSuch_data();
    void highPortsShownAsSuch();

    // Store.
    void storeWritesExactlyTheBlock_data();
    void storeWritesExactlyTheBlock();
    void storeStopsAtTheFailingWrite();
    void rebootAfterSave_data();
    void rebootAfterSave();
    void confirmationRouting_data();
    void confirmationRouting();
    void valuesThatDoNotFitAreRefused_data();
    void valuesThatDoNotFitAreRefused();

    // One operation at a time.
    void oneOperationAtATime_data();
    void oneOperationAtATime();
};

void TestE2EBasic::init() {
    // The running-operation lock is program-wide; nothing may leak between tests.
    QVERIFY(!tarvelin::Busy::instance().active());
}

// ---------------------------------------------------------------- retrieve

void TestE2EBasic::retrieveFillsEveryControl_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("expected");
    for (const Shown& s : kShown) QTest::newRow(s.control) << s.control << s.distinctive;
}

void TestE2EBasic::retrieveFillsEveryControl() {
    QFETCH(QString, control);
    QFETCH(QString, expected);
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    e2e.sim().setMemory(otherImage());
    e2e.retrieveBasic();
    e2e.sim().setMemory(distinctiveImage());
    e2e.retrieveBasic();
    QCOMPARE(EndToEnd::message(e2e.basic()), QStringLiteral("Successfully Retrieved Setup Data"));
    QCOMPARE(shown(e2e.basicForm(), control), expected);
    // A retrieve only reads.
    QCOMPARE(e2e.writes().size(), 0u);
    QCOMPARE(EndToEnd::differences(e2e.memory(), distinctiveImage()), QString());
}

void TestE2EBasic::retrieveWireOrderAndMessage() {
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    e2e.sim().setMemory(distinctiveImage());
    e2e.retrieveBasic();
    QCOMPARE(texts(e2e.commands()), texts(retrieveOrder()));
    QCOMPARE(EndToEnd::message(e2e.basic()), QStringLiteral("Successfully Retrieved Setup Data"));
    QCOMPARE(EndToEnd::messageColor(e2e.basic()), kBlue);
    QCOMPARE(EndToEnd::messageAlignment(e2e.basic()), Qt::AlignHCenter);
    QCOMPARE(e2e.notes().beeps(), 0);
    QCOMPARE(e2e.notes().boxes().size(), 0u);
    // The ResetPLC box and the advanced window's copy of the flags are not
    // the retrieve's business.
    QVERIFY(!e2e.basicForm().isChecked("ResetPLC"));
    QCOMPARE(e2e.advancedForm().text("PLCconfig"), QStringLiteral("00"));
}

void TestE2EBasic::retrieveWithoutVersionReply() {
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    e2e.setTimeout(100);  // the unanswered "VM*" costs one time-out
    e2e.sim().setMemory(otherImage());
    e2e.retrieveBasic();
    QCOMPARE(e2e.basicForm().text("version"), QStringLiteral("KRVX-E1.07"));
    korvex::Faults faults;
    faults.silentCommands = {"VM*"};
    e2e.setFaults(faults);
    e2e.sim().setMemory(distinctiveImage());
    e2e.forget();
    e2e.retrieveBasic();
    QCOMPARE(e2e.basicForm().text("version"), QString());
    for (const Shown& s : kShown) {
        if (QLatin1String(s.control) == QLatin1String("version")) continue;
        QVERIFY2(shown(e2e.basicForm(), s.control) == QLatin1String(s.distinctive), s.control);
    }
    QCOMPARE(EndToEnd::message(e2e.basic()), QStringLiteral("Successfully Retrieved Setup Data"));
    QCOMPARE(EndToEnd::messageColor(e2e.basic()), kBlue);
    QCOMPARE(e2e.notes().beeps(), 0);
    QCOMPARE(texts(e2e.commands()), texts(retrieveOrder()));
}

void TestE2EBasic::retrieveStopsAtTheFailingRead_data() {
    QTest::addColumn<int>("silentAt");
    QTest::addColumn<QStringList>("reached");  // the controls that show the second controller
    const QStringList addresses{"IP(3)",      "IP(2)",      "IP(1)",     "IP(0)",      "subnet(3)",
                                "subnet(2)",  "subnet(1)",  "subnet(0)", "gateway(3)", "gateway(2)",
                                "gateway(1)", "gateway(0)", "smtp(3)",   "smtp(2)",    "smtp(1)",
                                "smtp(0)",    "DNS(3)",     "DNS(2)",    "DNS(1)",     "DNS(0)"};
    QTest::newRow("no reply at 650 (password)")
        << 650
        << addresses + QStringList{"svrport", "MBtcpPort", "No_of_MBtcp", "No_of_Tarvelin", "username"};
    QTest::newRow("no reply at 521 (second byte of the server port)") << 521 << addresses;
    QTest::newRow("no reply at 524 (the first read)") << 524 << QStringList{};
    QTest::newRow("no reply at 530 (inside the subnet mask)")
        << 530 << QStringList{"IP(3)", "IP(2)", "IP(1)", "IP(0)", "subnet(3)", "subnet(2)"};
    QTest::newRow("no reply at 681 (the last read)")
        << 681
        << addresses + QStringList{"svrport",  "MBtcpPort",   "No_of_MBtcp", "No_of_Tarvelin", "username",
                                   "password", "AccessLevel", "EnablePW(0)", "EnablePW(1)"};
}

void TestE2EBasic::retrieveStopsAtTheFailingRead() {
    QFETCH(int, silentAt);
    QFETCH(QStringList, reached);
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    e2e.setTimeout(100);
    e2e.sim().setMemory(distinctiveImage());
    e2e.retrieveBasic();
    korvex::Faults faults;
    faults.silentAtAddress = silentAt;
    e2e.setFaults(faults);
    e2e.sim().setMemory(otherImage());
    e2e.forget();
    e2e.retrieveBasic();

    for (const Shown& s : kShown) {
        if (QLatin1String(s.control) == QLatin1String("version")) continue;
        const bool isReached = reached.contains(QLatin1String(s.control));
        const QString expected = QString::fromLatin1(isReached ? s.other : s.distinctive);
        QVERIFY2(shown(e2e.basicForm(), s.control) == expected,
                 qPrintable(QStringLiteral("%1 shows '%2', expected '%3'")
                                .arg(s.control, shown(e2e.basicForm(), s.control), expected)));
    }
    QCOMPARE(EndToEnd::message(e2e.basic()), QStringLiteral("No Response from Device!"));
    QCOMPARE(EndToEnd::messageColor(e2e.basic()), kRed);
    QCOMPARE(e2e.notes().beeps(), 1);
    // Nothing is asked after the read that went unanswered.
    const auto commands = e2e.commands();
    QVERIFY(!commands.empty());
    QCOMPARE(QString::fromStdString(commands.back()), QString::fromStdString(EndToEnd::mr(silentAt)));
    QCOMPARE(occurrences(commands, EndToEnd::mr(silentAt)), 1);
}

void TestE2EBasic::accessLevelByte_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("index");
    QTest::newRow("0 leaves the list") << 0 << 1;
    QTest::newRow("48 leaves the list") << 48 << 1;
    QTest::newRow("49 is 1 - Programmer") << 49 << 0;
    QTest::newRow("51 is 3 - Visitor") << 51 << 2;
    QTest::newRow("52 leaves the list") << 52 << 1;
    QTest::newRow("255 leaves the list") << 255 << 1;
}

void TestE2EBasic::accessLevelByte() {
    QFETCH(int, byte);
    QFETCH(int, index);
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    e2e.basicForm().setSelectedIndex("AccessLevel", 1);
    e2e.sim().setByte(556, byte);
    e2e.retrieveBasic();
    QCOMPARE(EndToEnd::message(e2e.basic()), QStringLiteral("Successfully Retrieved Setup Data"));
    QCOMPARE(e2e.basicForm().selectedIndex("AccessLevel"), index);
}

void TestE2EBasic::flagByteChoosesPasswordUse_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<bool>("yes");
    QTest::newRow("0: No") << 0 << false;
    QTest::newRow("2: Yes") << 2 << true;
    QTest::newRow("3: Yes") << 3 << true;
    QTest::newRow("253: No") << 253 << false;
    QTest::newRow("255: Yes") << 255 << true;
}

void TestE2EBasic::flagByteChoosesPasswordUse() {
    QFETCH(int, byte);
    QFETCH(bool, yes);
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    Form& form = e2e.basicForm();
    // The opposite choice first, so that the retrieve has to change it.
    form.setChecked(yes ? "EnablePW(1)" : "EnablePW(0)", true);
    e2e.sim().setByte(566, byte);
    e2e.retrieveBasic();
    QCOMPARE(form.isChecked("EnablePW(0)"), yes);
    QCOMPARE(form.isChecked("EnablePW(1)"), !yes);
    // The advanced window's copy is not the basic retrieve's to change.
    QCOMPARE(e2e.advancedForm().text("PLCconfig"), QStringLiteral("00"));
}

void TestE2EBasic::shortUserName() {
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    Memory m = distinctiveImage();
    EndToEnd::put(m, 634, {'a', 'b', 'c', 'd', 0, 'x', 'y', 'z', 'w', 'v', 'u', 't', 's', 'r', 'q', 'p'});
    EndToEnd::put(m, 666, {'N', 'o', 'd', 'e', 'N', 'a', 'm', 'e', 'S', 'i', 'x', 't', 'e', 'e', 'n', '!'});
    e2e.sim().setMemory(m);
    e2e.retrieveBasic();
    QCOMPARE(e2e.basicForm().text("username"), QStringLiteral("abcd"));
    // Sixteen characters without a zero byte are the whole name.
    QCOMPARE(e2e.basicForm().text("hostName"), QStringLiteral("NodeNameSixteen!"));
}

void TestE2EBasic::highPortsShownAsSuch_data() {
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("low");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << 0 << " 0";
    QTest::newRow("32767") << 0x7F << 0xFF << " 32767";
    QTest::newRow("32768") << 0x80 << 0x00 << " 32768";
    QTest::newRow("50000") << 0xC3 << 0x50 << " 50000";
    QTest::newRow("65535") << 0xFF << 0xFF << " 65535";
}

void TestE2EBasic::highPortsShownAsSuch() {
    QFETCH(int, high);
    QFETCH(int, low);
    QFETCH(QString, text);
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    Memory m = distinctiveImage();
    EndToEnd::put(m, 520, {high, low});
    EndToEnd::put(m, 522, {high, low});
    e2e.sim().setMemory(m);
    e2e.retrieveBasic();
    QCOMPARE(e2e.basicForm().text("svrport"), text);
    QCOMPARE(e2e.basicForm().text("MBtcpPort"), text);
    // And back again unchanged: a retrieve followed by a store changes nothing.
    e2e.saveBasic(EndToEnd::Yes);
    QCOMPARE(EndToEnd::message(e2e.basic()), QStringLiteral("Setup Data Stored to Device"));
    QCOMPARE(EndToEnd::differences(e2e.memory(), m), QString());
}

// ---------------------------------------------------------------- store

void TestE2EBasic::storeWritesExactlyTheBlock_data() {
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("access");  // list position chosen; -1 none
    QTest::addColumn<int>("enable");  // EnablePW member chosen; -1 none
    QTest::addColumn<int>("flagsBefore");
    QTest::addColumn<QByteArray>("usernameBytes");
    QTest::addColumn<QByteArray>("passwordBytes");
    QTest::addColumn<int>("accessByte");
    QTest::addColumn<int>("flagsAfter");

    QTest::newRow("all fields, password in use")
        << "admin"
        << "pw" << 2 << 0 << 0x95 << QByteArray("admin") << QByteArray("pw") << 51 << 0x97;
    QTest::newRow("20-character user name placed by program")
        << "ABCDEFGHIJKLMNOPQRST"
        << "secret" << 0 << 1 << 0x02 << QByteArray("ABCDEFGHIJKLMNOP") << QByteArray("secret") << 49 << 0x00;
    QTest::newRow("16-character user name, no zero byte")
        << "0123456789abcdef"
        << "x" << 1 << 0 << 0x00 << QByteArray("0123456789abcdef") << QByteArray("x") << 50 << 0x02;
    QTest::newRow("empty password") << "op"
                                    << "" << 1 << 0 << 0x10 << QByteArray("op") << QByteArray() << 50 << 0x12;
    QTest::newRow("no access level chosen: 48")
        << "op"
        << "pw" << -1 << 0 << 0x04 << QByteArray("op") << QByteArray("pw") << 48 << 0x06;
    QTest::newRow("no password choice: bit cleared, the others kept")
        << "op"
        << "pw" << 0 << -1 << 0xFF << QByteArray("op") << QByteArray("pw") << 49 << 0xFD;
    QTest::newRow("password choice No: bit cleared, the others kept")
        << "op"
        << "pw" << 0 << 1 << 0x97 << QByteArray("op") << QByteArray("pw") << 49 << 0x95;
    QTest::newRow("password choice Yes on a zero byte")
        << "op"
        << "pw" << 0 << 0 << 0x00 << QByteArray("op") << QByteArray("pw") << 49 << 0x02;
}

void TestE2EBasic::storeWritesExactlyTheBlock() {
    QFETCH(QString, username);
    QFETCH(QString, password);
    QFETCH(int, access);
    QFETCH(int, enable);
    QFETCH(int, flagsBefore);
    QFETCH(QByteArray, usernameBytes);
    QFETCH(QByteArray, passwordBytes);
    QFETCH(int, accessByte);
    QFETCH(int, flagsAfter);

    EndToEnd e2e;
    QVERIFY(e2e.ready());
    Memory before = EndToEnd::patternImage();
    before[566] = static_cast<std::uint8_t>(flagsBefore);
    e2e.sim().setMemory(before);

    Form& f = e2e.basicForm();
    fillBasic(f);
    f.setText("username", username);  // placed by program: the box keeps all of it
    QCOMPARE(f.text("username"), username);
    f.setText("password", password);
    f.setSelectedIndex("AccessLevel", access);
    if (enable >= 0) f.setChecked(tarvelin::member("EnablePW", enable), true);

    e2e.saveBasic(EndToEnd::Yes);
    QCOMPARE(EndToEnd::message(e2e.basic()), QStringLiteral("Setup Data Stored to Device"));
    QCOMPARE(EndToEnd::messageColor(e2e.basic()), kBlue);
    QCOMPARE(EndToEnd::messageAlignment(e2e.basic()), Qt::AlignHCenter);
    QCOMPARE(e2e.notes().beeps(), 1);  // the Save button's
    QVERIFY(!e2e.confirm()->isVisible());

    Memory model = before;
    putFilled(model);
    EndToEnd::putText(model, 634, sixteen(usernameBytes).toStdString());
    EndToEnd::putText(model, 650, sixteen(passwordBytes).toStdString());
    EndToEnd::put(model, 556, {accessByte, 0});
    EndToEnd::put(model, 566, {flagsAfter});
    QVERIFY2(EndToEnd::differences(e2e.memory(), model).isEmpty(),
             qPrintable(EndToEnd::differences(e2e.memory(), model)));

    // The advanced window has never read the flags: the store reads them
    // first, then enables the memory and writes the block in its order.
    std::vector<std::string> order{"IR*", EndToEnd::mr(566), "MENABLE"};
    for (const std::string& w : storeWrites(model)) order.push_back(w);
    QCOMPARE(texts(e2e.commands()), texts(order));
    QCOMPARE(e2e.sim().rebootCount(), 0);
    // The flags went back into the advanced window's holder as written.
    QCOMPARE(e2e.advancedForm().text("PLCconfig"), QStringLiteral(" %1").arg(flagsAfter));
    // The store leaves the boxes as they were.
    QCOMPARE(f.text("username"), username);
}

void TestE2EBasic::storeStopsAtTheFailingWrite() {
    // The controller stops answering after the first subnet byte: the store
    // ends there; what went before stays written, nothing after is sent.
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    e2e.setTimeout(100);
    const Memory before = EndToEnd::patternImage();
    e2e.sim().setMemory(before);
    fillBasic(e2e.basicForm());
    e2e.basicForm().setChecked("ResetPLC", true);
    korvex::Faults faults;
    faults.stopAfterFramed = 7;  // the flags read first, MENABLE, 524..528
    e2e.setFaults(faults);
    e2e.saveBasic(EndToEnd::Yes);
    QCOMPARE(EndToEnd::message(e2e.basic()), QStringLiteral("No Response from Device!"));
    QCOMPARE(EndToEnd::messageColor(e2e.basic()), kRed);
    QCOMPARE(e2e.notes().beeps(), 2);  // Save, then the missing reply
    Memory model = before;
    EndToEnd::put(model, 524, {192, 168, 1, 5, 255});
    QCOMPARE(EndToEnd::differences(e2e.memory(), model), QString());
    const std::vector<std::string> expected{"IR*",
                                            EndToEnd::mr(566),
                                            "MENABLE",
                                            EndToEnd::mw(524, 192),
                                            EndToEnd::mw(525, 168),
                                            EndToEnd::mw(526, 1),
                                            EndToEnd::mw(527, 5),
                                            EndToEnd::mw(528, 255),
                                            EndToEnd::mw(529, 255)};
    QCOMPARE(texts(e2e.commands()), texts(expected));
    QCOMPARE(e2e.sim().rebootCount(), 0);
}

void TestE2EBasic::rebootAfterSave_data() {
    QTest::addColumn<bool>("answered");
    QTest::addColumn<int>("beeps");
    QTest::newRow("reboot acknowledged") << true << 1;
    QTest::newRow("reboot unanswered: a beep, then the success message") << false << 2;
}

void TestE2EBasic::rebootAfterSave() {
    QFETCH(bool, answered);
    QFETCH(int, beeps);
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    e2e.setTimeout(100);
    if (!answered) {
        korvex::Faults faults;
        faults.silentCommands = {"Mw4011000080"};
        e2e.setFaults(faults);
    }
    fillBasic(e2e.basicForm());
    e2e.basicForm().setChecked("ResetPLC", true);
    e2e.saveBasic(EndToEnd::Yes);
    QCOMPARE(e2e.notes().beeps(), beeps);
    QCOMPARE(EndToEnd::message(e2e.basic()), QStringLiteral("Setup Data Stored to Device"));
    QCOMPARE(EndToEnd::messageColor(e2e.basic()), kBlue);
    QCOMPARE(EndToEnd::messageAlignment(e2e.basic()), Qt::AlignHCenter);
    QCOMPARE(e2e.sim().rebootCount(), 1);
    const auto commands = e2e.commands();
    QCOMPARE(QString::fromStdString(commands.back()), QStringLiteral("Mw4011000080"));
    QCOMPARE(QString::fromStdString(commands.at(commands.size() - 2)),
             QString::fromStdString(EndToEnd::mw(681, 0)));
    // The whole block was written before the reboot.
    QCOMPARE(e2e.writes().size(), 76u);
}

void TestE2EBasic::confirmationRouting_data() {
    QTest::addColumn<QList<int>>("saves");  // 0 main window, 1 advanced window
    QTest::addColumn<bool>("yes");
    QTest::addColumn<int>("stored");  // -1 nothing, else the window whose block is written
    QTest::newRow("main, No: nothing sent") << QList<int>{0} << false << -1;
    QTest::newRow("main then advanced, No: nothing sent") << QList<int>{0, 1} << false << -1;
    QTest::newRow("main, Yes") << QList<int>{0} << true << 0;
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
    fillBasic(e2e.basicForm());
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

void TestE2EBasic::valuesThatDoNotFitAreRefused_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::newRow("IP octet 256") << "IP(3)"
                                  << "256"
                                  << "IP Address";
    QTest::newRow("negative gateway octet") << "gateway(0)"
                                            << "-1"
                                            << "Gateway";
    QTest::newRow("DNS octet 999") << "DNS(1)"
                                   << "999"
                                   << "DNS Server";
    QTest::newRow("server port 65536") << "svrport"
                                       << "65536"
                                       << "Tarvelin Port";
    QTest::newRow("negative Modbus port") << "MBtcpPort"
                                          << "-502"
                                          << "Modbus/TCP Secondary Port";
    QTest::newRow("node name without single-byte codes")
        << "hostName" << QString::fromUtf8("Kessel Ω") << "Node Name";
    QTest::newRow("user name with an emoji") << "username" << QString::fromUtf8("op\U0001F600") << "Username";
}

void TestE2EBasic::valuesThatDoNotFitAreRefused() {
    QFETCH(QString, control);
    QFETCH(QString, text);
    QFETCH(QString, field);
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    const Memory before = EndToEnd::patternImage();
    e2e.sim().setMemory(before);
    fillBasic(e2e.basicForm());
    e2e.basicForm().setText(control, text);
    e2e.saveBasic(EndToEnd::Yes);
    const QString message = EndToEnd::message(e2e.basic());
    QVERIFY2(message.startsWith(field + QLatin1Char(':')), qPrintable(message));
    QCOMPARE(EndToEnd::messageColor(e2e.basic()), kRed);
    QCOMPARE(e2e.notes().beeps(), 2);  // Save, then the refusal
    QVERIFY(e2e.log().empty());
    QCOMPARE(EndToEnd::differences(e2e.memory(), before), QString());
    QCOMPARE(e2e.basicForm().text(control), text);  // left for the user to mend
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
    switch (operation) {
        case 1:
            e2e.clickSaveBasic();
            break;
        case 3:
            e2e.clickSaveAdvanced();
            break;
        default:
            break;
    }
    e2e.notes().clear();
    sampler.start();
    switch (operation) {
        case 0:
            e2e.retrieveBasic();
            break;
        case 2:
            e2e.retrieveAdvanced();
            break;
        default:
            e2e.answer(EndToEnd::Yes);
            break;
    }
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
