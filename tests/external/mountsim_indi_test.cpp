// Interoperability: a third-party LX200 client (INDI's generic LX200 driver under indiserver,
// Debian package indi-bin) connects to corvane-mountsim, reads its coordinates and slews it.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "external/IndiSupport.h"
#include "integration/ChildProcess.h"

using corvane::test::ChildProcess;
using namespace corvane::test;

namespace {

const std::string kDevice = "Standard LX200";

}  // namespace

TEST(MountsimInterop, IndiLx200DriverReadsAndSlewsTheSimulatedMount) {
    if (!InPath("indiserver") || !InPath("indi_lx200generic") || !InPath("indi_getprop") ||
        !InPath("indi_setprop")) {
        GTEST_SKIP() << "INDI is not installed (Debian package indi-bin: indiserver, indi_lx200generic, "
                        "indi_getprop, indi_setprop); ./test installs it";
    }
    const auto dir = std::filesystem::temp_directory_path() / ("corvane-indi-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string log = (dir / "pointing.txt").string();

    ChildProcess sim({corvane::test::MountsimPath(), "--model", "lx200", "--site", "40,-75,100,-4",
                      "--pointing-log", log, "--max-runtime", "110", "--exit-with-parent"});
    const std::string device = corvane::test::StartMountsim(sim);
    ASSERT_FALSE(device.empty());

    const int tcpPort = FreeLoopbackPort();
    ASSERT_GT(tcpPort, 0);
    Indi indi{std::to_string(tcpPort)};
    // The driver keeps its configuration under HOME: give it a scratch one. The server's local
    // socket gets a name of its own, so that another indiserver on this machine is no obstacle.
    ChildProcess server(
        {"indiserver", "-p", indi.port, "-u", "/tmp/corvane-indi-" + indi.port, "indi_lx200generic"},
        {"HOME=" + dir.string()}, true);
    ASSERT_TRUE(server.Started());

    const auto present = indi.WaitFor(kDevice + ".CONNECTION.*", 40.0, [](const auto& v) {
        return v.count(kDevice + ".CONNECTION.CONNECT") > 0;
    });
    ASSERT_EQ(present.count(kDevice + ".CONNECTION.CONNECT"), 1u) << "the INDI driver did not come up";
    ASSERT_TRUE(indi.Set(kDevice + ".DEVICE_AUTO_SEARCH.INDI_ENABLED=Off;INDI_DISABLED=On"));
    ASSERT_TRUE(indi.Set(kDevice + ".DEVICE_PORT.PORT=" + device));
    ASSERT_TRUE(indi.Set(kDevice + ".CONNECTION.CONNECT=On"));

    const std::string coords = kDevice + ".EQUATORIAL_EOD_COORD.";
    auto values = indi.WaitFor(kDevice + ".*.*", 60.0, [&](const auto& v) {
        const auto connected = v.find(kDevice + ".CONNECTION.CONNECT");
        return connected != v.end() && connected->second == "On" &&
               std::isfinite(Number(v, coords + "DEC")) && Number(v, coords + "DEC") != 0.0;
    });
    ASSERT_EQ(values[kDevice + ".CONNECTION.CONNECT"], "On")
        << "the INDI driver did not connect to " << device;
    // Power-on pointing is azimuth 180, altitude 45 at latitude 40: declination -5.
    EXPECT_NEAR(Number(values, coords + "DEC"), -5.0, 0.02);
    const double ra = Number(values, coords + "RA");
    ASSERT_TRUE(ra >= 0.0 && ra < 24.0) << ra;

    // A goto from the client: half an hour east of the meridian, declination +20.
    const double targetRa = std::fmod(ra + 0.5, 24.0), targetDec = 20.0;
    std::ostringstream slew;
    slew.precision(6);
    slew << std::fixed << kDevice << ".EQUATORIAL_EOD_COORD.RA;DEC=" << targetRa << ";" << targetDec;
    ASSERT_TRUE(indi.Set(slew.str()));
    values = indi.WaitFor(coords + "*", 80.0, [&](const auto& v) {
        return std::fabs(Number(v, coords + "DEC") - targetDec) < 0.01 &&
               std::fabs(Number(v, coords + "RA") - targetRa) < 0.01;
    });
    EXPECT_NEAR(Number(values, coords + "DEC"), targetDec, 0.01);
    EXPECT_NEAR(Number(values, coords + "RA"), targetRa, 0.01);

    server.Stop();
    sim.Stop();
    // The simulator's own record agrees: it really went there.
    std::ifstream in(log);
    std::string line, last;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] != '#') last = line;
    }
    double az = 0, alt = 0, logRa = 0, logDec = 0;
    char date[16], time[16];
    ASSERT_EQ(std::sscanf(last.c_str(), "%15s %15s %lf %lf %lf %lf", date, time, &az, &alt, &logRa, &logDec),
              6);
    EXPECT_NEAR(logDec, targetDec, 0.02);
    std::filesystem::remove_all(dir);
}
