// Hostile input in every box: very long pasted texts, characters outside the
// single-byte set, numbers with 400 digits, "1e309", "&HFFFFFFFF", "-0",
// blanks only. Each is pasted into one box of a window the user has filled
// properly, the box loses the focus, and the window is stored.
//
// The field rules must neither crash nor hang and must leave their boxes
// within their limits; the store must either refuse (red message, nothing
// sent) or send exactly the bytes the box's text means, and never a value
// that does not fit its field.
#include <QApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <cmath>
#include <cstdlib>

#include "advanced/advancedwindow.h"
#include "app/blockplan.h"
#include "app/e2efixture.h"
#include "app/reliability.h"
#include "basic/basicwindow.h"
#include "config/form.h"
#include "config/memoryaccess.h"
#include "config/widgetform.h"
#include "serial/serialcommwindow.h"

using namespace tarvelin;
using namespace tarvelin::test;

namespace {

// The lenient reading of a box, written out for these forms only: blanks
// anywhere are ignored; "&H"/"&O" make the following digits hexadecimal or
// octal; otherwise sign, digits, decimal point, exponent (E or D); the first
// character that cannot continue the number ends it; no number gives 0.
long double lenientNumber(const QString& text) {
    std::string s;
    for (QChar c : text) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')) continue;
        s += c.unicode() < 128 ? static_cast<char>(c.unicode()) : '\x01';
    }
    if (s.size() >= 2 && s[0] == '&' && std::strchr("HhOo", s[1])) {
        const int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
        long double value = 0;
        for (std::size_t i = 2; i < s.size(); ++i) {
            const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[i])));
            const int d = c >= '0' && c <= '9' ? c - '0' : (c >= 'A' && c <= 'F' ? c - 'A' + 10 : 99);
            if (d >= base) break;
            value = value * base + d;
        }
        return value;
    }
    std::string number;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) number += s[i++];
    bool digits = false;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) number += s[i++], digits = true;
    if (i < s.size() && s[i] == '.') {
        number += s[i++];
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
            number += s[i++], digits = true;
    }
    if (!digits) return 0;
    if (i < s.size() && std::strchr("EeDd", s[i])) {
        std::size_t j = i + 1;
        std::string exponent = "E";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) exponent += s[j++];
        if (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
            while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) exponent += s[j++];
            number += exponent;
        }
    }
    return std::strtold(number.c_str(), nullptr);
}

// The range a store accepts for a field's number.
struct Range {
    long double low, high;
};

Range rangeOf(const Spot& spot) {
    switch (spot.kind) {
        case Kind::Port:
            return {0, 65535};
        case Kind::Word:
            // Gains take whatever a word can carry; offsets what their rule allows.
            if (spot.control.startsWith(QStringLiteral("ADzcal")) ||
                spot.control.startsWith(QStringLiteral("DAzcal")))
                return {-100, 100};
            return {-32768, 65535};
        case Kind::Average:
            return {1, 9};
        default:
            return {0, 255};
    }
}

// The bytes a store should write for `spot`, or empty when it must refuse.
std::optional<std::vector<int>> meant(const Spot& spot, const Form& form, int flagByte) {
    switch (spot.kind) {
        case Kind::Octet:
        case Kind::Count:
        case Kind::Average:
        case Kind::Port:
        case Kind::Word: {
            const long double v = std::nearbyint(lenientNumber(form.text(spot.control)));
            const Range range = rangeOf(spot);
            if (!(v >= range.low && v <= range.high)) return std::nullopt;
            const long long n = static_cast<long long>(v);
            if (spot.kind == Kind::Port)
                return std::vector<int>{static_cast<int>(n / 256), static_cast<int>(n % 256)};
            if (spot.kind == Kind::Word) {
                const long long w = n < 0 ? n + 65536 : n;
                return std::vector<int>{static_cast<int>(w / 256), static_cast<int>(w % 256)};
            }
            return std::vector<int>{static_cast<int>(n)};
        }
        case Kind::Text: {
            const QString text = form.text(spot.control).left(16);
            std::vector<int> bytes(16, 0);
            for (int i = 0; i < text.size(); ++i) {
                if (text.at(i).unicode() > 0xFF) return std::nullopt;
                bytes[static_cast<std::size_t>(i)] = text.at(i).unicode();
            }
            return bytes;
        }
        default:
            return bytesFor(spot, form, flagByte);
    }
}

