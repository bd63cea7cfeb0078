#include "core/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

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

// Creates a temporary file beside path holding contents, flushed to disk, with the given
// permissions (and owner, where the system allows). Returns its name, or "" with *error set.
std::string WriteTemporary(const std::string& path, std::string_view contents, std::string* error,
                           const struct stat* like = nullptr) {
    std::string tmp = path + ".tmp-XXXXXX";
    const int fd = mkstemp(tmp.data());
    if (fd < 0) {
        SetError(error, "cannot create a temporary file for " + path, errno);
        return "";
    }
    if (like != nullptr) {
        // The file being replaced keeps its owner (where we may give it) and its permissions.
        if (::fchown(fd, like->st_uid, like->st_gid) != 0)
            (void)::fchown(fd, static_cast<uid_t>(-1), like->st_gid);
        fchmod(fd, like->st_mode & 07777);
    } else {
        // Keep the permissions an ordinary new file would get.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }

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

// Follows symbolic links from path to the name that holds the file (which need not exist yet).
// False with *error on a loop or an unreadable link.
bool ResolveLinks(const std::string& path, std::string& resolved, std::string* error) {
    resolved = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(resolved.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(resolved.c_str(), target.data(), target.size());
        if (n < 0) {
            SetError(error, "cannot follow the link " + resolved, errno);
            return false;
        }
        target.resize(static_cast<size_t>(n));
        // A relative target is relative to the folder holding the link.
        resolved = target.empty() || target[0] == '/' || resolved.find('/') == std::string::npos
                       ? target
                       : FolderOf(resolved) + "/" + target;
        if (resolved.empty()) {
            if (error) *error = "cannot follow the link " + path + ": it is empty";
            return false;
        }
    }
    if (error) *error = "cannot write " + path + ": too many levels of symbolic links";
    return false;
}

// What a name that is there but is not a plain file is, for a message.
std::string KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

// Overwrites a file with other hard links in place, so that every name keeps the new contents.
// The space is reserved first, so a full disk is found before the old contents are touched; a
// failure after that puts the old contents back as far as the disk allows.
bool RewriteInPlace(const std::string& path, std::string_view contents, std::string* error) {
    std::string old;
    if (ReadFileBytes(path, old, error) != FileRead::kRead) return false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        SetError(error, "cannot write " + path, errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (error) *error = "cannot write " + path + ": it changed while it was being written";
        ::close(fd);
        return false;
    }
    const int reserved = contents.empty() ? 0 : ::posix_fallocate(fd, 0, static_cast<off_t>(contents.size()));
    if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) {
        SetError(error, "cannot write " + path, reserved);
        ::close(fd);
        return false;
    }
    auto writeFrom = [fd](std::string_view bytes) {
        return ::lseek(fd, 0, SEEK_SET) == 0 && WriteAll(fd, bytes) &&
               ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 &&
               (::fsync(fd) == 0 || errno == EINVAL);
    };
    if (!writeFrom(contents)) {
        SetError(error, "cannot write " + path, errno);
        (void)writeFrom(old);
        ::close(fd);
        return false;
    }
    if (::close(fd) != 0) {
        SetError(error, "cannot close " + path, errno);
        return false;
    }
    return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view contents, std::string* error) {
    // The file is replaced where it lives: a symbolic link is written through, not replaced.
    std::string target;
    if (!ResolveLinks(path, target, error)) return false;
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) {
        SetError(error, "cannot write " + path, errno);
        return false;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        // A pipe would block for ever, and a device or folder must never become a plain file.
        if (error) *error = "cannot write " + path + ": it is " + KindOf(st.st_mode) + ", not a file";
        return false;
    }
    // DEPARTURE: a file with other hard links is rewritten in place (space reserved first, the old
    // contents put back on failure) instead of being replaced by a rename, which would leave the
    // other names holding the old contents.
    if (exists && st.st_nlink > 1) return RewriteInPlace(target, contents, error);

    const std::string tmp = WriteTemporary(target, contents, error, exists ? &st : nullptr);
    if (tmp.empty()) return false;
    if (std::rename(tmp.c_str(), target.c_str()) != 0) {
        SetError(error, "cannot replace " + path, errno);
        ::unlink(tmp.c_str());
        return false;
    }
    SyncFolder(target);
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

FileRead ReadFileInPieces(const std::string& path, const std::function<void(std::string_view)>& visit,
                          std::string* error, size_t* size) {
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
    if (size) *size = static_cast<size_t>(st.st_size);
    std::string buffer(1 << 20, '\0');
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            SetError(error, "cannot read " + path, errno);
            ::close(fd);
            return FileRead::kUnreadable;
        }
        visit(std::string_view(buffer.data(), static_cast<size_t>(n)));
    }
    ::close(fd);
    return FileRead::kRead;
}

FileRead ReadFileBytes(const std::string& path, std::string& contents, std::string* error) {
    contents.clear();
    size_t size = 0;
    const FileRead r = ReadFileInPieces(
        path,
        [&](std::string_view piece) {
            if (contents.empty() && size > 0) contents.reserve(size);
            contents.append(piece);
        },
        error, &size);
    if (r != FileRead::kRead) contents.clear();
    return r;
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
    // Opened without waiting: a pipe nobody reads would otherwise block here for ever.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd_ < 0) {
        if (errno == ENXIO)
            error_ = "cannot create " + path + ": it is a pipe that nothing reads";
        else
            SetError(&error_, "cannot create " + path, errno);
        return false;
    }
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
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
