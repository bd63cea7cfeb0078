#pragma once
// Files on disk, written so that nothing is lost.
//
// Replacing a file whole: the new contents go to a temporary file beside it, are flushed to
// disk, and the temporary file is renamed over the old one. A crash or a full disk leaves
// either the old file or the new one, never half a file.
//
// Reading tells a missing file (a first start) from one that is there but cannot be read: the
// callers never save over a file they could not read.
//
// Streams (logs written record by record) go through OutputFile, which checks every write and
// the close, so that a full disk is reported instead of ending in an empty file.
#include <functional>
#include <string>
#include <string_view>

namespace corvane {

// Returns true on success. On failure the old file is untouched, the temporary file is removed
// and *error (when given) says why.
//
// The file is replaced where it lives: a symbolic link is followed to its file, which keeps its
// permissions (and owner, where the system allows). A pipe, a device or a folder of that name is
// refused with a message. A file with other hard links is rewritten in place, so all its names
// see the new contents.
bool WriteFileAtomically(const std::string& path, std::string_view contents, std::string* error = nullptr);

// Writes a file that must not exist yet, all or nothing: on failure (the name is taken, the
// disk is full) no file of that name is left and *error says why.
bool WriteNewFile(const std::string& path, std::string_view contents, std::string* error = nullptr);

// Keeps a copy of a file's contents beside it before the file is repaired: "<path>.bad", or
// when that name holds other contents "<path>.bad2", "<path>.bad3" ... up to ".bad99"; an
// existing copy is never replaced. A copy with the same contents already there is reused.
// Returns the name of the copy, or "" (and *error) when none could be made.
std::string KeepCopyAside(const std::string& path, std::string_view contents, std::string* error = nullptr);

enum class FileRead {
    kRead,        // contents hold the whole file
    kMissing,     // no such file
    kUnreadable,  // there is something of that name, but it could not be read (permissions,
                  // a folder, an input/output error)
};
// Reads a whole file as bytes; *error (when given) says why it could not be read.
FileRead ReadFileBytes(const std::string& path, std::string& contents, std::string* error = nullptr);
// Reads a file a megabyte at a time, handing each piece to visit, so that its length costs no
// memory; *size (when given) gets its length before the first piece. The same answers as
// ReadFileBytes; a read error after some pieces is kUnreadable.
FileRead ReadFileInPieces(const std::string& path, const std::function<void(std::string_view)>& visit,
                          std::string* error = nullptr, size_t* size = nullptr);

// Reads a whole file as bytes. Returns false when it is missing or cannot be read.
bool ReadWholeFile(const std::string& path, std::string& contents);

bool FileExists(const std::string& path);

// A file written piece by piece (a log). Each Write goes straight to the system, so what was
// written survives a crash of the program; every write and the close are checked.
// Not thread-safe.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the file, replacing an older one (written through a symbolic link). False (and
    // Error()) when it cannot, or when the name is a pipe that nothing reads.
    bool Create(const std::string& path);
    bool IsOpen() const { return fd_ >= 0; }
    // Writes all bytes. False (and Error()) when they could not all be written; the file stays
    // open, the caller decides whether to go on.
    bool Write(std::string_view bytes);
    // Closes the file; false (and Error()) when the system reports that data was lost. Closing
    // a file that is not open succeeds.
    bool Close();
    const std::string& Path() const { return path_; }
    // Why the last failure happened ("" while none has).
    const std::string& Error() const { return error_; }

private:
    int fd_ = -1;
    std::string path_;
    std::string error_;
};

}  // namespace corvane
