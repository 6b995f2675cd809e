#include "qtserialline.h"

#include <QString>
#include <algorithm>
#include <sstream>
#include <vector>

#include "base/platform.h"

namespace tarvelin {

namespace {

// The longest single wait on the port; waitForData() may return after it.
constexpr int kPollSliceMs = 10;
// How long a write waits for its bytes to leave.
constexpr int kWriteWaitMs = 1000;

}  // namespace

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
    if (parts[1] == "N")
        parity = QSerialPort::NoParity;
    else if (parts[1] == "E")
        parity = QSerialPort::EvenParity;
    else if (parts[1] == "O")
        parity = QSerialPort::OddParity;
    else
        return false;
    QSerialPort::DataBits dataBits;
    if (parts[2] == "7")
        dataBits = QSerialPort::Data7;
    else if (parts[2] == "8")
        dataBits = QSerialPort::Data8;
    else
        return false;
    QSerialPort::StopBits stopBits;
    if (parts[3] == "1")
        stopBits = QSerialPort::OneStop;
    else if (parts[3] == "2")
        stopBits = QSerialPort::TwoStop;
    else
        return false;
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

OpenResult QtSerialLine::open() {
    lost_ = false;
    if (port_->isOpen()) port_->close();
    if (const OpenError seen = platform::inspectDevice(device_); seen != OpenError::None) return {seen, {}};

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
        const OpenError error = port_->error() == QSerialPort::UnsupportedOperationError
                                    ? OpenError::NotSerialDevice
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

bool QtSerialLine::isOpen() const {
    return port_->isOpen();
}

bool QtSerialLine::lost() const {
    return lost_;
}

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
    // Bytes still waiting after the wait did not go out (flow control held,
    // a device that takes nothing): a write that failed, not one that worked.
    return written == static_cast<qint64>(bytes.size()) && port_->bytesToWrite() == 0 && !lost_;
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
