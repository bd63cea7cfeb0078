#pragma once
// Angles as the program's status lines and panel show them. Pure; non-finite values read as 0.
#include <string>

namespace corvane {

// "05 hr 34 m 31 s" from hours (seconds rounded; a rounded 60 shows as 59); the colon form gives
// "05:34:31".
std::string HourText(double hours, bool colonForm = false);
// "+12 \xB0 59 m 59 s" from degrees (the degree sign is the Latin-1 byte 0xB0), the same rounding;
// the colon form gives "+12:59:59".
std::string DegreeText(double degrees, bool colonForm = false);

}  // namespace corvane
