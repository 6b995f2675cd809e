// Finding the system's ports: stable links to pseudo-terminals standing in for
// /dev/serial/by-id, a pulled adapter's dangling link, and the real
// enumerator with such a link folder.
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "serial/portenumerator.h"
#include "sim/pty.h"

using namespace tarvelin;
namespace fs = std::filesystem;

namespace {

std::string inDir(const QTemporaryDir& dir, const char* name) {
    return dir.filePath(QString::fromLatin1(name)).toStdString();
}

QStringList devicesOf(const std::vector<SystemPort>& ports) {
    QStringList out;
    for (const SystemPort& p : ports) out << QString::fromStdString(p.device);
    return out;
}

}  // namespace

class TestPortEnumerator : public QObject {
    Q_OBJECT
private slots:
    void linksToPresentDevicesOnly_data();
    void linksToPresentDevicesOnly();
    void linkDescribedLikeItsPort();
    void noFolderNoLinks();
    void systemEnumeratorListsLinksLast();
};

void TestPortEnumerator::linksToPresentDevicesOnly_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("offered");
    QTest::newRow("absolute link to a pty") << "absolute" << true;
    QTest::newRow("relative link, as udev makes them") << "relative" << true;
    QTest::newRow("dangling link, as a pulled adapter leaves it") << "dangling" << false;
    QTest::newRow("link to a plain file") << "file-link" << false;
    QTest::newRow("plain file") << "file" << false;
    QTest::newRow("folder") << "folder" << false;
}

void TestPortEnumerator::linksToPresentDevicesOnly() {
    QFETCH(QString, kind);
    QFETCH(bool, offered);
    korvex::PtySimulator sim;
    QVERIFY(sim.start());
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string name = inDir(dir, "usb-Maker_Adapter_A1-if00-port0");
    const std::string plain = inDir(dir, "notes.txt");
    std::ofstream(plain) << "x";
    std::error_code ec;
    if (kind == "absolute") {
        QVERIFY(sim.makeLink(name));
    } else if (kind == "relative") {
        fs::create_symlink(fs::relative(sim.devicePath(), dir.path().toStdString()), name, ec);
    } else if (kind == "dangling") {
        fs::create_symlink("/dev/no-such-tty-here", name, ec);
    } else if (kind == "file-link") {
        fs::create_symlink(plain, name, ec);
    } else if (kind == "folder") {
        fs::create_directory(name, ec);
    }
    QVERIFY2(!ec, ec.message().c_str());
    if (kind != "file") fs::remove(plain);

    const std::vector<SystemPort> links = linkedPorts(dir.path().toStdString(), {});
    if (!offered) {
        QCOMPARE(devicesOf(links), QStringList());
        return;
    }
    QCOMPARE(devicesOf(links), QStringList{QString::fromStdString(name)});
    // Described from its own name, and with the device it stands for now.
    QCOMPARE(
        QString::fromStdString(links[0].description),
        QString::fromStdString("Maker Adapter A1 (now " + fs::canonical(sim.devicePath()).string() + ")"));
}

void TestPortEnumerator::linkDescribedLikeItsPort() {
    korvex::PtySimulator a;
    korvex::PtySimulator b;
    QVERIFY(a.start());
    QVERIFY(b.start());
    QTemporaryDir dir;
    const std::string linkB = inDir(dir, "usb-Maker_Adapter_B2-if00-port0");
    const std::string linkA = inDir(dir, "usb-Maker_Adapter_A1-if00-port0");
    QVERIFY(b.makeLink(linkB));
    QVERIFY(a.makeLink(linkA));
    // The system knows the port behind A by its device name.
    const std::vector<SystemPort> known{{a.devicePath(), "Maker, Adapter, serial A1"}};
    const std::vector<SystemPort> links = linkedPorts(dir.path().toStdString(), known);
    // Sorted by name, whatever the order they were made in.
    QCOMPARE(devicesOf(links), (QStringList{QString::fromStdString(linkA), QString::fromStdString(linkB)}));
    QCOMPARE(links[0].description,
             "Maker, Adapter, serial A1 (now " + fs::canonical(a.devicePath()).string() + ")");
    QCOMPARE(links[1].description, "Maker Adapter B2 (now " + fs::canonical(b.devicePath()).string() + ")");
}

void TestPortEnumerator::noFolderNoLinks() {
    QTemporaryDir dir;
    QCOMPARE(linkedPorts(inDir(dir, "by-id"), {}).size(), 0u);  // nothing plugged in yet
    QCOMPARE(linkedPorts(std::string(), {}).size(), 0u);
    QCOMPARE(linkedPorts(dir.path().toStdString(), {}).size(), 0u);  // empty
}

void TestPortEnumerator::systemEnumeratorListsLinksLast() {
    korvex::PtySimulator sim;
    QVERIFY(sim.start());
    QTemporaryDir dir;
    const std::string link = inDir(dir, "usb-Maker_Adapter_A1-if00-port0");
    QVERIFY(sim.makeLink(link));
    SystemPortEnumerator enumerator(dir.path().toStdString());
    const std::vector<SystemPort> ports = enumerator.ports();
    QVERIFY(!ports.empty());
    QCOMPARE(ports.back().device, link);
    // The ports the system reports come first, sorted, each once, by device name.
    const std::vector<SystemPort> reported = SystemPortEnumerator::reportedPorts();
    QCOMPARE(ports.size(), reported.size() + 1);
    for (std::size_t i = 0; i < reported.size(); ++i) {
        QCOMPARE(ports[i].device, reported[i].device);
        QVERIFY(!reported[i].device.empty());
        if (i > 0) QVERIFY(naturalLess(reported[i - 1].device, reported[i].device));
    }
}

QTEST_MAIN(TestPortEnumerator)
#include "test_portenumerator.moc"
