#include "orbit/ElementDownload.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <vector>

#include "core/AtomicFile.h"
#include "core/Clock.h"
#include "core/Settings.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/OmmReader.h"

extern char** environ;

namespace corvane {

namespace fs = std::filesystem;

std::string NoElementFileText(const std::string& elementFile) {
    return "  No file loaded. Get " + elementFile + " with \"Download TLE\",\n  or \"Open TLE\" the sample " +
           kSampleElementFile + ".";
}

DownloadSet DownloadSetOf(const Settings& settings, int index) {
    if (index < 1 || index > kDownloadSetCount) index = 1;
    DownloadSet set;
    set.index = index;
    set.elementFile = settings.TleName[static_cast<size_t>(index)];
    set.batchFile = TleBatchFile(index);
    return set;
}

std::string DownloadScriptPath(const std::string& folder, const std::string& batchFile) {
    std::error_code ec;
    const fs::path dir(folder.empty() ? "." : folder);
    if (!batchFile.empty() && fs::is_regular_file(dir / batchFile, ec)) return batchFile;
    const std::string sh = fs::path(batchFile).replace_extension(".sh").string();
    if (!batchFile.empty() && fs::is_regular_file(dir / sh, ec)) return sh;
    return {};
}

namespace {

// Sleeps ms on the clock in slices of at most 100 ms; false as soon as cancel is set.
bool PauseUnlessCancelled(Clock& clock, int ms, const std::atomic<bool>& cancel) {
    while (ms > 0) {
        if (cancel.load()) return false;
        const int slice = ms < 100 ? ms : 100;
        clock.Sleep(slice);
        ms -= slice;
    }
    return !cancel.load();
}

struct ScriptRun {
    bool started = false;
    bool cancelled = false;
    int status = 0;  // wait status
    std::string error;
};

// Waits for pid; a cancel ends its process group (TERM, then KILL a second later).
ScriptRun WaitForScript(pid_t pid, Clock& clock, const std::atomic<bool>& cancel) {
    ScriptRun run;
    run.started = true;
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    auto exited = [&](int waitMs) {
        if (fd >= 0) {
            pollfd p{fd, POLLIN, 0};
            const int r = ::poll(&p, 1, waitMs);
            if (r <= 0) return false;
        }
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, fd >= 0 ? 0 : WNOHANG);
        if (done == pid || (done < 0 && errno == ECHILD)) {
            run.status = status;
            return true;
        }
        if (fd < 0) clock.Sleep(waitMs);
        return false;
    };
    while (!exited(50)) {
        if (!cancel.load()) continue;
        run.cancelled = true;
        ::kill(-pid, SIGTERM);
        bool gone = false;
        for (int i = 0; i < 20 && !gone; ++i) gone = exited(50);
        if (!gone) {
            ::kill(-pid, SIGKILL);
            while (!exited(50)) {
            }
        }
        break;
    }
    if (fd >= 0) ::close(fd);
    return run;
}

ScriptRun RunScript(const std::string& folder, const std::string& script, const std::string& elementFile,
                    bool quiet, Clock& clock, const std::atomic<bool>& cancel) {
    ScriptRun run;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    // Its own process group, so that a cancel also ends what the script started (curl).
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawn_file_actions_addchdir_np(&actions, folder.empty() ? "." : folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (quiet) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    std::string sh = "/bin/sh", path = script, element = elementFile;
    char* argv[] = {sh.data(), path.data(), element.data(), nullptr};
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, "/bin/sh", &actions, &attr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        run.error = std::string("cannot start /bin/sh: ") + std::strerror(rc);
        return run;
    }
    return WaitForScript(pid, clock, cancel);
}

// Puts the file set aside back under its name, never over a file that has arrived meanwhile.
// False when the name was taken (the set-aside copy then stays as it is).
bool PutBack(const std::string& aside, const std::string& element) {
    std::error_code ec;
    if (!fs::exists(aside, ec)) return true;
    if (::link(aside.c_str(), element.c_str()) == 0) {
        ::unlink(aside.c_str());
        return true;
    }
    if (errno == EEXIST) return false;
    // A file system without hard links: the same, with a look first.
    if (fs::exists(element, ec)) return false;
    fs::rename(aside, element, ec);
    return !ec;
}

}  // namespace

