#include "core/ScopeInterface.h"

#include "core/Text.h"

namespace corvane {

const std::vector<ScopeInterface>& ScopeInterfaces() {
    static const std::vector<ScopeInterface> table = {
        {"LX200", "Meade LX200", "Meade LX200", MountChoice::None, ScopeType::LX200},
        {"LX200GPS", "Meade LX200GPS", "Meade LX200GPS", MountChoice::LX200GPS, ScopeType::LX200GPS},
        {"ETX494", "Meade AutoStar #494", "Meade AutoStar 494", MountChoice::None, ScopeType::ETX494},
        {"ETX497", "Meade AutoStar #497", "Meade AutoStar 495/497", MountChoice::None, ScopeType::ETX497},
        {"AP", "LX200 Compatible", "LX200 Compatible", MountChoice::None, ScopeType::AP},
        {"ULTIMA", "Ultima 2000/NexStarGPS/NexStarGT", "Celestron Ultima 2000/NexStarGPS", MountChoice::None, ScopeType::ULTIMA},
        {"NEXSTARGPS", "NexStarGPS Continuous Tracking", "NexStar GPS (Continuous Tracking)", MountChoice::NexStarGPS, ScopeType::NEXSTARGPS},
        {"CGE", "Celestron CGE Continuous Tracking", "Celestron CGE", MountChoice::None, ScopeType::CGE},
        {"NEXSTAR", "NexStar 5/8", "NexStar 5/8", MountChoice::None, ScopeType::NEXSTAR},
        {"LOGFILE", "Log File", "Log File", MountChoice::None, ScopeType::LOGFILE},
        {"INDI", "INDI Server", "INDI", MountChoice::None, ScopeType::INDI},
        {"GEMINI", "", "Gemini", MountChoice::None, ScopeType::GEMINI},
    };
    return table;
}

const ScopeInterface& FindScopeInterface(std::string_view code) {
    for (const auto& i : ScopeInterfaces())
        if (code == i.code) return i;
    return ScopeInterfaces().front();
}

bool IsKnownScopeCode(std::string_view code) {
    for (const auto& i : ScopeInterfaces())
        if (code == i.code) return true;
    return false;
}

std::optional<std::string> CanonicalScopeCode(std::string_view text) {
    const std::string wanted = ToUpper(Trim(text));
    for (const auto& i : ScopeInterfaces())
        if (wanted == i.code) return std::string(i.code);
    return std::nullopt;
}

std::string ScopeCodeList() {
    std::string list;
    for (const auto& i : ScopeInterfaces()) list += (list.empty() ? "" : ", ") + std::string(i.code);
    return list;
}

std::string MainWindowTitle(std::string_view displayName) {
    return std::string("Corvane v2.6.1") + std::string(14, ' ') + std::string(displayName);
}

std::string InterfaceTitleName(std::string_view code, std::string_view indiDevice) {
    if (code == "INDI") return "INDI: " + std::string(indiDevice);
    return FindScopeInterface(code).displayName;
}

std::string InitialMainWindowTitle() {
    return std::string("Corvane v2.6.1 ") + std::string(13, ' ') + "Meade LX200GPS";
}

namespace {
// The last six pieces of the AutoStar 495/497 note, shared with the 494 note.
const char* const kAutoStarTail =
    "Method setting adjusts the frequency of 'leaps'. "
    "Alternately, consider using menu option 'Satellite'-'Create View Plan TLE File'. "
    "Use the custom file by dragging it "
    "from Windows Explorer and dropping on the Satellite button of the Meade AutoStar "
    "Update Program. On the AutoStar, the object list will be in order of AOS. Corvane can be used to monitor "
    "their current position and the AutoStar to perform "
    "tracking when visible.";
}  // namespace

std::string InterfaceNote(std::string_view code) {
    if (code == "LX200GPS")
        return "This setting allows for continuous tracking with the Meade LX200GPS telescope."
               " Firmware 1.5c or later is required. For 'Leap Frog' tracking use the Autostar 497 "
               " interface setting. If the tripod is carefully levelled, tracking will be improved.  "
               " Changes to the 'Timing Offset' or 'Alignment Adjustment' while tracking will take 5 to 10"
               " seconds before taking effect. Remember, "
               "having your computer time set very accurately and a 'fresh' TLE file is critical."
               "The 'Tracking Method' and 'Tracking Factor' settings have no effect with this interface. ";
    if (code == "LX200")
        return "Use this setting only for Meade LX200 telescopes as it makes extensive use of the "
               "Meade LX200 interface protocol. To optimize continuous tracking, adjust the Tracking "
               "Factor in menu option 'Options' - 'Preferences'.";
    if (code == "AP")
        return "Use this setting for non-LX200 telecopes that have a LX200 compatible interface protocol "
               "and use long format (high precision) coordinates. "
               "This setting requires minimal LX200 interface commands. The LX200 Control features are not "
               "available. Depending on the mount and its processor speed, the continuous tracking setting "
               "may not function properly. Try adjusting the Tracking "
               "Factor in menu option 'Options' - 'Preferences'.";
    if (code == "ETX497")
        return std::string("Use this setting for Meade AutoStar 495/497 telescopes. "
                           "Only 'Leap Frog' tracking is available through the RS232 interface. The Tracking ") +
               kAutoStarTail;
    if (code == "GEMINI")
        return "Use this setting for Gemini controlled mounts. Long format (high precision) coordinates "
               "are used.";
    if (code == "ULTIMA")
        return "Use this setting for Celestron Ultima 2000/NexStarGPS/NexStar GT. "
               "Only 'Leap Frog' tracking is available through the RS232 interface. The Tracking "
               "Method setting adjusts the frequency of 'leaps'. When tracking with the NexStarGPS,  "
               "set the 'Tracking Method' to the far right ('Leap Frog').";
    if (code == "NEXSTAR")
        return "Use this setting NexStar 5/8. "
               "Only 'Leap Frog' tracking is available through the RS232 interface. The Tracking "
               "Method setting adjusts the frequency of 'leaps'.  Tracking must be turned off on the "
               "handcontroller before attempting to track satellites.";
    if (code == "NEXSTARGPS")
        return "This setting allows for continuous tracking with the NexStarGPS, NexStar 8i and NexStar 5i "
               "telescopes. "
               "Early NexStarGPS hand controllers are not compatible with this interface. "
               "You must have NexStar hand control v1.6 or higher and motor control v4.1 or higher. "
               "Motor control firmware 4.4 or higher is recommended for smoothest tracking. "
               "Select the mount type, Alt-Az, Equatorial North or Equatorial South. The 'Tracking Method'"
               " and 'Tracking Factor' settings have no effect with this interface. ";
    if (code == "CGE")
        return " Use this setting for continuous tracking with Celestron CGE telescopes. Tracking is interrupted at "
               "the meridian, "
               " allowing the mount to flip. The 'Tracking Method'"
               " and 'Tracking Factor' settings have no effect with this interface. ";
    if (code == "ETX494")
        return std::string("The AutoStar 494 which has slower RS232 communications is only capable of leap frog "
                           "tracking. "
                           "The Tracking Method setting has no effect. ") +
               kAutoStarTail;
    if (code == "LOGFILE")
        return "This setting will simulate tracking. It creates a position log file named logxxxxx.txt "
               "(where xxxxx is the NORAD number of the object) when 'Start Tracking' is clicked. Note "
               "that the 'Timing Offset' and 'Alignment Adjustment' values "
               "will affect the values. There is no RS232 communication.";
    if (code == "INDI")
        return "This setting tracks continuously with any mount that an INDI server drives. Give the "
               "server's host and port and the name of the mount's device. When the driver offers custom "
               "tracking rates the mount is driven by rates, otherwise by repeated gotos, whose frequency "
               "the Tracking Method setting adjusts. The 'Tracking Factor' setting has no effect with this "
               "interface.";
    return "";
}

std::vector<std::string> MountButtonLabels(std::string_view code) {
    if (code == "LX200GPS") return {"Alt-Az", "Polar"};
    if (code == "NEXSTARGPS") return {"Alt-Az", "EQ N", "EQ S"};
    return {};
}

}  // namespace corvane
