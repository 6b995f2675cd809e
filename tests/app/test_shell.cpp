// The application shell: the about box, the overwrite confirmation and the
// registry of window objects (start-up, lifetimes, quitting, routing of the
// confirmed store, the one-operation-at-a-time lock).
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "advanced/advancedwindow.h"
#include "app/aboutdialog.h"
#include "app/confirmdialog.h"
#include "app/windowregistry.h"
#include "basic/basicwindow.h"
#include "config/busy.h"
#include "serial/serialcommwindow.h"
#include "support/scriptedline.h"
#include "support/simline.h"
#include "support/testnotifier.h"

using namespace tarvelin;
using tarvelin::test::NotifierScope;
using tarvelin::test::SimulatedLine;
using Window = WindowRegistry::Window;

namespace {

template <typename T>
T* child(QWidget* window, const char* name) {
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no control %s", name);
    return w;
}

// Lets windows discarded through their frame really go.
void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A registry whose terminals talk to a simulated controller on a scripted
// line; every terminal it makes shares that line.
struct Shell {
    SimulatedLine sim;
    NotifierScope notes;
    int terminalsMade = 0;
    std::unique_ptr<WindowRegistry> registry;

    explicit Shell(const QString& baud = QString()) {
        registry = std::make_unique<WindowRegistry>([this] {
            ++terminalsMade;
            return new SerialCommWindow(std::make_unique<tarvelin::test::LineRef>(sim.line()),
                                        &sim.line().clock());
        });
        if (!baud.isEmpty()) registry->setTerminalPreset(QString(), baud);
    }
    ~Shell() {
        registry.reset();
        flushDeletes();
    }
    QString commport() { return child<QLineEdit>(registry->basic(), "commport")->text(); }
    // Addresses the controller was asked to write, in order.
    std::vector<int> written() {
        std::vector<int> addresses;
        for (const auto& w : sim.controller().writes()) addresses.push_back(w.address);
        return addresses;
    }
};

bool contains(const std::vector<int>& v, int x) {
    return std::find(v.begin(), v.end(), x) != v.end();
}

}  // namespace

class TestShell : public QObject {
    Q_OBJECT
private slots:
    // About box.
    void dialogControls_data();
    void dialogControls();
    void aboutOkHidesAndSignals();

    // Confirmation dialog.
    void confirmStoresForTheLastSource_data();
    void confirmStoresForTheLastSource();
    void confirmLockedWhileRunning();

    // Registry.
    void startUpShowsTheAboutBoxThenTheMainWindow();
    void aboutFrameCloseEndsTheProgram();
    void frameCloseDiscards_data();
    void frameCloseDiscards();
    void discardedTerminalClosesItsPort();
    void hidingKeeps();
    void quitNoKeepsRunning();
    void quitYesEndsTheProgram();
    void quitWhileRunningAsksToStop();
    void advancedStaysWhileRunning();
    void busyLocksConfirmationAndTerminal();
    void saveButtonsAskTheConfirmation();
    void flagByteHolderIsTheAdvancedWindow();
};

// ---------------------------------------------------------------- about box

// The about box (0) and the confirmation (1): fixed size, captions, Arial.
void TestShell::dialogControls_data() {
    QTest::addColumn<int>("dialog");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    const auto row = [](int dialog, const char* name, const char* text) {
        QTest::addRow("%s %s", dialog == 0 ? "about" : "confirmation", name) << dialog << name << text;
    };
    row(0, "Label1", "Tarvelin Configuration");
    row(0, "Label2", "Version " TARVELIN_VERSION);
    row(0, "Label3", "Tarvelin Systems");
    row(0, "OKButton", "OK");
    row(1, "Label1", "Are you sure you want to overwrite existing Tarvelin configurations?");
    row(1, "yesButton", "Yes");
    row(1, "NoButton", "No");
}

