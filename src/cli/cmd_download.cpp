// corvane-cli download SET: runs the download script of one of the seven element sets in the
// working folder, exactly as the "Download TLE File" window does (the previous file is kept until
// the new one has arrived), and reports the element sets it holds. Ctrl-C cancels the script.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <thread>

#include "cli/CliCommon.h"
#include "cli/Command.h"
#include "core/Clock.h"
#include "core/Settings.h"
#include "core/Text.h"
#include "orbit/ElementDownload.h"

namespace corvane::cli {
namespace {

std::atomic<bool> gCancel{false};
volatile std::sig_atomic_t gSignal = 0;

extern "C" void OnDownloadInterrupt(int signal) {
    gSignal = signal;
    gCancel.store(true);
}

struct DownloadCommand {
    std::string set;
    int maxSeconds = 0;
    CLI::Option* maxTimeOption = nullptr;

    int Run() {
        const LoadedSettings loaded = ReadSettingsFile(kConfigFileName);
        if (loaded.state == SettingsFileState::kUnreadable) throw DataError(loaded.error);
        const Settings& settings = loaded.settings;
        int index = 0;
        const std::string wanted = Trim(set);
        if (wanted.size() == 1 && wanted[0] >= '1' && wanted[0] <= '7') index = wanted[0] - '0';
        for (int i = 1; i <= kDownloadSetCount && index == 0; ++i) {
            if (ToUpper(settings.TleName[static_cast<size_t>(i)]) == ToUpper(wanted) ||
                ToUpper(TleBatchFile(i)) == ToUpper(wanted))
                index = i;
        }
        if (index == 0) {
            std::string names;
            for (int i = 1; i <= kDownloadSetCount; ++i)
                names +=
                    (i > 1 ? ", " : "") + std::to_string(i) + " " + settings.TleName[static_cast<size_t>(i)];
            throw UsageError("SET wants 1 to 7 or an element file name (" + names + "), got \"" + set + "\"");
        }
        DownloadOptions options;
        if (maxTimeOption->count() > 0 && (maxSeconds < 0 || maxSeconds > 3600))
            throw UsageError("--max-time wants 0 to 3600 seconds, got " + std::to_string(maxSeconds));
        options.maxDownloadSeconds =
            maxTimeOption->count() > 0 ? maxSeconds : std::clamp(settings.MaxTLEDownloadTime, 0, 3600);
        const DownloadSet chosen = DownloadSetOf(settings, index);

        struct sigaction action {};
        action.sa_handler = OnDownloadInterrupt;
        sigemptyset(&action.sa_mask);
        struct sigaction oldInt {
        }, oldTerm{};
        sigaction(SIGINT, &action, &oldInt);
        sigaction(SIGTERM, &action, &oldTerm);
        SystemClock clock;
        const DownloadOutcome outcome = DownloadElementSet(chosen, options, clock, gCancel);
        sigaction(SIGINT, &oldInt, nullptr);
        sigaction(SIGTERM, &oldTerm, nullptr);

        if (outcome.status == DownloadStatus::kCancelled) {
            std::fprintf(stderr, "corvane-cli: download of %s cancelled; the previous file is kept\n",
                         chosen.elementFile.c_str());
            return 128 + (gSignal != 0 ? static_cast<int>(gSignal) : SIGINT);
        }
        if (outcome.status != DownloadStatus::kSuccess)
            throw DataError(std::string(kDownloadErrorMessage) + " (" + outcome.detail + ")");
        const LoadResult result = LoadElementFileOrThrow(outcome.elementPath, false);
        std::cout << chosen.elementFile << ": " << result.status << std::endl;
        return kExitOk;
    }
};

const CommandRegistrar registrar(
    "download",
    "Runs the download script of an element set (1-7 or its element file name) in the working folder, "
    "as the Download TLE File window does",
    [](CLI::App& app) -> CommandRunner {
        auto cmd = std::make_shared<DownloadCommand>();
        app.add_option("SET", cmd->set,
                       "1 visual.txt, 2 iridium.txt, 3 ISS-Last5.txt, 4 stations.txt, 5 sp-interest.txt, "
                       "6 full-catalog.txt, 7 user-defined.txt (or the names of ConfigFile.ini)")
            ->required();
        cmd->maxTimeOption =
            app.add_option("--max-time", cmd->maxSeconds,
                           "Seconds to wait for the element file after the script ends (default: "
                           "MaxTLEDownloadTime of ConfigFile.ini, 10)");
        return [cmd] { return cmd->Run(); };
    });

}  // namespace
}  // namespace corvane::cli
