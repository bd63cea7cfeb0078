#pragma once
// Shared by the fuzz targets: a scratch file for readers that take a path, a reader of values
// from the fuzzer's bytes, and the checks that turn a wrong result into a crash libFuzzer keeps.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "astro/MathUtil.h"

namespace fuzz {

// Prints what went wrong and aborts, so that libFuzzer saves the input.
[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "\nFUZZ CHECK FAILED: %s (%s:%d)\n", what, file, line);
    std::abort();
}
#define FUZZ_CHECK(condition) \
    do {                      \
        if (!(condition)) ::fuzz::Fail(#condition, __FILE__, __LINE__); \
    } while (0)

inline bool Finite(const corvane::StateVector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.magnitude);
}

// True when a text the program made from numbers spells a non-number.
inline bool SpellsNonNumber(std::string_view text) {
    // As printf spells them: a word of its own, not letters inside a name ("Janan", "info").
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    for (std::string_view word : {"nan", "NaN", "NAN", "inf", "INF", "Inf"}) {
        for (size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1)) {
            const bool before = at > 0 && letter(text[at - 1]);
            const bool after = at + word.size() < text.size() && letter(text[at + word.size()]);
            if (!before && !after) return true;
        }
    }
    return false;
}

// One scratch file per process, in memory where /dev/shm exists; rewritten for every input.
class ScratchFile {
public:
    explicit ScratchFile(const char* name) {
        const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        path_ = std::string(dir) + "/corvane-fuzz-" + std::to_string(getpid()) + "-" + name;
    }
    ~ScratchFile() { std::remove(path_.c_str()); }
    const std::string& Write(const uint8_t* data, size_t size) {
        std::FILE* f = std::fopen(path_.c_str(), "wb");
        if (f == nullptr) Fail("cannot write the scratch file", __FILE__, __LINE__);
        if (size > 0 && std::fwrite(data, 1, size, f) != size) Fail("short write", __FILE__, __LINE__);
        std::fclose(f);
        return path_;
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Takes values off the front of the fuzzer's bytes; zeros once they run out.
class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t Left() const { return size_ - pos_; }
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    double Double() {
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) bits = (bits << 8) | Byte();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    std::string Take(size_t n) {
        n = std::min(n, Left());
        std::string out(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return out;
    }
    std::string Rest() { return Take(Left()); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

}  // namespace fuzz
