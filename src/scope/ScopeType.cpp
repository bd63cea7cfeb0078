#include "scope/ScopeType.h"

#include <utility>

namespace corvane {

namespace {
constexpr std::pair<ScopeType, const char*> kCodes[] = {
    {ScopeType::LX200, "LX200"},   {ScopeType::LX200GPS, "LX200GPS"}, {ScopeType::AP, "AP"},
    {ScopeType::GEMINI, "GEMINI"}, {ScopeType::ETX494, "ETX494"},     {ScopeType::ETX497, "ETX497"},
    {ScopeType::ULTIMA, "ULTIMA"}, {ScopeType::NEXSTAR, "NEXSTAR"},   {ScopeType::NEXSTARGPS, "NEXSTARGPS"},
    {ScopeType::CGE, "CGE"},       {ScopeType::LOGFILE, "LOGFILE"},
};
}  // namespace

ScopeType ScopeTypeFromCode(std::string_view code) {
    for (const auto& [type, text] : kCodes) {
        if (code == text) return type;
    }
    return ScopeType::Unknown;
}

const char* ScopeTypeCode(ScopeType type) {
    for (const auto& [t, text] : kCodes) {
        if (t == type) return text;
    }
    return "";
}

bool IsLx200Family(ScopeType type) {
    switch (type) {
        case ScopeType::ULTIMA:
        case ScopeType::NEXSTAR:
        case ScopeType::NEXSTARGPS:
        case ScopeType::CGE:
        case ScopeType::LOGFILE:
            return false;
        default:
            return true;
    }
}

}  // namespace corvane
