// The real line: a QSerialPort, used without an event loop.
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

    // Classifies why `device` cannot be opened by looking at it; None when it
    // looks like an accessible character device.
    static OpenError inspectDevice(const std::string& device);

private:
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
