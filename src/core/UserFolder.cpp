#include "core/UserFolder.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "core/AtomicFile.h"

namespace corvane {

namespace fs = std::filesystem;

namespace {

bool HoldsHelpPage(const fs::path& folder) {
    std::error_code ec;
    return fs::is_regular_file(folder / "cvhlp.htm", ec);
}

}  // namespace

std::string FindBundledData(const std::string& programPath) {
    if (programPath.empty()) return {};
    std::error_code ec;
    fs::path program = fs::weakly_canonical(fs::path(programPath), ec);
    if (ec) program = fs::path(programPath);
    const fs::path dir = program.parent_path();
    const fs::path candidates[] = {dir / "data", dir.parent_path() / "share" / "corvane"};
    for (const fs::path& c : candidates) {
        if (HoldsHelpPage(c)) return c.string();
    }
    return {};
}

std::string UserWorkFolder(const std::function<const char*(const char*)>& getEnv) {
    auto value = [&](const char* name) -> std::string {
        const char* v = getEnv(name);
        return v ? std::string(v) : std::string();
    };
    // Relative values are ignored, as the XDG rules ask: they would depend on the current folder.
    const std::string home = value("CORVANE_HOME");
    if (!home.empty() && home.front() == '/') return home;
    const std::string xdg = value("XDG_DATA_HOME");
    if (!xdg.empty() && xdg.front() == '/') return (fs::path(xdg) / "corvane").string();
    const std::string user = value("HOME");
    if (!user.empty() && user.front() == '/')
        return (fs::path(user) / ".local" / "share" / "corvane").string();
    return {};
}

bool SeedUserFolder(const std::string& bundled, const std::string& work, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    std::error_code ec;
    fs::create_directories(work, ec);
    if (ec || !fs::is_directory(work, ec)) {
        return fail("cannot make the folder " + work + ": " + (ec ? ec.message() : "not a folder"));
    }
    fs::directory_iterator it(bundled, ec);
    if (ec) return fail("cannot read " + bundled + ": " + ec.message());
    for (const fs::directory_entry& entry : it) {
        if (!entry.is_regular_file(ec)) continue;
        const std::string name = entry.path().filename().string();
        if (name.rfind("README", 0) == 0) continue;  // notes on the data's sources, not the program's files
        const fs::path target = fs::path(work) / name;
        const bool help = name == "cvhlp.htm";
        if (!help && fs::symlink_status(target, ec).type() != fs::file_type::not_found) continue;
        std::string contents;
        std::string why;
        if (ReadFileBytes(entry.path().string(), contents, &why) != FileRead::kRead) {
            return fail(why);
        }
        if (!WriteFileAtomically(target.string(), contents, &why)) {
            return fail(why);
        }
        // Download scripts stay runnable in the user's folder.
        struct stat st {};
        if (::stat(entry.path().c_str(), &st) == 0 && (st.st_mode & S_IXUSR)) {
            fs::permissions(target, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                            fs::perm_options::add, ec);
        }
    }
    return true;
}

}  // namespace corvane
