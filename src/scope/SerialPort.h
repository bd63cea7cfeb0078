#pragma once
// The byte transport under the serial link: a real port, a pseudo-terminal, a scripted test port
// or a simulated mount. Reads never block: the link asks how many bytes are waiting and reads
// only those. Implementations need not be thread-safe; SerialLink serialises every call.
#include <string>
#include <string_view>

namespace corvane {

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens the device and applies the line settings (9600 baud, 8N1, no flow control, DTR and
    // RTS off). Returns false when the device cannot be opened or configured.
    virtual bool Open(const std::string& device) = 0;
    virtual bool IsOpen() const = 0;
    // Bytes that can be read at once; 0 when none, -1 when the line is closed or broken.
    virtual int BytesWaiting() = 0;
    // Reads up to `count` of the waiting bytes; never waits for more.
    virtual std::string Read(int count) = 0;
    // Writes all bytes; false when the line is closed or the write fails.
    virtual bool Write(std::string_view bytes) = 0;
    virtual void Close() = 0;
};

}  // namespace corvane
