#pragma once
// The telescope interface codes (setting SCOPETYPE) as the serial link and the tracking driver
// see them. Their dialog and window names live with the interface settings in core.
#include <string_view>

namespace corvane {

enum class ScopeType {
    LX200,
    LX200GPS,
    AP,  // LX200 Compatible
    GEMINI,
    ETX494,
    ETX497,
    ULTIMA,
    NEXSTAR,
    NEXSTARGPS,
    CGE,
    LOGFILE,
    Unknown,  // any other code: identified and driven like LX200, but without slew polling
};

// The code's type; codes are matched exactly (upper case), anything else is Unknown.
ScopeType ScopeTypeFromCode(std::string_view code);
// The code as written in the settings file ("" for Unknown).
const char* ScopeTypeCode(ScopeType type);
// True for the types that speak the LX200 protocol (every type but the NexStar ones and LOGFILE).
bool IsLx200Family(ScopeType type);

}  // namespace corvane
