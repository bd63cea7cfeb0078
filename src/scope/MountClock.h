#pragma once
// The mount's date and time: SetMountDateTime copies the program clock (the computer clock plus
// the clock correction) into an LX200 mount with "#:SL" and "#:SC". Runs on the telescope
// session's thread (post it with ScopeSession::Post); it waits only through the link.
#include <optional>
#include <string>
#include <string_view>

#include "scope/SerialLink.h"

namespace corvane {

inline constexpr const char* kMountTimeErrorText = "Unable to set LX200 Date/Time.";
inline constexpr const char* kMountTimeErrorTitle = "LX200 Connection Error.";
inline constexpr const char* kMountYearErrorText =
    "The LX200 keeps a two-digit year: it can be set to dates from 2000 to 2099 only.";

// Whether the mount's "MM/DD/YY" can hold the date of a local Julian date (2000 to 2099).
bool MountCanHoldDate(double localJulianDate);

// "#:SL HH:MM:SS#" and "#:SC MM/DD/YY#" for the program clock at a local Julian date, from its
// eight-digit date text and its time text with colons; an hours or minutes text "99" goes out
// as "00", and so does a seconds text holding "9.".
struct MountTimeCommands {
    std::string time;
    std::string date;
};
MountTimeCommands MountTimeCommandsFor(double localJulianDate);

// A date text of CalendarDateText followed by hours and minutes ("Mar 07 2004  21:05"), read
// back as a local Julian date; nothing for any other text or an impossible date or time.
std::optional<double> ParseDateAndTimeText(std::string_view text);

// The millisecond of the second (0..999) of a local Julian date.
int MillisecondOfSecond(double localJulianDate);

enum class MountTimeResult {
    NotSent,  // LX200TIMEADJUST is 0: the mount is left alone
    Set,      // both commands acknowledged ("11" among the replies)
    Failed,   // no acknowledgement within 3 s (the error message has been shown)
};

// Part of the date/time dialog's Adjust and Reset: when `lx200TimeAdjust` is set, empties the
// input, sends the time and the date (without a correction, at 300 to 600 ms into a second of
// the computer clock), waits 3000 ms and checks the replies. A failure shows "Unable to set
// LX200 Date/Time." titled "LX200 Connection Error." on the link's display. The wait cursor is
// shown meanwhile. A date outside 2000-2099 is not sent: the message kMountYearErrorText is shown
// and the result is Failed. Tracking must have been stopped by the caller. `sent`, when given, receives
// the two commands.
MountTimeResult SetMountDateTime(SerialLink& link, bool lx200TimeAdjust, MountTimeCommands* sent = nullptr);

}  // namespace corvane
