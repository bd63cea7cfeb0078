#pragma once
// Fresh element files without network code of our own: each of the seven download sets has a
// user-editable script that fetches its collection into the set's element file. On this platform
// the configured batch file ("visual.bat", ...) is run with /bin/sh in the working folder; when it
// is absent the script of the same base name ending ".sh" is run instead. The script gets the
// element file name as its argument.
//
// DownloadElementSet runs on a worker thread (never the window's): it waits for the script
// without a time limit but can be cancelled at any moment, and keeps the previous element file
// until the new one has arrived.
#include <atomic>
#include <string>
#include <string_view>

namespace corvane {

class Clock;
struct Settings;

inline constexpr int kDownloadSetCount = 7;
inline constexpr const char* kDownloadErrorMessage = "Error Downloading TLE File";
inline constexpr const char* kDownloadErrorTitle = "Download Error";

// The sample element file shipped with the program (seeded into the working folder).
inline constexpr const char* kSampleElementFile = "sample-2017-04-27.tle";
// The status under the file box at start when the configured element file is not there: how to
// get one.
std::string NoElementFileText(const std::string& elementFile);

struct DownloadSet {
    int index = 1;            // 1..7
    std::string elementFile;  // TleName<index>
    std::string batchFile;    // "visual.bat", ...
};
// Set 1..7 of the settings (outside 1..7: set 1).
DownloadSet DownloadSetOf(const Settings& settings, int index);

// The script that runs for a batch file name in folder: the file itself when it exists, else the
// same base name with ".sh" when that exists, else "" (nothing to run).
std::string DownloadScriptPath(const std::string& folder, const std::string& batchFile);

enum class DownloadStatus {
    kSuccess,    // the element file appeared and holds element sets
    kFailed,     // it never appeared (or held none): the previous file is back
    kCancelled,  // the user cancelled: the script was stopped and the previous file is back
};

struct DownloadOutcome {
    DownloadStatus status = DownloadStatus::kFailed;
    std::string elementPath;  // folder + element file
    std::string detail;       // what went wrong, for the audit file and the command line
    int polls = 0;            // looks for the element file (the first as the script ends)
};

struct DownloadOptions {
    std::string folder = ".";     // the working folder: the script runs there and writes there
    int maxDownloadSeconds = 10;  // MaxTLEDownloadTime: seconds of one-second polls after the first look
    bool quietScript = false;     // the script's output goes to /dev/null instead of ours
};

// Why a downloaded element file cannot replace the previous one ("" when it can): it is empty,
// its last line is cut short (or, for OMM XML, it does not end with its closing tag), its last
// element set is incomplete, or it holds no element set.
std::string ElementDownloadProblem(std::string_view contents);

// Runs the set's script and waits for the element file. Steps: the previous element file is
// moved aside (so a stale file never counts as success); the script runs and is waited for,
// cancel checked every 50 ms (a cancel ends the script's whole process group at once). A script
// that ends with a non-zero status has failed. Otherwise, 100 ms later, the element file is
// looked for, then once a second for up to maxDownloadSeconds more; after a last pause of 1500
// ms it is looked for once more. A file that arrived must pass ElementDownloadProblem. On
// success the file set aside is deleted; otherwise it is put back (never over a file that has
// arrived meanwhile) and the script's "<file>.download" is removed. All pauses go through clock.
DownloadOutcome DownloadElementSet(const DownloadSet& set, const DownloadOptions& options, Clock& clock,
                                   const std::atomic<bool>& cancel);

}  // namespace corvane
