// The application shell: start-up, the window objects (made on first use,
// kept when hidden, discarded when closed through the frame), the routing of
// the confirmed store, quitting; and that every control the memory maps and
// the profiles name is a named, accessible widget of its window.
#include <QAccessible>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "advanced/advancedmap.h"
#include "advanced/ui/advancedwindow.h"
#include "app/aboutdialog.h"
#include "app/confirmdialog.h"
#include "app/windowregistry.h"
#include "basic/basicmap.h"
#include "basic/ui/basicwindow.h"
#include "config/busy.h"
#include "config/profile.h"
#include "config/ui/changemarks.h"
#include "config/ui/labelmessageline.h"
#include "config/ui/readablecolour.h"
#include "serial/ui/serialcommwindow.h"
#include "support/scriptedline.h"
#include "support/testnotifier.h"
#include "tarvelin_version.h"

using namespace tarvelin;
using namespace tarvelin::test;
using Window = WindowRegistry::Window;

namespace {

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void click(QWidget* window, const char* button) {
    QTest::mouseClick(window->findChild<QPushButton*>(button), Qt::LeftButton);
}

// A registry whose terminals each own a silent scripted line.
struct Shell {
    TestNotifier notes;
    WindowRegistry registry{notes, [this] {
                                auto line = std::make_unique<ScriptedLine>();
                                const Clock* clock = &line->clock();
                                return new SerialCommWindow(notes, std::move(line), clock);
                            }};
    QString commport() { return registry.basic()->widgets().text("commport"); }
    QString message(QWidget* window) { return window->findChild<QLabel*>("messageLabel")->text(); }
};

}  // namespace

class TestShell : public QObject {
    Q_OBJECT
private slots:
    void init() { test::failOnMissingControls(); }
    void cleanup() { flushDeletes(); }

    // Every caption a window shows, in the order it is built: the texts
    // exactly as the controller's users know them, one of each, and which
    // of them stand out in bold.
    void captions_data() {
        QTest::addColumn<int>("window");
        QTest::addColumn<QString>("captions");
        const QString address = " | . | . | . | ";
        QTest::newRow("about") << 0
                               << "Tarvelin Configuration* | Version " TARVELIN_VERSION
                                  " | Tarvelin Systems | OK";
        QTest::newRow("basic")
            << 1
            << "IP Address:" + address + "Subnet Mask:" + address + "Gateway IPAddr:" + address +
                   "SMTP Server:" + address + "DNS Server:" + address +
                   "Factory Default | Advanced Configuration | Tarvelin Port # | Node Name | "
                   "Modbus/TCP Secondary Port # | No of Connections | / | Tarvelin | MBTCP | "
                   "Username: | Password: | Use Username/Password? | Yes | No | Access Level: | "
                   "Serial Setup | Firmware: | Retrieve Parameters from Korvex-PLC | "
                   "Save Parameters  to Korvex-PLC | Reboot PLC After Save. | Exit* | "
                   "Load Profile... | Save Profile... | Revert | Verify after save";
        QString trusted;
        for (int n = 1; n <= 6; ++n) trusted += QStringLiteral("Trusted IP #%1").arg(n) + address;
        QTest::newRow("advanced")
            << 2
            << "MAC ID | " + trusted +
                   "Factory Default | Modbus/TCP Use Trusted IP? | Tarvelin Use Trusted IP? | "
                   "Yes | No | Yes | No | Ch1 | Ch2 | Ch3 | Ch4 | Ch5 | Ch6 | Ch7 | Ch8 | "
                   "ADC Calib.* | + | 0.000x | X = | Zero Offset | + | DAC Calib.* | + | 0.000x | X = | "
                   "A/D Moving Avg No. of pts (1-9) | Zero Offset | + | "
                   "Retrieve Parameters from Korvex-PLC | Serial Setup | Reboot PLC After Save. | "
                   "Save Parameters  to Korvex-PLC | Close | "
                   "Load Profile... | Save Profile... | Revert | Verify after save";
        QTest::newRow("terminal") << 3
                                  << "Command String (Press <Enter> to send | Exit | Port Name : | "
                                     "Data Bits: | Parity : | Baud Rate: | Stop Bits : | Open Port | "
                                     "Close Port | Find Controller | Response Strings | Timeout (ms) : | "
                                     "Add frame for station | Show time | Save Log... | Clear";
        QTest::newRow("confirmation")
            << 4 << "Are you sure you want to overwrite existing Tarvelin configurations? | Yes | No";
    }
    void captions() {
        QFETCH(int, window);
        QFETCH(QString, captions);
        Shell s;
        QWidget* windows[] = {s.registry.about(), s.registry.basic(), s.registry.advanced(),
                              s.registry.terminalWindow(), s.registry.confirm()};
        QStringList shown;
        for (QWidget* child : windows[window]->findChildren<QWidget*>()) {
            // Bold captions are marked "*".
            const QString bold = child->font().bold() ? "*" : "";
            if (auto* label = qobject_cast<QLabel*>(child); label && !label->text().isEmpty())
                shown << label->text() + bold;
            if (auto* button = qobject_cast<QAbstractButton*>(child); button && !button->text().isEmpty())
                shown << button->text() + bold;
        }
        QCOMPARE(shown.join(" | "), captions);
    }