void TestShell::dialogControls() {
    QFETCH(int, dialog);
    QFETCH(QString, name);
    QFETCH(QString, text);
    AboutDialog about;
    ConfirmDialog confirm({});
    QWidget* shown = dialog == 0 ? static_cast<QWidget*>(&about) : &confirm;
    QCOMPARE(shown->windowTitle(),
             dialog == 0 ? QStringLiteral("Tarvelin Configuration Program") : QStringLiteral("Confirmation"));
    QCOMPARE(shown->objectName(),
             dialog == 0 ? QStringLiteral("copyrightDlg") : QStringLiteral("confirmOverwrite"));
    shown->show();
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    QCOMPARE(shown->minimumSize(), shown->maximumSize());
    QWidget* w = shown->findChild<QWidget*>(name);
    QVERIFY(w);
    QVERIFY(w->isVisible());
    QVERIFY(w->isEnabled());
    QCOMPARE(w->accessibleDescription(), name);
    if (auto* label = qobject_cast<QLabel*>(w)) {
        QCOMPARE(label->text(), text);
        QCOMPARE(label->font().family(), QStringLiteral("Arial"));
    } else {
        QCOMPARE(qobject_cast<QPushButton*>(w)->text(), text);
    }
}

void TestShell::aboutOkHidesAndSignals() {
    AboutDialog about;
    QSignalSpy ok(&about, &AboutDialog::okClicked);
    QSignalSpy frame(&about, &AboutDialog::closedByFrame);
    about.show();
    bool hiddenWhenSignalled = false;
    connect(&about, &AboutDialog::okClicked, this, [&] { hiddenWhenSignalled = !about.isVisible(); });
    QTest::mouseClick(child<QPushButton>(&about, "OKButton"), Qt::LeftButton);
    QCOMPARE(ok.count(), 1);
    QVERIFY(hiddenWhenSignalled);
    QCOMPARE(frame.count(), 0);
    // Closed through its frame instead, it says so.
    about.show();
    QVERIFY(about.close());
    QCOMPARE(frame.count(), 1);
    QCOMPARE(ok.count(), 1);
}

// "Yes" runs the store of the window recorded last, with the dialog still up;
// "No" runs nothing. Either hides the dialog; the source is kept.
void TestShell::confirmStoresForTheLastSource_data() {
    QTest::addColumn<QList<int>>("sources");
    QTest::addColumn<bool>("yes");
    QTest::newRow("basic") << QList<int>{0} << true;
    QTest::newRow("advanced") << QList<int>{1} << true;
    QTest::newRow("basic, then advanced") << QList<int>{0, 1} << true;
    QTest::newRow("advanced, then basic") << QList<int>{1, 0} << true;
    QTest::newRow("any other value") << QList<int>{-3} << true;
    QTest::newRow("No") << QList<int>{1} << false;
}

void TestShell::confirmStoresForTheLastSource() {
    QFETCH(QList<int>, sources);
    QFETCH(bool, yes);
    QList<int> stores;
    bool visibleDuringStore = false;
    ConfirmDialog* self = nullptr;
    ConfirmDialog dialog([&](std::int16_t s) {
        stores << s;
        visibleDuringStore = self->isVisible();
    });
    self = &dialog;
    QCOMPARE(dialog.source(), std::int16_t(0));
    for (int s : sources) dialog.setSource(static_cast<std::int16_t>(s));
    QVERIFY(!dialog.isVisible());  // recording shows nothing
    dialog.show();
    QTest::mouseClick(child<QPushButton>(&dialog, yes ? "yesButton" : "NoButton"), Qt::LeftButton);
    QCOMPARE(stores, yes ? QList<int>{sources.last()} : QList<int>{});
    QCOMPARE(visibleDuringStore, yes);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(int(dialog.source()), sources.last());
}

void TestShell::confirmLockedWhileRunning() {
    int stores = 0;
    ConfirmDialog dialog([&](std::int16_t) { ++stores; });
    dialog.show();
    dialog.setOperationRunning(true);
    QVERIFY(!child<QPushButton>(&dialog, "yesButton")->isEnabled());
    QVERIFY(!child<QPushButton>(&dialog, "NoButton")->isEnabled());
    dialog.yesButton_Click();
    dialog.NoButton_Click();
    QCOMPARE(stores, 0);
    QVERIFY(dialog.isVisible());
    QVERIFY(!dialog.close());  // a frame close waits too
    dialog.setOperationRunning(false);
    QVERIFY(child<QPushButton>(&dialog, "yesButton")->isEnabled());
    QVERIFY(child<QPushButton>(&dialog, "NoButton")->isEnabled());
    dialog.yesButton_Click();
    QCOMPARE(stores, 1);
}

