// corvane-cli and corvane-mountsim with files they cannot read or write: a settings file that
// cannot be read, a position log, standard output and a pointing log on a full disk.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "core/AtomicFile.h"
#include "integration/ChildProcess.h"
#include "integration/CliRunner.h"
#include "support/Unprivileged.h"

namespace {

const std::string kTle = std::string(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle";

class CliFiles : public clitest::CliTest {};

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

}  // namespace

TEST_F(CliFiles, AnUnreadableSettingsFileIsRefusedNotReadAsDefaults) {
    if (::geteuid() == 0 && ::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "needs setpriv as root";
    const std::string settings = "LastLocation=1\r\nLOCATIONLATITUDE1=51.5\r\nLOCATIONLONGITUDE1=-0.13\r\n";
    const std::string path = Write("ConfigFile.ini", settings);
    corvane::test::MakeUnreadable(path);
    const std::string look = "look --tle '" + kTle + "' --norad 25544 --at 2017-04-28T03:15:00Z";
    const clitest::CliRun refused = clitest::RunCli(dir_, look, corvane::test::UnprivilegedCommandPrefix());
    EXPECT_EQ(refused.code, 1) << refused.out;
    EXPECT_TRUE(refused.out.empty()) << refused.out;
    const std::string message = FirstLine(refused.err);
    EXPECT_NE(message.find("ConfigFile.ini"), std::string::npos) << refused.err;
    EXPECT_NE(message.find("Permission denied"), std::string::npos) << refused.err;
    EXPECT_NE(message.find("--site"), std::string::npos) << refused.err;
    // --site needs no settings file at all.
    EXPECT_EQ(
        clitest::RunCli(dir_, look + " --site 51.5,-0.13,0", corvane::test::UnprivilegedCommandPrefix()).code,
        0);
    std::string bytes;
    ASSERT_TRUE(corvane::ReadWholeFile(path, bytes));
    EXPECT_EQ(bytes, settings);
    EXPECT_EQ(corvane::test::ModeOf(path), 0u);
}

TEST_F(CliFiles, APositionLogOnAFullDiskStopsTrackingWithAnError) {
    std::filesystem::create_symlink("/dev/full", dir_ / "log25544.txt");
    const clitest::CliRun run = Cli("track --interface LOGFILE --tle '" + kTle +
                                    "' --norad 25544 --site 40,-75,100,-4 --start 2017-04-28T12:40:10 "
                                    "--duration 2 --log-folder .");
    EXPECT_EQ(run.code, 1) << run.out << run.err;
    EXPECT_NE(run.err.find("position log"), std::string::npos) << run.err;
}

TEST_F(CliFiles, OutputToAFullDiskIsAnError) {
    const clitest::CliRun full = Cli("elements --tle '" + kTle + "' >/dev/full");
    EXPECT_EQ(full.code, 1);
    // The reason is known when the last write failed; a write that failed earlier left none.
    EXPECT_NE(full.err.find("corvane-cli: cannot write the output"), std::string::npos) << full.err;
    const clitest::CliRun small =
        Cli("look --tle '" + kTle + "' --norad 25544 --at 2017-04-28T03:15:00Z --site 1,2,3 >/dev/full");
    EXPECT_EQ(small.code, 1);
    EXPECT_EQ(FirstLine(small.err), "corvane-cli: cannot write the output: No space left on device")
        << small.err;
    const clitest::CliRun json =
        Cli("passes --tle '" + kTle +
            "' --norad 25544 --site 40,-75,100,-4 --from 2017-04-28T00:00:00Z --days 1 "
            "--format json >/dev/full");
    EXPECT_EQ(json.code, 1) << json.err;
    // A failure keeps its own exit status.
    EXPECT_EQ(Cli("elements --tle '" + (dir_ / "none.tle").string() + "' >/dev/full").code, 1);
    EXPECT_EQ(Cli("look --tle '" + kTle + "' --norad 25544 --at never --site 1,2,3 >/dev/full").code, 2);
}

TEST(MountsimFiles, APointingLogOnAFullDiskEndsTheRun) {
    corvane::test::ChildProcess sim({corvane::test::MountsimPath(), "--model", "lx200", "--site",
                                     "40,-75,100,-4", "--pointing-log", "/dev/full", "--max-runtime", "20"});
    ASSERT_TRUE(sim.Started());
    const auto [code, output] = sim.Finish(15.0);
    EXPECT_EQ(code, 1) << output;
}