    // Where everything stands in each window, as approved from its screenshot:
    // every shown control's place and size, drawn offscreen in the fonts the
    // test command installs. A spacing, a width or a row that moves changes
    // the window's print; the whole list is written out to compare.
    void layoutAsApproved() {
#ifdef _WIN32
        QSKIP("the prints are of the fonts of the Linux test machine");
#endif
        const QString drawnIn = QFontInfo(QApplication::font()).family();
        if (drawnIn != QLatin1String("DejaVu Sans"))
            QSKIP(qPrintable("the prints are for DejaVu Sans, not " + drawnIn));
        Shell s;
        const std::tuple<QString, QWidget*, const char*> windows[] = {
            {"about", s.registry.about(), "e7da2cc14217"},
            {"basic", s.registry.basic(), "046ee7bbd769"},
            {"advanced", s.registry.advanced(), "3d14a9009d46"},
            {"terminal", s.registry.terminalWindow(), "7b6b59b37584"},
            {"confirmation", s.registry.confirm(), "8a8158d3c682"}};
        QStringList changed;
        for (const auto& [name, window, approved] : windows) {
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            QString plan = QStringLiteral("%1x%2\n").arg(window->width()).arg(window->height());
            for (QWidget* child : window->findChildren<QWidget*>()) {
                if (!child->isVisibleTo(window)) continue;
                const QPoint at = child->mapTo(window, QPoint(0, 0));
                plan += QString::asprintf("%s %s %d,%d %dx%d\n", child->metaObject()->className(),
                                          qPrintable(child->objectName()), at.x(), at.y(), child->width(),
                                          child->height());
            }
            const QString print = QString::fromLatin1(
                QCryptographicHash::hash(plan.toUtf8(), QCryptographicHash::Sha1).toHex().left(12));
            if (print == QLatin1String(approved)) continue;
            QFile out(QDir::temp().filePath(QStringLiteral("tarvelin-%1-layout.txt").arg(name)));
            if (out.open(QIODevice::WriteOnly)) out.write(plan.toUtf8());
            changed << name + ": " + print + " (" + out.fileName() + ")";
        }
        QVERIFY2(changed.isEmpty(), qPrintable("moved: " + changed.join("; ")));
    }

