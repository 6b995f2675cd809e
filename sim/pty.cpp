#include "pty.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>

namespace korvex {

namespace {

constexpr int kIdlePollMs = 200;  // stop() also wakes the reader through a pipe
constexpr auto kPieceGap = std::chrono::milliseconds(5);

bool makeRaw(int fd) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return false;
    ::cfmakeraw(&t);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// What the tool gets back from a line at the wrong speed: a byte of noise
// for every byte it sent, never a control character (so never ENQ or a line
// end) and never what it sent.
std::string noiseFor(const std::string& bytes) {
    std::string noise;
    for (char c : bytes) noise += static_cast<char>(0xA0 | ((static_cast<unsigned char>(c) * 7 + 3) & 0x5F));
    return noise;
}

}  // namespace

PtySimulator::PtySimulator(Config config, int paceBaud)
    : controller_(std::move(config)), paceBaud_(paceBaud) {}

PtySimulator::~PtySimulator() {
    stop();
}

bool PtySimulator::start() {
    if (master_ >= 0) return true;
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return false;
    const char* name = ::ptsname(master);
    if (!name || !makeRaw(slave) || !makeRaw(master) || ::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        ::close(master);
        ::close(slave);
        return false;
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    path_ = name;
    master_ = master;
    slave_ = slave;
    stopping_ = false;
    reader_ = std::thread([this] { run(); });
    return true;
}

void PtySimulator::hangUp() {
    if (reader_.joinable()) {
        stopping_ = true;
        const char wake = 1;
        [[maybe_unused]] auto n = ::write(wake_[1], &wake, 1);
        reader_.join();
    }
    closeAll();
}

void PtySimulator::stop() {
    hangUp();
    if (!link_.empty()) {
        struct stat st {};
        if (::lstat(link_.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) ::unlink(link_.c_str());
        link_.clear();
    }
}

void PtySimulator::closeAll() {
    std::lock_guard lock(writeMutex_);
    closeFd(master_);
    closeFd(slave_);
    closeFd(wake_[0]);
    closeFd(wake_[1]);
}

bool PtySimulator::makeLink(const std::string& path) {
    if (path_.empty() || path.empty()) return false;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) return false;  // never replace a real file
        ::unlink(path.c_str());
    }
    if (::symlink(path_.c_str(), path.c_str()) != 0) return false;
    link_ = path;
    return true;
}

void PtySimulator::run() {
    char buffer[4096];
    while (!stopping_) {
        pollfd fds[2] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        const int ready = ::poll(fds, 2, kIdlePollMs);
        if (stopping_) break;
        if (ready <= 0) continue;
        if (fds[0].revents & (POLLHUP | POLLERR)) {
            // Only when nobody holds the slave open; we do, so this is a
            // passing state. Do not spin on it.
            ::poll(nullptr, 0, 10);
        }
        if (!(fds[0].revents & POLLIN)) continue;
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno != EAGAIN && errno != EINTR) ::poll(nullptr, 0, 10);
            continue;
        }
        const std::string bytes(buffer, static_cast<std::size_t>(n));
        if (const int speed = lineSpeed_.load(); speed > 0 && lineBaud() != speed) {
            // The controller hears nothing it understands; the tool hears noise.
            Trace trace;
            {
                std::lock_guard lock(mutex_);
                trace = trace_;
            }
            const std::string noise = noiseFor(bytes);
            if (trace) trace(true, bytes);
            writeAll(noise);
            if (trace) trace(false, noise);
            continue;
        }
        std::vector<std::string> replies;
        int pieces = 1;
        Trace trace;
        {
            std::lock_guard lock(mutex_);
            replies = controller_.receive(bytes);
            pieces = controller_.config().faults.splitReplies;
            trace = trace_;
        }
        if (trace) trace(true, bytes);
        for (const std::string& reply : replies) {
            if (stopping_) break;
            if (paceBaud_ > 0) {
                const auto us = static_cast<long long>(reply.size()) * 10 * 1'000'000 / paceBaud_;
                std::this_thread::sleep_for(std::chrono::microseconds(us));
            }
            deliver(reply, pieces);
            if (trace) trace(false, reply);
        }
    }
}

