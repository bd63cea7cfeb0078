// Interoperability: a third-party NexStar client (INDI's Celestron driver under indiserver,
// Debian package indi-bin) connects to corvane-mountsim --model nexstargps, reads its
// coordinates and slews it.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "external/IndiSupport.h"
#include "integration/ChildProcess.h"

using namespace corvane::test;

TEST(MountsimInterop, IndiCelestronDriverReadsAndSlewsTheSimulatedNexStarGps) {
    if (!InPath("indiserver") || !InPath("indi_celestron_gps") || !InPath("indi_getprop") ||
        !InPath("indi_setprop")) {
        GTEST_SKIP() << "INDI is not installed (Debian package indi-bin: indiserver, indi_celestron_gps, "
                        "indi_getprop, indi_setprop); ./test installs it";
    }
    const std::string kDevice = "Celestron GPS";
    const auto dir =
        std::filesystem::temp_directory_path() / ("corvane-indi-celestron-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string log = (dir / "pointing.txt").string();
    const std::string commands = (dir / "commands.txt").string();

    ChildProcess sim({MountsimPath(), "--model", "nexstargps", "--site", "40,-75,100,-4", "--pointing-log",
                      log, "--command-log", commands, "--max-runtime", "110", "--exit-with-parent"});
    const std::string device = StartMountsim(sim);
    ASSERT_FALSE(device.empty());

    const int tcpPort = FreeLoopbackPort();
    ASSERT_GT(tcpPort, 0);
    Indi indi{std::to_string(tcpPort)};
    ChildProcess server(
        {"indiserver", "-p", indi.port, "-u", "/tmp/corvane-indi-" + indi.port, "indi_celestron_gps"},
        {"HOME=" + dir.string()}, true);
    ASSERT_TRUE(server.Started());

    const auto present = indi.WaitFor(kDevice + ".CONNECTION.*", 40.0, [&](const auto& v) {
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
    // The hand controller's identity as the driver read it.
    EXPECT_EQ(values[kDevice + ".Firmware Info.Model"], "GPS Series");
    EXPECT_EQ(values[kDevice + ".Firmware Info.HC Version"], "4.21");
    // Power-on pointing is azimuth 180, altitude 45 at latitude 40: declination -5.
    EXPECT_NEAR(Number(values, coords + "DEC"), -5.0, 0.02);
    const double ra = Number(values, coords + "RA");
    ASSERT_TRUE(ra >= 0.0 && ra < 24.0) << ra;

    // A goto from the client: half an hour east of the meridian, declination +20.
    const double targetRa = std::fmod(ra + 0.5, 24.0), targetDec = 20.0;
    std::ostringstream slew;
    slew.precision(6);
    slew << std::fixed << coords << "RA;DEC=" << targetRa << ";" << targetDec;
    ASSERT_TRUE(indi.Set(slew.str()));
    values = indi.WaitFor(coords + "*", 80.0, [&](const auto& v) {
        return std::fabs(Number(v, coords + "DEC") - targetDec) < 0.01 &&
               std::fabs(Number(v, coords + "RA") - targetRa) < 0.01;
    });
    EXPECT_NEAR(Number(values, coords + "DEC"), targetDec, 0.01);
    EXPECT_NEAR(Number(values, coords + "RA"), targetRa, 0.01);

    server.Stop();
    sim.Stop();
    // The simulator's own record agrees: it went there by a precise goto the driver watched with "L".
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
    std::ifstream c(commands);
    std::stringstream received;
    received << c.rdbuf();
    EXPECT_NE(received.str().find(" r"), std::string::npos);
    EXPECT_NE(received.str().find(" L\n"), std::string::npos);
    std::filesystem::remove_all(dir);
}
