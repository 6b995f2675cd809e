// QtSerialLine's reads, writes and waits through QSerialPort alone: the path
// on Windows, and on other systems with TARVELIN_PORTABLE_SERIAL.
#include "qtserialline.h"

namespace tarvelin {

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
    // Push the bytes out now: nothing runs an event loop during an exchange.
    while (written > 0 && port_->bytesToWrite() > 0) {
        if (!port_->waitForBytesWritten(1000)) break;
    }
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
    port_->waitForReadyRead(timeoutMs);
    noteError();
}

}  // namespace tarvelin
