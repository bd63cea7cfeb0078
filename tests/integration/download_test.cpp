// Element-set downloads through the real shipped scripts against local servers (Python's
// http.server, a cut-short body, a server that never answers) reached through CORVANE_TLE_URL:
// success replaces the element file; every failure and a cancel keep the previous one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "ChildProcess.h"
#include "CliRunner.h"
#include "core/Clock.h"
#include "core/Settings.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/ElementDownload.h"
#include "support/LocalHttp.h"

using namespace corvane;
namespace fs = std::filesystem;

namespace {

const fs::path kShipped = fs::path(CORVANE_TEST_DATA) / ".." / ".." / "data";

std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The first element sets of the test catalogue, as the service would send them.
std::string Served(int sets) {
    std::istringstream in(Read(fs::path(CORVANE_TEST_DATA) / "catalogue-2017-04-27.tle"));
    std::string out, line;
    for (int i = 0; i < sets * 3 && std::getline(in, line); ++i) out += line + "\n";
    return out;
}

const std::string kPrevious =
    "OLD SAT\n"
    "1 25544U 98067A   17117.50000000  .00002182  00000-0  40768-4 0  9990\n"
    "2 25544  51.6400 247.4627 0006703 130.5360 325.0288 15.72125391 57003\n";

class Download : public clitest::CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        fs::create_directories(dir_ / "site");
        Write("site/gp.php", Served(40));
        fs::copy_file(kShipped / "visual.sh", dir_ / "visual.sh");
        Write("visual.txt", kPrevious);
        set_ = DownloadSetOf(Settings{}, 1);
        options_.folder = dir_.string();
        options_.maxDownloadSeconds = 3;
        options_.quietScript = true;
    }
    void TearDown() override {
        ::unsetenv("CORVANE_TLE_URL");
        CliTest::TearDown();
    }
    DownloadOutcome Run(const std::string& url) {
        ::setenv("CORVANE_TLE_URL", url.c_str(), 1);
        const std::atomic<bool> cancel{false};
        return DownloadElementSet(set_, options_, clock_, cancel);
    }
    void ExpectPreviousKept(const DownloadOutcome& o) {
        EXPECT_EQ(Read(dir_ / "visual.txt"), kPrevious);
        EXPECT_FALSE(fs::exists(dir_ / "visual.txt.previous"));
        EXPECT_FALSE(fs::exists(dir_ / "visual.txt.download"));
        EXPECT_FALSE(o.detail.empty());
    }
    DownloadSet set_;
    DownloadOptions options_;
    ManualClock clock_;
};

}  // namespace

TEST_F(Download, ShippedScriptsFetchTheirSetIntoTheElementFile) {
    httptest::PythonServer server((dir_ / "site").string());
    ASSERT_TRUE(server.Running());
    const DownloadOutcome o = Run(server.Url());
    ASSERT_EQ(o.status, DownloadStatus::kSuccess) << o.detail;
    EXPECT_EQ(Read(dir_ / "visual.txt"), Served(40));
    EXPECT_FALSE(fs::exists(dir_ / "visual.txt.previous"));
    EXPECT_EQ(o.polls, 1);
    EXPECT_EQ(LoadElementFile((dir_ / "visual.txt").string()).catalogue->Count(), 40);
    // Every shipped script is valid sh and fetches from CORVANE_TLE_URL.
    for (int i = 1; i <= kDownloadSetCount; ++i) {
        const fs::path script = kShipped / fs::path(TleBatchFile(i)).replace_extension(".sh");
        ASSERT_TRUE(fs::exists(script)) << script;
        EXPECT_EQ(std::system(("/bin/sh -n '" + script.string() + "'").c_str()), 0) << script;
        EXPECT_NE(Read(script).find("CORVANE_TLE_URL"), std::string::npos);
        EXPECT_NE(Read(script).find("FORMAT=$format"), std::string::npos);
        EXPECT_NE(Read(script).find("format=\"${CORVANE_TLE_FORMAT:-tle}\""), std::string::npos);
    }
}