// ---------------------------------------------------------------- registry

void TestShell::startUpShowsTheAboutBoxThenTheMainWindow() {
    Shell shell;
    shell.registry->start();
    QVERIFY(shell.registry->about()->isVisible());
    for (Window w : {Window::Basic, Window::Advanced, Window::Terminal, Window::Confirm})
        QVERIFY(!shell.registry->exists(w));
    QTest::mouseClick(child<QPushButton>(shell.registry->about(), "OKButton"), Qt::LeftButton);
    QVERIFY(!shell.registry->about()->isVisible());
    QVERIFY(shell.registry->exists(Window::About));  // stays loaded, hidden
    QVERIFY(shell.registry->basic()->isVisible());
    QVERIFY(shell.registry->exists(Window::Terminal));
    QVERIFY(!shell.registry->terminalWindow()->isVisible());
    QCOMPARE(shell.terminalsMade, 1);
    QCOMPARE(shell.commport(), QStringLiteral("COM5"));
    QVERIFY(!shell.registry->exists(Window::Advanced));
    QVERIFY(!shell.registry->exists(Window::Confirm));
    QVERIFY(!shell.sim.line().isOpen());
}

void TestShell::aboutFrameCloseEndsTheProgram() {
    Shell shell;
    QSignalSpy ended(shell.registry.get(), &WindowRegistry::programEnded);
    shell.registry->start();
    QVERIFY(shell.registry->about()->close());
    QCOMPARE(ended.count(), 1);
    QVERIFY(shell.registry->ended());
    QVERIFY(!shell.registry->exists(Window::Basic));
    QCOMPARE(shell.terminalsMade, 0);
}

void TestShell::frameCloseDiscards_data() {
    QTest::addColumn<int>("window");
    QTest::newRow("terminal") << int(Window::Terminal);
    QTest::newRow("advanced") << int(Window::Advanced);
    QTest::newRow("confirmation") << int(Window::Confirm);
}

void TestShell::frameCloseDiscards() {
    QFETCH(int, window);
    const auto which = static_cast<Window>(window);
    Shell shell;
    shell.registry->showBasic();
    auto get = [&]() -> QWidget* {
        switch (which) {
            case Window::Terminal:
                shell.registry->showTerminal();
                return shell.registry->terminalWindow();
            case Window::Advanced:
                shell.registry->showAdvanced();
                return shell.registry->advanced();
            default:
                shell.registry->askOverwrite(1);
                return shell.registry->confirm();
        }
    };
    QPointer<QWidget> first = get();
    QVERIFY(first->isVisible());
    // Leave a mark that a fresh object would not have.
    first->setProperty("mark", 1);
    QVERIFY(first->close());
    QVERIFY(!shell.registry->exists(which));
    // The next use, even before the old one is deleted, makes a new one.
    QWidget* second = get();
    QVERIFY(second != first.data());
    QVERIFY(!second->property("mark").isValid());
    QVERIFY(second->isVisible());
    flushDeletes();
    QVERIFY(first.isNull());
    QVERIFY(shell.registry->exists(which));
    // Closing never ends the program.
    QVERIFY(!shell.registry->ended());
    QVERIFY(shell.registry->basic()->isVisible());
}

// A terminal closed through its frame closes its port; the next one starts
// afresh from the preset (a demonstration run points it at the simulated
// controller), and drives the main window's port display too.
void TestShell::discardedTerminalClosesItsPort() {
    Shell shell;
    shell.registry->setTerminalPreset(QStringLiteral("/dev/pts/77"), QStringLiteral("9600"));
    shell.registry->showBasic();
    QCOMPARE(shell.commport(), QStringLiteral("/dev/pts/77"));
    shell.registry->showTerminal();
    SerialCommWindow* first = shell.registry->terminalWindow();
    child<QComboBox>(first, "portChoice")->setCurrentIndex(0);
    QCOMPARE(shell.commport(), QStringLiteral("COM1"));
    QVERIFY(first->openCommPort());
    QVERIFY(first->close());
    QVERIFY(!shell.sim.line().isOpen());
    flushDeletes();
    SerialCommWindow* second = shell.registry->terminalWindow();
    QCOMPARE(shell.terminalsMade, 2);
    QCOMPARE(second->getCommport(), std::string("/dev/pts/77"));
    QCOMPARE(child<QComboBox>(second, "baudChoice")->currentText(), QStringLiteral("9600"));
    QCOMPARE(child<QPlainTextEdit>(second, "responseBox")->toPlainText(), QString());
    QVERIFY(child<QPushButton>(second, "openPort")->isEnabled());
    QVERIFY(!child<QPushButton>(second, "closePort")->isEnabled());
    child<QComboBox>(second, "portChoice")->setEditText("/dev/ttyUSB0");
    QCOMPARE(shell.commport(), QStringLiteral("/dev/ttyUSB0"));
    child<QComboBox>(second, "portChoice")->setCurrentIndex(2);
    QCOMPARE(shell.commport(), QStringLiteral("COM3"));
}

