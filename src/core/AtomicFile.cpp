#include "core/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

void SetError(std::string* error, const std::string& what, int code) {
    if (error) *error = what + ": " + std::strerror(code);
}

// Writes all bytes to fd; false with errno set when it cannot.
bool WriteAll(int fd, std::string_view contents) {
    const char* p = contents.data();
    size_t left = contents.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes a rename in the folder durable. Best effort: some file systems refuse it.
void SyncFolder(const std::string& path) {
    const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    ::fsync(dir);
    ::close(dir);
}

// Creates a temporary file beside path holding contents, flushed to disk. Returns its name, or
// "" with *error set.
std::string WriteTemporary(const std::string& path, std::string_view contents, std::string* error) {
    std::string tmp = path + ".tmp-XXXXXX";
    const int fd = mkstemp(tmp.data());
    if (fd < 0) {
        SetError(error, "cannot create a temporary file for " + path, errno);
        return "";
    }
    // Keep the permissions an ordinary file would get.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);

    if (!WriteAll(fd, contents)) {
        SetError(error, "cannot write " + path, errno);
        ::close(fd);
        ::unlink(tmp.c_str());
        return "";
    }
    if (::fsync(fd) != 0 && errno != EINVAL) {
        SetError(error, "cannot flush " + path, errno);
        ::close(fd);
        ::unlink(tmp.c_str());
        return "";
    }
    if (::close(fd) != 0) {
        SetError(error, "cannot close " + path, errno);
        ::unlink(tmp.c_str());
        return "";
    }
    return tmp;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view contents, std::string* error) {
    const std::string tmp = WriteTemporary(path, contents, error);
    if (tmp.empty()) return false;
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        SetError(error, "cannot replace " + path, errno);
        ::unlink(tmp.c_str());
        return false;
    }
    SyncFolder(path);
    return true;
}

bool WriteNewFile(const std::string& path, std::string_view contents, std::string* error) {
    const std::string tmp = WriteTemporary(path, contents, error);
    if (tmp.empty()) return false;
    // link() refuses an existing name, so an older file is never replaced.
    const int linked = ::link(tmp.c_str(), path.c_str());
    const int code = errno;
    ::unlink(tmp.c_str());
    if (linked != 0) {
        SetError(error, "cannot create " + path, code);
        return false;
    }
    SyncFolder(path);
    return true;
}

std::string KeepCopyAside(const std::string& path, std::string_view contents, std::string* error) {
    std::string lastError;
    for (int n = 1; n <= 99; ++n) {
        const std::string name = path + ".bad" + (n == 1 ? std::string() : std::to_string(n));
        std::string existing;
        switch (ReadFileBytes(name, existing)) {
            case FileRead::kRead:
                if (existing == contents) return name;  // kept already (an earlier start)
                continue;
            case FileRead::kUnreadable:
                continue;
            case FileRead::kMissing:
                break;
        }
        if (WriteNewFile(name, contents, &lastError)) return name;
        if (FileExists(name)) continue;  // taken meanwhile
        if (error) *error = lastError;
        return "";
    }
    if (error) *error = "no free name for a copy of " + path + " (" + path + ".bad to .bad99 are taken)";
    return "";
}

FileRead ReadFileBytes(const std::string& path, std::string& contents, std::string* error) {
    contents.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return FileRead::kMissing;
        SetError(error, "cannot read " + path, errno);
        return FileRead::kUnreadable;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        SetError(error, "cannot read " + path, errno);
        ::close(fd);
        return FileRead::kUnreadable;
    }
    // A folder, a pipe or a device is not one of our files (and a pipe could block forever).
    if (!S_ISREG(st.st_mode)) {
        if (error)
            *error = "cannot read " + path + ": " + (S_ISDIR(st.st_mode) ? "it is a folder" : "not a file");
        ::close(fd);
        return FileRead::kUnreadable;
    }
    if (st.st_size > 0) contents.reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            SetError(error, "cannot read " + path, errno);
            ::close(fd);
            contents.clear();
            return FileRead::kUnreadable;
        }
        contents.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return FileRead::kRead;
}

bool ReadWholeFile(const std::string& path, std::string& contents) {
    return ReadFileBytes(path, contents) == FileRead::kRead;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// ---------------------------------------------------------------------------------------------

OutputFile::~OutputFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool OutputFile::Create(const std::string& path) {
    Close();
    path_ = path;
    error_.clear();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        SetError(&error_, "cannot create " + path, errno);
        return false;
    }
    return true;
}

bool OutputFile::Write(std::string_view bytes) {
    if (fd_ < 0) {
        error_ = "cannot write " + path_ + ": the file is not open";
        return false;
    }
    if (!WriteAll(fd_, bytes)) {
        SetError(&error_, "cannot write " + path_, errno);
        return false;
    }
    return true;
}

bool OutputFile::Close() {
    if (fd_ < 0) return true;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) {
        SetError(&error_, "cannot close " + path_, errno);
        return false;
    }
    return true;
}

}  // namespace corvane