    // Tab walks each configuration window in the order its users know, then
    // the profile row. "IP(3-0)" stands for IP(3), IP(2), IP(1) and IP(0).
    void focusOrder_data() {
        QTest::addColumn<int>("window");
        QTest::addColumn<QString>("order");
        const QString profileRow = " LoadProfile SaveProfile RevertButton VerifyAfterSave";
        QTest::newRow("basic")
            << 0
            << "IP(3-0) subnet(3-0) gateway(3-0) smtp(3-0) DNS(3-0) username password "
               "EnablePW(0-1) AccessLevel retrieveButton updateButton Command1 exitButton "
               "DefaultButton svrport hostName MBtcpPort No_of_Tarvelin No_of_MBtcp ResetPLC "
               "AdvConfig commport" +
                   profileRow;
        QTest::newRow("advanced")
            << 1
            << "MBtrusted(0-1) Tarvelintrusted(0-1) DefaultButton MAC(5-0) ADmcal(0-7) "
               "ADzcal(0-7) DAmcal(0-3) DAzcal(0-3) MovAvgNo retrieveButton updateButton "
               "ResetPLC SerialSetup closeButton TIP1(3-0) TIP2(3-0) TIP3(3-0) TIP4(3-0) "
               "TIP5(3-0) TIP6(3-0)" +
                   profileRow;
    }
    void focusOrder() {
        QFETCH(int, window);
        QFETCH(QString, order);
        QStringList expected;
        const QRegularExpression range("^(.+)\\((\\d)-(\\d)\\)$");
        for (const QString& word : order.split(' ')) {
            const auto m = range.match(word);
            if (!m.hasMatch()) expected << word;
            for (int from = m.captured(2).toInt(), to = m.captured(3).toInt(), i = from; m.hasMatch();
                 i += from < to ? 1 : -1) {
                expected << member(m.captured(1), i);
                if (i == to) break;
            }
        }
        Shell s;
        ConfigWindow* windows[] = {s.registry.basic(), s.registry.advanced()};
        WidgetForm& form = windows[window]->widgets();
        QWidget* first = form.widget(expected.front());
        QStringList walked;
        QWidget* w = first;
        do {
            if ((w->focusPolicy() & Qt::TabFocus) && form.has(w->objectName())) walked << w->objectName();
            w = w->nextInFocusChain();
        } while (w != first && walked.size() <= expected.size());
        QCOMPARE(walked.join(' '), expected.join(' '));
    }

    // Only the about box at first; OK shows the main window with the
    // terminal's port, the terminal made but hidden, and its buttons reach the
    // other windows. Closing the about box through its frame ends the program.
    void startUp_data() {
        QTest::addColumn<bool>("ok");
        QTest::newRow("OK") << true;
        QTest::newRow("frame") << false;
    }
    void startUp() {
        QFETCH(bool, ok);
        Shell s;
        QSignalSpy ended(&s.registry, &WindowRegistry::programEnded);
        s.registry.start();
        QVERIFY(s.registry.about()->isVisible());
        for (Window w : {Window::Basic, Window::Advanced, Window::Terminal, Window::Confirm})
            QVERIFY(!s.registry.exists(w));
        if (!ok) {
            QVERIFY(s.registry.about()->close());
            QCOMPARE(ended.count(), 1);
            QVERIFY(!s.registry.exists(Window::Basic) && !s.registry.exists(Window::Terminal));
            return;
        }
        click(s.registry.about(), "OKButton");
        QVERIFY(!s.registry.about()->isVisible() && s.registry.exists(Window::About));  // kept, hidden
        QVERIFY(s.registry.basic()->isVisible());
        QCOMPARE(s.commport(), "COM5");
        QVERIFY(s.registry.exists(Window::Terminal) && !s.registry.terminalWindow()->isVisible());
        QVERIFY(!s.registry.exists(Window::Advanced) && !s.registry.exists(Window::Confirm));
        click(s.registry.basic(), "Command1");
        QVERIFY(s.registry.terminalWindow()->isVisible());
        s.registry.terminalWindow()->hide();
        click(s.registry.basic(), "AdvConfig");
        QVERIFY(s.registry.advanced()->isVisible());
        click(s.registry.advanced(), "SerialSetup");
        QVERIFY(s.registry.terminalWindow()->isVisible());
        s.registry.terminalWindow()->findChild<QComboBox*>("portChoice")->setEditText("/dev/ttyUSB0");
        QCOMPARE(s.commport(), "/dev/ttyUSB0");
        QCOMPARE(ended.count(), 0);
    }

