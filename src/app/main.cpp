// tarvelin-config: reads, edits and writes the Ethernet settings of a
// Korvex-PLC over its RS-232 port.
#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QIcon>
#include <QTextStream>
#include <cstring>
#include <memory>
#include <string>

#include "screenshots.h"
#include "serial/ui/notifier.h"
#include "tarvelin_version.h"
#include "windowregistry.h"

// The simulated controller needs pseudo-terminals: not built on Windows.
#ifdef TARVELIN_WITH_SIMULATOR
#include "sim/pty.h"
#endif

namespace {

struct Options {
    QCommandLineOption simulate{
        QStringLiteral("simulate"),
        QStringLiteral("Run against a simulated controller on a pseudo-terminal; Serial Setup is already "
                       "pointed at it (9600 baud), so Retrieve works at once.")};
    QCommandLineOption screenshots{QStringLiteral("screenshots"),
                                   QStringLiteral("Save a picture of every window into <dir>, then quit."),
                                   QStringLiteral("dir")};

    void addTo(QCommandLineParser& parser) {
        parser.setApplicationDescription(
            QStringLiteral("Reads, edits and writes the Ethernet settings of a Korvex-PLC over RS-232."));
        parser.addHelpOption();
        parser.addVersionOption();
#ifdef TARVELIN_WITH_SIMULATOR
        parser.addOption(simulate);
#endif
        screenshots.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(screenshots);
    }
};

void nameTheProgram() {
    QCoreApplication::setApplicationName(QStringLiteral("tarvelin-config"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARVELIN_VERSION));
}

// The windows' own icon: from the program's resources, or from the desktop's
// theme (the installed package) when it was built without them. Under
// Wayland the desktop finds it through the menu entry's name.
void showTheIcon() {
    QGuiApplication::setDesktopFileName(QStringLiteral("tarvelin-config"));
    QIcon icon;
#ifdef TARVELIN_WITH_ICON
    for (int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/icon/%1.png").arg(size), QSize(size, size));
#else
    icon = QIcon::fromTheme(QStringLiteral("tarvelin-config"));
#endif
    QApplication::setWindowIcon(icon);
}

#ifdef TARVELIN_WITH_SIMULATOR
// --simulate: a controller as it leaves the factory, on a pseudo-terminal;
// null (and said on standard error) when none can be had.
std::unique_ptr<korvex::PtySimulator> startSimulator() {
    auto simulator = std::make_unique<korvex::PtySimulator>();
    simulator->setLineSpeed(9600);
    if (!simulator->start()) {
        QTextStream(stderr) << "tarvelin-config: cannot start the simulated controller "
                               "(no pseudo-terminal available)"
                            << Qt::endl;
        return nullptr;
    }
    QTextStream(stderr) << "Simulated Korvex-PLC on " << QString::fromStdString(simulator->devicePath())
                        << Qt::endl;
    return simulator;
}
#endif

// --help and --version answer without a display.
bool onlyAsksForHelp(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        for (const char* option : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[i], option) == 0) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (onlyAsksForHelp(argc, argv)) {
        QCoreApplication app(argc, argv);
        nameTheProgram();
        QCommandLineParser parser;
        Options options;
        options.addTo(parser);
        parser.process(app);  // prints and leaves
        return 0;
    }

    QApplication app(argc, argv);
    nameTheProgram();
    showTheIcon();
    // Window titles are exactly the captions of the windows.
    QGuiApplication::setApplicationDisplayName(QString());
    // Only the main window's quit, or the about box closed before OK, ends
    // the program; the registry says when.
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    Options options;
    options.addTo(parser);
    parser.process(app);

    std::string simulatedDevice;
#ifdef TARVELIN_WITH_SIMULATOR
    // The simulated controller lives as long as the run and outlives the
    // windows (the terminal closes its port first).
    std::unique_ptr<korvex::PtySimulator> simulator;
    if (parser.isSet(options.simulate)) {
        simulator = startSimulator();
        if (!simulator) return 1;
        simulatedDevice = simulator->devicePath();
    }
#endif

    // The message boxes and beeps of every window.
    tarvelin::DesktopNotifier notifier;
    tarvelin::WindowRegistry registry{notifier};
    // TARVELIN_TRACE=FILE: a wire trace of everything on the terminal's line.
    registry.setTraceFile(qEnvironmentVariable("TARVELIN_TRACE"));
    if (!simulatedDevice.empty())
        registry.setTerminalPreset(QString::fromStdString(simulatedDevice), QStringLiteral("9600"));
    QObject::connect(&registry, &tarvelin::WindowRegistry::programEnded, &app, &QApplication::quit,
                     Qt::QueuedConnection);

    if (parser.isSet(options.screenshots)) {
        const QString dir = parser.value(options.screenshots);
        return tarvelin::takeScreenshots(registry, dir, !simulatedDevice.empty()) == 0 ? 0 : 1;
    }

    registry.start();
    return QApplication::exec();
}