// Exit, Close and No only hide: the next use shows the same object as it was.
void TestShell::hidingKeeps() {
    Shell shell(QStringLiteral("9600"));
    shell.registry->showBasic();
    shell.registry->showTerminal();
    SerialCommWindow* terminal = shell.registry->terminalWindow();
    QVERIFY(terminal->openCommPort());
    QTest::mouseClick(child<QPushButton>(terminal, "exitButton"), Qt::LeftButton);
    QVERIFY(!terminal->isVisible());
    flushDeletes();
    shell.registry->showTerminal();
    QCOMPARE(shell.registry->terminalWindow(), terminal);
    QCOMPARE(shell.terminalsMade, 1);
    QVERIFY(child<QPlainTextEdit>(terminal, "responseBox")
                ->toPlainText()
                .startsWith("COM 5: Open at 9600,N,8,1"));
    QCOMPARE(child<QComboBox>(terminal, "baudChoice")->currentText(), QStringLiteral("9600"));

    shell.registry->showAdvanced();
    AdvancedWindow* advanced = shell.registry->advanced();
    advanced->form().setText("MovAvgNo", "7");
    advanced->closeButton_Click();
    QVERIFY(!advanced->isVisible());
    flushDeletes();
    shell.registry->showAdvanced();
    QCOMPARE(shell.registry->advanced(), advanced);
    QCOMPARE(advanced->form().text("MovAvgNo"), QStringLiteral("7"));

    shell.registry->askOverwrite(1);
    ConfirmDialog* confirm = shell.registry->confirm();
    confirm->NoButton_Click();
    flushDeletes();
    shell.registry->askOverwrite(0);
    QCOMPARE(shell.registry->confirm(), confirm);
    QVERIFY(confirm->isVisible());
}

void TestShell::quitNoKeepsRunning() {
    Shell shell;
    QSignalSpy ended(shell.registry.get(), &WindowRegistry::programEnded);
    shell.registry->start();
    shell.registry->about()->OKButton_Click();
    shell.registry->showAdvanced();
    shell.notes->answerNo();
    QVERIFY(!shell.registry->basic()->close());
    QCOMPARE(shell.notes->questions().size(), 1u);
    QCOMPARE(ended.count(), 0);
    QVERIFY(!shell.registry->ended());
    QVERIFY(shell.registry->basic()->isVisible());
    QVERIFY(shell.registry->advanced()->isVisible());
}

void TestShell::quitYesEndsTheProgram() {
    Shell shell(QStringLiteral("9600"));
    QSignalSpy ended(shell.registry.get(), &WindowRegistry::programEnded);
    shell.registry->start();
    shell.registry->about()->OKButton_Click();
    shell.registry->showAdvanced();
    shell.registry->showTerminal();
    QVERIFY(shell.registry->terminalWindow()->openCommPort());
    shell.notes->answerYes();
    QVERIFY(shell.registry->basic()->close());
    QCOMPARE(ended.count(), 1);
    QVERIFY(shell.registry->ended());
    QVERIFY(!shell.sim.line().isOpen());
    for (QWidget* w :
         std::initializer_list<QWidget*>{shell.registry->about(), shell.registry->basic(),
                                         shell.registry->advanced(), shell.registry->terminalWindow()})
        QVERIFY(!w->isVisible());
    QVERIFY(!Busy::instance().abortRequested());
    // Nothing is sent on the way out.
    QCOMPARE(shell.sim.controller().log().size(), 0u);
}

