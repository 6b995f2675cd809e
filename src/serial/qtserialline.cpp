#include "qtserialline.h"

#include <QString>
#include <cerrno>
#include <cstring>
#include <sstream>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tarvelin {

QtSerialLine::QtSerialLine() : port_(std::make_unique<QSerialPort>()) {}

QtSerialLine::~QtSerialLine() {
    if (port_->isOpen()) port_->close();
}

void QtSerialLine::setDevice(const std::string& device) {
    device_ = device;
    if (!port_->isOpen()) port_->setPortName(QString::fromStdString(device));
}

bool QtSerialLine::setSettings(const std::string& settings) {
    std::vector<std::string> parts;
    std::stringstream in(settings);
    for (std::string part; std::getline(in, part, ',');) parts.push_back(part);
    if (parts.size() != 4) return false;
    bool ok = false;
    const int baud = QString::fromStdString(parts[0]).toInt(&ok);
    if (!ok || baud <= 0) return false;
    QSerialPort::Parity parity;
    if (parts[1] == "N") parity = QSerialPort::NoParity;
    else if (parts[1] == "E") parity = QSerialPort::EvenParity;
    else if (parts[1] == "O") parity = QSerialPort::OddParity;
    else return false;
    QSerialPort::DataBits dataBits;
    if (parts[2] == "7") dataBits = QSerialPort::Data7;
    else if (parts[2] == "8") dataBits = QSerialPort::Data8;
    else return false;
    QSerialPort::StopBits stopBits;
    if (parts[3] == "1") stopBits = QSerialPort::OneStop;
    else if (parts[3] == "2") stopBits = QSerialPort::TwoStop;
    else return false;
    baud_ = baud;
    parity_ = parity;
    dataBits_ = dataBits;
    stopBits_ = stopBits;
    return true;
}

std::string QtSerialLine::settings() const {
    const qint32 baud = port_->isOpen() ? port_->baudRate() : baud_;
    const auto parity = port_->isOpen() ? port_->parity() : parity_;
    const auto dataBits = port_->isOpen() ? port_->dataBits() : dataBits_;
    const auto stopBits = port_->isOpen() ? port_->stopBits() : stopBits_;
    const char* p = parity == QSerialPort::EvenParity ? "E" : parity == QSerialPort::OddParity ? "O" : "N";
    return std::to_string(baud) + "," + p + "," + std::to_string(static_cast<int>(dataBits)) + "," +
           (stopBits == QSerialPort::TwoStop ? "2" : "1");
}

OpenError QtSerialLine::inspectDevice(const std::string& device) {
#ifdef _WIN32
    (void)device;
    return OpenError::None;
#else
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0)
        return errno == EACCES ? OpenError::PermissionDenied : OpenError::NoSuchDevice;
    if (!S_ISCHR(st.st_mode)) return OpenError::NotSerialDevice;
    if (::access(device.c_str(), R_OK | W_OK) != 0)
        return errno == EACCES || errno == EPERM ? OpenError::PermissionDenied : OpenError::Other;
    return OpenError::None;
#endif
}

OpenResult QtSerialLine::open() {
    lost_ = false;
    if (port_->isOpen()) port_->close();
    if (const OpenError seen = inspectDevice(device_); seen != OpenError::None) return {seen, {}};

    port_->setPortName(QString::fromStdString(device_));
    if (!port_->open(QIODevice::ReadWrite)) {
        OpenResult result;
        switch (port_->error()) {
        case QSerialPort::DeviceNotFoundError:
            result.error = OpenError::NoSuchDevice;
            break;
        case QSerialPort::PermissionError:
            // The device is there and we may use it (inspectDevice said so):
            // QSerialPort reports a held lock or an exclusive open this way.
            result.error = OpenError::Busy;
            break;
        case QSerialPort::UnsupportedOperationError:
            result.error = OpenError::NotSerialDevice;
            break;
        default:
            result.error = OpenError::Other;
            break;
        }
        result.detail = port_->errorString().toStdString();
        port_->clearError();
        return result;
    }
    if (!port_->setBaudRate(baud_) || !port_->setParity(parity_) || !port_->setDataBits(dataBits_) ||
        !port_->setStopBits(stopBits_) || !port_->setFlowControl(QSerialPort::NoFlowControl)) {
        const OpenError error =
            port_->error() == QSerialPort::UnsupportedOperationError ? OpenError::NotSerialDevice
                                                                     : OpenError::BadSettings;
        std::string detail = port_->errorString().toStdString();
        port_->close();
        port_->clearError();
        return {error, detail};
    }
    port_->clearError();
    return {};
}

void QtSerialLine::close() {
    if (port_->isOpen()) port_->close();
    port_->clearError();
    lost_ = false;
}

bool QtSerialLine::isOpen() const { return port_->isOpen(); }

void QtSerialLine::noteError() {
    switch (port_->error()) {
    case QSerialPort::NoError:
        break;
    case QSerialPort::TimeoutError:
        // A wait that ran out sets this until cleared; it is no fault.
        port_->clearError();
        break;
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::DeviceNotFoundError:
        lost_ = true;
        break;
    default:
        port_->clearError();
        break;
    }
}

// An exchange polls the port in a tight loop, one step per arrival. On POSIX
// systems the port's descriptor is written and read directly: QSerialPort's
// own path (queue the bytes, wait until writable, write; wait until readable,
// read into its buffer, copy out) costs two extra system calls and a copy on
// every step of every exchange. QSerialPort still opens, configures, locks and
// closes the port.

bool QtSerialLine::write(const std::string& bytes) {
    if (!port_->isOpen() || lost_) return false;
#ifdef _WIN32
    const qint64 written = port_->write(bytes.data(), static_cast<qint64>(bytes.size()));
    // Push the bytes out now: nothing runs an event loop during an exchange.
    while (written > 0 && port_->bytesToWrite() > 0) {
        if (!port_->waitForBytesWritten(1000)) break;
    }
    noteError();
    return written == static_cast<qint64>(bytes.size()) && !lost_;
#else
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
#endif
}

std::string QtSerialLine::takeAll() {
    if (!port_->isOpen()) return {};
#ifdef _WIN32
    if (port_->bytesAvailable() == 0) port_->waitForReadyRead(0);
    noteError();
    const QByteArray data = port_->readAll();
    return std::string(data.constData(), static_cast<std::size_t>(data.size()));
#else
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
#endif
}

void QtSerialLine::waitForData(int timeoutMs) {
    if (!port_->isOpen() || lost_) return;
#ifdef _WIN32
    if (port_->bytesAvailable() > 0) return;
    port_->waitForReadyRead(timeoutMs);
    noteError();
#else
    // With bytes still held from an earlier read there is no need to wait,
    // but a hang-up is still looked for.
    const int wait = port_->bytesAvailable() > 0 || timeoutMs <= 0 ? 0 : timeoutMs;
    pollfd in{static_cast<int>(port_->handle()), POLLIN, 0};
    const int ready = ::poll(&in, 1, wait);
    // A hang-up: the adapter was pulled or the far side of a pseudo-terminal
    // closed. (Reads then give 0 bytes, as they do on a quiet port, so this
    // is the place to notice it.)
    if (ready > 0 && (in.revents & (POLLHUP | POLLERR | POLLNVAL))) lost_ = true;
#endif
}

bool QtSerialLine::lost() const { return lost_; }

}  // namespace tarvelin
