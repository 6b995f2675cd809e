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
#include <QTimer>
#include <algorithm>
#include <memory>
#include <vector>

#include "advanced/advancedwindow.h"
#include "app/aboutdialog.h"
#include "app/confirmdialog.h"
#include "app/lineref.h"
#include "app/windowregistry.h"
#include "basic/basicwindow.h"
#include "config/busy.h"
#include "serial/serialcommwindow.h"
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
    void aboutControls_data();
    void aboutControls();
    void aboutOkHidesAndSignals();
    void aboutFrameCloseSignals();

    // Confirmation dialog.
    void confirmControls_data();
    void confirmControls();
    void confirmSetSourceShowsNothing();
    void confirmYesRunsStoreForLastSource_data();
    void confirmYesRunsStoreForLastSource();
    void confirmStaysUpDuringStore();
    void confirmNoStoresNothing();
    void confirmLockedWhileRunning();

    // Registry.
    void startUpShowsOnlyTheAboutBox();
    void okShowsBasicWithTerminalHidden();
    void aboutFrameCloseEndsTheProgram();
    void portChoiceRefreshesBasicCommport();
    void terminalExitKeepsTheSameObject();
    void frameCloseDiscards_data();
    void frameCloseDiscards();
    void discardedTerminalClosesItsPort();
    void hidingKeeps();
    void quitNoKeepsRunning();
    void quitYesEndsTheProgram();
    void quitWhileRunningAsksToStop();
    void advancedStaysWhileRunning();
    void busyLocksConfirmationAndTerminal();
    void confirmedStoreGoesToTheAskingWindow_data();
    void confirmedStoreGoesToTheAskingWindow();
    void confirmNoSendsNothing();
    void flagByteHolderIsTheAdvancedWindow();
    void presetReachesEveryNewTerminal();
    void endingLeavesTheEventLoop_data();
    void endingLeavesTheEventLoop();
};

// ---------------------------------------------------------------- about box

void TestShell::aboutControls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("Label1") << "Label1"
                            << "Tarvelin Configuration";
    QTest::newRow("Label2") << "Label2"
                            << "Version 1.0";
    QTest::newRow("Label3") << "Label3"
                            << "Tarvelin Systems";
    QTest::newRow("OKButton") << "OKButton"
                              << "OK";
}

void TestShell::aboutControls() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    AboutDialog about;
    QCOMPARE(about.windowTitle(), QStringLiteral("Tarvelin Configuration Program"));
    QCOMPARE(about.objectName(), QStringLiteral("copyrightDlg"));
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    // Fixed size.
    QCOMPARE(about.minimumSize(), about.maximumSize());
    QWidget* w = about.findChild<QWidget*>(name);
    QVERIFY(w);
    QVERIFY(w->isVisible());
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
}

void TestShell::aboutFrameCloseSignals() {
    AboutDialog about;
    QSignalSpy ok(&about, &AboutDialog::okClicked);
    QSignalSpy frame(&about, &AboutDialog::closedByFrame);
    about.show();
    QVERIFY(about.close());
    QCOMPARE(frame.count(), 1);
    QCOMPARE(ok.count(), 0);
}

// ---------------------------------------------------------------- confirmation

void TestShell::confirmControls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("Label1") << "Label1"
                            << "Are you sure you want to overwrite existing Tarvelin configurations?";
    QTest::newRow("yesButton") << "yesButton"
                               << "Yes";
    QTest::newRow("NoButton") << "NoButton"
                              << "No";
}

void TestShell::confirmControls() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    ConfirmDialog dialog({});
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Confirmation"));
    QCOMPARE(dialog.objectName(), QStringLiteral("confirmOverwrite"));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QWidget* w = dialog.findChild<QWidget*>(name);
    QVERIFY(w);
    QCOMPARE(w->accessibleDescription(), name);
    if (auto* label = qobject_cast<QLabel*>(w)) {
        QCOMPARE(label->text(), text);
        QCOMPARE(label->font().family(), QStringLiteral("Arial"));
    } else {
        QCOMPARE(qobject_cast<QPushButton*>(w)->text(), text);
        QVERIFY(w->isEnabled());
    }
}

