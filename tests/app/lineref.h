// A serial line that hands every call on to a line the test keeps, so that a
// window can own "its" line while the test still scripts and inspects it.
#pragma once

#include <string>

#include "serial/serialline.h"

namespace tarvelin::test {

class LineRef final : public tarvelin::SerialLine {
public:
    explicit LineRef(tarvelin::SerialLine& target) : target_(target) {}

    void setDevice(const std::string& device) override { target_.setDevice(device); }
    std::string device() const override { return target_.device(); }
    bool setSettings(const std::string& settings) override { return target_.setSettings(settings); }
    std::string settings() const override { return target_.settings(); }
    tarvelin::OpenResult open() override { return target_.open(); }
    void close() override { target_.close(); }
    bool isOpen() const override { return target_.isOpen(); }
    bool write(const std::string& bytes) override { return target_.write(bytes); }
    std::string takeAll() override { return target_.takeAll(); }
    void waitForData(int timeoutMs) override { target_.waitForData(timeoutMs); }
    bool lost() const override { return target_.lost(); }

private:
    tarvelin::SerialLine& target_;
};

}  // namespace tarvelin::test
