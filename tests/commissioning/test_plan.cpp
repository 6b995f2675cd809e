// Commissioning plans read from CSV text, the report's CSV records, what
// counts as a difference between wanted and held values, and the wire trace.
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "advanced/advancedmap.h"
#include "basic/basicmap.h"
#include "commissioning/plan.h"
#include "config/comparison.h"
#include "serial/traceline.h"
#include "support/files.h"
#include "support/scriptedline.h"

using namespace tarvelin;
using tarvelin::test::readAll;

namespace {
// JSON written with ' for " in the tables.
QJsonObject json(const QString& text) {
    return QJsonDocument::fromJson(QString(text).replace(QLatin1Char('\''), QLatin1Char('"')).toUtf8())
        .object();
}
}  // namespace

class TestPlan : public QObject {
    Q_OBJECT
private slots:
    // What a good plan gives: the row of each MAC ID, its values per block.
    void goodPlans_data() {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("mac");
        QTest::addColumn<QString>("basic");     // the row's basic values, as JSON with ' for "
        QTest::addColumn<QString>("advanced");  // ... and advanced
        QTest::addColumn<int>("number");        // its line in the file
        QTest::newRow("spreadsheet: BOM, CR LF, quoted comma and quote, window-style MAC")
            << QByteArray(
                   "\xEF\xBB\xBFMAC,hostName,IP\r\n2-4B-58-0-c3-5,\"Press \"\"7\"\", east\",10.0.0.7\r\n")
            << "02:4B:58:00:C3:05"
            << "{'hostName':'Press \\\"7\\\", east','IP(3)':'10','IP(2)':'0','IP(1)':'0','IP(0)':'7'}"
            << "{}" << 2;
        QTest::newRow("empty cell names nothing, \"\" is an empty text, a blank kept, no final line end")
            << QByteArray("MAC,hostName,username,svrport,AccessLevel\n02:4B:58:00:C3:06,,\"\", 9080,2")
            << "02:4B:58:00:C3:06"
            << "{'username':'','svrport':' 9080','AccessLevel':2}"
            << "{}" << 2;
        QTest::newRow("advanced controls and a spreadsheet's empty rows")
            << QByteArray("TIP2,MAC,Tarvelintrusted,MovAvgNo\n,,,\n10.1.1.2,02:4b:58:00:00:01,Yes,4\n,,,\n")
            << "02:4B:58:00:00:01"
            << "{}"
            << "{'TIP2(3)':'10','TIP2(2)':'1','TIP2(1)':'1','TIP2(0)':'2','Tarvelintrusted':'Yes','MovAvgNo':"
               "'4'"
               "}"
            << 3;
    }

    void goodPlans() {
        QFETCH(QByteArray, csv);
        QFETCH(QString, mac);
        const auto plan = parsePlan(csv, QStringLiteral("p.csv"));
        QVERIFY2(plan, qPrintable(plan.failure().message));
        QCOMPARE(plan->rows.size(), std::size_t{1});
        const PlanRow* row = plan->find(*parseMacId(mac));
        QVERIFY(row);
        QCOMPARE(macIdText(row->mac), mac);
        QFETCH(int, number);
        QCOMPARE(row->number, number);
        QFETCH(QString, basic);
        QFETCH(QString, advanced);
        QCOMPARE(row->basic, json(basic));
        QCOMPARE(row->advanced, json(advanced));
    }

