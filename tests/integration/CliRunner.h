#pragma once
// Runs corvane-cli as a script would, in a working folder of the test's own, and captures its
// standard output, standard error and exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace clitest {

struct CliRun {
    int code = -1;
    std::string out, err;
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::istringstream in(out);
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
};

// Runs `corvane-cli <args>` with `dir` as the working folder; `prefix` goes before the program
// (e.g. a command that runs it as another user).
inline CliRun RunCli(const std::filesystem::path& dir, const std::string& args,
                     const std::string& prefix = "") {
    const std::string errFile = (dir / "stderr.txt").string();
    const std::string cmd = "cd '" + dir.string() + "' && " + prefix + "'" + std::string(CORVANE_BIN_DIR) +
                            "/src/corvane-cli' " + args + " 2>'" + errFile + "'";
    CliRun r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
    const int status = pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream e(errFile);
    std::stringstream ss;
    ss << e.rdbuf();
    r.err = ss.str();
    return r;
}

// A fresh temporary working folder per test.
class CliTest : public testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("corvane-cli-" + std::to_string(::getpid()) + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    CliRun Cli(const std::string& args) { return RunCli(dir_, args); }
    std::string Write(const std::string& name, const std::string& contents) {
        std::ofstream(dir_ / name, std::ios::binary) << contents;
        return (dir_ / name).string();
    }

    std::filesystem::path dir_;
};

}  // namespace clitest
