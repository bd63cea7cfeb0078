// corvane-cli: the headless companion of Corvane over the same library.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "cli/Command.h"

namespace corvane::cli {
std::vector<CommandInfo>& CommandTable() {
    static std::vector<CommandInfo> table;
    return table;
}

namespace {
// DEPARTURE: output that did not reach its file (a full disk) makes a success a data error.
int FinishOutput(int code) {
    errno = 0;
    std::cout.flush();
    bool failed = !std::cout.good();
    int reason = failed ? errno : 0;
    if (std::fflush(stdout) != 0) {
        failed = true;
        if (reason == 0) reason = errno;
    }
    failed = failed || std::ferror(stdout) != 0;
    if (!failed) return code;
    std::cerr << "corvane-cli: cannot write the output"
              << (reason != 0 ? std::string(": ") + std::strerror(reason) : "") << "\n";
    return code == kExitOk ? kExitDataError : code;
}
}  // namespace
}  // namespace corvane::cli

int main(int argc, char** argv) {
    using namespace corvane::cli;
    CLI::App app{"corvane-cli: element look-ups, positions, passes and telescope tracking without a window"};
    app.set_version_flag("--version", std::string("corvane-cli ") + CORVANE_VERSION);
    app.require_subcommand(0, 1);

    auto& table = CommandTable();
    std::sort(table.begin(), table.end(),
              [](const CommandInfo& a, const CommandInfo& b) { return a.name < b.name; });
    std::map<CLI::App*, CommandRunner> runners;
    for (auto& info : table) {
        CLI::App* sub = app.add_subcommand(info.name, info.description);
        runners[sub] = info.setup(*sub);
    }

    // "--at=" is an option given with an empty value, not one waiting for the next argument:
    // it becomes "--at" "" so that the command says what is wrong with it.
    std::vector<std::string> args(argv, argv + argc);
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i].size() > 3 && args[i].rfind("--", 0) == 0 && args[i].back() == '=' &&
            args[i].find('=') == args[i].size() - 1) {
            args[i].pop_back();
            args.insert(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, std::string());
            ++i;
        }
    }
    std::vector<char*> pointers;
    for (std::string& a : args) pointers.push_back(a.data());

    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "corvane-cli: " << e.what() << "\n";
        return kExitUsage;
    }

    for (auto& [sub, runner] : runners) {
        if (sub->parsed()) {
            try {
                return FinishOutput(runner());
            } catch (const CliError& e) {
                std::cerr << "corvane-cli: " << e.what() << "\n";
                return e.exitCode;
            } catch (const std::bad_alloc&) {
                std::cerr << "corvane-cli: not enough memory for this input (a file far larger than it "
                             "should be?)\n";
                return kExitDataError;
            } catch (const std::exception& e) {
                std::cerr << "corvane-cli: " << e.what() << "\n";
                return kExitDataError;
            }
        }
    }
    if (table.empty() || argc <= 1) {
        std::cout << app.help();
        return FinishOutput(argc <= 1 ? kExitUsage : kExitOk);
    }
    return kExitOk;
}
