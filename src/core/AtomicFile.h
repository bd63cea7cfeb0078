#pragma once
// Replacing a file whole: the new contents go to a temporary file beside it, are flushed to
// disk, and the temporary file is renamed over the old one. A crash or a full disk leaves
// either the old file or the new one, never half a file.
#include <string>
#include <string_view>

namespace corvane {

// Returns true on success. On failure the old file is untouched, the temporary file is removed
// and *error (when given) says why.
bool WriteFileAtomically(const std::string& path, std::string_view contents, std::string* error = nullptr);

// Reads a whole file as bytes. Returns false when it cannot be opened.
bool ReadWholeFile(const std::string& path, std::string& contents);

bool FileExists(const std::string& path);

}  // namespace corvane