void PtySimulator::deliver(const std::string& reply, int pieces) {
    const std::size_t count =
        pieces > 1 ? std::min<std::size_t>(static_cast<std::size_t>(pieces), reply.size()) : 1;
    if (count <= 1) {
        writeAll(reply);
        return;
    }
    // Nearly equal pieces, the longer ones first.
    std::size_t at = 0;
    for (std::size_t i = 0; i < count && !stopping_; ++i) {
        const std::size_t size = reply.size() / count + (i < reply.size() % count ? 1 : 0);
        if (i > 0) std::this_thread::sleep_for(kPieceGap);
        writeAll(reply.substr(at, size));
        at += size;
    }
}

void PtySimulator::writeAll(const std::string& bytes) {
    std::lock_guard lock(writeMutex_);
    std::size_t done = 0;
    while (master_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            // Nobody reads the slave and its buffer is full: wait a little,
            // but never past stop().
            if (stopping_) return;
            pollfd out{master_, POLLOUT, 0};
            ::poll(&out, 1, 50);
        } else {
            return;
        }
    }
}

int PtySimulator::lineBaud() const {
    termios t{};
    if (slave_ < 0 || ::tcgetattr(slave_, &t) != 0) return 0;
    // The tool and the simulator share the one pseudo-terminal, and with it
    // its settings.
    static constexpr std::pair<speed_t, int> kRates[] = {
        {B300, 300},       {B600, 600},       {B1200, 1200},    {B2400, 2400},   {B4800, 4800},
        {B9600, 9600},     {B19200, 19200},   {B38400, 38400},  {B57600, 57600}, {B115200, 115200},
        {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
    const speed_t speed = ::cfgetospeed(&t);
    for (const auto& [code, baud] : kRates)
        if (code == speed) return baud;
    return 0;
}

void PtySimulator::inject(const std::string& bytes) {
    writeAll(bytes);
}

int PtySimulator::waitingForTool() const {
    // The tool's side and the held slave share one input queue.
    int count = 0;
    if (slave_ < 0 || ::ioctl(slave_, FIONREAD, &count) != 0) return 0;
    return count;
}

void PtySimulator::setTrace(Trace trace) {
    std::lock_guard lock(mutex_);
    trace_ = std::move(trace);
}

Memory PtySimulator::memory() const {
    std::lock_guard lock(mutex_);
    return controller_.memory();
}

void PtySimulator::setByte(int address, int value) {
    std::lock_guard lock(mutex_);
    controller_.memory()[static_cast<std::size_t>(address & 0xFFFF)] = static_cast<std::uint8_t>(value);
}

void PtySimulator::setMemory(const Memory& memory) {
    std::lock_guard lock(mutex_);
    controller_.memory() = memory;
}

std::vector<std::string> PtySimulator::log() const {
    std::lock_guard lock(mutex_);
    return controller_.log();
}

void PtySimulator::clearLog() {
    std::lock_guard lock(mutex_);
    controller_.clearLog();
}

std::vector<Controller::Write> PtySimulator::writes() const {
    std::lock_guard lock(mutex_);
    return controller_.writes();
}

int PtySimulator::rebootCount() const {
    std::lock_guard lock(mutex_);
    return controller_.rebootCount();
}

int PtySimulator::enableCount() const {
    std::lock_guard lock(mutex_);
    return controller_.enableCount();
}

void PtySimulator::setFaults(const Faults& faults) {
    std::lock_guard lock(mutex_);
    controller_.config().faults = faults;
    controller_.restartFaults();
}

void PtySimulator::setLineEnd(LineEnd end) {
    std::lock_guard lock(mutex_);
    controller_.config().lineEnd = end;
}

void PtySimulator::setStyle(ReplyStyle style) {
    std::lock_guard lock(mutex_);
    controller_.config().style = style;
}

void PtySimulator::setVersion(const std::string& version) {
    std::lock_guard lock(mutex_);
    controller_.config().version = version;
}

void PtySimulator::setStation(int station) {
    std::lock_guard lock(mutex_);
    controller_.config().station = station;
}

}  // namespace korvex
