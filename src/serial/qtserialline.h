// The real line: a QSerialPort, used without an event loop, the same way on
// every system.
//
// Nothing runs an event loop during an exchange, so the port is driven by its
// waits. A wait is kept short and whatever has come is taken with readAll()
// whether or not the wait said so: under Wine a port never reports readyRead
// and a long waitForReadyRead() returns with nothing, though the bytes arrive.
#pragma once

#include <QSerialPort>
#include <memory>

#include "serialline.h"

namespace tarvelin {

class QtSerialLine final : public SerialLine {
public:
    QtSerialLine();
    ~QtSerialLine() override;

    void setDevice(const std::string& device) override;
    std::string device() const override { return device_; }
    bool setSettings(const std::string& settings) override;
    std::string settings() const override;
    OpenResult open() override;
    void close() override;
    bool isOpen() const override;
    bool write(const std::string& bytes) override;
    std::string takeAll() override;
    void waitForData(int timeoutMs) override;
    bool lost() const override;

private:
    // Marks the line lost on the port's read, write and resource errors.
    void noteError();

    std::unique_ptr<QSerialPort> port_;
    std::string device_;
    qint32 baud_ = 9600;
    QSerialPort::Parity parity_ = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits_ = QSerialPort::Data8;
    QSerialPort::StopBits stopBits_ = QSerialPort::OneStop;
    bool lost_ = false;
};

}  // namespace tarvelin
