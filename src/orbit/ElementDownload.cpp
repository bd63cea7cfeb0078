#include "orbit/ElementDownload.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/AtomicFile.h"
#include "core/Clock.h"
#include "core/Settings.h"
#include "orbit/ElementCatalogue.h"

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

bool HoldsElementSets(const std::string& path) {
    const LoadResult r = LoadElementFile(path);
    return r.opened && r.catalogue->Count() > 0;
}

}  // namespace

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
    auto restore = [&] {
        std::error_code e;
        if (fs::exists(aside, e)) fs::rename(aside, element, e);
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

    bool found = false;
    if (PauseUnlessCancelled(clock, 100, cancel)) {
        for (int i = 1; i <= options.maxDownloadSeconds; ++i) {
            ++outcome.polls;
            if (fs::exists(element, ec)) {
                found = true;
                break;
            }
            if (!PauseUnlessCancelled(clock, 1000, cancel)) break;
        }
    }
    if (!cancel.load()) PauseUnlessCancelled(clock, 1500, cancel);
    if (cancel.load()) {
        if (fs::exists(aside, ec)) fs::remove(element, ec);
        restore();
        outcome.status = DownloadStatus::kCancelled;
        outcome.detail = "cancelled";
        return outcome;
    }
    if (found && !HoldsElementSets(element)) {
        // DEPARTURE: a file without a single element set (an error page) is a failed download,
        // not a success that empties the catalogue.
        found = false;
        outcome.detail = element + " holds no element sets";
        if (fs::exists(aside, ec)) fs::remove(element, ec);
    }
    if (!found) {
        if (outcome.detail.empty()) outcome.detail = element + " did not appear";
        restore();
        return outcome;
    }
    fs::remove(aside, ec);
    outcome.status = DownloadStatus::kSuccess;
    outcome.detail.clear();
    return outcome;
}

}  // namespace corvane
