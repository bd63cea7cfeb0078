#include "scope/ScopeType.h"

#include <array>

namespace corvane {

namespace {
constexpr std::array<ScopeTypeInfo, 12> kTypes{{
    {ScopeType::LX200, "LX200", "Meade LX200", "Meade LX200"},
    {ScopeType::LX200GPS, "LX200GPS", "Meade LX200GPS", "Meade LX200GPS"},
    {ScopeType::AP, "AP", "LX200 Compatible", "LX200 Compatible"},
    {ScopeType::GEMINI, "GEMINI", "", "Gemini"},
    {ScopeType::ETX494, "ETX494", "Meade AutoStar #494", "Meade AutoStar 494"},
    {ScopeType::ETX497, "ETX497", "Meade AutoStar #497", "Meade AutoStar 495/497"},
    {ScopeType::ULTIMA, "ULTIMA", "Ultima 2000/NexStarGPS/NexStarGT", "Celestron Ultima 2000/NexStarGPS"},
    {ScopeType::NEXSTAR, "NEXSTAR", "NexStar 5/8", "NexStar 5/8"},
    {ScopeType::NEXSTARGPS, "NEXSTARGPS", "NexStarGPS Continuous Tracking", "NexStar GPS (Continuous Tracking)"},
    {ScopeType::CGE, "CGE", "Celestron CGE Continuous Tracking", "Celestron CGE"},
    {ScopeType::LOGFILE, "LOGFILE", "Log File", "Log File"},
    {ScopeType::Unknown, "", "", "Meade LX200"},
}};
}  // namespace

const ScopeTypeInfo& ScopeTypeInfoOf(ScopeType type) {
    for (const auto& info : kTypes) {
        if (info.type == type) return info;
    }
    return kTypes.back();
}

ScopeType ScopeTypeFromCode(std::string_view code) {
    for (const auto& info : kTypes) {
        if (info.type != ScopeType::Unknown && code == info.code) return info.type;
    }
    return ScopeType::Unknown;
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
