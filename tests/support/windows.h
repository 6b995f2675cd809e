// A configuration window on fakes of the rest of the program (a terminal
// whose port never opens, a directory that shows nothing), and ways to type
// into its boxes and to watch its rules run.
#pragma once

#include <QAbstractButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <string>

#include "commissioning/headlessdirectory.h"
#include "config/busy.h"
#include "config/ui/screenfit.h"
#include "config/ui/widgetform.h"
#include "serial/terminal.h"
#include "support/testnotifier.h"

namespace tarvelin::test {

// A terminal whose port never opens; it counts the tries.
class StubTerminal final : public Terminal {
public:
    bool openCommPort() override { return ++opens, false; }
    std::string getCommport() override { return "COM5"; }
    Result<std::string> send(const std::string&) override { return Failure{Outcome::NoResponse, {}}; }
    std::string takePending() override { return {}; }

    int opens = 0;
};

// The other window objects, shown nowhere, over that terminal (kept, not
// used, before it is made).
struct QuietDirectory final : HeadlessDirectory {
    QuietDirectory() : HeadlessDirectory(stub) {}
    StubTerminal stub;
};

template <typename W>
struct WindowRig {
    TestNotifier notes;
    QuietDirectory directory;
    W window{directory, notes};

    WidgetForm& w() { return window.widgets(); }
    LimitedLineEdit* box(const QString& name) { return w().template get<LimitedLineEdit>(name); }
    // Types `text` over the whole box (an empty text: Backspace), or places
    // it as the program does.
    void enter(const QString& name, const QString& text, bool typed) {
        if (!typed) return window.form().setText(name, text);
        box(name)->selectAll();
        if (text.isEmpty()) return QTest::keyClick(box(name), Qt::Key_Backspace);
        QTest::keyClicks(box(name), text);
    }
    // "name=text" of every text box, in the window's order.
    QString boxes() {
        QStringList out;
        for (const QString& name : w().names())
            if (box(name)) out << name + QLatin1Char('=') + box(name)->text();
        return out.join(QLatin1Char(' '));
    }
    // While an operation runs, exactly the buttons that start one (and the
    // profile buttons, whose file dialog would hold it up) are disabled, also
    // in a window made meanwhile; Revert follows the marks alone.
    void checkBusy() {
        const QStringList held{"retrieveButton", "updateButton", "DefaultButton", "LoadProfile",
                               "SaveProfile"};
        {
            BusyScope running(directory.context());
            W other(directory, notes);
            for (const QString& name : w().names())
                if (auto* button = w().template get<QAbstractButton>(name);
                    button && !button->isCheckable() && name != "RevertButton") {
                    QVERIFY2(button->isEnabled() != held.contains(name), qPrintable(name));
                    QCOMPARE(other.widgets().widget(name)->isEnabled(), button->isEnabled());
                }
        }
        for (const QString& name : held) QVERIFY2(w().widget(name)->isEnabled(), qPrintable(name));
    }
    // Larger, every control keeps its place beside the others (the margins
    // grow); smaller than its contents (a small screen), the window scrolls.
    void checkFit() {
        window.show();
        const QWidget* panel = window.template findChild<QWidget*>(QStringLiteral("Frame1"));
        const auto places = [&] {
            QStringList out;
            for (const QString& name : w().names()) {
                const QPoint at =
                    w().widget(name)->mapTo(&window, QPoint()) - panel->mapTo(&window, QPoint());
                out << QStringLiteral("%1@%2,%3").arg(name).arg(at.x()).arg(at.y());
            }
            return out;
        };
        auto* area = window.template findChild<QScrollArea*>();
        const QStringList before = places();
        QCOMPARE(area->verticalScrollBar()->maximum() + area->horizontalScrollBar()->maximum(), 0);
        window.resize(window.size() * 2);
        QCoreApplication::processEvents();
        QCOMPARE(places(), before);
        window.resize(240, 200);
        QCoreApplication::processEvents();
        QVERIFY(area->verticalScrollBar()->maximum() > 0 && area->horizontalScrollBar()->maximum() > 0);
        QCOMPARE(look::fittedSize({402, 461}, {4, 30}, QRect(0, 0, 1280, 400)), QSize(402, 370));
    }
};

// The texts a box took on during its assignments, in order. A change rule
// runs nested inside the assignment, before a spy connected after it hears of
// it, so the spy lists them innermost first.
inline QStringList assignedTexts(const QSignalSpy& spy) {
    QStringList out;
    for (const QList<QVariant>& args : spy) out.prepend(args.at(0).toString());
    return out;
}

}  // namespace tarvelin::test
