#include "scope/MountClock.h"

#include <cmath>
#include <cstdio>

#include "astro/Time.h"
#include "core/Clock.h"

namespace corvane {

namespace {

std::string TwoDigits(long long value) {
    const std::string digits = std::to_string(value < 0 ? -value : value);
    return digits.size() < 2 ? "0" + digits : digits.substr(digits.size() - 2);
}

// The mount reads "99" as nonsense; the time texts never hold it, but the rule costs nothing.
std::string Field(const std::string& text, bool seconds) {
    if (text == "99" || (seconds && text.find("9.") != std::string::npos)) return "00";
    return text;
}

}  // namespace

std::optional<double> ParseDateAndTimeText(std::string_view text) {
    static constexpr std::string_view kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
    char month[4] = {};
    int day = 0, year = 0, hour = 0, minute = 0, used = 0;
    const std::string s(text);
    if (std::sscanf(s.c_str(), " %3s %2d %4d %2d:%2d %n", month, &day, &year, &hour, &minute, &used) != 5 ||
        static_cast<size_t>(used) != s.size())
        return std::nullopt;
    const size_t at = kMonths.find(month);
    if (at == std::string_view::npos || at % 3 != 0 || std::string_view(month).size() != 3)
        return std::nullopt;
    const int m = static_cast<int>(at / 3) + 1;
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day < 1 || day > kDays[m - 1] || (m == 2 && day == 29 && !leap) || hour > 23 || minute > 59 ||
        hour < 0 || minute < 0)
        return std::nullopt;
    return CivilToJulianDate(year, m, day, hour, minute, 0.0);
}

int MillisecondOfSecond(double localJulianDate) {
    return static_cast<int>(CivilFromJulianDateMs(localJulianDate).millisecondOfDay % 1000);
}

bool MountCanHoldDate(double localJulianDate) {
    if (!std::isfinite(localJulianDate)) return false;
    int year = 0, month = 0;
    double day = 0.0;
    CalendarDate(localJulianDate, year, month, day);
    return year >= 2000 && year <= 2099;
}

MountTimeCommands MountTimeCommandsFor(double jd) {
    int year = 0, month = 0;
    double day = 0.0;
    CalendarDate(jd, year, month, day);
    const std::string time = TimeOfDayText(jd, true, 0);  // "HH:MM:SS"
    const std::string hours = Field(time.substr(0, 2), false);
    const std::string minutes = Field(time.substr(3, 2), false);
    const std::string seconds = Field(time.substr(6, 2), true);
    return MountTimeCommands{"#:SL " + hours + ":" + minutes + ":" + seconds + "#",
                             "#:SC " + TwoDigits(month) + "/" +
                                 TwoDigits(static_cast<long long>(std::floor(day))) + "/" +
                                 TwoDigits(((year % 100) + 100) % 100) + "#"};
}

MountTimeResult SetMountDateTime(SerialLink& link, bool lx200TimeAdjust, MountTimeCommands* sent) {
    if (!lx200TimeAdjust) return MountTimeResult::NotSent;
    Clock& clock = link.GetClock();
    TrackingDisplay& display = link.Display();
    display.SetBusy(true);
    (void)link.ReadAvailable();
    double jd;
    if (clock.Correction() == 0.0) {
        // The mount's seconds start when the command arrives: sending a little before the middle
        // of a computer-clock second keeps the two within half a second of each other.
        jd = clock.LocalJulianDate();
        for (int tries = 0; tries < 10; ++tries) {
            const int ms = MillisecondOfSecond(jd);
            if (ms >= 300 && ms <= 600) break;
            if (!link.Wait(ms < 300 ? 300 - ms : 1300 - ms)) break;
            jd = clock.LocalJulianDate();
        }
    } else {
        jd = clock.JulianDateNow();
    }
    if (!MountCanHoldDate(jd)) {
        // DEPARTURE: a date the mount's two-digit year cannot hold is refused, instead of setting
        // the mount a century away (2100 would read as 2000).
        display.SetBusy(false);
        display.ShowMessage(kMountYearErrorText, kMountTimeErrorTitle, MessageIcon::Error);
        return MountTimeResult::Failed;
    }
    const MountTimeCommands commands = MountTimeCommandsFor(jd);
    link.SendCommand(commands.time);
    link.SendCommand(commands.date);
    if (sent != nullptr) *sent = commands;
    link.Wait(3000);
    const std::string replies = link.ReadAvailable();
    if (replies.find("11") == std::string::npos) {
        display.SetBusy(false);
        display.ShowMessage(kMountTimeErrorText, kMountTimeErrorTitle, MessageIcon::Error);
        return MountTimeResult::Failed;
    }
    display.SetBusy(false);
    return MountTimeResult::Set;
}

}  // namespace corvane