QString longDigits() {
    QString s;
    while (s.size() < 5000) s += QStringLiteral("1234567890");
    return s;
}

// Puts `text` into the box as a paste does (its length limit applies), then
// takes the focus away from it.
void pasteInto(QLineEdit* box, const QString& text) {
    box->selectAll();
    box->insert(text);
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(box, &out);
}

bool plainInteger(const QString& text, int low, int high) {
    bool ok = false;
    const int v = text.toInt(&ok);
    return ok && v >= low && v <= high && text == QString::number(v);
}

}  // namespace

class TestHostile : public QObject {
    Q_OBJECT
private slots:
    void boxes_data();
    void boxes();
    void terminal_data();
    void terminal();

private:
    void addValues();
};

void TestHostile::addValues() {
    QTest::addColumn<QString>("value");
    QTest::newRow("very long pasted digits") << longDigits();
    QTest::newRow("very long pasted letters") << QString(6000, QLatin1Char('x'));
    QTest::newRow("Unicode outside the single-byte set") << QStringLiteral("\u03A9\u0436\U0001F642\u00BD");
    QTest::newRow("Unicode after a number") << QStringLiteral("12\u0660\u0663");
    QTest::newRow("a number with 400 digits") << QString(400, QLatin1Char('9'));
    QTest::newRow("1e309") << QStringLiteral("1e309");
    QTest::newRow("-1e309") << QStringLiteral("-1e309");
    QTest::newRow("&HFFFFFFFF") << QStringLiteral("&HFFFFFFFF");
    QTest::newRow("-0") << QStringLiteral("-0");
    QTest::newRow("blanks only") << QStringLiteral("      ");
    QTest::newRow("NaN") << QStringLiteral("NaN");
    QTest::newRow("1D2 with blanks inside") << QStringLiteral(" 1 D 2");
}

void TestHostile::boxes_data() {
    addValues();
}

