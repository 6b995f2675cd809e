// QtSerialLine's reads, writes and waits through QSerialPort alone: the path
// on Windows, and on other systems with TARVELIN_PORTABLE_SERIAL.
//
// Nothing runs an event loop during an exchange, so the port is driven by its
// waits. A wait is kept short and whatever has come is taken with readAll()
// whether or not the wait said so: under Wine a port never reports readyRead
// and a long waitForReadyRead() returns with nothing, though the bytes arrive.
#include <algorithm>

#include "qtserialline.h"

namespace tarvelin {

namespace {

// The longest single wait on the port; waitForData() may return after it.
constexpr int kPollSliceMs = 10;
// How long a write may take to leave before the line counts as gone.
constexpr int kWriteWaitMs = 1000;

}  // namespace

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

bool QtSerialLine::write(const std::string& bytes) {
    if (!port_->isOpen() || lost_) return false;
    const qint64 written = port_->write(bytes.data(), static_cast<qint64>(bytes.size()));
    // Push the bytes out now: straight away where the port can, else in
    // short waits for room.
    if (written > 0) port_->flush();
    for (int waited = 0; written > 0 && port_->bytesToWrite() > 0 && waited < kWriteWaitMs;
         waited += kPollSliceMs)
        port_->waitForBytesWritten(kPollSliceMs);
    noteError();
    return written == static_cast<qint64>(bytes.size()) && !lost_;
}

std::string QtSerialLine::takeAll() {
    if (!port_->isOpen()) return {};
    if (port_->bytesAvailable() == 0) port_->waitForReadyRead(0);
    noteError();
    const QByteArray data = port_->readAll();
    return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

void QtSerialLine::waitForData(int timeoutMs) {
    if (!port_->isOpen() || lost_) return;
    if (port_->bytesAvailable() > 0) return;
    port_->waitForReadyRead(std::clamp(timeoutMs, 0, kPollSliceMs));
    noteError();
}

}  // namespace tarvelin
