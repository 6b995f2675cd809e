// The serial ports this computer has, as the terminal's port list offers them
// after "COM1" to "COM6": each by its device name, with what is known about
// the adapter behind it.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tarvelin {

struct SystemPort {
    std::string device;       // what the port list shows and what is opened: "/dev/ttyUSB0"
    std::string description;  // maker, product, serial number where known; may be empty

    bool operator==(const SystemPort&) const = default;
};

class PortEnumerator {
public:
    virtual ~PortEnumerator() = default;
    // The ports present now. Asked afresh every time the port list is opened.
    virtual std::vector<SystemPort> ports() = 0;
};

// "FTDI, FT232R USB UART, serial A12345": the known parts, blanks trimmed; the
// product is left out when it only repeats the maker.
std::string describePort(const std::string& maker, const std::string& product,
                         const std::string& serialNumber);

// A readable text from a stable link name such as
// "usb-FTDI_FT232R_USB_UART_A12345-if00-port0" ("FTDI FT232R USB UART A12345").
std::string describeLinkName(const std::string& linkName);

// Orders device names as a person would: "/dev/ttyS2" before "/dev/ttyS10".
bool naturalLess(const std::string& a, const std::string& b);

// The system's ports as the list shows them: in that order, each device once
// (with the description it was first reported with).
std::vector<SystemPort> distinctPorts(std::vector<SystemPort> ports);

// The links in `directory` (on Linux /dev/serial/by-id) that lead to a
// character device now, sorted by name. A link left dangling by a pulled
// adapter is not offered. Each is described like the port it leads to, when
// that port is among `known`, else from its own name; either way the
// description says which device the link stands for now.
std::vector<SystemPort> linkedPorts(const std::string& directory, const std::vector<SystemPort>& known);

// The real thing: the ports the system reports (QSerialPortInfo), sorted by
// name, followed by the stable links to them.
class SystemPortEnumerator final : public PortEnumerator {
public:
    static const char* const kByIdDirectory;  // "/dev/serial/by-id" (empty on Windows)

    explicit SystemPortEnumerator(std::string linkDirectory = kByIdDirectory);
    std::vector<SystemPort> ports() override;

    // The ports the system reports, without the links.
    static std::vector<SystemPort> reportedPorts();

private:
    std::string linkDirectory_;
};

}  // namespace tarvelin
