#include "scanfigure.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "serial/scanner.h"
#include "sim/pty.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// `count` simulated controllers on pseudo-terminals; all silent but the one
// at `talking` (if any), which talks at 9600 only.
std::vector<std::unique_ptr<korvex::PtySimulator>> simulators(int count, int talking = -1) {
    std::vector<std::unique_ptr<korvex::PtySimulator>> sims;
    for (int i = 0; i < count; ++i) {
        korvex::Config config;
        config.faults.silent = i != talking;
        sims.push_back(std::make_unique<korvex::PtySimulator>(config));
        sims.back()->setLineSpeed(9600);
        if (!sims.back()->start()) sims.clear();
        if (sims.empty()) break;
    }
    return sims;
}

std::vector<tarvelin::ScanPort> portsOf(const std::vector<std::unique_ptr<korvex::PtySimulator>>& sims) {
    std::vector<std::string> names;
    for (const auto& sim : sims) names.push_back(sim->devicePath());
    return tarvelin::scanPorts(names);
}

// A whole scan with the default baud rates and waits, in seconds.
double timeScan(const std::vector<tarvelin::ScanPort>& ports) {
    tarvelin::PortScan scan(ports, tarvelin::defaultScanBauds(), {}, tarvelin::LineFactory());
    const auto start = Clock::now();
    scan.run({});
    return secondsSince(start);
}

}  // namespace

void printScanFigure() {
    auto six = simulators(6);
    if (six.size() != 6) {
        std::printf("scan: cannot open six pseudo-terminals\n");
        return;
    }
    const std::vector<tarvelin::ScanPort> ports = portsOf(six);
    const double one = timeScan({ports.front()});
    const double all = timeScan(ports);
    std::printf(
        "scan of silent ports at 8 baud rates: one port %.3f s, six ports %.3f s, ratio %.3f "
        "(target <= 1.2)\n",
        one, all, one > 0 ? all / one : -1);
    six.clear();

    // A controller at 9600 on the fourth of six ports: the time from the
    // start of the scan to its find.
    auto mixed = simulators(6, 3);
    if (mixed.size() != 6) return;
    tarvelin::PortScan scan(portsOf(mixed), tarvelin::defaultScanBauds(), {}, tarvelin::LineFactory());
    const auto start = Clock::now();
    double foundAfter = -1;
    scan.start([&](const tarvelin::TryResult& r) {
        if (r.kind == tarvelin::TryResult::Kind::Found && foundAfter < 0) {
            foundAfter = secondsSince(start);
            scan.stop();
        }
    });
    scan.wait();
    std::printf("controller at 9600 among six ports found after %.3f s (target < 0.5 s)\n", foundAfter);
}