    // `how`: a button that hides the window, or empty for the window frame.
    void lifetimes_data() {
        QTest::addColumn<int>("window");
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("kept");
        for (auto [window, name, button] : {std::tuple{Window::Terminal, "terminal", "exitButton"},
                                            {Window::Advanced, "advanced", "closeButton"},
                                            {Window::Confirm, "confirmation", "NoButton"}}) {
            QTest::addRow("%s, %s", name, button) << int(window) << button << false << true;
            QTest::addRow("%s, frame", name) << int(window) << "" << false << false;
            QTest::addRow("%s, frame while an operation runs", name) << int(window) << "" << true << true;
        }
    }

    void lifetimes() {
        QFETCH(int, window);
        QFETCH(QString, how);
        QFETCH(bool, running);
        QFETCH(bool, kept);
        Shell s;
        s.registry.setTerminalPreset(QString(), "9600");
        s.registry.showBasic();
        const auto use = [&]() -> QWidget* {
            switch (Window(window)) {
                case Window::Terminal:
                    s.registry.showTerminal();
                    return s.registry.terminalWindow();
                case Window::Advanced:
                    s.registry.showAdvanced();
                    return s.registry.advanced();
                default:
                    s.registry.askOverwrite(1);
                    return s.registry.confirm();
            }
        };
        QPointer<QWidget> first = use();
        first->setProperty("mark", 1);
        QVERIFY(s.registry.terminalWindow()->openCommPort());
        s.registry.terminalWindow()->findChild<QComboBox*>("portChoice")->setEditText("COM1");
        s.registry.terminalWindow()->history().add("IR*");
        {
            std::optional<BusyScope> operation;
            if (running) operation.emplace(s.registry.context());
            if (how.isEmpty())
                first->close();
            else
                click(first, qPrintable(how));
            QCOMPARE(first->isVisible(), running);
        }
        QCOMPARE(s.registry.exists(Window(window)), kept);
        QWidget* second = use();
        QCOMPARE(second == first.data(), kept);
        QCOMPARE(second->property("mark").isValid(), kept);
        QVERIFY(second->isVisible());
        flushDeletes();
        QCOMPARE(first.isNull(), !kept);
        // A terminal closed through its frame took its port along; the new one
        // starts afresh, and the main window shows its port.
        const bool terminalKept = kept || Window(window) != Window::Terminal;
        QCOMPARE(s.registry.terminalWindow()->line().isOpen(), terminalKept && how != "exitButton");
        QCOMPARE(s.commport(), terminalKept ? "COM1" : "COM5");
        // The commands of this run outlive a terminal made anew.
        QCOMPARE(s.registry.terminalWindow()->history().entries().size(), 1u);
        QVERIFY(s.registry.basic()->isVisible() && !s.registry.ended());
    }

    // Each save press beeps and asks the one confirmation; "Yes" runs the store
    // of the window that asked last (its message line says how it went), "No"
    // runs nothing, nor does Esc. While an operation runs, neither button nor
    // Esc takes a press, and the terminal's "Save Log..." is held too.
    void confirmation_data() {
        QTest::addColumn<QList<int>>("askers");  // 0 the main window, 1 the advanced one
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("running");
        QTest::addColumn<int>("stored");  // -1: none
        QTest::newRow("basic, Yes") << QList<int>{0} << "yesButton" << false << 0;
        QTest::newRow("advanced, Yes") << QList<int>{1} << "yesButton" << false << 1;
        QTest::newRow("advanced then basic: the last asks") << QList<int>{1, 0} << "yesButton" << false << 0;
        QTest::newRow("No") << QList<int>{1} << "NoButton" << false << -1;
        QTest::newRow("Esc") << QList<int>{0} << "Esc" << false << -1;
        QTest::newRow("Esc while an operation runs") << QList<int>{0} << "Esc" << true << -1;
        QTest::newRow("Yes while an operation runs") << QList<int>{0} << "yesButton" << true << -1;
    }

