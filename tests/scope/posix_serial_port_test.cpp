#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "scope/PosixSerialPort.h"

using namespace corvane;

TEST(PosixSerialPort, PortNumbersMapToDevicesByOneRule) {
    ::unsetenv("CORVANE_COM1");
    ::unsetenv("CORVANE_COM3");
    EXPECT_EQ(SerialDeviceForPort(1), "/dev/ttyS0");
    EXPECT_EQ(SerialDeviceForPort(12), "/dev/ttyS11");
    EXPECT_EQ(SerialDeviceForPort(16), "/dev/ttyS15");
    EXPECT_EQ(SerialDeviceForPort(0), "/dev/ttyS0");
    EXPECT_EQ(SerialDeviceForPort(17), "/dev/ttyS0");
    ::setenv("CORVANE_COM3", "/dev/ttyUSB0", 1);
    EXPECT_EQ(SerialDeviceForPort(3), "/dev/ttyUSB0");
    ::setenv("CORVANE_COM3", "", 1);
    EXPECT_EQ(SerialDeviceForPort(3), "/dev/ttyS2");
    ::unsetenv("CORVANE_COM3");
}

TEST(PosixSerialPort, ExchangesRawBytesOverAPseudoTerminal) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string device = ::ptsname(master);

    PosixSerialPort port;
    ASSERT_TRUE(port.Open(device));
    EXPECT_EQ(port.BytesWaiting(), 0);
    EXPECT_EQ(port.Read(10), "");  // nothing waiting: no block

    // Raw mode: CR, LF, the bar byte and the degree byte pass unchanged in both directions.
    const std::string reply =
        "+45\xDF"
        "30'00#\r\n\x7F";
    ASSERT_EQ(::write(master, reply.data(), reply.size()), static_cast<ssize_t>(reply.size()));
    for (int i = 0; i < 200 && port.BytesWaiting() < static_cast<int>(reply.size()); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(port.BytesWaiting(), static_cast<int>(reply.size()));
    EXPECT_EQ(port.Read(4), "+45\xDF");
    EXPECT_EQ(port.Read(100), reply.substr(4));

    const std::string command =
        "#:Sd -05\xDF"
        "30#\r\n";
    ASSERT_TRUE(port.Write(command));
    std::string got(64, '\0');
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const ssize_t n = ::read(master, got.data(), got.size());
    ASSERT_GT(n, 0);
    got.resize(static_cast<size_t>(n));
    EXPECT_EQ(got, command);

    port.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.BytesWaiting(), -1);
    EXPECT_FALSE(port.Write("x"));
    ::close(master);
}

TEST(PosixSerialPort, RefusesWhatIsNotATerminal) {
    PosixSerialPort port;
    EXPECT_FALSE(port.Open("/nonexistent/ttyS99"));
    const auto file =
        std::filesystem::temp_directory_path() / ("corvane-notatty-" + std::to_string(::getpid()));
    std::ofstream(file) << "x";
    EXPECT_FALSE(port.Open(file.string()));
    EXPECT_FALSE(port.IsOpen());
    std::filesystem::remove(file);
}