// One variable switches a set to the OMM CSV form; the loaded result is the same objects.
TEST_F(Download, TheOmmCsvFormIsOneVariableAway) {
    Write("site/gp.php", Read(fs::path(CORVANE_TEST_DATA) / "omm-sample.csv"));
    httptest::PythonServer server((dir_ / "site").string());
    ASSERT_TRUE(server.Running());
    ::setenv("CORVANE_TLE_FORMAT", "csv", 1);
    const DownloadOutcome o = Run(server.Url());
    ::unsetenv("CORVANE_TLE_FORMAT");
    ASSERT_EQ(o.status, DownloadStatus::kSuccess) << o.detail;
    EXPECT_EQ(LoadElementFile((dir_ / "visual.txt").string()).catalogue->Count(), 6);
}

TEST_F(Download, NotFoundKeepsThePreviousFileWithoutWaiting) {
    httptest::PythonServer server((dir_ / "site").string());
    ASSERT_TRUE(server.Running());
    const double before = clock_.LocalJulianDate();
    const DownloadOutcome o = Run(server.Url() + "/nothing-here");
    EXPECT_EQ(o.status, DownloadStatus::kFailed);
    // The script has ended with a failure: nothing is left to wait for.
    EXPECT_EQ(o.polls, 0);
    EXPECT_LT((clock_.LocalJulianDate() - before) * 86400.0, 0.5);
    ExpectPreviousKept(o);
}

// A server that closes in the middle of a line, with no length to tell: the file whose last line
// is cut is refused, even from a script that lets it through, and the previous file stays.
TEST_F(Download, ALastLineCutShortKeepsThePreviousFile) {
    const std::string body = Served(40);
    httptest::RawServer server(body.substr(0, body.size() - 30), httptest::RawServer::kNoLength);
    DownloadOutcome o = Run(server.Url());
    EXPECT_EQ(o.status, DownloadStatus::kFailed);
    ExpectPreviousKept(o);
    // A script that only copies what it got, as a user's own might.
    Write("visual.sh", "curl --silent --output \"$1\" \"$CORVANE_TLE_URL\"\n");
    o = Run(server.Url());
    EXPECT_EQ(o.status, DownloadStatus::kFailed);
    EXPECT_NE(o.detail.find("its last line is cut short"), std::string::npos) << o.detail;
    ExpectPreviousKept(o);
}

TEST_F(Download, CutShortBodyKeepsThePreviousFile) {
    const std::string body = Served(40);
    httptest::RawServer server(body.substr(0, body.size() / 2), body.size());
    const DownloadOutcome o = Run(server.Url());
    EXPECT_EQ(o.status, DownloadStatus::kFailed);
    ExpectPreviousKept(o);
}

TEST_F(Download, AnErrorPageIsNoElementFile) {
    httptest::RawServer server("<html>Service unavailable</html>", 32);
    const DownloadOutcome o = Run(server.Url());
    EXPECT_EQ(o.status, DownloadStatus::kFailed);
    ExpectPreviousKept(o);
}

TEST_F(Download, MissingScriptFailsAtOnce) {
    fs::remove(dir_ / "visual.sh");
    const DownloadOutcome o = Run("http://127.0.0.1:9");
    EXPECT_EQ(o.status, DownloadStatus::kFailed);
    EXPECT_EQ(o.polls, 0);
    EXPECT_NE(o.detail.find("visual.bat"), std::string::npos);
    ExpectPreviousKept(o);
    // A .bat of that name is taken first.
    Write("visual.bat", "echo hello > /dev/null\n");
    EXPECT_EQ(DownloadScriptPath(dir_.string(), "visual.bat"), "visual.bat");
    fs::remove(dir_ / "visual.bat");
    EXPECT_EQ(DownloadScriptPath(dir_.string(), "visual.bat"), "");
}

// A maximum time of 0 still takes the file the script has written; a file that arrives during the
// last pause is taken, not overwritten by the previous one.
TEST_F(Download, NoWaitStillTakesAFileThatHasArrived) {
    httptest::PythonServer server((dir_ / "site").string());
    ASSERT_TRUE(server.Running());
    options_.maxDownloadSeconds = 0;
    DownloadOutcome o = Run(server.Url());
    EXPECT_EQ(o.status, DownloadStatus::kSuccess) << o.detail;
    EXPECT_EQ(Read(dir_ / "visual.txt"), Served(40));

    Write("visual.txt", kPrevious);
    Write("late.txt", Served(3));
    Write("visual.sh", "(sleep 0.5; cp late.txt \"$1\") &\n");
    SystemClock real;
    const std::atomic<bool> cancel{false};
    o = DownloadElementSet(set_, options_, real, cancel);
    EXPECT_EQ(o.status, DownloadStatus::kSuccess) << o.detail;
    EXPECT_EQ(Read(dir_ / "visual.txt"), Served(3));
    EXPECT_FALSE(fs::exists(dir_ / "visual.txt.previous"));
}

