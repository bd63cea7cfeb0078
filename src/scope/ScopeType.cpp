#include "scope/ScopeType.h"


namespace corvane {

ScopeType ScopeTypeFromCode(std::string_view code) {
    return IsKnownScopeCode(code) ? FindScopeInterface(code).type : ScopeType::Unknown;
}

const char* ScopeTypeCode(ScopeType type) {
    for (const auto& i : ScopeInterfaces())
        if (i.type == type) return i.code;
    return "";
}

bool IsLx200Family(ScopeType type) {
    switch (type) {
        case ScopeType::ULTIMA:
        case ScopeType::NEXSTAR:
        case ScopeType::NEXSTARGPS:
        case ScopeType::CGE:
        case ScopeType::LOGFILE:
        case ScopeType::INDI:
            return false;
        default:
            return true;
    }
}

}  // namespace corvane