    void refusedPlans_data() {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("message");  // a part of the failure's text
        QTest::addColumn<bool>("doesNotFit");  // Refused (exit 5) rather than Unreadable (exit 2)
        const auto row = [](const char* name, const QByteArray& csv, const char* message,
                            bool doesNotFit = false) {
            QTest::newRow(name) << csv << QString(message) << doesNotFit;
        };
        const QByteArray head = "MAC,IP,hostName\n";
        row("unknown column", "MAC,IP,colour\n1-2-3-4-5-6,1.2.3.4,red\n",
            "row 1, column 3 \"colour\": not a setting");
        row("control named twice", "MAC,IP,IP(0)\n", "column 3 \"IP(0)\": IP(0) is named twice");
        row("no MAC column", "IP\n1.2.3.4\n", "row 1: no MAC column");
        row("duplicate MAC, written two ways",
            head + "02:4B:58:00:C3:05,1.2.3.4,a\n2-4B-58-0-C3-5,1.2.3.5,b\n",
            "row 3, column MAC: 02:4B:58:00:C3:05 is in row 2 already");
        row("MAC: five groups", head + "02:4B:58:00:C3,1.2.3.4,a\n", "row 2, column MAC: \"02:4B:58:00:C3\"");
        row("MAC: mixed separators", head + "02:4B:58-00-C3-05,1.2.3.4,a\n", "row 2, column MAC");
        row("MAC: not a hex digit", head + "02:4B:58:00:C3:0G,1.2.3.4,a\n", "row 2, column MAC");
        row("MAC: three digits", head + "002-4B-58-0-C3-5,1.2.3.4,a\n", "row 2, column MAC");
        row("octet out of range", head + "1-2-3-4-5-6,10.0.0.300,a\n",
            "row 2, column IP: key \"basic.IP(0)\": 300 is not between 0 and 255", true);
        row("not a dotted address", head + "1-2-3-4-5-6,10.0.7,a\n",
            "row 2, column IP: \"10.0.7\" is not a dotted address");
        row("a field too many", head + "1-2-3-4-5-6,1.2.3.4,a,b\n", "row 2: 4 fields, but the header has 3");
        row("quote left open", head + "1-2-3-4-5-6,1.2.3.4,a\n1-2-3-4-5-7,1.2.3.5,\"b\n",
            "row 3: not valid CSV");
        row("not UTF-8", head + "1-2-3-4-5-6,1.2.3.4,S\374d\n", "not UTF-8");  // \374: Latin-1 u umlaut
        // The window's connection split would store 5: the value does not fit.
        row("a value the window rule changes", "MAC,No_of_MBtcp\n1-2-3-4-5-6,7\n",
            "row 2, column No_of_MBtcp: key \"basic.No_of_MBtcp\": 7 would be stored as 5", true);
        // One number rule for every numeric control: no sign, no blank, no leading zero.
        for (const char* level : {"+2", "02", " 2"})
            row(level, QByteArray("MAC,AccessLevel\n1-2-3-4-5-6,") + level + "\n",
                "row 2, column AccessLevel: key \"basic.AccessLevel\" must be 1, 2, 3");
        row("an octet with a leading zero", head + "1-2-3-4-5-6,10.0.0.07,a\n",
            "key \"basic.IP(0)\" must be a whole decimal number, not \"07\"");
    }

    // A plan with anything wrong is refused whole, naming the row and column.
    void refusedPlans() {
        QFETCH(QByteArray, csv);
        QFETCH(QString, message);
        QFETCH(bool, doesNotFit);
        const auto plan = parsePlan(csv, QStringLiteral("p.csv"));
        QVERIFY(!plan);
        QVERIFY2(plan.failure().message.startsWith(QLatin1String("Plan p.csv: ")) &&
                     plan.failure().message.contains(message),
                 qPrintable(plan.failure().message));
        QCOMPARE(plan.failure().outcome, doesNotFit ? Outcome::Refused : Outcome::Unreadable);
    }

    // What the report writes, a spreadsheet (and the plan reader) reads back.
    void reportRecordsReadBack() {
        const QStringList fields{"2024-05-01T10:00:00+02:00", "Press \"7\", east", "two\r\nlines", "",
                                 " 9080"};
        const auto records = parseCsv(csvRecord(fields) + csvRecord({"x"}));
        QVERIFY(records);
        QCOMPARE(records->size(), std::size_t{2});
        QStringList back;
        for (const CsvField& f : records->front()) back << f.value_or(QStringLiteral("(null)"));
        QCOMPARE(back, fields);
    }

