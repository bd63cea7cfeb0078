// corvane-save-loop KIND FOLDER: saves one of the program's files (KIND settings, plan or
// observed) into FOLDER over and over with the program's own save functions, old and new
// version in turn, until it is killed. Prints "ready" once the old version is on disk. Used by
// the crash-safety test, which kills it at random moments.
#include <cstdio>
#include <cstring>
#include <string>

#include "integration/SaveLoopFiles.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: corvane-save-loop settings|plan|observed FOLDER\n");
        return 2;
    }
    savetest::Kind kind;
    if (std::strcmp(argv[1], "settings") == 0) {
        kind = savetest::Kind::kSettings;
    } else if (std::strcmp(argv[1], "plan") == 0) {
        kind = savetest::Kind::kPlan;
    } else if (std::strcmp(argv[1], "observed") == 0) {
        kind = savetest::Kind::kObserved;
    } else {
        std::fprintf(stderr, "corvane-save-loop: unknown kind %s\n", argv[1]);
        return 2;
    }
    const std::string folder = argv[2];
    std::string error;
    if (!savetest::Save(kind, 0, folder, &error)) {
        std::fprintf(stderr, "corvane-save-loop: %s\n", error.c_str());
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (long n = 1;; ++n) {
        if (!savetest::Save(kind, static_cast<int>(n % 2), folder, &error)) {
            std::fprintf(stderr, "corvane-save-loop: %s\n", error.c_str());
            return 1;
        }
    }
}
