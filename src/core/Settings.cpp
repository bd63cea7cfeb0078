#include "core/Settings.h"

#include "core/ComPort.h"

#include <cmath>
#include <functional>
#include <unordered_map>
#include <vector>

#include "core/AtomicFile.h"
#include "core/Text.h"

namespace corvane {

namespace {

constexpr double kPi = 3.14159265358979323846;

const char* const kHeader[] = {
    "; Corvane settings file.",
    "; Written whole by Corvane when it ends and read once when it starts.",
    "; One setting per line as Key=value; keys may be in any case; text after \";\" is a comment.",
    "; Edit it only while Corvane is not running.",
    ";",
};
constexpr const char* kAccepted = "; Disclaimer accepted.";
constexpr const char* kNotAccepted = "; Disclaimer not yet accepted.";
constexpr size_t kAcceptanceLine = 6;  // 1-based line number of the acceptance line

std::string Cut(std::string_view text, size_t width) {
    std::string t = Trim(text);
    if (t.size() > width) t.resize(width);
    return t;
}

int Flag1(const std::string& v) { return v == "1" ? 1 : 0; }

using Reader = std::function<void(Settings&, const std::string&)>;

// Upper-case key -> how its value is read. Built once.
const std::unordered_map<std::string, Reader>& Readers() {
    static const std::unordered_map<std::string, Reader> table = [] {
        std::unordered_map<std::string, Reader> t;
        auto intKey = [&t](const char* key, int Settings::*field) {
            t[key] = [field](Settings& s, const std::string& v) { s.*field = LeadingInt(v); };
        };
        auto realKey = [&t](const char* key, double Settings::*field) {
            t[key] = [field](Settings& s, const std::string& v) { s.*field = LeadingNumber(v); };
        };
        auto flagKey = [&t](const char* key, int Settings::*field) {
            t[key] = [field](Settings& s, const std::string& v) { s.*field = Flag1(v); };
        };
        t["VERSION"] = [](Settings& s, const std::string& v) { s.Version = v; };
        t["DIRECTION"] = [](Settings& s, const std::string& v) {
            static const char* const words[] = {"N", "NE", "E", "SE", "S", "SW", "W", "NW"};
            s.Direction = "All";
            for (const char* w : words)
                if (v == w) s.Direction = w;
        };
        t["TIMINGOFFSET"] = [](Settings& s, const std::string& v) { s.TimingOffset = v; };
        t["ELEVATIONLIMIT"] = [](Settings& s, const std::string& v) { s.ElevationLimit = v; };
        t["ELEMENTSFILE"] = [](Settings& s, const std::string& v) { s.ElementsFile = v; };
        t["LASTLOCATION"] = [](Settings& s, const std::string& v) {
            const int n = LeadingInt(v);
            s.LastLocation = (n >= 1 && n <= 3) ? n : 1;
        };
        for (int i = 1; i <= 3; ++i) {
            const std::string n = std::to_string(i);
            const size_t idx = static_cast<size_t>(i);
            t["LOCATIONLATITUDE" + n] = [idx](Settings& s, const std::string& v) {
                s.sites[idx].latitude = Cut(v, SiteRecord::kLatitudeWidth);
            };
            t["LOCATIONLONGITUDE" + n] = [idx](Settings& s, const std::string& v) {
                s.sites[idx].longitude = Cut(v, SiteRecord::kLongitudeWidth);
            };
            t["LOCATIONALTITUDE" + n] = [idx](Settings& s, const std::string& v) {
                s.sites[idx].altitude = Cut(v, SiteRecord::kAltitudeWidth);
            };
            t["LOCATIONUTCOFFSET" + n] = [idx](Settings& s, const std::string& v) {
                s.sites[idx].utcOffset = Cut(v, SiteRecord::kUtcOffsetWidth);
            };
            t["LOCATIONNAME" + n] = [idx](Settings& s, const std::string& v) {
                s.sites[idx].name = Cut(v, SiteRecord::kNameWidth);
            };
        }
        t["COMPORT"] = [](Settings& s, const std::string& v) {
            s.ComPort = 1;
            for (int p = 1; p <= kComPortCount; ++p)
                if (v == std::to_string(p)) s.ComPort = p;
        };
        flagKey("SUNONLY", &Settings::SunOnly);
        flagKey("FAVORITES", &Settings::Favorites);
        flagKey("NEVEROBSERVED", &Settings::NeverObserved);
        flagKey("OBJ>ELEVATION", &Settings::ObjElevation);
        flagKey("OBJRISING", &Settings::ObjRising);
        t["OBJALT"] = [](Settings& s, const std::string& v) {
            if (v == "LOW") s.ObjAlt = "Low";
            else if (v == "MOD") s.ObjAlt = "Mod";
            else if (v == "HIGH") s.ObjAlt = "High";
            else s.ObjAlt = "All";
        };
        t["TRACKMETHOD"] = [](Settings& s, const std::string& v) {
            if (v == "CONT") { s.TrackMethod = 0; return; }
            if (v == "LEAP") { s.TrackMethod = 4; return; }
            const int n = LeadingInt(v);
            s.TrackMethod = (n > 1 && n < 11) ? n : 0;
        };
        t["OBJVIS"] = [](Settings& s, const std::string& v) { s.ObjVisAboveHorizon = (v == "VISIBLE"); };
        t["MINPREDICTPASS"] = [](Settings& s, const std::string& v) {
            s.MinPredictPass = std::max(2, LeadingInt(v));
        };
        intKey("EXCLUDEDAYLIGHTPASS", &Settings::ExcludeDaylightPass);
        intKey("WORLDMAP", &Settings::WorldMap);
        intKey("ZOOMMAP", &Settings::ZoomMap);
        intKey("TESTTIMINGSTART", &Settings::TestTimingStart);
        intKey("TESTTIMINGEND", &Settings::TestTimingEnd);
        t["TESTTIMINGINCREMENT"] = [](Settings& s, const std::string& v) {
            s.TestTimingIncrement = RoundTo(LeadingNumber(v), 1);
        };
        realKey("TESTTIMINGINCREMENTFREQUENCY", &Settings::TestTimingIncrementFrequency);
        intKey("BATCHEXCDAYTIME", &Settings::BatchExcDaytime);
        t["BATCHMINPASS"] = [](Settings& s, const std::string& v) { s.BatchMinPass = std::max(2, LeadingInt(v)); };
        intKey("BATCHMAXELEVATION", &Settings::BatchMaxElevation);
        intKey("BATCHINCLUDELOW", &Settings::BatchIncludeLow);
        intKey("BATCHINCLUDEMOD", &Settings::BatchIncludeMod);
        intKey("BATCHINCLUDEHIGH", &Settings::BatchIncludeHigh);
        intKey("BATCHPERIOD", &Settings::BatchPeriod);
        intKey("REMOVEAFTERSELECT", &Settings::RemoveAfterSelect);
        t["TRACKADJUST"] = [](Settings& s, const std::string& v) { s.TrackAdjust = std::max(0, LeadingInt(v)); };
        t["COARSETIMINGINCR"] = [](Settings& s, const std::string& v) {
            const double x = LeadingNumber(v);
            s.CoarseTimingIncr = x == 0 ? 1 : x;
        };
        t["FINETIMINGINCR"] = [](Settings& s, const std::string& v) {
            const double x = LeadingNumber(v);
            s.FineTimingIncr = x == 0 ? 0.1 : x;
        };
        t["ALIGNMENTINCR"] = [](Settings& s, const std::string& v) {
            const double x = LeadingNumber(v);
            s.AlignmentIncr = x == 0 ? 1 : x;
        };
        intKey("RESETALIGNMENT", &Settings::ResetAlignment);
        t["SCOPETYPE"] = [](Settings& s, const std::string& v) { s.ScopeType = ToUpper(v); };
        intKey("SHOWVIEWPLANMAP", &Settings::ShowViewPlanMap);
        intKey("PRINTVPFILE", &Settings::PrintVPFile);
        intKey("NORADSORT", &Settings::NoradSort);
        intKey("TIMINGMOUSEADJUST", &Settings::TimingMouseAdjust);
        intKey("ALIGNMENTMOUSEADJUST", &Settings::AlignmentMouseAdjust);
        t["TRACKINGLIMIT"] = [](Settings& s, const std::string& v) {
            s.TrackingLimit = std::min(90, std::max(0, LeadingInt(v)));
        };
        intKey("TRACKINGLIMITENABLE", &Settings::TrackingLimitEnable);
        intKey("LIMITELEVATION", &Settings::LimitElevation);
        intKey("AUDIT", &Settings::Audit);
        intKey("DEGCHAR", &Settings::DegChar);
        intKey("LOGINTERVAL", &Settings::LogInterval);
        intKey("MAKETLEADDAOS", &Settings::MakeTLEAddAOS);
        intKey("DRAWCONLINES", &Settings::DrawConLines);
        intKey("CALCVPWHENTRACKING", &Settings::CalcVPWhenTracking);
        intKey("BATCHPREDICTRANGE", &Settings::BatchPredictRange);
        intKey("BATCHFAVORITESONLY", &Settings::BatchFavoritesOnly);
        intKey("BATCHNEVEROBSERVED", &Settings::BatchNeverObserved);
        t["AOSELEVATION"] = [](Settings& s, const std::string& v) {
            const double degrees = LeadingNumber(v);
            s.AOSElevation = degrees * kPi / 180.0;
            // DEPARTURE: degrees beyond 5.7e307 overflowed to infinity on the way to radians.
            if (!std::isfinite(s.AOSElevation)) s.AOSElevation = degrees / 180.0 * kPi;
        };
        intKey("VIEWOBSREPORT", &Settings::ViewObsReport);
        intKey("LX200TIMEADJUST", &Settings::LX200TimeAdjust);
        intKey("ISSMONITOR", &Settings::ISSMonitor);
        intKey("NGPSMOUNT", &Settings::NGPSMount);
        intKey("NGPSSETRATEDELAY", &Settings::NGPSSetRateDelay);
        intKey("MINNXDELTARATE", &Settings::MinNxDeltaRate);
        intKey("LGPSMOUNT", &Settings::LGPSMount);
        intKey("IGNOREECLIPSE", &Settings::IgnoreEclipse);
        flagKey("PREDICTIVETRACKING", &Settings::PredictiveTracking);
        intKey("MERIDIANLIMIT", &Settings::MeridianLimit);
        t["LXRATECHANGEDELAY"] = [](Settings& s, const std::string& v) {
            s.LXRateChangeDelay = std::min(2.0, LeadingNumber(v));
        };
        for (int i = 1; i <= 7; ++i) {
            const size_t idx = static_cast<size_t>(i);
            t["TLENAME" + std::to_string(i)] = [idx](Settings& s, const std::string& v) { s.TleName[idx] = v; };
        }
        t["DEFAULTTLE"] = [](Settings& s, const std::string& v) {
            const int n = LeadingInt(v);
            s.DefaultTLE = (n >= 1 && n <= 7) ? n : 1;
        };
        intKey("MAXTLEDOWNLOADTIME", &Settings::MaxTLEDownloadTime);
        t["INDIHOST"] = [](Settings& s, const std::string& v) { s.IndiHost = v.empty() ? "localhost" : v; };
        t["INDIPORT"] = [](Settings& s, const std::string& v) {
            const int port = LeadingInt(v);
            s.IndiPort = (port >= 1 && port <= 65535) ? port : 7624;
        };
        t["INDIDEVICE"] = [](Settings& s, const std::string& v) { s.IndiDevice = v; };
        return t;
    }();
    return table;
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string line(text.substr(start, end - start));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

}  // namespace

SiteRecord SiteRecord::FromTexts(std::string_view name, std::string_view latitude, std::string_view longitude,
                                 std::string_view altitude, std::string_view utcOffset) {
    SiteRecord r;
    r.name = Cut(name, kNameWidth);
    r.latitude = Cut(latitude, kLatitudeWidth);
    r.longitude = Cut(longitude, kLongitudeWidth);
    r.altitude = Cut(altitude, kAltitudeWidth);
    r.utcOffset = Cut(utcOffset, kUtcOffsetWidth);
    return r;
}

std::string SiteRecord::FixedWidth() const {
    auto pad = [](const std::string& s, size_t w) {
        std::string out = s.substr(0, w);
        out.resize(w, ' ');
        return out;
    };
    return pad(name, kNameWidth) + pad(latitude, kLatitudeWidth) + pad(longitude, kLongitudeWidth) +
           pad(altitude, kAltitudeWidth) + pad(utcOffset, kUtcOffsetWidth);
}

const char* TleBatchFile(int slot) {
    static const char* const files[] = {"visual.bat",      "visual.bat",      "iridium.bat",
                                        "ISS-Last5.bat",   "stations.bat",    "sp-interest.bat",
                                        "full-catalog.bat", "user-defined.bat"};
    return (slot >= 1 && slot <= 7) ? files[slot] : files[1];
}

Settings ParseSettings(std::string_view contents) {
    Settings s;
    if (contents.size() < 2) return s;
    const auto lines = SplitLines(contents);
    if (lines.size() >= kAcceptanceLine && Trim(lines[kAcceptanceLine - 1]) == kAccepted) s.disclaimerAccepted = true;
    const auto& readers = Readers();
    for (const std::string& raw : lines) {
        std::string_view line(raw);
        const size_t semi = line.find(';');
        if (semi != std::string_view::npos) line = line.substr(0, semi);
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string key = ToUpper(Trim(line.substr(0, eq)));
        const auto it = readers.find(key);
        if (it == readers.end()) continue;
        it->second(s, Trim(line.substr(eq + 1)));
    }
    return s;
}

Settings LoadSettingsFile(const std::string& path) { return ReadSettingsFile(path).settings; }

LoadedSettings ReadSettingsFile(const std::string& path) {
    LoadedSettings loaded;
    std::string contents;
    switch (ReadFileBytes(path, contents, &loaded.error)) {
        case FileRead::kRead:
            loaded.state = SettingsFileState::kRead;
            loaded.settings = ParseSettings(contents);
            break;
        case FileRead::kMissing:
            loaded.state = SettingsFileState::kMissing;
            break;
        case FileRead::kUnreadable:
            loaded.state = SettingsFileState::kUnreadable;
            break;
    }
    return loaded;
}

SettingsSave DecideSettingsSave(const LoadedSettings& loaded, const Settings& current) {
    // DEPARTURE: a settings file that could not be read is not replaced by the defaults at exit;
    // only settings the user changed are saved over it, and only when the user agrees.
    if (loaded.state != SettingsFileState::kUnreadable) return SettingsSave::kWrite;
    Settings compared = current;
    compared.disclaimerAccepted = loaded.settings.disclaimerAccepted;
    return FormatSettings(compared) == FormatSettings(loaded.settings) ? SettingsSave::kKeepFile
                                                                       : SettingsSave::kAskFirst;
}

std::string FormatSettings(const Settings& s) {
    std::string out;
    auto line = [&out](const std::string& text) {
        out += text;
        out += "\r\n";
    };
    auto key = [&line](const std::string& name, const std::string& value) { line("     " + name + "=" + Trim(value)); };
    auto num = [](int v) { return std::to_string(v); };
    for (const char* h : kHeader) line(h);
    line(s.disclaimerAccepted ? kAccepted : kNotAccepted);

    key("Version", kProgramVersion);
    key("Direction", s.Direction);
    key("TimingOffset", s.TimingOffset);
    key("ElevationLimit", s.ElevationLimit);
    key("ElementsFile", s.ElementsFile);
    key("LastLocation", num(s.LastLocation));
    for (int i = 1; i <= 3; ++i) key("LocationLatitude" + num(i), s.sites[static_cast<size_t>(i)].latitude);
    for (int i = 1; i <= 3; ++i) key("LocationLongitude" + num(i), s.sites[static_cast<size_t>(i)].longitude);
    for (int i = 1; i <= 3; ++i) key("LocationAltitude" + num(i), s.sites[static_cast<size_t>(i)].altitude);
    for (int i = 1; i <= 3; ++i) key("LocationUTCOffset" + num(i), s.sites[static_cast<size_t>(i)].utcOffset);
    for (int i = 1; i <= 3; ++i) key("LocationName" + num(i), s.sites[static_cast<size_t>(i)].name);
    key("ComPort", num(s.ComPort));
    key("SunOnly", num(s.SunOnly));
    key("Favorites", num(s.Favorites));
    key("NeverObserved", num(s.NeverObserved));
    key("Obj>Elevation", num(s.ObjElevation));
    key("ObjRising", num(s.ObjRising));
    key("ObjAlt", ToUpper(s.ObjAlt));
    key("TrackMethod", num(s.TrackMethod));
    key("ObjVis", s.ObjVisAboveHorizon ? "VISIBLE" : "ALL");
    key("MinPredictPass", num(s.MinPredictPass));
    key("ExcludeDaylightPass", num(s.ExcludeDaylightPass));
    key("WorldMap", num(s.WorldMap));
    key("ZoomMap", num(s.ZoomMap));
    key("TestTimingStart", num(s.TestTimingStart));
    key("TestTimingEnd", num(s.TestTimingEnd));
    key("TestTimingIncrement", PlainNumber(s.TestTimingIncrement));
    key("TestTimingIncrementFrequency", PlainNumber(s.TestTimingIncrementFrequency));
    key("BatchExcDaytime", num(s.BatchExcDaytime));
    key("BatchMinPass", num(s.BatchMinPass));
    key("BatchMaxElevation", num(s.BatchMaxElevation));
    key("BatchIncludeLow", num(s.BatchIncludeLow));
    key("BatchIncludeMod", num(s.BatchIncludeMod));
    key("BatchIncludeHigh", num(s.BatchIncludeHigh));
    key("BatchPeriod", num(s.BatchPeriod));
    key("RemoveAfterSelect", num(s.RemoveAfterSelect));
    key("TrackAdjust", num(s.TrackAdjust));
    key("CoarseTimingIncr", PlainNumber(RoundTo(s.CoarseTimingIncr, 2), 2));
    key("FineTimingIncr", PlainNumber(RoundTo(s.FineTimingIncr, 2), 2));
    key("AlignmentIncr", PlainNumber(s.AlignmentIncr));
    key("ResetAlignment", num(s.ResetAlignment));
    key("ScopeType", s.ScopeType);
    key("ShowViewPlanMap", num(s.ShowViewPlanMap));
    key("PrintVPFile", num(s.PrintVPFile));
    key("NoradSort", num(s.NoradSort));
    key("TimingMouseAdjust", num(s.TimingMouseAdjust));
    key("AlignmentMouseAdjust", num(s.AlignmentMouseAdjust));
    key("TrackingLimit", num(s.TrackingLimit));
    key("TrackingLimitEnable", num(s.TrackingLimitEnable));
    key("LimitElevation", num(s.LimitElevation));
    key("Audit", num(s.Audit));
    if (s.DegChar != 223) key("DegChar", num(s.DegChar));
    key("LogInterval", num(s.LogInterval));
    key("MakeTLEAddAOS", num(s.MakeTLEAddAOS));
    key("DrawConLines", num(s.DrawConLines));
    key("CalcVPWhenTracking", num(s.CalcVPWhenTracking));
    key("BatchPredictRange", num(s.BatchPredictRange));
    key("BatchFavoritesOnly", num(s.BatchFavoritesOnly));
    key("BatchNeverObserved", num(s.BatchNeverObserved));
    key("AOSElevation", num(static_cast<int>(std::lround(s.AOSElevation * 180.0 / kPi))));
    key("ViewObsReport", num(s.ViewObsReport));
    key("LX200TimeAdjust", num(s.LX200TimeAdjust));
    key("ISSMonitor", num(s.ISSMonitor));
    key("NGPSMount", num(s.NGPSMount));
    key("NGPSSetRateDelay", num(s.NGPSSetRateDelay));
    key("MinNxDeltaRate", num(s.MinNxDeltaRate));
    key("LGPSMount", num(s.LGPSMount));
    key("IgnoreEclipse", num(s.IgnoreEclipse));
    key("LXRateChangeDelay", PlainNumber(RoundTo(s.LXRateChangeDelay, 2), 2));
    for (int i = 1; i <= 7; ++i) key("TleName" + num(i), s.TleName[static_cast<size_t>(i)]);
    key("DefaultTLE", num(s.DefaultTLE));
    key("MaxTLEDownloadTime", num(s.MaxTLEDownloadTime));
    key("IndiHost", s.IndiHost);
    key("IndiPort", num(s.IndiPort));
    key("IndiDevice", s.IndiDevice);
    key("PredictiveTracking", num(s.PredictiveTracking));
    key("MeridianLimit", num(s.MeridianLimit));
    return out;
}

bool SaveSettingsFile(const Settings& settings, const std::string& path, std::string* error) {
    // DEPARTURE: written to a temporary file and renamed over the old one, so that a crash or a
    // full disk never leaves a truncated settings file.
    return WriteFileAtomically(path, FormatSettings(settings), error);
}

const SiteRecord& SiteSwitch(Settings& settings, const SiteRecord& onScreen, int newSite) {
    const int current = (settings.LastLocation >= 1 && settings.LastLocation <= 3) ? settings.LastLocation : 1;
    settings.sites[static_cast<size_t>(current)] = SiteRecord::FromTexts(
        onScreen.name, onScreen.latitude, onScreen.longitude, onScreen.altitude, onScreen.utcOffset);
    settings.LastLocation = (newSite >= 1 && newSite <= 3) ? newSite : 1;
    return settings.sites[static_cast<size_t>(settings.LastLocation)];
}

}  // namespace corvane