void TestHostile::boxes() {
    QFETCH(QString, value);
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    BasicWindow* basic = e2e.basic();
    AdvancedWindow* advanced = e2e.advanced();
    e2e.retrieveAdvanced();  // the flag byte known from here on
    QCOMPARE(EndToEnd::message(advanced), QString::fromLatin1(kRetrievedText));

    int stored = 0, refused = 0;
    for (const Block block : {Block::Basic, Block::Advanced}) {
        QWidget* window = block == Block::Basic ? static_cast<QWidget*>(basic) : advanced;
        WidgetForm& widgets = block == Block::Basic ? basic->widgets() : advanced->widgets();
        Form& form = widgets;
        for (const QString& name : widgets.names()) {
            auto* box = qobject_cast<QLineEdit*>(widgets.widget(name));
            // Only what the user can edit: not the locked MAC ID, not the
            // hidden flag byte, not the port display.
            if (!box || box->isReadOnly() || !box->isVisibleTo(window)) continue;
            if (block == Block::Basic)
                editBasic(form);
            else
                editAdvanced(form);
            e2e.forget();

            pasteInto(box, value);

            // The rules keep their boxes within their limits.
            const QString tarvelin = form.text(QStringLiteral("No_of_Tarvelin"));
            const QString modbus = form.text(QStringLiteral("No_of_MBtcp"));
            if (block == Block::Basic) {
                QVERIFY2(plainInteger(tarvelin, 1, 4) && plainInteger(modbus, 2, 5) &&
                             tarvelin.toInt() + modbus.toInt() == 6,
                         qPrintable(name + QStringLiteral(": ") + tarvelin + QStringLiteral(" / ") + modbus));
                QVERIFY(form.text(QStringLiteral("username")).size() <= 16);
                QVERIFY(form.text(QStringLiteral("password")).size() <= 16);
            } else {
                const QString average = form.text(QStringLiteral("MovAvgNo"));
                QVERIFY2(lenientNumber(average) >= 1 && lenientNumber(average) <= 9,
                         qPrintable(average.left(40)));
                for (const char* array : {"ADzcal", "DAzcal"})
                    for (int k = 0; k < (array[0] == 'A' ? 8 : 4); ++k) {
                        const QString offset =
                            form.text(QStringLiteral("%1(%2)").arg(QLatin1String(array)).arg(k));
                        const long double v = lenientNumber(offset);
                        QVERIFY2(v >= -100 && v <= 100, qPrintable(offset.left(40)));
                    }
            }

            // What the store must do with the box as it now reads.
            const int flag = storeFlagByte(block, form, heldFlagByte(advanced->form()));
            std::vector<korvex::Controller::Write> expected;
            bool mustRefuse = false;
            for (const Spot& spot : writePlan(block)) {
                const auto bytes = meant(spot, form, flag);
                if (!bytes) {
                    mustRefuse = true;
                    break;
                }
                for (std::size_t i = 0; i < spot.addresses.size(); ++i)
                    expected.push_back({spot.addresses[i], (*bytes)[i]});
            }
            const QString shown = box->text().left(30);

            if (block == Block::Basic)
                e2e.saveBasic(EndToEnd::Yes);
            else
                e2e.saveAdvanced(EndToEnd::Yes);

            const QString where =
                name + QStringLiteral(" '") + shown + QStringLiteral("': ") + EndToEnd::message(window);
            if (mustRefuse) {
                ++refused;
                QVERIFY2(EndToEnd::message(window) != QString::fromLatin1(kStoredText), qPrintable(where));
                QVERIFY2(EndToEnd::messageColor(window) == QColor(255, 0, 0), qPrintable(where));
                QVERIFY2(e2e.log().empty(), qPrintable(where));
                QVERIFY2(e2e.writes().empty(), qPrintable(where));
            } else {
                ++stored;
                QVERIFY2(EndToEnd::message(window) == QString::fromLatin1(kStoredText), qPrintable(where));
                QVERIFY2(e2e.writes() == expected, qPrintable(where));
            }
            // Every request was one the controller understood: nothing it
            // answered with "ER".
            for (const std::string& request : e2e.log()) {
                if (request.empty() || request.front() != '@') continue;
                QVERIFY2(request.size() >= 6, request.c_str());
                const std::string body = request.substr(3, request.size() - 6);
                const bool known = (body.size() == 8 && body.compare(0, 2, "MW") == 0) ||
                                   (body.size() == 6 && body.compare(0, 2, "MR") == 0) || body == "MENABLE" ||
                                   body == "Mw4011000080";
                QVERIFY2(known, request.c_str());
            }
        }
    }
    qInfo("%d stores sent, %d refused", stored, refused);
    QVERIFY(stored + refused > 70);
}

void TestHostile::terminal_data() {
    addValues();
}

// The command line sends whatever it holds; it must not crash or hang, and
// lists a reply or the warning for each Enter.
void TestHostile::terminal() {
    QFETCH(QString, value);
    EndToEnd e2e;
    QVERIFY(e2e.ready());
    SerialCommWindow* term = e2e.terminal();
    e2e.setTimeout(300);
    QVERIFY(term->openCommPort());
    auto* replies = term->findChild<QPlainTextEdit*>(QStringLiteral("responseBox"));
    auto* line = term->findChild<QLineEdit*>(QStringLiteral("commandString"));
    replies->clear();
    for (const QString& typed : {value, QStringLiteral("@") + value, QStringLiteral(":") + value}) {
        line->selectAll();
        line->insert(typed);
        QTest::keyClick(line, Qt::Key_Return);
    }
    const QStringList listed = replies->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(listed.size(), 3);
    QVERIFY(term->line().isOpen());
    // The controller still answers afterwards.
    line->setText(QStringLiteral("IR*"));
    QTest::keyClick(line, Qt::Key_Return);
    QVERIFY2(replies->toPlainText().endsWith(QStringLiteral("IR01\n")),
             qPrintable(replies->toPlainText().right(80)));
}

QTEST_MAIN(TestHostile)
#include "test_hostile.moc"