std::string ElementDownloadProblem(std::string_view contents) {
    if (contents.empty()) return "it is empty";
    const ElementFileFormat format = DetectElementFileFormat(contents.substr(0, 4096));
    if (format == ElementFileFormat::kOmmXml) {
        const OmmReadResult omm = ReadOmmXml(contents);
        if (omm.records == 0) return "it holds no element sets";
        // The document must end with the closing tag of its first element: a connection cut
        // inside it leaves none.
        auto upper = [](std::string_view text) {
            std::string out;
            for (char c : text) out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            return out;
        };
        size_t first = contents.find('<');
        while (first != std::string_view::npos && first + 1 < contents.size() &&
               !std::isalpha(static_cast<unsigned char>(contents[first + 1])))
            first = contents.find('<', first + 1);
        const size_t last = contents.find_last_not_of(" \t\r\n");
        const size_t close = contents.rfind("</");
        bool whole = false;
        if (first != std::string_view::npos && close != std::string_view::npos && contents[last] == '>') {
            const size_t nameEnd = contents.find_first_of(" \t\r\n/>", first + 1);
            whole = upper(contents.substr(first + 1, nameEnd - first - 1)) ==
                    upper(contents.substr(close + 2, last - close - 2));
        }
        if (!whole) return "it ends inside its markup (the download was cut short)";
        return LoadElementText(contents).catalogue->Count() > 0 ? "" : "it holds no element sets";
    }
    if (contents.back() != '\n' && contents.back() != '\r') return "its last line is cut short";
    if (format == ElementFileFormat::kOmmCsv)
        return LoadElementText(contents).catalogue->Count() > 0 ? "" : "it holds no element sets";
    // What the loader would keep, and, in the three-line form, the last line with text must
    // close an element set (a cut at a line end).
    if (LoadElementText(contents).catalogue->Count() == 0) return "it holds no element sets";
    const size_t lastEnd = contents.find_last_not_of(" \t\r\n");
    const size_t lastStart = contents.find_last_of("\r\n", lastEnd) + 1;  // 0 when npos
    const std::string_view last = contents.substr(lastStart, lastEnd + 1 - lastStart);
    const size_t previousEnd =
        lastStart == 0 ? std::string_view::npos : contents.find_last_not_of("\r\n", lastStart - 1);
    const size_t previousStart =
        previousEnd == std::string_view::npos ? 0 : contents.find_last_of("\r\n", previousEnd) + 1;
    const std::string_view previous = previousEnd == std::string_view::npos
                                          ? std::string_view()
                                          : contents.substr(previousStart, previousEnd + 1 - previousStart);
    if (!LooksLikeElementLines(previous, last)) return "its last element set is incomplete";
    return "";
}

DownloadOutcome DownloadElementSet(const DownloadSet& set, const DownloadOptions& options, Clock& clock,
                                   const std::atomic<bool>& cancel) {
    DownloadOutcome outcome;
    const fs::path dir(options.folder.empty() ? "." : options.folder);
    const std::string element = (dir / set.elementFile).string();
    const std::string aside = element + ".previous";
    outcome.elementPath = element;
    std::error_code ec;

    // DEPARTURE: the previous file is moved aside instead of deleted, and put back when the
    // download fails or is cancelled, so a failed download does not lose the user's elements.
    if (fs::exists(element, ec)) {
        fs::rename(element, aside, ec);
        if (ec) {
            outcome.detail = "cannot move " + element + " aside: " + ec.message();
            return outcome;
        }
    }
    // The script's own temporary file (our scripts download into "<file>.download").
    const std::string partial = element + ".download";
    auto restore = [&] {
        std::error_code e;
        fs::remove(partial, e);
        if (!PutBack(aside, element))
            outcome.detail +=
                (outcome.detail.empty() ? "" : "; ") + std::string("the previous file is kept as ") + aside;
    };

    const std::string script = DownloadScriptPath(options.folder, set.batchFile);
    if (script.empty()) {
        outcome.detail = "no " + set.batchFile + " or " +
                         fs::path(set.batchFile).replace_extension(".sh").string() + " in " + dir.string();
    } else {
        // DEPARTURE: the script is waited for on this worker thread, cancellable, instead of
        // blocking the window without a limit.
        const ScriptRun run =
            RunScript(options.folder, script, set.elementFile, options.quietScript, clock, cancel);
        if (run.cancelled) {
            restore();
            outcome.status = DownloadStatus::kCancelled;
            outcome.detail = script + " was cancelled";
            return outcome;
        }
        if (!run.error.empty()) {
            outcome.detail = run.error;
        } else if (WIFEXITED(run.status) && WEXITSTATUS(run.status) != 0) {
            outcome.detail = script + " ended with exit status " + std::to_string(WEXITSTATUS(run.status));
        }
    }

    // DEPARTURE: a script that failed is not waited for, and the file is looked for at once when
    // the script ends, then once a second for maxDownloadSeconds more: a time of 0 no longer
    // throws away a download that has arrived.
    const bool scriptFailed = !outcome.detail.empty();
    bool found = false;
    if (!scriptFailed && PauseUnlessCancelled(clock, 100, cancel)) {
        for (int i = 0;; ++i) {
            ++outcome.polls;
            if (fs::exists(element, ec)) {
                found = true;
                break;
            }
            if (i >= options.maxDownloadSeconds || !PauseUnlessCancelled(clock, 1000, cancel)) break;
        }
        if (!cancel.load()) PauseUnlessCancelled(clock, 1500, cancel);
        // A file that arrived during the last pause counts too.
        if (!found && !cancel.load()) found = fs::exists(element, ec);
    }
    if (cancel.load()) {
        if (fs::exists(aside, ec)) fs::remove(element, ec);
        restore();
        outcome.status = DownloadStatus::kCancelled;
        outcome.detail = "cancelled";
        return outcome;
    }
    if (found) {
        // DEPARTURE: the new file must be whole and hold element sets: a connection cut short (the
        // last line cut) or an error page is a failed download that keeps the previous file.
        std::string contents, why;
        const FileRead read = ReadFileBytes(element, contents, &why);
        const std::string problem = read == FileRead::kRead ? ElementDownloadProblem(contents) : why;
        if (!problem.empty()) {
            found = false;
            outcome.detail = element + " was refused: " + problem;
            fs::remove(element, ec);
        }
    }
    if (!found) {
        if (outcome.detail.empty()) outcome.detail = element + " did not appear";
        restore();
        return outcome;
    }
    fs::remove(partial, ec);
    fs::remove(aside, ec);
    outcome.status = DownloadStatus::kSuccess;
    outcome.detail.clear();
    return outcome;
}

}  // namespace corvane
