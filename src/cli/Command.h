#pragma once
// corvane-cli commands register themselves: each cli/cmd_*.cpp defines one static
// CommandRegistrar. The setup function adds the command's options to its subcommand and returns
// the function that runs it.
#include <CLI/CLI.hpp>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvane::cli {

enum ExitCode { kExitOk = 0, kExitDataError = 1, kExitUsage = 2 };

// Thrown by a command to end with a one-line message on standard error.
struct CliError : std::runtime_error {
    CliError(int code, const std::string& message) : std::runtime_error(message), exitCode(code) {}
    int exitCode;
};
inline CliError UsageError(const std::string& m) { return CliError(kExitUsage, m); }
inline CliError DataError(const std::string& m) { return CliError(kExitDataError, m); }

using CommandRunner = std::function<int()>;
using CommandSetup = std::function<CommandRunner(CLI::App& subcommand)>;

struct CommandInfo {
    std::string name;
    std::string description;
    CommandSetup setup;
};

std::vector<CommandInfo>& CommandTable();

struct CommandRegistrar {
    CommandRegistrar(std::string name, std::string description, CommandSetup setup) {
        CommandTable().push_back({std::move(name), std::move(description), std::move(setup)});
    }
};

}  // namespace corvane::cli