    void differences_data() {
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<QString>("held");  // as a retrieve gives it
        QTest::addColumn<QStringList>("differing");
        const auto row = [](const char* name, const char* wanted, const char* held,
                            const QStringList& differing) {
            QTest::newRow(name) << QString(wanted) << QString(held) << differing;
        };
        row("same port with and without the blank, a number for a text, open pair is No",
            "{'svrport':'9080','EnablePW':null,'IP(0)':5}", "{'svrport':' 9080','EnablePW':'No','IP(0)':'5'}",
            {});
        row("a text and an octet differ, in the order the block travels",
            "{'hostName':'Press 8','IP(0)':'7','IP(1)':'1'}",
            "{'hostName':'Press 7','IP(0)':'5','IP(1)':'1'}", {"IP(0)", "hostName"});
        row("access level and a pair", "{'AccessLevel':2,'EnablePW':'Yes'}",
            "{'AccessLevel':3,'EnablePW':'No'}", {"AccessLevel", "EnablePW"});
        row("advanced: 65535 is the gain word -1; a trusted switch",
            "{'ADmcal(0)':'65535','MBtrusted':'Yes'}", "{'ADmcal(0)':' -1','MBtrusted':'No'}", {"MBtrusted"});
    }

    void differences() {
        QFETCH(QString, wanted);
        QFETCH(QString, held);
        QFETCH(QStringList, differing);
        const QJsonObject w = json(wanted);
        const MemoryMap& map = w.contains(QLatin1String("MBtrusted")) ? advancedMap() : basicMap();
        QStringList keys;
        for (const Difference& d : tarvelin::differences(w, json(held), map)) keys << d.key;
        QCOMPARE(keys, differing);
    }

    // The time in front of each line of a trace: milliseconds and their
    // thousandths, right-aligned; a run of days widens it, never cuts it.
    void traceStamps() {
        const long long times[] = {0, 412, 999, 1000, 9871001, 999999999, 123456789012};
        const char* shown[] = {"     0.000 ", "     0.412 ", "     0.999 ",   "     1.000 ",
                               "  9871.001 ", "999999.999 ", "123456789.012 "};
        for (int i = 0; i < 7; ++i) {
            char stamp[32];
            const int n = writeTraceStamp(times[i], stamp);
            QCOMPARE(std::string(stamp, static_cast<std::size_t>(std::max(n, 0))), std::string(shown[i]));
        }
    }

    // Every write and every read reaches the file, in order, as it happens, and
    // what the file held before stays.
    void traceHoldsEveryWriteAndRead() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("trace.txt"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("earlier run\n") > 0);
        old.close();
        test::ScriptedLine line;
        line.setDevice("/dev/ttyUSB0");
        auto trace = TraceLine::open(line, path);
        QVERIFY(trace);
        QVERIFY((*trace)->open().ok());
        line.deliverIn(1, "\x05");
        QVERIFY((*trace)->write("\x05"));
        (*trace)->waitForData(10);
        QCOMPARE((*trace)->takeAll(), std::string("\x05"));
        QVERIFY((*trace)->write("@01MR020C2F*\r"));
        QCOMPARE((*trace)->takeAll(), std::string());  // nothing read: no line
        line.setLost(true);
        QVERIFY(!(*trace)->write("IR*\r"));
        const QList<QByteArray> lines = readAll(path).split('\n');
        QCOMPARE(lines.value(0), QByteArray("earlier run"));
        const QStringList expected{"trace begins", "open /dev/ttyUSB0 at 9600,N,8,1", "sent <ENQ>",
                                   "read <ENQ>",   "sent @01MR020C2F*<CR>",           "not sent IR*<CR>"};
        QCOMPARE(lines.size(), expected.size() + 2);  // and the last line's end
        double previous = 0;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            const QString text = QString::fromUtf8(lines.at(i + 1));
            const double stamp = text.left(10).toDouble();
            QVERIFY2(text.mid(11) == expected.at(i) && stamp >= previous, qPrintable(text));
            previous = stamp;
        }
        QVERIFY(!(*trace)->writeFailure());
#ifndef _WIN32
        // A line cut short by a full disk gives the system's reason.
        QVERIFY(test::writeAll(path, QByteArray(500, 'x')));
        test::setDiskFull(true);
        (*trace)->write("@01MR020C2F*\r");
        test::setDiskFull(false);
        QCOMPARE((*trace)->writeFailure().value_or(QString()), QStringLiteral("File too large"));
#endif
    }
};

QTEST_GUILESS_MAIN(TestPlan)
#include "test_plan.moc"
