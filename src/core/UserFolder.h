#pragma once
// Where an installed Corvane keeps its files.
//
// The program works in one folder that holds every file it reads and writes. Started from the
// build tree (by ./run or a test) that is the current folder. An installed copy, started from
// the desktop's launcher with no useful current folder, instead finds the data it was shipped
// with and works in the user's own folder, seeded from that data.
#include <functional>
#include <string>

namespace corvane {

// The folder of data shipped with the program at programPath: "data" beside the program (a
// copy unpacked anywhere) or "<prefix>/share/corvane" beside "<prefix>/bin" (an installed
// copy). A folder counts only when it holds the help page "cvhlp.htm". "" when there is none.
std::string FindBundledData(const std::string& programPath);

// The user's working folder: $CORVANE_HOME, else $XDG_DATA_HOME/corvane, else
// $HOME/.local/share/corvane. "" when none of these can be formed.
std::string UserWorkFolder(const std::function<const char*(const char*)>& getEnv);

// Makes the working folder (and its parents) and copies into it each bundled file that the user
// does not have yet; the user's own files are never overwritten, except the help page, which
// always follows the program. The data's README (its sources and licences) stays behind. Returns false (and *error) when the folder cannot be made or a
// file cannot be copied; files copied before the failure stay.
bool SeedUserFolder(const std::string& bundled, const std::string& work, std::string* error = nullptr);

}  // namespace corvane