void TestShell::confirmSetSourceShowsNothing() {
    ConfirmDialog dialog({});
    QCOMPARE(dialog.source(), std::int16_t(0));
    const std::int16_t one = 1;
    dialog.setSource(one);
    QCOMPARE(dialog.source(), std::int16_t(1));
    QVERIFY(!dialog.isVisible());
}

void TestShell::confirmYesRunsStoreForLastSource_data() {
    QTest::addColumn<QList<int>>("sources");
    QTest::addColumn<int>("stored");
    QTest::newRow("basic") << QList<int>{0} << 0;
    QTest::newRow("advanced") << QList<int>{1} << 1;
    QTest::newRow("basic, then advanced") << QList<int>{0, 1} << 1;
    QTest::newRow("advanced, then basic") << QList<int>{1, 0} << 0;
    QTest::newRow("any other value") << QList<int>{-3} << -3;
}

void TestShell::confirmYesRunsStoreForLastSource() {
    QFETCH(QList<int>, sources);
    QFETCH(int, stored);
    QList<int> stores;
    ConfirmDialog dialog([&](std::int16_t s) { stores << s; });
    for (int s : sources) dialog.setSource(static_cast<std::int16_t>(s));
    dialog.show();
    QTest::mouseClick(child<QPushButton>(&dialog, "yesButton"), Qt::LeftButton);
    QCOMPARE(stores, QList<int>{stored});
    QVERIFY(!dialog.isVisible());
    // The source is kept for the next use.
    QCOMPARE(int(dialog.source()), stored);
}

void TestShell::confirmStaysUpDuringStore() {
    bool visibleDuringStore = false;
    ConfirmDialog* self = nullptr;
    ConfirmDialog dialog([&](std::int16_t) { visibleDuringStore = self->isVisible(); });
    self = &dialog;
    dialog.show();
    dialog.yesButton_Click();
    QVERIFY(visibleDuringStore);
    QVERIFY(!dialog.isVisible());
}

