#pragma once
// Serial ports and pseudo-terminals through POSIX termios.
//
// Port numbering: the program knows ports 1 to 16. Port n is the device "/dev/ttyS<n-1>"
// (port 1 is /dev/ttyS0), unless the environment variable CORVANE_COM<n> names another device,
// e.g. CORVANE_COM3=/dev/ttyUSB0 or the pseudo-terminal of corvane-mountsim. A number outside
// 1..16 is port 1.
#include <string>

#include "scope/SerialPort.h"

namespace corvane {

// The device that port `port` opens, by the rule above. Thread-safe.
std::string SerialDeviceForPort(int port);

class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort() = default;
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    // Opens read-write without becoming the controlling terminal; raw mode, 9600 baud, 8 data
    // bits, no parity, 1 stop bit, no hardware or software flow control, DTR and RTS dropped
    // (where the device has modem lines). Any open device is closed first.
    bool Open(const std::string& device) override;
    bool IsOpen() const override { return fd_ >= 0; }
    int BytesWaiting() override;
    std::string Read(int count) override;
    bool Write(std::string_view bytes) override;
    void Close() override;

private:
    int fd_ = -1;
};

}  // namespace corvane