    void confirmation() {
        QFETCH(QList<int>, askers);
        QFETCH(QString, answer);
        QFETCH(bool, running);
        QFETCH(int, stored);
        Shell s;
        s.registry.setTerminalPreset(QString(), "9600");
        s.registry.showBasic();
        s.registry.showAdvanced();
        QWidget* windows[] = {s.registry.basic(), s.registry.advanced()};
        for (int asker : askers) click(windows[asker], "updateButton");
        QCOMPARE(s.notes.beeps(), askers.size());
        QVERIFY(s.registry.confirm()->isVisible());
        QCOMPARE(s.registry.confirm()->source(), askers.last());
        // Return answers nothing: only a click does.
        QTest::keyClick(s.registry.confirm()->findChild<QPushButton*>("yesButton"), Qt::Key_Return);
        QVERIFY(s.registry.confirm()->isVisible());
        {
            std::optional<BusyScope> operation;
            if (running) operation.emplace(s.registry.context());
            QCOMPARE(s.registry.terminalWindow()->findChild<QPushButton*>("saveLog")->isEnabled(), !running);
            if (answer == "Esc")
                QTest::keyClick(s.registry.confirm(), Qt::Key_Escape);
            else
                click(s.registry.confirm(), qPrintable(answer));
        }
        QCOMPARE(s.registry.confirm()->isVisible(), running);
        for (int w : {0, 1}) QCOMPARE(s.message(windows[w]).isEmpty(), w != stored);
    }

    // The list beside the question follows the asking window while it is open.
    void confirmationList() {
        Shell s;
        s.registry.showBasic();
        click(s.registry.basic(), "updateButton");
        auto* list = s.registry.confirm()->findChild<QPlainTextEdit*>("changeList");
        QVERIFY(list->isReadOnly());
        QVERIFY(list->toPlainText().startsWith("No values were read from this controller (COM5)"));
        ConfigWindow* basic = s.registry.basic();
        basic->marks().keep(basic->form(), true);  // as a retrieve does
        QCOMPARE(list->toPlainText().section('\n', 1), "No value differs from those read.");
        basic->form().setText("hostName", " Press 7");  // a text is stored as typed, blanks and all
        basic->form().setText("svrport", "80x");
        QCOMPARE(list->toPlainText().section('\n', -2),
                 "Tarvelin Port: 9080 \u2192 80x (stored as 80)\nNode Name: Tarvelin \u2192 \" Press 7\"");
        basic->form().setText("hostName", "Tarvelin ");  // a blank alone is a change of a text
        QCOMPARE(list->toPlainText().section('\n', -1), "Node Name: Tarvelin \u2192 \"Tarvelin \"");
    }

    // "Yes" ends the program: every window goes and the port is closed, unless
    // a retrieve or store still holds it (it is asked to stop and ends on its own).
    void quit_data() {
        QTest::addColumn<bool>("running");
        QTest::newRow("idle") << false;
        QTest::newRow("while an operation runs") << true;
    }
    void quit() {
        QFETCH(bool, running);
        Shell s;
        s.registry.setTerminalPreset(QString(), "9600");
        s.registry.showBasic();
        s.registry.showAdvanced();
        s.registry.showTerminal();
        QVERIFY(s.registry.terminalWindow()->openCommPort());
        s.notes.answerYes();
        {
            std::optional<BusyScope> operation;
            if (running) operation.emplace(s.registry.context());
            QVERIFY(s.registry.basic()->close());
        }
        flushDeletes();
        QVERIFY(s.registry.ended());
        for (QWidget* w : std::initializer_list<QWidget*>{s.registry.basic(), s.registry.advanced(),
                                                          s.registry.terminalWindow()})
            QVERIFY(!w->isVisible());
        QCOMPARE(s.registry.terminalWindow()->line().isOpen(), running);
    }

    void namedControls_data() {
        QTest::addColumn<bool>("basic");
        QTest::newRow("basic") << true;
        QTest::newRow("advanced") << false;
    }

