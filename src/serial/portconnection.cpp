#include "portconnection.h"

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <filesystem>

namespace tarvelin {

std::optional<std::string> systemEnvironment(const std::string& name) {
    if (const char* value = std::getenv(name.c_str()); value && *value) return std::string(value);
    return std::nullopt;
}

namespace {

// Digits only, read as a positive whole number that a long can hold (a text of
// four hundred digits is no baud rate).
bool isBaudRate(const std::string& text) {
    long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && std::isdigit(static_cast<unsigned char>(text.front())) && error == std::errc() &&
           stop == end && value > 0;
}

// "COM5" (any case) gives 5; anything else 0.
int comNumberOf(const std::string& text) {
    if (text.size() < 4 || text.size() > 6) return 0;
    if (std::toupper(static_cast<unsigned char>(text[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(text[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(text[2])) != 'M')
        return 0;
    int n = 0;
    for (std::size_t i = 3; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return 0;
        n = n * 10 + (text[i] - '0');
    }
    return n;
}

#ifndef _WIN32
std::string realDevice(const std::string& name) {
    std::error_code ec;
    auto canonical = std::filesystem::canonical(name, ec);
    return ec ? name : canonical.string();
}
#endif

}  // namespace

// Windows names its ports itself: KORVEX_COMn (env) is for POSIX systems.
PortTarget resolvePort(const std::string& portText, [[maybe_unused]] const EnvLookup& env) {
    PortTarget target;
    const int n = comNumberOf(portText);
    if (n >= 1) {
        target.comNumber = n;
        target.label = "COM " + std::to_string(n);
#ifdef _WIN32
        target.device = "COM" + std::to_string(n);
#else
        auto configured = env ? env("KORVEX_COM" + std::to_string(n)) : std::nullopt;
        target.device = realDevice(configured ? *configured : "/dev/ttyS" + std::to_string(n - 1));
#endif
        return target;
    }
#ifdef _WIN32
    target.device = portText;
#else
    target.device = realDevice(portText);
#endif
    target.label = portText;
    return target;
}

std::string settingsString(const PortChoice& choice) {
    std::string parity = choice.parityText.empty() ? std::string() : choice.parityText.substr(0, 1);
    return choice.baudText + "," + parity + "," + choice.dataBitsText + "," + choice.stopBitsText;
}

std::string openFailureReason(const OpenResult& result, const std::string& device) {
    switch (result.error) {
        case OpenError::None:
            return {};
        case OpenError::Busy:
            return "The port " + device + " is in use by another program.";
        case OpenError::PermissionDenied:
            return "Permission denied for " + device +
                   ": add your user to the 'dialout' group (sudo usermod -aG dialout $USER), then log in "
                   "again.";
        case OpenError::NoSuchDevice:
            return "There is no device " + device + ". Is the adapter plugged in?";
        case OpenError::NotSerialDevice:
            return device + " is not a serial device.";
        case OpenError::BadSettings:
            return "The port " + device + " does not accept these line settings.";
        case OpenError::Other:
            break;
    }
    return "The port " + device + " cannot be opened" + (result.detail.empty() ? "." : ": " + result.detail);
}

PortConnection::PortConnection(SerialLine& line, EnvLookup env) : line_(line), env_(std::move(env)) {}

PortConnection::OpenAttempt PortConnection::open(const PortChoice& choice) {
    OpenAttempt attempt;
    if (line_.isOpen() && !line_.lost()) {
        attempt.kind = OpenAttempt::AlreadyOpen;
        return attempt;
    }
    if (line_.isOpen()) line_.close();  // a vanished device: start over

    // Without a baud rate the settings string would be incomplete.
    if (!isBaudRate(choice.baudText)) {
        attempt.message = kChooseBaudText;
        return attempt;
    }

    const PortTarget target = resolvePort(choice.portText, env_);
    const std::string settings = settingsString(choice);
    if (target.device.empty()) {
        attempt.message = std::string(kOpenFailedText) + "\n" + "No port is chosen.";
        return attempt;
    }
    line_.setDevice(target.device);
    if (!line_.setSettings(settings)) {
        attempt.message = std::string(kOpenFailedText) + "\n" +
                          openFailureReason({OpenError::BadSettings, {}}, target.device);
        return attempt;
    }
    const OpenResult result = line_.open();
    if (!result.ok()) {
        attempt.message = std::string(kOpenFailedText) + "\n" + openFailureReason(result, target.device);
        return attempt;
    }
    label_ = target.label;
    attempt.kind = OpenAttempt::Opened;
    attempt.statusLine = label_ + ": Open at " + line_.settings();
    return attempt;
}

bool PortConnection::close() {
    if (!line_.isOpen()) return false;
    line_.close();
    return true;
}

}  // namespace tarvelin
