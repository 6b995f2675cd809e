// The real line: a QSerialPort, used without an event loop. Its reads, writes
// and waits live in qtserialline_descriptor.cpp (POSIX: on the descriptor) or
// qtserialline_portable.cpp (through QSerialPort alone); CMake picks one.
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
    // Marks the line lost on the port's read, write and resource errors (the
    // path through QSerialPort alone).
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
