#pragma once
// The telescope interface codes (setting ScopeType), their names in the interface dialog and in
// the window title, and the notes shown for each.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

enum class MountChoice { None, LX200GPS, NexStarGPS };

// The telescope interface as the serial link and the tracking driver see it.
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
    INDI,  // a mount behind an INDI server
    Unknown,  // any other code: identified and driven like LX200, but without slew polling
};

// The one table of interface codes.
struct ScopeInterface {
    const char* code;         // "LX200", "LX200GPS", ...
    const char* dialogEntry;  // radio button text; empty for GEMINI (settable only in the file)
    const char* displayName;  // shown in the window title
    MountChoice mounts;
    ScopeType type;
};

// In the order of the dialog's radio buttons; GEMINI last, without a button.
const std::vector<ScopeInterface>& ScopeInterfaces();

// The interface of a code; unknown codes give LX200.
const ScopeInterface& FindScopeInterface(std::string_view code);
bool IsKnownScopeCode(std::string_view code);
// The code a user means when typing one: a known code in any case, blanks around it ignored
// ("lx200" is "LX200"); nullopt for anything else.
std::optional<std::string> CanonicalScopeCode(std::string_view text);
// The known codes in dialog order, "LX200, LX200GPS, ..., GEMINI", for messages.
std::string ScopeCodeList();

// "Corvane v2.6.1" + fourteen blanks + display name.
std::string MainWindowTitle(std::string_view displayName);
// The title the window has before any interface is applied.
std::string InitialMainWindowTitle();

// The name the window title shows for an interface: its display name, but for INDI
// "INDI: " + the device name.
std::string InterfaceTitleName(std::string_view code, std::string_view indiDevice);

// The note of an interface, its pieces joined.
std::string InterfaceNote(std::string_view code);

// Mount buttons of the interface dialog for a code: labels in order (empty when none).
std::vector<std::string> MountButtonLabels(std::string_view code);

}  // namespace corvane
