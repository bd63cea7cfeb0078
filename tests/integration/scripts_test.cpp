// The README's commands start what the build makes: the paths the scripts use must exist.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {
std::string ReadText(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
const fs::path kRoot = fs::path(CORVANE_TEST_DATA).parent_path().parent_path();
}  // namespace

TEST(Scripts, RunAndBenchStartProgramsThatTheBuildMakes) {
    const std::regex built(R"(\$\{CORVANE_BUILD_DIR:-\$root/build\}/([A-Za-z0-9_./-]+))");
    for (const char* script : {"run", "bench"}) {
        const std::string text = ReadText(kRoot / script);
        ASSERT_FALSE(text.empty()) << script;
        std::smatch m;
        ASSERT_TRUE(std::regex_search(text, m, built)) << script << " names no program of the build";
        const fs::path program = fs::path(CORVANE_BIN_DIR) / m[1].str();
        if (std::string(script) == "bench" && !fs::exists(program)) continue;  // benchmarks are optional
        EXPECT_TRUE(fs::exists(program)) << script << " would start " << program;
    }
    EXPECT_NE(ReadText(kRoot / ".ci" / "run").find("./test"), std::string::npos);
}
