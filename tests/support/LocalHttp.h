#pragma once
// Local HTTP servers on free loopback ports for the download tests: Python's http.server over a
// folder, a server that sends a cut-short body, and one that accepts connections but never answers.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

extern char** environ;

namespace httptest {

// A listening loopback socket on a port of the system's choice.
inline int Listen(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 8) != 0)
        return -1;
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

inline bool Accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

// `python3 -m http.server` serving a folder on a free loopback port, stopped with the object.
class PythonServer {
public:
    explicit PythonServer(const std::string& folder) {
        const int probe = Listen(port_);
        ::close(probe);
        const std::string portText = std::to_string(port_);
        const char* argv[] = {"python3",     "-m",           "http.server",    "--bind", "127.0.0.1",
                              "--directory", folder.c_str(), portText.c_str(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 01, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 01, 0);
        if (posix_spawnp(&pid_, "python3", &actions, nullptr, const_cast<char**>(argv), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        for (int i = 0; i < 200 && pid_ > 0 && !Accepts(port_); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    ~PythonServer() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool Running() const { return pid_ > 0 && Accepts(port_); }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

// Answers every request with "200 OK", a Content-Length of `promised` bytes and only `body`, then
// closes the connection. With answer = false it accepts connections and never says a word.
class RawServer {
public:
    // `promised` kNoLength: no Content-Length, the end of the body is the end of the connection.
    static constexpr size_t kNoLength = static_cast<size_t>(-1);
    // `hold`: after the body the connection stays open until the server ends.
    RawServer(std::string body, size_t promised, bool answer = true, bool hold = false) {
        fd_ = Listen(port_);
        if (!answer) return;  // the kernel completes connections; nobody reads or writes
        thread_ = std::thread([this, body = std::move(body), promised, hold] {
            while (!stop_.load()) {
                const int c = ::accept(fd_, nullptr, nullptr);
                if (c < 0) return;
                char buf[4096];
                (void)::recv(c, buf, sizeof buf, 0);
                const std::string length =
                    promised == kNoLength ? "" : "Content-Length: " + std::to_string(promised) + "\r\n";
                const std::string head =
                    "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n" + length + "Connection: close\r\n\r\n";
                (void)::send(c, head.data(), head.size(), MSG_NOSIGNAL);
                (void)::send(c, body.data(), body.size(), MSG_NOSIGNAL);
                while (hold && !stop_.load()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
                ::close(c);
            }
        });
    }
    ~RawServer() {
        stop_.store(true);
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        if (thread_.joinable()) thread_.join();
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace httptest
