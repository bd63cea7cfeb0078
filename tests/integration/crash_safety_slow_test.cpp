// Saving survives a crash: a process that saves "ConfigFile.ini", "vplan.log" or "observed.dat"
// over and over with the program's own functions is killed (SIGKILL) at random moments; each
// time the file is the old version or the new one, byte for byte, never a mix or a stub.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <random>
#include <thread>

#include "core/AtomicFile.h"
#include "integration/SaveLoopFiles.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int kKillsPerFile = 100;

// Starts the save loop, waits for its "ready", lets it run `delay`, kills it and reaps it.
// False when it did not come up.
bool RunAndKill(const char* kind, const std::string& folder, std::chrono::microseconds delay) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::string program = CORVANE_SAVE_LOOP;
    std::string kindArg = kind, folderArg = folder;
    char* argv[] = {program.data(), kindArg.data(), folderArg.data(), nullptr};
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        return false;
    }
    std::string seen;
    pollfd p{fds[0], POLLIN, 0};
    while (seen.find("ready\n") == std::string::npos && ::poll(&p, 1, 10000) > 0) {
        char buffer[64];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        seen.append(buffer, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    const bool ready = seen.find("ready\n") != std::string::npos;
    if (ready) std::this_thread::sleep_for(delay);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return ready;
}

struct Case {
    savetest::Kind kind;
    const char* name;
};

}  // namespace

TEST(CrashSafety, AKilledSaveLeavesTheOldOrTheNewFileWhole) {
    const fs::path folder = fs::temp_directory_path() / ("corvane-crash-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::mt19937 random(4242);
    for (const Case c : {Case{savetest::Kind::kSettings, "settings"}, Case{savetest::Kind::kPlan, "plan"},
                         Case{savetest::Kind::kObserved, "observed"}}) {
        const std::string oldBytes = savetest::Bytes(c.kind, 0), newBytes = savetest::Bytes(c.kind, 1);
        ASSERT_NE(oldBytes.size(), newBytes.size());
        const std::string path = (folder / savetest::FileName(c.kind)).string();
        int sawOld = 0, sawNew = 0;
        for (int i = 0; i < kKillsPerFile; ++i) {
            // Up to 20 ms: from the middle of the first save to dozens of saves later.
            const std::chrono::microseconds delay(std::uniform_int_distribution<int>(0, 20000)(random));
            ASSERT_TRUE(RunAndKill(c.name, folder.string(), delay)) << c.name << " did not start";
            std::string bytes;
            ASSERT_TRUE(corvane::ReadWholeFile(path, bytes)) << c.name << " after kill " << i;
            if (bytes == oldBytes) {
                ++sawOld;
            } else if (bytes == newBytes) {
                ++sawNew;
            } else {
                ADD_FAILURE() << c.name << " after kill " << i << " (" << delay.count()
                              << " us): neither version, " << bytes.size() << " bytes";
            }
        }
        // Both versions were caught, so the kills fell while saves were going on.
        EXPECT_GT(sawOld, 0) << c.name;
        EXPECT_GT(sawNew, 0) << c.name;
        RecordProperty(std::string(c.name) + "_old", sawOld);
        RecordProperty(std::string(c.name) + "_new", sawNew);
        // Temporary files of saves that were cut short stay beside the file; they are never read.
        int leftovers = 0;
        for (const auto& entry : fs::directory_iterator(folder))
            leftovers += entry.path().filename().string().rfind(
                             std::string(savetest::FileName(c.kind)) + ".tmp-", 0) == 0;
        RecordProperty(std::string(c.name) + "_temporary_files_left", leftovers);
    }
    fs::remove_all(folder);
}
