#include "scope/PosixSerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "core/ComPort.h"

namespace corvane {

std::string SerialDeviceForPort(int port) {
    port = ComPortNumber(port);
    const std::string variable = "CORVANE_COM" + std::to_string(port);
    if (const char* device = std::getenv(variable.c_str()); device != nullptr && *device != '\0') {
        return device;
    }
    return "/dev/ttyS" + std::to_string(port - 1);
}

PosixSerialPort::~PosixSerialPort() { Close(); }

bool PosixSerialPort::Open(const std::string& device) {
    Close();
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        ::close(fd);
        return false;
    }
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        ::close(fd);
        return false;
    }
    // Pseudo-terminals have no modem lines; their refusal is not an error.
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIC, &lines);
    fd_ = fd;
    return true;
}

int PosixSerialPort::BytesWaiting() {
    if (fd_ < 0) return -1;
    int count = 0;
    if (::ioctl(fd_, FIONREAD, &count) != 0) return -1;
    return count;
}

std::string PosixSerialPort::Read(int count) {
    std::string bytes;
    if (fd_ < 0 || count <= 0) return bytes;
    bytes.resize(static_cast<size_t>(count));
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd_, bytes.data() + got, bytes.size() - got);
        if (n > 0) {
            got += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;  // nothing more waiting, end of file or a broken line
        }
    }
    bytes.resize(got);
    return bytes;
}

bool PosixSerialPort::Write(std::string_view bytes) {
    if (fd_ < 0) return false;
    size_t sent = 0;
    int stalls = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + sent, bytes.size() - sent);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The output buffer is full: give the line up to two seconds to drain, so a device
            // that stopped reading cannot hang the caller.
            pollfd p{fd_, POLLOUT, 0};
            if (++stalls > 20 || ::poll(&p, 1, 100) < 0) return false;
            continue;
        }
        return false;
    }
    return true;
}

void PosixSerialPort::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace corvane