void TestShell::confirmNoStoresNothing() {
    int stores = 0;
    ConfirmDialog dialog([&](std::int16_t) { ++stores; });
    dialog.setSource(1);
    dialog.show();
    QTest::mouseClick(child<QPushButton>(&dialog, "NoButton"), Qt::LeftButton);
    QCOMPARE(stores, 0);
    QVERIFY(!dialog.isVisible());
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

void TestShell::startUpShowsOnlyTheAboutBox() {
    Shell shell;
    shell.registry->start();
    QVERIFY(shell.registry->exists(Window::About));
    QVERIFY(shell.registry->about()->isVisible());
    for (Window w : {Window::Basic, Window::Advanced, Window::Terminal, Window::Confirm})
        QVERIFY(!shell.registry->exists(w));
    QCOMPARE(shell.terminalsMade, 0);
}

void TestShell::okShowsBasicWithTerminalHidden() {
    Shell shell;
    shell.registry->start();
    QTest::mouseClick(child<QPushButton>(shell.registry->about(), "OKButton"), Qt::LeftButton);
    QVERIFY(!shell.registry->about()->isVisible());
    QVERIFY(shell.registry->exists(Window::About));  // stays loaded, hidden
    QVERIFY(shell.registry->exists(Window::Basic));
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

void TestShell::portChoiceRefreshesBasicCommport() {
    Shell shell;
    shell.registry->start();
    shell.registry->showBasic();
    auto* list = child<QComboBox>(shell.registry->terminalWindow(), "portChoice");
    list->setEditText("/dev/ttyUSB0");
    QCOMPARE(shell.commport(), QStringLiteral("/dev/ttyUSB0"));
    list->setCurrentIndex(0);
    QCOMPARE(shell.commport(), QStringLiteral("COM1"));
    // Choosing an item by keyboard.
    shell.registry->showTerminal();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(shell.commport(), QStringLiteral("COM2"));
}

void TestShell::terminalExitKeepsTheSameObject() {
    Shell shell(QStringLiteral("9600"));
    shell.registry->showBasic();
    shell.registry->showTerminal();
    SerialCommWindow* first = shell.registry->terminalWindow();
    QVERIFY(first->isVisible());
    QVERIFY(first->openCommPort());
    QTest::mouseClick(child<QPushButton>(first, "exitButton"), Qt::LeftButton);
    QVERIFY(!first->isVisible());
    flushDeletes();
    shell.registry->showTerminal();
    QCOMPARE(shell.registry->terminalWindow(), first);
    QCOMPARE(shell.terminalsMade, 1);
    QVERIFY(first->isVisible());
    QVERIFY(
        child<QPlainTextEdit>(first, "responseBox")->toPlainText().startsWith("COM 5: Open at 9600,N,8,1"));
    QCOMPARE(child<QComboBox>(first, "baudChoice")->currentText(), QStringLiteral("9600"));
    QVERIFY(child<QPushButton>(first, "openPort")->isEnabled());
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

void TestShell::discardedTerminalClosesItsPort() {
    Shell shell(QStringLiteral("9600"));
    shell.registry->showBasic();
    shell.registry->showTerminal();
    SerialCommWindow* first = shell.registry->terminalWindow();
    child<QComboBox>(first, "portChoice")->setCurrentIndex(0);
    QVERIFY(first->openCommPort());
    QVERIFY(first->close());
    QVERIFY(!shell.sim.line().isOpen());
    flushDeletes();
    // Fresh: start-up selections (the preset baud again), empty list, port closed.
    SerialCommWindow* second = shell.registry->terminalWindow();
    QCOMPARE(shell.terminalsMade, 2);
    QCOMPARE(second->getCommport(), std::string("COM5"));
    QCOMPARE(child<QPlainTextEdit>(second, "responseBox")->toPlainText(), QString());
    QVERIFY(child<QPushButton>(second, "openPort")->isEnabled());
    QVERIFY(!child<QPushButton>(second, "closePort")->isEnabled());
    // The new terminal drives the main window's port display too.
    child<QComboBox>(second, "portChoice")->setCurrentIndex(2);
    QCOMPARE(shell.commport(), QStringLiteral("COM3"));
}

void TestShell::hidingKeeps() {
    Shell shell;
    shell.registry->showBasic();
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
    {
        BusyScope running;
        QVERIFY(!child<QPushButton>(confirm, "yesButton")->isEnabled());
        QVERIFY(!child<QPushButton>(confirm, "NoButton")->isEnabled());
        QVERIFY(!child<QLineEdit>(terminal, "commandString")->isEnabled());
        QVERIFY(!child<QPushButton>(terminal, "exitButton")->isEnabled());
        QVERIFY(!child<QPushButton>(terminal, "openPort")->isEnabled());
        QVERIFY(!terminal->close());
    }
    QVERIFY(child<QPushButton>(confirm, "yesButton")->isEnabled());
    QVERIFY(child<QPushButton>(confirm, "NoButton")->isEnabled());
    QVERIFY(child<QLineEdit>(terminal, "commandString")->isEnabled());
    QVERIFY(child<QPushButton>(terminal, "openPort")->isEnabled());
    // Discarded and made anew while running: locked from the start.
    QVERIFY(confirm->close());
    {
        BusyScope running;
        shell.registry->askOverwrite(0);
        QVERIFY(!child<QPushButton>(shell.registry->confirm(), "yesButton")->isEnabled());
    }
    QVERIFY(child<QPushButton>(shell.registry->confirm(), "yesButton")->isEnabled());
}

void TestShell::confirmedStoreGoesToTheAskingWindow_data() {
    QTest::addColumn<QList<int>>("askers");
    QTest::addColumn<bool>("basicStored");
    QTest::newRow("main window") << QList<int>{0} << true;
    QTest::newRow("advanced window") << QList<int>{1} << false;
    QTest::newRow("main, then advanced: advanced") << QList<int>{0, 1} << false;
    QTest::newRow("advanced, then main: main") << QList<int>{1, 0} << true;
}

void TestShell::confirmedStoreGoesToTheAskingWindow() {
    QFETCH(QList<int>, askers);
    QFETCH(bool, basicStored);
    Shell shell(QStringLiteral("9600"));
    shell.registry->showBasic();
    shell.registry->showAdvanced();
    // The save buttons of the asking windows: a beep each, then the dialog.
    for (int asker : askers) {
        if (asker == 0)
            shell.registry->basic()->updateButton_Click();
        else
            shell.registry->advanced()->updateButton_Click();
    }
    QCOMPARE(shell.notes->beeps(), int(askers.size()));
    ConfirmDialog* confirm = shell.registry->confirm();
    QVERIFY(confirm->isVisible());
    QCOMPARE(int(confirm->source()), askers.last());
    QCOMPARE(shell.sim.controller().log().size(), 0u);  // nothing yet
    QTest::mouseClick(child<QPushButton>(confirm, "yesButton"), Qt::LeftButton);
    QVERIFY(!confirm->isVisible());
    const std::vector<int> written = shell.written();
    QVERIFY2(!written.empty(), "the store wrote nothing");
    // The server port (520) belongs to the main window only, the trusted
    // addresses (682 on) to the advanced window only.
    QCOMPARE(contains(written, 520), basicStored);
    QCOMPARE(contains(written, 682), !basicStored);
}

void TestShell::confirmNoSendsNothing() {
    Shell shell(QStringLiteral("9600"));
    shell.registry->showBasic();
    shell.registry->basic()->updateButton_Click();
    QTest::mouseClick(child<QPushButton>(shell.registry->confirm(), "NoButton"), Qt::LeftButton);
    QVERIFY(!shell.registry->confirm()->isVisible());
    QCOMPARE(shell.sim.controller().log().size(), 0u);
    QVERIFY(!shell.sim.line().isOpen());
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

void TestShell::presetReachesEveryNewTerminal() {
    // A demonstration run points Serial Setup at the simulated controller.
    Shell shell;
    shell.registry->setTerminalPreset(QStringLiteral("/dev/pts/77"), QStringLiteral("9600"));
    shell.registry->showBasic();
    QCOMPARE(shell.commport(), QStringLiteral("/dev/pts/77"));
    SerialCommWindow* first = shell.registry->terminalWindow();
    QCOMPARE(child<QComboBox>(first, "baudChoice")->currentText(), QStringLiteral("9600"));
    child<QComboBox>(first, "portChoice")->setCurrentIndex(0);
    QCOMPARE(shell.commport(), QStringLiteral("COM1"));
    QVERIFY(first->close());
    SerialCommWindow* second = shell.registry->terminalWindow();
    QCOMPARE(second->getCommport(), std::string("/dev/pts/77"));
    QCOMPARE(child<QComboBox>(second, "baudChoice")->currentIndex(), 3);
}

void TestShell::endingLeavesTheEventLoop_data() {
    QTest::addColumn<bool>("viaAboutBox");
    QTest::newRow("about box closed before OK") << true;
    QTest::newRow("main window, quit Yes") << false;
}

void TestShell::endingLeavesTheEventLoop() {
    // As the program runs it: the registry's end quits the application's loop,
    // and quitting asks nothing more of the windows.
    QFETCH(bool, viaAboutBox);
    Shell shell;
    QObject::connect(shell.registry.get(), &WindowRegistry::programEnded, qApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    const bool quitOnLast = QGuiApplication::quitOnLastWindowClosed();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    shell.registry->start();
    bool timedOut = false;
    QTimer::singleShot(0, this, [&] {
        if (viaAboutBox) {
            shell.registry->about()->close();
        } else {
            shell.registry->about()->OKButton_Click();
            shell.registry->showAdvanced();
            shell.registry->showTerminal();
            shell.notes->answerYes();
            shell.registry->basic()->close();
        }
    });
    QTimer::singleShot(5000, this, [&] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    const int code = QCoreApplication::exec();
    QGuiApplication::setQuitOnLastWindowClosed(quitOnLast);
    QVERIFY(!timedOut);
    QCOMPARE(code, 0);
    QVERIFY(shell.registry->ended());
    QCOMPARE(shell.notes->questions().size(), viaAboutBox ? 0u : 1u);
}

QTEST_MAIN(TestShell)
#include "test_shell.moc"