TEST_F(Download, CancelStopsAScriptWaitingOnASilentServer) {
    httptest::RawServer silent("", 0, false);
    ::setenv("CORVANE_TLE_URL", silent.Url().c_str(), 1);
    std::atomic<bool> cancel{false};
    DownloadOutcome o;
    SystemClock real;
    const auto started = std::chrono::steady_clock::now();
    std::thread run([&] { o = DownloadElementSet(set_, options_, real, cancel); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    cancel.store(true);
    run.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(o.status, DownloadStatus::kCancelled);
    EXPECT_LT(seconds, 3.0);
    EXPECT_EQ(Read(dir_ / "visual.txt"), kPrevious);
    EXPECT_FALSE(fs::exists(dir_ / "visual.txt.previous"));
}

// Ctrl-C or SIGTERM in the middle of a download that is still arriving: the command ends at once
// (curl's own limit is minutes), the partial file is gone and the previous file is back.
TEST_F(Download, ASignalEndsTheCommandAndItsPartialFile) {
    for (const int signal : {SIGINT, SIGTERM}) {
        httptest::RawServer stalled(Served(40).substr(0, 500), httptest::RawServer::kNoLength, true, true);
        corvane::test::ChildProcess cli(
            {"/bin/sh", "-c",
             "cd '" + dir_.string() + "' && exec '" + CORVANE_BIN_DIR + "/src/corvane-cli' download 1"},
            {"CORVANE_TLE_URL=" + stalled.Url()}, true);
        ASSERT_TRUE(cli.Started());
        for (int i = 0; i < 100 && !fs::exists(dir_ / "visual.txt.download"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_TRUE(fs::exists(dir_ / "visual.txt.download")) << "the download is under way";
        const auto started = std::chrono::steady_clock::now();
        cli.Signal(signal);
        const auto [code, out] = cli.Finish(10.0);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_EQ(code, 128 + signal);
        EXPECT_LT(seconds, 3.0) << signal;
        EXPECT_FALSE(fs::exists(dir_ / "visual.txt.download")) << signal;
        EXPECT_EQ(Read(dir_ / "visual.txt"), kPrevious) << signal;
        EXPECT_FALSE(fs::exists(dir_ / "visual.txt.previous")) << signal;
    }
}

TEST_F(Download, CommandLineRunsTheSameDownload) {
    httptest::PythonServer server((dir_ / "site").string());
    ASSERT_TRUE(server.Running());
    const std::string env = "CORVANE_TLE_URL=" + server.Url() + " ";
    const clitest::CliRun ok = clitest::RunCli(dir_, "download VISUAL.TXT", env);
    ASSERT_EQ(ok.code, 0) << ok.err;
    EXPECT_EQ(ok.out, "visual.txt: 40 total.\n");
    EXPECT_EQ(clitest::RunCli(dir_, "download 1 --max-time -5", env).code, 2);
    EXPECT_EQ(clitest::RunCli(dir_, "download 1 --max-time 3601", env).code, 2);
    const clitest::CliRun quick = clitest::RunCli(dir_, "download 1 --max-time 0", env);
    EXPECT_EQ(quick.code, 0) << quick.err;
    EXPECT_EQ(Read(dir_ / "visual.txt"), Served(40));
    Write("visual.txt", kPrevious);
    const clitest::CliRun missing =
        clitest::RunCli(dir_, "download 1 --max-time 0", "CORVANE_TLE_URL=" + server.Url() + "/gone ");
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find("Error Downloading TLE File"), std::string::npos);
    EXPECT_EQ(Read(dir_ / "visual.txt"), kPrevious);
    EXPECT_EQ(clitest::RunCli(dir_, "download 9").code, 2);
}
