#include "portenumerator.h"

#include <QSerialPortInfo>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <regex>

namespace tarvelin {

namespace {

std::string trimmed(const std::string& text) {
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    auto first = std::find_if_not(text.begin(), text.end(), blank);
    auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
    return first < last ? std::string(first, last) : std::string();
}

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

void sortByName(std::vector<SystemPort>& ports) {
    std::stable_sort(ports.begin(), ports.end(), [](const SystemPort& a, const SystemPort& b) {
        return naturalLess(a.device, b.device);
    });
}

}  // namespace

#ifdef _WIN32
const char* const SystemPortEnumerator::kByIdDirectory = "";
#else
const char* const SystemPortEnumerator::kByIdDirectory = "/dev/serial/by-id";
#endif

std::string describePort(const std::string& maker, const std::string& product,
                         const std::string& serialNumber) {
    const std::string m = trimmed(maker);
    const std::string p = trimmed(product);
    const std::string s = trimmed(serialNumber);
    std::string text = m;
    const auto add = [&text](const std::string& part) {
        if (part.empty()) return;
        if (!text.empty()) text += ", ";
        text += part;
    };
    if (!sameIgnoringCase(p, m)) add(p);
    if (!s.empty()) add("serial " + s);
    return text;
}

std::string describeLinkName(const std::string& linkName) {
    static const std::regex bus("^(usb|pci|platform)-");
    static const std::regex interfacePart("-if[0-9A-Fa-f]+(-port[0-9]+)?$");
    std::string text = std::regex_replace(linkName, bus, "");
    text = std::regex_replace(text, interfacePart, "");
    std::replace(text.begin(), text.end(), '_', ' ');
    // One blank between words.
    std::string out;
    for (char c : text) {
        if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
        out += c;
    }
    return trimmed(out);
}

bool naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            // Compare the two numbers by value: fewer significant digits is smaller.
            std::size_t ei = i;
            std::size_t ej = j;
            while (ei < a.size() && isDigit(a[ei])) ++ei;
            while (ej < b.size() && isDigit(b[ej])) ++ej;
            std::size_t si = i;
            std::size_t sj = j;
            while (si + 1 < ei && a[si] == '0') ++si;
            while (sj + 1 < ej && b[sj] == '0') ++sj;
            if (ei - si != ej - sj) return ei - si < ej - sj;
            const int order = a.compare(si, ei - si, b, sj, ej - sj);
            if (order != 0) return order < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
    return a < b;  // equal as numbers ("ttyS02" and "ttyS2"): still a strict order
}

std::vector<SystemPort> distinctPorts(std::vector<SystemPort> ports) {
    sortByName(ports);
    const auto sameDevice = [](const SystemPort& a, const SystemPort& b) { return a.device == b.device; };
    ports.erase(std::unique(ports.begin(), ports.end(), sameDevice), ports.end());
    return ports;
}

std::vector<SystemPort> linkedPorts(const std::string& directory, const std::vector<SystemPort>& known) {
    std::vector<SystemPort> links;
    if (directory.empty()) return links;
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(directory, ec);
    if (ec) return links;  // no adapter has ever been plugged in: no directory
    for (const fs::directory_entry& entry : it) {
        std::error_code entryError;
        const fs::path target = fs::canonical(entry.path(), entryError);
        if (entryError) continue;  // dangling: the adapter is gone
        if (!fs::is_character_file(target, entryError) || entryError) continue;
        SystemPort port;
        port.device = entry.path().string();
        std::string about;
        for (const SystemPort& k : known) {
            std::error_code knownError;
            const fs::path knownTarget = fs::canonical(k.device, knownError);
            if (!knownError && knownTarget == target) {
                about = k.description;
                break;
            }
        }
        if (about.empty()) about = describeLinkName(entry.path().filename().string());
        port.description = (about.empty() ? std::string() : about + " ") + "(now " + target.string() + ")";
        links.push_back(std::move(port));
    }
    sortByName(links);
    return links;
}

SystemPortEnumerator::SystemPortEnumerator(std::string linkDirectory)
    : linkDirectory_(std::move(linkDirectory)) {}

std::vector<SystemPort> SystemPortEnumerator::reportedPorts() {
    std::vector<SystemPort> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SystemPort port;
        port.device = info.systemLocation().toStdString();
        if (port.device.empty()) continue;
        port.description = describePort(info.manufacturer().toStdString(), info.description().toStdString(),
                                        info.serialNumber().toStdString());
        ports.push_back(std::move(port));
    }
    return distinctPorts(std::move(ports));
}

std::vector<SystemPort> SystemPortEnumerator::ports() {
    std::vector<SystemPort> ports = reportedPorts();
    std::vector<SystemPort> links = linkedPorts(linkDirectory_, ports);
    ports.insert(ports.end(), std::make_move_iterator(links.begin()), std::make_move_iterator(links.end()));
    return ports;
}

}  // namespace tarvelin
