#pragma once
// Starting the built programs (and third-party tools) from tests: every wait is bounded, and a
// child is ended by its own process group id when the test is done with it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <optional>
#include <string>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <unistd.h>

#include <thread>
#include <vector>

extern char** environ;

namespace corvane::test {

class ChildProcess {
public:
    // Starts `args` (args[0] searched in PATH) in a process group of its own, standard output
    // captured (standard error dropped when `quietErrors`). `environment` entries ("NAME=value") are added to
    // the current environment.
    // With `mergeErrors`, standard error goes into the captured output as well.
    ChildProcess(const std::vector<std::string>& args, const std::vector<std::string>& environment = {},
                 bool quietErrors = false, bool mergeErrors = false) {
#ifdef __linux__
        // Grandchildren left behind by the child (a server's drivers) come back to this process
        // to be reaped, instead of lingering as zombies.
        ::prctl(PR_SET_CHILD_SUBREAPER, 1);
#endif
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        if (mergeErrors)
            posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
        else if (quietErrors)
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<std::string> envStrings;
        for (char** e = environ; *e != nullptr; ++e) envStrings.emplace_back(*e);
        for (const auto& extra : environment) envStrings.push_back(extra);
        std::vector<char*> envp;
        for (auto& e : envStrings) envp.push_back(e.data());
        envp.push_back(nullptr);
        if (::posix_spawnp(&pid_, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        ::close(fds[1]);
        out_ = fds[0];
    }
    ~ChildProcess() {
        Stop();
        if (out_ >= 0) ::close(out_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    // Sends a signal to the child alone.
    bool Signal(int signal) { return pid_ > 0 && ::kill(pid_, signal) == 0; }

    // The next line of standard output, or nothing after `seconds`.
    std::optional<std::string> ReadLine(double seconds) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        for (;;) {
            const size_t end = buffer_.find('\n');
            if (end != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || out_ < 0) return std::nullopt;
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char chunk[256];
            const ssize_t n = ::read(out_, chunk, sizeof chunk);
            if (n <= 0) return std::nullopt;
            buffer_.append(chunk, static_cast<size_t>(n));
        }
    }

    // Everything printed until the child exits, and its exit code; -1 after `seconds` (the
    // child is then stopped).
    std::pair<int, std::string> Finish(double seconds) {
        std::string all;
        while (auto line = ReadLine(seconds)) all += *line + "\n";
        all += buffer_;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            rusage usage{};
            if (::wait4(pid_, &status, WNOHANG, &usage) == pid_) {
                cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                             (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
                pid_ = -1;
                return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, all};
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        Stop();
        return {-1, all};
    }

    // The processor time (user and system) the child used, known once Finish saw it exit.
    double cpuSeconds = -1.0;

    // Ends the child's process group: SIGTERM, then SIGKILL after two seconds; reaps the group.
    void Stop() {
        if (pid_ <= 0) return;
        ::kill(-pid_, SIGTERM);
        bool ended = false;
        for (int i = 0; i < 200 && !ended; ++i) {
            ended = ::waitpid(pid_, nullptr, WNOHANG) == pid_;
            if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!ended) {
            ::kill(-pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        for (int i = 0; i < 200; ++i) {  // the rest of the group
            const pid_t reaped = ::waitpid(-pid_, nullptr, WNOHANG);
            if (reaped < 0) break;
            if (reaped == 0) {
                if (i == 100) ::kill(-pid_, SIGKILL);
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
};

inline std::string MountsimPath() {
    return std::string(CORVANE_BIN_DIR) + "/tools/mountsim/corvane-mountsim";
}

// Starts corvane-mountsim and returns its device path ("" when it did not come up in 10 s).
inline std::string StartMountsim(ChildProcess& sim) {
    const auto line = sim.ReadLine(10.0);
    if (!line || line->rfind("ready on ", 0) != 0) return "";
    return line->substr(9);
}

}  // namespace corvane::test
