#pragma once
// The telescope interface codes, as stored under SCOPETYPE in the settings file.
#include <string>
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
    Unknown,  // any other code: shown, identified and driven like LX200
};

struct ScopeTypeInfo {
    ScopeType type;
    const char* code;         // as written in the settings file
    const char* dialogLabel;  // in the Telescope Interface dialog; "" when not offered there
    const char* displayName;  // shown for the selected interface
};

// The row of `type` (Unknown gives the LX200 names with an empty code).
const ScopeTypeInfo& ScopeTypeInfoOf(ScopeType type);
// The code's type; codes are matched exactly (upper case), anything else is Unknown.
ScopeType ScopeTypeFromCode(std::string_view code);
// True for the types that speak the LX200 protocol (every type but the NexStar ones and LOGFILE).
bool IsLx200Family(ScopeType type);

}  // namespace corvane
