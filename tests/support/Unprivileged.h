#pragma once
// Files the program cannot read, for tests that may run as root: root reads a file of mode 000
// anyway, so while an AsUnprivileged lives the effective user and group are "nobody" (65534).
// For any other user it does nothing: mode 000 is enough. Folders the code under test must
// enter need to be open to others (0755).
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace corvane::test {

inline constexpr uid_t kNobody = 65534;

class AsUnprivileged {
public:
    AsUnprivileged() {
        if (::geteuid() != 0) return;
        switched_ = ::setegid(kNobody) == 0 && ::seteuid(kNobody) == 0;
    }
    ~AsUnprivileged() {
        if (!switched_) return;
        [[maybe_unused]] const int u = ::seteuid(0);
        [[maybe_unused]] const int g = ::setegid(0);
    }
    AsUnprivileged(const AsUnprivileged&) = delete;
    AsUnprivileged& operator=(const AsUnprivileged&) = delete;

    // False when running as root and the switch failed: the test cannot make a file unreadable.
    bool Effective() const { return ::geteuid() != 0; }

private:
    bool switched_ = false;
};

// Mode 000; the file's mode before.
inline mode_t MakeUnreadable(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    ::chmod(path.c_str(), 0);
    return st.st_mode & 07777;
}

inline mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 07777;
}

// Prefix for a shell command that runs a program as "nobody" when the tests run as root ("" for
// other users).
inline std::string UnprivilegedCommandPrefix() {
    return ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
}

}  // namespace corvane::test
