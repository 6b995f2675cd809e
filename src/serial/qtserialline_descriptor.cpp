// QtSerialLine's reads, writes and waits on POSIX systems: straight on the
// port's descriptor.
//
// An exchange polls the port in a tight loop, one step per arrival.
// QSerialPort's own path (queue the bytes, wait until writable, write; wait
// until readable, read into its buffer, copy out) costs two extra system calls
// and a copy on every step of every exchange. QSerialPort still opens,
// configures, locks and closes the port. qtserialline_portable.cpp holds the
// path through QSerialPort alone (Windows, or TARVELIN_PORTABLE_SERIAL).
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "qtserialline.h"

namespace tarvelin {

bool QtSerialLine::write(const std::string& bytes) {
    if (!port_->isOpen() || lost_) return false;
    const int fd = static_cast<int>(port_->handle());
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            // The output queue is full: wait up to a second for room.
            pollfd room{fd, POLLOUT, 0};
            const int ready = ::poll(&room, 1, 1000);
            if (ready == 0) return false;
            if (ready < 0 && errno == EINTR) continue;
            if (ready > 0 && (room.revents & POLLOUT)) continue;
        }
        lost_ = true;  // the device refuses writes: it has gone away
        return false;
    }
    return true;
}

std::string QtSerialLine::takeAll() {
    if (!port_->isOpen()) return {};
    std::string data;
    if (port_->bytesAvailable() > 0) {
        const QByteArray held = port_->readAll();
        data.assign(held.constData(), static_cast<std::size_t>(held.size()));
    }
    if (lost_) return data;
    const int fd = static_cast<int>(port_->handle());
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            data.append(buffer, static_cast<std::size_t>(n));
            if (static_cast<std::size_t>(n) < sizeof buffer) break;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        // 0 or EAGAIN: nothing there now (the port is set to read without
        // waiting). EIO and the like: the far side is gone.
        if (n < 0 && errno != EAGAIN) lost_ = true;
        break;
    }
    return data;
}

void QtSerialLine::waitForData(int timeoutMs) {
    if (!port_->isOpen() || lost_) return;
    // With bytes still held from an earlier read there is no need to wait,
    // but a hang-up is still looked for.
    const int wait = port_->bytesAvailable() > 0 || timeoutMs <= 0 ? 0 : timeoutMs;
    pollfd in{static_cast<int>(port_->handle()), POLLIN, 0};
    const int ready = ::poll(&in, 1, wait);
    // A hang-up: the adapter was pulled or the far side of a pseudo-terminal
    // closed. (Reads then give 0 bytes, as they do on a quiet port, so this
    // is the place to notice it.)
    if (ready > 0 && (in.revents & (POLLHUP | POLLERR | POLLNVAL))) lost_ = true;
}

}  // namespace tarvelin