void TestShell::quitWhileRunningAsksToStop() {
    Shell shell(QStringLiteral("9600"));
    QSignalSpy ended(shell.registry.get(), &WindowRegistry::programEnded);
    shell.registry->showBasic();
    QVERIFY(shell.registry->terminalWindow()->openCommPort());
    QPointer<BasicWindow> basic = shell.registry->basic();
    {
        BusyScope running;
        shell.notes->answerYes();
        QVERIFY(basic->close());
        QCOMPARE(ended.count(), 1);
        QVERIFY(Busy::instance().abortRequested());
        // The running operation still has its window and its port.
        flushDeletes();
        QVERIFY(!basic.isNull());
        QVERIFY(shell.sim.line().isOpen());
    }
    QVERIFY(!basic->isVisible());
}

void TestShell::advancedStaysWhileRunning() {
    Shell shell;
    shell.registry->showBasic();
    shell.registry->showAdvanced();
    AdvancedWindow* advanced = shell.registry->advanced();
    {
        BusyScope running;
        QVERIFY(!advanced->close());
        QVERIFY(advanced->isVisible());
        QVERIFY(shell.registry->exists(Window::Advanced));
        QVERIFY(!shell.registry->terminalWindow()->close());
    }
    QVERIFY(advanced->close());
    QVERIFY(!shell.registry->exists(Window::Advanced));
}

void TestShell::busyLocksConfirmationAndTerminal() {
    Shell shell;
    shell.registry->showBasic();
    shell.registry->askOverwrite(0);
    ConfirmDialog* confirm = shell.registry->confirm();
    SerialCommWindow* terminal = shell.registry->terminalWindow();
    // The registry hands the lock to the dialog and the terminal.
    for (bool running : {true, false}) {
        std::optional<BusyScope> busy;
        if (running) busy.emplace();
        QCOMPARE(child<QPushButton>(confirm, "yesButton")->isEnabled(), !running);
        QCOMPARE(child<QLineEdit>(terminal, "commandString")->isEnabled(), !running);
    }
    // Discarded and made anew while running: locked from the start.
    QVERIFY(confirm->close());
    {
        BusyScope running;
        shell.registry->askOverwrite(0);
        QVERIFY(!child<QPushButton>(shell.registry->confirm(), "yesButton")->isEnabled());
    }
    QVERIFY(child<QPushButton>(shell.registry->confirm(), "yesButton")->isEnabled());
}

// Both save buttons beep and record themselves in the one dialog, which
// shows the last one; nothing is sent until "Yes".
void TestShell::saveButtonsAskTheConfirmation() {
    Shell shell(QStringLiteral("9600"));
    shell.registry->showBasic();
    shell.registry->showAdvanced();
    shell.registry->basic()->updateButton_Click();
    ConfirmDialog* confirm = shell.registry->confirm();
    QVERIFY(confirm->isVisible());
    QCOMPARE(int(confirm->source()), 0);
    shell.registry->advanced()->updateButton_Click();
    QCOMPARE(shell.registry->confirm(), confirm);
    QCOMPARE(int(confirm->source()), 1);
    QCOMPARE(shell.notes->beeps(), 2);
    QCOMPARE(shell.sim.controller().log().size(), 0u);
    QTest::mouseClick(child<QPushButton>(confirm, "yesButton"), Qt::LeftButton);
    QVERIFY(!confirm->isVisible());
    // The trusted addresses (682 on) belong to the advanced window only.
    const std::vector<int> written = shell.written();
    QVERIFY(contains(written, 682));
    QVERIFY(!contains(written, 520));
}

void TestShell::flagByteHolderIsTheAdvancedWindow() {
    Shell shell;
    shell.registry->showBasic();
    QVERIFY(!shell.registry->exists(Window::Advanced));
    FlagByteHolder& holder = shell.registry->flagByteHolder();
    QVERIFY(shell.registry->exists(Window::Advanced));
    QVERIFY(!shell.registry->advanced()->isVisible());  // made hidden
    QCOMPARE(&holder, static_cast<FlagByteHolder*>(shell.registry->advanced()));
}

QTEST_MAIN(TestShell)
#include "test_shell.moc"