    // Every control a memory map or a profile names is the one widget of that
    // name in its window, found there as tools find it, and a screen reader
    // can speak it (the hidden flag byte holder and the value labels aside).
    void namedControls() {
        QFETCH(bool, basic);
        Shell s;
        const MemoryMap& map = basic ? basicMap() : advancedMap();
        ConfigWindow* window = basic ? static_cast<ConfigWindow*>(s.registry.basic()) : s.registry.advanced();
        WidgetForm& form = window->widgets();
        QStringList names = profileKeys(map);
        for (const Field& field : map)
            if (!field.control.isEmpty()) names << field.control;
        for (const QString& name : names) {
            const QStringList controls =
                form.has(name) ? QStringList{name} : QStringList{member(name, 0), member(name, 1)};
            for (const QString& control : controls) {
                QWidget* widget = form.widget(control);
                QVERIFY2(widget, qPrintable(control));
                QCOMPARE(window->findChildren<QWidget*>(control), QList<QWidget*>{widget});
                // Spoken by its field's name; tools find it by its control name.
                if (qobject_cast<QLineEdit*>(widget) || qobject_cast<QComboBox*>(widget))
                    QCOMPARE(widget->accessibleName(), spokenLabel(*findField(map, control)));
                QCOMPARE(widget->accessibleDescription(), control);
                QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(widget);
                QVERIFY2(spoken && (!spoken->text(QAccessible::Name).isEmpty() ||
                                    qobject_cast<QLabel*>(widget) || control == "PLCconfig"),
                         qPrintable(control));
            }
        }
    }

    // The coloured texts and buttons: exact on a light palette; on a dark
    // one, and after each switch, each reads at 4.5:1 or more.
    void palettes() {
        Shell s;
        ConfigWindow* windows[] = {s.registry.basic(), s.registry.advanced()};
        LabelMessageLine line(*windows[0]->findChild<QLabel*>("messageLabel"), s.notes);
        for (auto alignment : {MessageLine::Alignment::Center, MessageLine::Alignment::Left}) {
            line.setAlignment(alignment);
            QCOMPARE(line.alignment(), alignment);
        }
        // A long refusal wraps in the window; it does not widen it.
        line.setCaption(QString("Key \"basic.hostName\" does not fit: ").repeated(8));
        QVERIFY(windows[0]->findChild<QLabel*>("messageLabel")->minimumSizeHint().width() <
                windows[0]->width());
        const QPalette light = QApplication::palette();
        QPalette dark = light;
        for (auto [role, grey] : {std::pair{QPalette::Window, 53},
                                  {QPalette::Base, 42},
                                  {QPalette::Button, 53},
                                  {QPalette::WindowText, 255},
                                  {QPalette::Text, 255},
                                  {QPalette::ButtonText, 255}})
            dark.setColor(role, QColor(grey, grey, grey));
        const QRegularExpression faces("background-color: (#\\w+); color: (#\\w+);");
        for (const bool isDark : {false, true, false}) {
            // As a change of the desktop's palette reaches them (the test runs
            // no event loop, without which Qt passes the application's on to nobody).
            for (ConfigWindow* window : windows) window->setPalette(isDark ? dark : light);
            for (Rgb colour : {kBlue, kRed}) {
                line.setColor(colour);
                QCOMPARE(line.color(), colour);
                for (const char* name : {"messageLabel", "version", "Revision"})
                    for (ConfigWindow* window : windows)
                        if (QWidget* label = window->findChild<QLabel*>(name)) {
                            const QColor shown = label->palette().color(QPalette::WindowText);
                            QVERIFY2(isDark ? look::contrastRatio(
                                                  shown, label->palette().color(QPalette::Window)) >= 4.5
                                            : shown == look::intendedTextColor(label),
                                     name);
                        }
            }
            for (const char* name : {"updateButton", "AdvConfig"}) {
                const auto face = faces.match(windows[0]->findChild<QWidget*>(name)->styleSheet());
                QVERIFY(look::contrastRatio(QColor(face.captured(1)), QColor(face.captured(2))) >= 4.5);
                QCOMPARE(face.captured(1),
                         QString(name == QLatin1String("AdvConfig") ? "#c0ffff" : "#ffff00"));
            }
        }
    }
};

QTEST_MAIN(TestShell)
#include "test_shell.moc"
