#pragma once
// "ConfigFile.ini": every setting that survives a restart. Read once at start-up, written whole
// at exit (and when the disclaimer is declined). Keys are matched upper-cased when reading and
// written in mixed case, one "     Key=value" line each, CR LF, in a fixed order.
//
// Settings is a plain value: the main window copies its controls into it before saving and
// fills its controls from it after loading. Not thread-safe; owned by the GUI thread.
#include <array>
#include <string>
#include <string_view>

namespace corvane {

inline constexpr const char* kConfigFileName = "ConfigFile.ini";
inline constexpr const char* kProgramVersion = "2.6.1";

// One observer site: five fixed-width text fields (name 25, latitude 10, longitude 10,
// altitude 6, UTC offset 5). Values longer than their field are cut when stored.
struct SiteRecord {
    static constexpr size_t kNameWidth = 25, kLatitudeWidth = 10, kLongitudeWidth = 10, kAltitudeWidth = 6,
                            kUtcOffsetWidth = 5;
    std::string name, latitude, longitude, altitude, utcOffset;

    // Stores the five texts trimmed and cut to their widths.
    static SiteRecord FromTexts(std::string_view name, std::string_view latitude, std::string_view longitude,
                                std::string_view altitude, std::string_view utcOffset);
    // The 56-character blank-padded record.
    std::string FixedWidth() const;
    bool operator==(const SiteRecord&) const = default;
};

struct Settings {
    std::string Version = kProgramVersion;
    std::string Direction = "All";      // "All", "N", "NE", ... "NW"
    std::string TimingOffset;           // box text
    std::string ElevationLimit = "10";  // box text
    std::string ElementsFile = "visual.txt";
    int LastLocation = 1;               // 1..3
    std::array<SiteRecord, 4> sites;    // 1..3 used
    int ComPort = 1;                    // 1..16
    int SunOnly = 0, Favorites = 0, NeverObserved = 0, ObjElevation = 0, ObjRising = 0;
    std::string ObjAlt = "All";         // "All", "Low", "Mod", "High" (written upper case)
    int TrackMethod = 0;                // as read; the slider holds values above 5 at 5
    bool ObjVisAboveHorizon = false;    // ObjVis: "ALL" / "VISIBLE"
    int MinPredictPass = 2;
    int ExcludeDaylightPass = 0;
    int WorldMap = 0, ZoomMap = 0;
    int TestTimingStart = -2, TestTimingEnd = 2;
    double TestTimingIncrement = 0.5, TestTimingIncrementFrequency = 4;
    int BatchExcDaytime = 0, BatchMinPass = 2, BatchMaxElevation = 0;
    int BatchIncludeLow = 1, BatchIncludeMod = 0, BatchIncludeHigh = 0, BatchPeriod = 15;
    int RemoveAfterSelect = 0;
    int TrackAdjust = 80;
    double CoarseTimingIncr = 1, FineTimingIncr = 0.1, AlignmentIncr = 1;
    int ResetAlignment = 1;
    std::string ScopeType = "LX200GPS";
    int ShowViewPlanMap = 0, PrintVPFile = 0, NoradSort = 0;
    int TimingMouseAdjust = 0, AlignmentMouseAdjust = 0;
    int TrackingLimit = 90, TrackingLimitEnable = 0, LimitElevation = 1;
    int Audit = 0;
    int DegChar = 223;
    int LogInterval = 1;
    int MakeTLEAddAOS = 0, DrawConLines = 1, CalcVPWhenTracking = 0;
    int BatchPredictRange = 0, BatchFavoritesOnly = 0, BatchNeverObserved = 0;
    double AOSElevation = 0;            // radians (degrees in the file)
    int ViewObsReport = 0, LX200TimeAdjust = 0, ISSMonitor = 0;
    int NGPSMount = 1, NGPSSetRateDelay = 750, MinNxDeltaRate = 50, LGPSMount = 1;
    int IgnoreEclipse = 0;
    int PredictiveTracking = 0;  // 1: the predictive tracking engines instead of the standard ones
    int MeridianLimit = 0;       // degrees of hour angle a German mount may track past the meridian
    double LXRateChangeDelay = 1.2;
    std::array<std::string, 8> TleName{"", "visual.txt", "iridium.txt", "ISS-Last5.txt", "stations.txt",
                                       "sp-interest.txt", "full-catalog.txt", "user-defined.txt"};
    int DefaultTLE = 1;                 // 1..7
    int MaxTLEDownloadTime = 10;
    // The INDI interface: the server and the mount's device on it (files of older versions lack
    // these keys and keep the defaults).
    std::string IndiHost = "localhost";
    int IndiPort = 7624;
    std::string IndiDevice = "Telescope Simulator";

    bool disclaimerAccepted = false;    // from the header's acceptance line

    const SiteRecord& CurrentSite() const { return sites[static_cast<size_t>(LastLocation)]; }
};

// The batch file that downloads element-file slot 1..7.
const char* TleBatchFile(int slot);

// Reading: defaults, then the file's lines by the reading rules. A missing, empty or one-byte
// text leaves the defaults.
Settings ParseSettings(std::string_view fileContents);
Settings LoadSettingsFile(const std::string& path);

// What reading the settings file found. A missing file is a first start: the defaults are used
// and the file is created at exit. A file that is there but cannot be read also gives the
// defaults, but it holds the user's settings: it must not be written over unasked.
enum class SettingsFileState { kMissing, kRead, kUnreadable };
struct LoadedSettings {
    Settings settings;
    SettingsFileState state = SettingsFileState::kMissing;
    std::string error;  // why the file could not be read
};
LoadedSettings ReadSettingsFile(const std::string& path);

// Whether the settings of a session may be saved over the file they were loaded from: always
// after a read or a first start; after an unreadable file only when the user has changed a
// setting (accepting the disclaimer is no change) and then agrees to replace the file.
enum class SettingsSave { kWrite, kAskFirst, kKeepFile };
SettingsSave DecideSettingsSave(const LoadedSettings& loaded, const Settings& current);

// Writing: the header (its sixth line records the disclaimer acceptance), then one line per key.
std::string FormatSettings(const Settings& settings);
// Replaces the file whole through a temporary file and a rename. Returns false (and the reason)
// when the file could not be written; the old file is then untouched.
bool SaveSettingsFile(const Settings& settings, const std::string& path, std::string* error = nullptr);

// The site switch: the five on-screen site texts go into the record of the current site, then
// the chosen site (1..3) becomes current. Returns the record to show.
const SiteRecord& SiteSwitch(Settings& settings, const SiteRecord& onScreen, int newSite);

}  // namespace corvane
