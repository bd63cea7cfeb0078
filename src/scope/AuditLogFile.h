#pragma once
// The audit log "output.txt": routine events and all serial traffic, one time-stamped line each,
// flushed after every line. Thread-safe.
//
// Line form: "MM-DD-YYYY hh:mm:ss.ff text" where the fraction of the second is rounded to two
// decimals and written without its leading zero (".45", ".5"), or ".0" when it rounds to zero.
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "core/AtomicFile.h"
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
    // False when the system reports at closing that written lines were lost (see Failure()).
    bool Close();

    // A line that cannot be written (a full disk) ends the log: the file is closed, nothing more
    // is written, and the handler (when set) is called once with the reason, on the writing
    // thread and outside the log's lock. Failure() keeps the reason.
    void SetFailureHandler(std::function<void(const std::string& reason)> handler);
    std::string Failure() const;

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
    OutputFile file_;
    std::string failure_;
    std::function<void(const std::string&)> onFailure_;
};

}  // namespace corvane
