#include "scope/AuditLogFile.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace corvane {

AuditLogFile::~AuditLogFile() { Close(); }

bool AuditLogFile::Open(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    failure_.clear();
    return file_.Create(path);
}

bool AuditLogFile::IsOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return file_.IsOpen();
}

bool AuditLogFile::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_.Close()) return true;
    failure_ = file_.Error();
    return false;
}

void AuditLogFile::SetFailureHandler(std::function<void(const std::string&)> handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    onFailure_ = std::move(handler);
}

std::string AuditLogFile::Failure() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
}

std::string AuditLogFile::Stamp(double localJulianDate, bool withFraction) {
    if (!std::isfinite(localJulianDate)) localJulianDate = 2451544.5;
    // Whole milliseconds first, so 12:00:00.9999 does not print as 11:59:59 plus a fraction of 1.
    const CivilInstant t = CivilFromJulianDateMs(localJulianDate);
    const long long ms = t.millisecondOfDay;
    const long long year = t.date.year, month = t.date.month, day = t.date.day;

    const long long secondOfDay = ms / 1000;
    char text[64];
    std::snprintf(text, sizeof text, "%02lld-%02lld-%04lld %02lld:%02lld:%02lld", month, day, year,
                  secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60);
    std::string stamp = text;
    if (withFraction) {
        // DEPARTURE: a fraction that rounds up to a whole second is written ".99", not "1",
        // so the seconds field never reads like "00:00:001".
        long long hundredths = std::llround(static_cast<double>(ms % 1000) / 10.0);
        if (hundredths > 99) hundredths = 99;
        if (hundredths == 0) {
            // DEPARTURE: a fraction that rounds to zero is written ".0", not "0", which made the
            // seconds read like "06:36:090".
            stamp += ".0";
        } else if (hundredths % 10 == 0) {
            std::snprintf(text, sizeof text, ".%lld", hundredths / 10);
            stamp += text;
        } else {
            std::snprintf(text, sizeof text, ".%02lld", hundredths);
            stamp += text;
        }
    }
    return stamp;
}

void AuditLogFile::Write(std::string_view text) {
    std::string line = Stamp(clock_.LocalJulianDate(), true);
    line += ' ';
    line += text;
    WriteLine(line);
}

void AuditLogFile::WriteWithoutFraction(std::string_view text) {
    std::string line = Stamp(clock_.LocalJulianDate(), false);
    line += text;
    WriteLine(line);
}

void AuditLogFile::WriteLine(const std::string& line) {
    std::function<void(const std::string&)> report;
    std::string reason;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!file_.IsOpen()) return;
        // One write per line, so a line is never split by another thread's.
        // DEPARTURE: a lost line ends the audit log and is reported instead of being ignored.
        if (file_.Write(line + "\r\n")) return;
        reason = file_.Error();
        failure_ = reason;
        file_.Close();
        report = onFailure_;
    }
    if (report) report(reason);
}

}  // namespace corvane
