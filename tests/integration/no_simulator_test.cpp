// The programs a user installs carry no simulated mount: those live in corvane_sim, which only
// corvane-mountsim and the tests link.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Symbols {
    bool read = false;
    std::vector<std::string> simulator;  // demangled names of simulator symbols
    size_t total = 0;
};

Symbols SimulatorSymbols(const fs::path& program) {
    Symbols s;
    FILE* p = popen(("nm -C '" + program.string() + "' 2>/dev/null").c_str(), "r");
    if (p == nullptr) return s;
    char line[8192];
    while (std::fgets(line, sizeof line, p) != nullptr) {
        const std::string text(line);
        ++s.total;
        if (text.find("Simulated") != std::string::npos || text.find("MountSimulator") != std::string::npos)
            s.simulator.push_back(text);
    }
    s.read = pclose(p) == 0;
    return s;
}

std::string FirstFew(const std::vector<std::string>& names) {
    std::string out;
    for (size_t i = 0; i < names.size() && i < 5; ++i) out += names[i];
    return out;
}

}  // namespace

TEST(InstalledPrograms, HoldNoSimulatedMount) {
    const fs::path bin(CORVANE_BIN_DIR);
    // The check itself must see simulator symbols where they are, or an empty listing would pass.
    const fs::path mountsim = bin / "tools/mountsim/corvane-mountsim";
    if (fs::exists(mountsim)) {
        const Symbols s = SimulatorSymbols(mountsim);
        if (!s.read) GTEST_SKIP() << "nm cannot read the programs";
        EXPECT_FALSE(s.simulator.empty()) << "no simulator symbol found even in corvane-mountsim";
    }
    int checked = 0;
    for (const char* name : {"src/corvane-cli", "src/corvane"}) {
        const fs::path program = bin / name;
        if (!fs::exists(program)) continue;  // the windows are optional in the build
        const Symbols s = SimulatorSymbols(program);
        ASSERT_TRUE(s.read) << "nm failed on " << program;
        EXPECT_GT(s.total, 0u) << program << " has no symbols to check";
        EXPECT_TRUE(s.simulator.empty())
            << program << " holds " << s.simulator.size() << " simulator symbols, such as:\n"
            << FirstFew(s.simulator);
        ++checked;
    }
    EXPECT_GE(checked, 1) << "corvane-cli was not built";
}
