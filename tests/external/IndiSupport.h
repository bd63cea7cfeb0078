#pragma once
// Driving an INDI server from the interoperability tests: is INDI installed, a free port, and
// reading and setting properties with indi_getprop and indi_setprop.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "integration/ChildProcess.h"

namespace corvane::test {

inline bool InPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    }
    return false;
}

// A TCP port on the loopback address that nobody listens on right now.
inline int FreeLoopbackPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t size = sizeof address;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(s);
    return port;
}

struct Indi {
    std::string port;

    // NAME=value pairs of the properties matching `pattern`.
    std::map<std::string, std::string> Get(const std::string& pattern) const {
        ChildProcess get({"indi_getprop", "-p", port, "-t", "2", pattern}, {}, true);
        const auto [code, text] = get.Finish(10.0);
        std::map<std::string, std::string> values;
        std::stringstream lines(text);
        std::string line;
        while (std::getline(lines, line)) {
            const size_t eq = line.find('=');
            if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
        }
        return values;
    }
    bool Set(const std::string& assignment) const {
        ChildProcess set({"indi_setprop", "-p", port, "-t", "2", assignment}, {}, true);
        return set.Finish(10.0).first == 0;
    }
    // Polls until `ready` holds for the values of `pattern`, at most `seconds`.
    template <typename Ready>
    std::map<std::string, std::string> WaitFor(const std::string& pattern, double seconds,
                                               Ready ready) const {
        std::map<std::string, std::string> values;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < deadline) {
            values = Get(pattern);
            if (ready(values)) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
        return values;
    }
};

inline double Number(const std::map<std::string, std::string>& values, const std::string& key) {
    const auto it = values.find(key);
    return it == values.end() ? NAN : std::strtod(it->second.c_str(), nullptr);
}

}  // namespace corvane::test
