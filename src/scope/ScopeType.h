#pragma once
// The telescope interface codes (setting SCOPETYPE) as the serial link and the tracking driver
// see them. The codes, their names and their types are one table, in core/ScopeInterface.
#include <string_view>

#include "core/ScopeInterface.h"

namespace corvane {

// The type of a code of the table (matched exactly, upper case). Any other code is Unknown,
// which is driven like LX200 (the window shows it as LX200 and stores LX200 when it applies
// the interface; corvane-cli refuses it).
ScopeType ScopeTypeFromCode(std::string_view code);
// The code as written in the settings file ("" for Unknown).
const char* ScopeTypeCode(ScopeType type);
// True for the types that speak the LX200 protocol (every type but the NexStar ones and LOGFILE).
bool IsLx200Family(ScopeType type);

}  // namespace corvane
