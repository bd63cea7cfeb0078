#pragma once
// The audit log "output.txt": routine events and all serial traffic, one time-stamped line each,
// flushed after every line. Thread-safe.
//
// Line form: "MM-DD-YYYY hh:mm:ss.ff text" where the fraction of the second is rounded to two
// decimals and written without its leading zero (".45", ".5") or as "0" when it rounds to zero.
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

#include "core/Clock.h"

namespace corvane {

class AuditLogFile {
public:
    explicit AuditLogFile(const Clock& clock) : clock_(clock) {}
    ~AuditLogFile();
    AuditLogFile(const AuditLogFile&) = delete;
    AuditLogFile& operator=(const AuditLogFile&) = delete;

    // Creates the file anew (an older one is replaced). False when it cannot be created.
    bool Open(const std::string& path);
    bool IsOpen() const;
    void Close();

    // Appends "date time.fraction text".
    void Write(std::string_view text);
    // Appends "date time" + text, the time without its fraction (the polling reads' line form).
    void WriteWithoutFraction(std::string_view text);

    // The two time-stamp forms for a local Julian date: "MM-DD-YYYY hh:mm:ss.ff" and
    // "MM-DD-YYYY hh:mm:ss". Pure.
    static std::string Stamp(double localJulianDate, bool withFraction);

private:
    void WriteLine(const std::string& line);

    const Clock& clock_;
    mutable std::mutex mutex_;
    std::FILE* file_ = nullptr;
};

}  // namespace corvane
